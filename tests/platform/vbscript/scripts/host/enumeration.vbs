' For Each over host collections, nested, and with Exit For.
Dim outer, inner, s
s = ""
For Each outer In Test.Items
    For Each inner In Test.Tables
        s = s & "."
    Next
    s = s & "|"
Next
Test.Equal s, "..|..|..|", "nested enumerations"
Dim count : count = 0
For Each outer In Test.Items
    count = count + 1
    If count = 2 Then Exit For
Next
Test.Equal count, 2, "Exit For over a host collection"
On Error Resume Next
For Each outer In Test.Self
    count = 99
Next
Test.Equal Err.Number, 451, "an object that is not a collection"
Err.Clear
For Each outer In 42
Next
Test.Equal Err.Number, 451, "a number is not a collection"
