' expect-error: 13 line 5: Type mismatch
' A text subject against a numeric literal case must be a number.
Dim v : v = "b"
Select Case v
    Case 1
        v = 2
End Select
