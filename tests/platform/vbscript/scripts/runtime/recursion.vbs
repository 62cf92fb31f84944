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
