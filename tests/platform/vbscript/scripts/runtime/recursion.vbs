' Deep recursion ends in error 28, which a handler can catch; the engine stays usable.
Dim depth : depth = 0
Sub Deep()
    depth = depth + 1
    Deep
End Sub
On Error Resume Next
Deep
Test.Equal Err.Number, 28, "Out of stack space"
Test.IsTrue depth > 500, "the bound is not tiny"
Err.Clear
On Error GoTo 0
Function Sum(n)
    If n = 0 Then Sum = 0 Else Sum = n + Sum(n - 1)
End Function
Test.Equal Sum(1000), 500500, "recursion well below the bound works"

Class Chain
    Public Function Down(n)
        If n = 0 Then Down = "bottom" Else Down = Me.Down(n - 1)
    End Function
End Class
Dim c : Set c = New Chain
Test.Equal c.Down(500), "bottom", "recursion through methods"

' Deep frames lie in later segments of the engine's value stack; references into earlier
' segments, and Eval's view of its caller's locals, stay good there.
Sub Bump(ByRef x)
    x = x + 1
End Sub
Function Climb(n, ByRef counter)
    Dim mine : mine = n
    If n = 0 Then
        Climb = Eval("mine + 100")
    Else
        Bump counter
        Climb = Climb(n - 1, counter)
    End If
End Function
Dim counted : counted = 0
Test.Equal Climb(1500, counted), 100, "Eval at the bottom of a deep recursion"
Test.Equal counted, 1500, "a by-reference argument written from deep frames"
