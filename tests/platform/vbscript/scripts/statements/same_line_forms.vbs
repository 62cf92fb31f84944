' Statements that share a line with the Else, End or procedure header around them.
Dim x
If True Then x = 1 Else x = 2 End If
Test.Equal x, 1, "single-line If closed by End If"
If False Then x = 1 Else x = 2 End If
Test.Equal x, 2, "single-line Else closed by End If"
x = 0
If False Then x = 1 Else
Test.Equal x, 0, "empty single-line Else"
If True Then :
Test.Equal x, 0, "single-line If with only a colon"
If True Then : x = 5
Test.Equal x, 5, "colon right after Then starts the single-line body"
If True Then x = 6 End If : x = x + 1
Test.Equal x, 7, "statements go on after a single-line End If"

If False Then
    x = 1
Else x = 3 End If
Test.Equal x, 3, "Else with a statement and End If on its line"
If False Then
    x = 1
Else:x = 4 End If
Test.Equal x, 4, "Else, colon, statement and End If"
If False Then
    x = 1
ElseIf True Then x = 5
End If
Test.Equal x, 5, "ElseIf with its statement on the same line"
If True Then
    x = 6 End If
Test.Equal x, 6, "a statement followed by End If"
For Each v In Array(1)
    If v = 1 Then
        x = 8 End If
Next
Test.Equal x, 8, "End If after a statement inside a loop"

Sub One() x = 1
    x = x + 10
End Sub
One
Test.Equal x, 11, "Sub header followed by a statement"
Sub Two()x = 3:x = x + 1
End Sub
Two
Test.Equal x, 4, "Sub header, no blank, two statements"
Sub Three() x = True End Sub
Three
Test.Equal x, True, "a whole Sub on one line"
Function Eight() x = 8
    Eight = x
End Function
Test.Equal Eight(), 8, "Function header followed by a statement"
Sub ok(value)
    x = value
End Sub
Sub Forward(value)
    Call ok(value)End Sub
Forward 9
Test.Equal x, 9, "End Sub right after a call's parenthesis"
Sub Bare(value)
    ok value End Sub
Bare 10
Test.Equal x, 10, "End Sub after a call statement's argument"

Class Pair
    Public First End Class
Class Holder
    Dim Second End Class
Class Zero
    Function Value
    x = 0 End Function End Class
Dim p : Set p = New Pair : p.First = 1
Dim h : Set h = New Holder : h.Second = 2
Test.Equal p.First + h.Second, 3, "End Class after a field declaration"
x = 12
Call (New Zero).Value()
Test.Equal x, 0, "End Function End Class on the line of a statement"
