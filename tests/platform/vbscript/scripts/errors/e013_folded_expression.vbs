' expect-error: 13 line 6: Type mismatch
' A constant expression that raises does so at its own line, after the lines before it ran,
' instead of stopping the script before it starts.
Dim x
x = 1
x = "abc" + 1
