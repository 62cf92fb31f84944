Class N
Public other, s, d
Public Default Function Hello : Hello = "hi " & g : End Function
Public Function Make : Set Make = New N : End Function
Public Property Let P(v) : g = v : End Property
Sub Class_Terminate : g = g & "t" : End Sub
End Class
Dim g : g = "A"
Set keep = New N : Set keep.other = New N : Set keep.other.other = keep
keep.s = String(1000, "x")
Set keep.d = CreateObject("Scripting.Dictionary") : keep.d.Add "me", keep
'reset
Dim v1, v2, v3 : v1 = "B"
On Error Resume Next
x = Kept.Hello : Set y = Kept.Make : x = Kept : x = "a" & Kept : Kept.s = 1 : Kept.P = 2
With Kept : x = .other : End With
For Each e In Kept : Next
Sub Take(k) : x = k.Hello : Set y = k.other : x = TypeName(k) & (k Is Kept) : End Sub
