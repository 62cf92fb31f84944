' expect-error: 5 line 3: Invalid procedure call or argument
Dim s
s = Mid("abc", 0)
