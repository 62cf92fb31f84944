' Call statements and the rules for parentheses.
Dim total
Sub AddTo(a, b)
    total = a + b
End Sub
Sub Twice(n)
    n = n * 2
End Sub
Function Plus(a, b)
    Plus = a + b
End Function

AddTo 1, 2
Test.Equal total, 3, "call without parentheses"
Call AddTo(3, 4)
Test.Equal total, 7, "Call with parentheses"
AddTo (5), 6
Test.Equal total, 11, "first argument in parentheses"
AddTo (1) + 1, 1
Test.Equal total, 3, "parenthesised start of an expression argument"

Dim v
v = 5
Twice v
Test.Equal v, 10, "a variable goes by reference"
Twice (v)
Test.Equal v, 10, "(v) goes by value"
Call Twice(v)
Test.Equal v, 20, "Call passes by reference"
Twice v + 0
Test.Equal v, 20, "an expression goes by value"

Test.Equal Plus(2, 3), 5, "function call in an expression"
Plus 2, 3
Call Plus(2, 3)
Dim r : r = Plus(Plus(1, 2), Plus(3, 4))
Test.Equal r, 10, "nested calls"

Sub NoArgs()
    total = "none"
End Sub
NoArgs
Test.Equal total, "none", "call with no arguments"
NoArgs()
Call NoArgs
Call NoArgs()
