' expect-error: 6 line 3: Overflow
Dim n
n = CInt(40000)
