' expect-error: 11 line 4: Division by zero
' The line is where the error happened, inside the function, not the caller's.
Function Divide(a, b)
    Divide = a / b
End Function
x = Divide(1, 0)
