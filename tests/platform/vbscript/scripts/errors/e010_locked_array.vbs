' expect-error: 10 line 5: This array is fixed or temporarily locked
Dim a, x
a = Array(1, 2)
For Each x In a
    ReDim Preserve a(5)
Next
