' expect-error: 94 line 3: Invalid use of Null
Dim n : n = Null
x = CLng(n)
