' Members of a host object in a loop: Table is registered by the host (name, field names by
' index, a read/write counter).
Function Main(n)
    Dim i, total, count
    Table.Hits = 0
    total = 0
    count = Table.FieldCount
    For i = 1 To n
        total = total + Len(Table.Name) + Len(Table.Fields(i Mod count))
        Table.Hits = Table.Hits + 1
    Next
    Main = total + Table.Hits
End Function
