' expect-error: 1002 line 5: Syntax error (line 2 of the executed text)
' A fault of syntax in text run by ExecuteGlobal is a plain syntax error, reported at the
' statement that ran it.
Dim x
ExecuteGlobal "Dim y" & vbCrLf & "y = ("
