' expect-error: 11 line 6: Division by zero (line 3 of the executed text)
' A procedure that ExecuteGlobal declared reports its errors at the call in the file.
ExecuteGlobal "Sub Divide(n)" & vbCrLf & "Dim q" & vbCrLf & "q = n / 0" & vbCrLf & "End Sub"
On Error Resume Next : Divide 1 : Test.Equal Err.Description, "Division by zero", "Err keeps its own text"
On Error GoTo 0
Divide 2
