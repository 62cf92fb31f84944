' expect-error: 13 line 3: Type mismatch
Dim s : s = "abc"
s = s + 1
