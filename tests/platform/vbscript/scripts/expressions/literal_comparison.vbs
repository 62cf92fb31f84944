' A literal operand of a comparison (or a constant) is typed hard: against a numeric literal a
' String is read as a number, against a string literal a number becomes its text. Between two
' variables a number stays less than any text.
Const Five = 5
Dim v, n, t, r
v = "5"
Test.Equal v = 5, True, "text against a numeric literal"
Test.Equal 5 = v, True, "the numeric literal on the left"
Test.Equal v <> 5, False, "<>"
Test.Equal v < 10, True, "< compares numbers (as text ""5"" > ""10"")"
Test.Equal v > 10, False, ">"
Test.Equal v <= 5, True, "<="
Test.Equal v >= 6, False, ">="
Test.Equal v = Five, True, "a constant counts as a literal"
Test.Equal -5 = -v, True, "a negated literal"
v = " 7 " : Test.Equal v = 7, True, "blanks around the number"
v = "1e2" : Test.Equal v = 100, True, "an exponent"
v = "2.5" : Test.Equal v > 2, True, "a fraction"

n = 10
Test.Equal n = "10", True, "a number against a string literal becomes text"
Test.Equal "10" = n, True, "the string literal on the left"
Test.Equal n < "9", True, "compared as text: ""10"" < ""9"""
Test.Equal n <> "ten", True, "non-numeric text against a number: no error"
n = 2.5 : Test.Equal n = "2.5", True, "a Double becomes its text"

' Between variables nothing converts.
n = 10 : t = "10"
Test.Equal n = t, False, "a number variable never equals a text variable"
Test.Equal n < t, True, "a number variable is less than a text variable"

' Only text against a number converts.
v = Empty : Test.Equal v = 0, True, "Empty against a numeric literal"
v = True : Test.Equal v = -1, True, "Boolean against a numeric literal"
Test.Equal IsNull(Null = 5), True, "Null against a numeric literal"
v = "5" : t = "5" : Test.Equal v = t, True, "two text variables"

Function Pick(value)
    Select Case value
        Case 1: Pick = "one"
        Case 2 To 4: Pick = "few"
        Case Is > 100: Pick = "many"
        Case Else: Pick = "other"
    End Select
End Function
Test.Equal Pick("1"), "one", "Select Case: a text subject against a numeric case"
Test.Equal Pick("3"), "few", "Select Case: a range"
Test.Equal Pick("250"), "many", "Select Case: Is"
Test.Equal Pick(50), "other", "Select Case: a number matching nothing"

Function Named(value)
    Select Case value
        Case "10": Named = "ten"
        Case Else: Named = "other"
    End Select
End Function
Test.Equal Named(10), "ten", "Select Case: a number subject against a text case"

' A literal subject is typed hard as well.
t = "7"
Select Case 7
    Case t: r = "matched"
    Case Else: r = "missed"
End Select
Test.Equal r, "matched", "Select Case: a numeric literal subject"
