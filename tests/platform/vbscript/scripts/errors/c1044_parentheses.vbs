' expect-error: 1044 line 4: Cannot use parentheses when calling a Sub
Sub Two(a, b)
End Sub
Two(1, 2)
