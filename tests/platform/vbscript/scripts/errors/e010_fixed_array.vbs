' expect-error: 10 line 3: This array is fixed or temporarily locked
Dim a(2)
ReDim a(5)
