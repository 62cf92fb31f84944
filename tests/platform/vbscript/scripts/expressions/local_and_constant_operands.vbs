' Operators whose right operand is a local or a constant, inside a procedure where both forms are
' compiled into one instruction: every subtype still takes VB's rules, and errors keep their line.
Sub Check()
    Dim i, s, n, e, big, r
    i = 32767 : s = "4" : n = Null : big = 2147483647
    Test.Equal TypeName(i + 1), "Long", "Integer + constant widens"
    Test.Equal TypeName(big + i), "Double", "Long + local widens"
    Test.Equal i - s, CDbl(32763), "number - text local"
    Test.Equal s + s, "44", "text + text local concatenates"
    Test.Equal IsNull(i * n), True, "Null local propagates"
    Test.Equal e + 3, 3, "Empty is 0"
    Test.Equal 7.5 \ 2, CLng(4), "\ rounds a Double first"
    Test.Equal i Mod s, CLng(3), "Mod of a text local"
    Test.Equal -32768 \ -1, CLng(32768), "-32768 \ -1 widens"
    Test.Equal s = 4, True, "a text local against a numeric literal"
    Test.Equal i < s, True, "a number is less than a text local"
    If n = 1 Then Test.Fail "Null = 1 is no truth"
    If Not (n <> 1) Then r = "then" Else r = "else"
    Test.Equal r, "else", "Not Null is Null, which counts as False"
    On Error Resume Next
    r = i / e
    Test.Equal Err.Number, 11, "division by an Empty local"
    Err.Clear
    r = s * "x"
    Test.Equal Err.Number, 13, "text that is no number"
    On Error GoTo 0
End Sub
Check
