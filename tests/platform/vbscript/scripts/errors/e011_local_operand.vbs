' expect-error: 11 line 5: Division by zero
Sub Divide()
    Dim a, b
    a = 1 : b = 0
    a = a \ b
End Sub
Divide
