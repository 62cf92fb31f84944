' x = x & o: x is read before o's default value runs, so what that code does to x, or to the
' variables around it, does not reach the result. Before, the pieces were converted while x was
' being appended to in place.
Dim x, mode

Class Piece
    Public Default Property Get V
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
