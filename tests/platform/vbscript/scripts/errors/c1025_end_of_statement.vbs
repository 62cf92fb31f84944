' expect-error: 1025 line 2: Expected end of statement
x = 1 2
