' expect-error: 13 line 2: Type mismatch
x = NoSuchFunction(1)
