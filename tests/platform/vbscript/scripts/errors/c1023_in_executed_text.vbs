' expect-error: 1023 line 5: Expected expression (line 2 of the executed text)
' A compile error in text run by ExecuteGlobal is reported at the statement that ran it.
Dim x
x = 1
ExecuteGlobal "Dim y" & vbCrLf & "y = ("
