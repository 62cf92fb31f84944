' expect-error: 13 line 4: Type mismatch
' Against a numeric literal the text must be a number.
Dim v : v = "abc"
If v = 5 Then v = 1
