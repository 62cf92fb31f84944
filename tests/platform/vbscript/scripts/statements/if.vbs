' Block and single-line If, ElseIf, Else, nesting, and Null conditions.
Function Classify(n)
    If n < 0 Then
        Classify = "negative"
    ElseIf n = 0 Then
        Classify = "zero"
    ElseIf n < 10 Then
        Classify = "small"
    Else
        Classify = "large"
    End If
End Function
Test.Equal Classify(-1), "negative", "If"
Test.Equal Classify(0), "zero", "first ElseIf"
Test.Equal Classify(5), "small", "second ElseIf"
Test.Equal Classify(50), "large", "Else"

Dim r
If True Then r = "then" Else r = "else"
Test.Equal r, "then", "single-line Then"
If False Then r = "then" Else r = "else"
Test.Equal r, "else", "single-line Else"
r = ""
If True Then r = r & "a" : r = r & "b" Else r = "no"
Test.Equal r, "ab", "single-line statements joined by colons"
If False Then r = "x"
Test.Equal r, "ab", "single-line If without Else"
If True Then If False Then r = "inner" Else r = "inner else"
Test.Equal r, "inner else", "Else belongs to the nearest If"
If Null Then r = "null" Else r = "not null"
Test.Equal r, "not null", "a Null condition is False"
If 1 Then r = "nonzero"
Test.Equal r, "nonzero", "a non-zero number is True"
If "True" Then r = "text"
Test.Equal r, "text", "text that converts"

If True Then
    If False Then
        r = 1
    Else
        If True Then r = 2
    End If
End If
Test.Equal r, 2, "nesting"
