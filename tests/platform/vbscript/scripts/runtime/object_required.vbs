' Errors the language raises where a value is not what a member access or a conversion needs.
Dim o : Set o = Nothing
On Error Resume Next
Dim x : x = o.Name
Test.Equal Err.Number, 424, "reading a member of Nothing"
Err.Clear
o.Name = 1
Test.Equal Err.Number, 424, "writing a member of Nothing"
Err.Clear
o.Run 1, 2
Test.Equal Err.Number, 424, "calling a member of Nothing"
Err.Clear
x = o(1)
Test.Equal Err.Number, 91, "the default member of Nothing stays 91"
Err.Clear

Dim reached : reached = False
With "text"
    reached = True
End With
Test.Equal Err.Number, 424, "With over a string"
Err.Clear
With 5
End With
Test.Equal Err.Number, 424, "With over a number"
Err.Clear
With o
End With
Test.Equal Err.Number, 0, "With over Nothing is allowed"

x = .Missing
Test.Equal Err.Number, 505, ".member outside With"
Test.Equal Err.Description, "Invalid or unqualified reference", "505's text"
Err.Clear
.Missing = 3
Test.Equal Err.Number, 505, "assigning .member outside With"
Err.Clear
Sub NoWith()
    x = .Length(1, 2)
End Sub
NoWith
Test.Equal Err.Number, 505, ".member with arguments in a procedure"
Err.Clear
On Error GoTo 0

Test.Equal CByte(True), 255, "CByte(True)"
Test.Equal CByte(False), 0, "CByte(False)"
Test.Equal CDate("1"), #12/31/1899#, "CDate of a number in text"
Test.Equal CDate("100"), #4/9/1900#, "CDate of a larger number in text"

Function JoinError(value)
    On Error Resume Next
    Dim joined : joined = Join(value)
    JoinError = Err.Number
End Function
Dim grid(1, 1)
Test.Equal JoinError(Null), 94, "Join(Null)"
Test.Equal JoinError(CreateObject("Scripting.Dictionary")), 438, "Join of an object"
Test.Equal JoinError(Array(1, Null)), 13, "Join of an array holding Null"
Test.Equal JoinError(grid), 13, "Join of a two-dimensional array"
Test.Equal JoinError("text"), 13, "Join of a string"
Test.Equal Join(Array(1, "b", Empty), "-"), "1-b-", "Join of plain values"
