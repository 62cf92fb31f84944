' A constant expression the compiler cannot settle, because working it out raises, runs where it
' stands: dead code never raises it, On Error catches it, and the rest of the script runs. A
' fold that raised once stopped the whole script before its first line.
Const Five = 5
Dim r, reached
reached = True
If False Then r = ("abc" + 5)
If False Then r = 1 / 0
If False Then r = 2 ^ 2000
Test.IsTrue reached, "the script runs past dead code that would raise"

On Error Resume Next
r = "abc" + 1 : Test.Equal Err.Number, 13, "text + number raises at run time" : Err.Clear
r = "abc" + Five : Test.Equal Err.Number, 13, "text + a constant" : Err.Clear
r = -"abc" : Test.Equal Err.Number, 13, "negated text" : Err.Clear
r = Not "abc" : Test.Equal Err.Number, 13, "Not of text" : Err.Clear
r = "abc" And 1 : Test.Equal Err.Number, 13, "And of text" : Err.Clear
r = 2 ^ 2000 : Test.Equal Err.Number, 6, "^ overflow" : Err.Clear
r = 1E308 * 10 : Test.Equal Err.Number, 6, "* overflow" : Err.Clear
r = 1 / 0 : Test.Equal Err.Number, 11, "/ by zero" : Err.Clear
r = 5 \ 0 : Test.Equal Err.Number, 11, "\ by zero" : Err.Clear
r = 5 Mod 0 : Test.Equal Err.Number, 11, "Mod by zero" : Err.Clear
r = 5 \ (Five - 5) : Test.Equal Err.Number, 11, "by a constant expression that is zero" : Err.Clear
On Error GoTo 0

' What folds without raising keeps its value and type.
Test.Equal -(-32768), 32768, "negating the least Integer widens"
Test.Equal TypeName(-(-32768)), "Long", "to Long"
Test.Equal IsNull(Null & Null), True, "Null & Null is Null"
Test.Equal "a" & Null & 1, "a1", "Null inside a concatenation is nothing"
Test.Equal 1 + "2", CDbl(3), "number + numeric text"

' A numeric literal against a string literal that is no number compares as any number against
' any text would: the number is the lesser. Numeric text still compares as a number.
Test.Equal "abc" = 5, False, """abc"" = 5"
Test.Equal "" = 5, False, """"" = 5"
Test.Equal " " = 0, False, """ "" = 0"
Test.Equal 5 > "abc", False, "5 > ""abc"""
Test.Equal 5 < "abc", True, "5 < ""abc"""
Test.Equal "abc" <> 5, True, """abc"" <> 5"
Test.Equal "abc" = -5, False, "a negated literal"
Test.Equal "abc" = Five, False, "a constant"
Test.Equal "abc" = &hff, False, "a hexadecimal literal"
Test.Equal "abc" = 1e2, False, "an exponent literal"
Test.Equal "5" = 5, True, "numeric text against a number literal"
Test.Equal " 7 " = 7, True, "with blanks around it"

Dim hit
hit = ""
Select Case 3
    Case "test": hit = "test"
    Case 0, False, 2 + 1: hit = "three"
    Case Else: hit = "else"
End Select
Test.Equal hit, "three", "Select Case 3 passes Case ""test"" without an error"
