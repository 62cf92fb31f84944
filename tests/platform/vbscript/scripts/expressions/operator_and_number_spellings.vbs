' Comparison operators written the other way round, and number literals at the edges of the
' lexer: underflow, a keyword right after a hex literal, "&h" before a name, ".5" arguments.
Test.Equal 3 => 2, True, "=> is >="
Test.Equal 2 => 2, True, "=> on equal values"
Test.Equal 1 => 2, False, "=> false"
Test.Equal 1 =< 2, True, "=< is <="
Test.Equal 3 =< 2, False, "=< false"
Test.Equal 1 >< 2, True, ">< is <>"
Test.Equal 2 >< 2, False, ">< false"
Dim n : n = 5
If n => 5 And n =< 5 And Not n >< 5 Then n = "between"
Test.Equal n, "between", "reversed operators in a condition"
Select Case 7
Case Is => 7
    n = "case"
End Select
Test.Equal n, "case", "Case Is =>"

Test.Equal 1e-400, 0, "a literal below the smallest Double is 0"
Test.Equal 1e-94938484, 0, "a huge negative exponent is 0"
Test.Equal TypeName(1e-400), "Double", "the underflowed literal is a Double"
Test.Equal &h01or&h02, 3, "keyword right after a hex literal"
Test.Equal &h07Xor&h02, 5, "Xor right after a hex literal"
Dim hi : hi = "there"
Test.Equal "x" &hi, "xthere", "&hi is & hi"
Dim h : h = "!"
Test.Equal "y" &h, "y!", "&h alone is & h"

Dim received
Sub S(value)
    received = value
End Sub
S.5
Test.Equal received, 0.5, "S.5 calls S with 0.5"
Class Checker
    Public Sub Check(value)
        received = value * 10
    End Sub
End Class
Dim obj : Set obj = New Checker
obj.Check.5
Test.Equal received, 5, "obj.Check.5 calls Check with 0.5"
obj.Check.25
Test.Equal received, 2.5, "more digits after the dot"
