' The array program over module-level variables: elements indexed by module-level counters.
Dim items(), i, total, grid(99, 99), row, column, pass

Function Main(n)
    ReDim items(0)
    For i = 1 To n
        ReDim Preserve items(i)
        items(i) = i Mod 1000
    Next
    total = 0
    For i = 0 To UBound(items)
        total = total + items(i)
    Next
    For pass = 1 To 10
        For row = 0 To 99
            For column = 0 To 99
                grid(row, column) = (row * column + pass) Mod 17
            Next
        Next
        For row = 0 To 99
            For column = 0 To 99
                total = total + grid(row, column)
            Next
        Next
    Next
    Main = total
End Function
