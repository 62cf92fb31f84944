Class N
Public f
Public Default Function Hello : Hello = "hi " & g : End Function
Sub Class_Initialize : Set f = Me : End Sub
End Class
Function Twice(v) : Twice = 2 * v : End Function
Dim g : g = "A"
Set re = New RegExp : re.Pattern = "b+"
Set d = CreateObject("Scripting.Dictionary") : d.Add "n", New N
keep = Array(New N, GetRef("Twice"), d, re, Array(d))
'destroy
Dim v1, v2 : v1 = "B"
Sub Take(k)
On Error Resume Next
x = k(0).Hello : x = k(0) & k(1)(2) : x = k(2)("n").f.Hello : x = k(3).Replace("abbc", "-")
For Each e In k : x = TypeName(e) & e : Next
k(0).f = 1 : Set k(2)("m") = k(0) : k(2).RemoveAll
End Sub
