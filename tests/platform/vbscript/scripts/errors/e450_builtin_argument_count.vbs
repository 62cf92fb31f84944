' expect-error: 450 line 2: Wrong number of arguments or invalid property assignment
x = Len("a", "b")
