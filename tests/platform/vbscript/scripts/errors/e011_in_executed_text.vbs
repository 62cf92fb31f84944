' expect-error: 11 line 7: Division by zero (line 3 of the executed text)
' An error inside text run by Execute is reported at the Execute statement; the line inside the
' text goes into the description.
Dim code
code = "a = 1" & vbCrLf & "b = 2" & vbCrLf & "c = 1 / 0"
On Error Resume Next : Execute code : On Error GoTo 0
Execute code
