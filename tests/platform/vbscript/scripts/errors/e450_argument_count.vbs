' expect-error: 450 line 4: Wrong number of arguments or invalid property assignment
Function Two(a, b)
End Function
x = Two(1)
