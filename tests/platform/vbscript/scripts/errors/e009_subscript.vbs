' expect-error: 9 line 4: Subscript out of range
Dim a(2)
a(2) = 1
a(3) = 1
