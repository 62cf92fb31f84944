' x = x & o: x is read before o's default value runs, so what that code does to x does not reach
' the result. Before, the pieces were converted while x was being appended to in place.
Dim x, mode, seen

Class Piece
    Public Default Property Get V
        seen = TypeName(x) & ":" & x
        Select Case mode
        Case "text"
            x = "changed"
        Case "number"
            x = 5
        Case "array"
            x = Array(1, 2)
        Case "globals"
            Dim i
            For i = 1 To 2000
                ExecuteGlobal "Dim moved" & i
            Next
            x = "moved"
        End Select
        V = "o"
    End Property
End Class

Dim o
Set o = New Piece
For Each mode In Array("text", "number", "array", "globals")
    x = "x-" & mode
    x = x & o & "!"
    Test.Equal x, "x-" & mode & "o!", "x = x & o where o's default value sets x (" & mode & ")"
Next

Sub AppendTo(ByRef z)
    z = z & o
End Sub
mode = "text"
x = "byref-"
AppendTo x
Test.Equal x, "byref-o", "z = z & o where z stands for the x o's default value sets"

' The code sees x as it was before the statement, whatever pieces come before the object.
mode = "none"
x = "ab"
x = x & "c" & o & "d"
Test.Equal seen & "|" & x, "String:ab|abcod", "pieces before the object are not in x while it runs"
x = ""
x = x & "c" & o
Test.Equal seen & "|" & x, "String:|co", "x held an empty string"
x = Empty
x = x & "c" & o
Test.Equal seen & "|" & x, "Empty:|co", "x was Empty"
x = Null
x = x & o
Test.Equal seen & "|" & x, "Null:|o", "x was Null"
