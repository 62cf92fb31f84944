' For Each over arrays, nested arrays and host collections.
Dim item, s, arr
s = ""
For Each item In Array("a", "b", "c")
    s = s & item
Next
Test.Equal s, "abc", "array elements in order"

Dim grid(1, 1)
grid(0, 0) = 1 : grid(0, 1) = 2 : grid(1, 0) = 3 : grid(1, 1) = 4
s = 0
For Each item In grid
    s = s + item
Next
Test.Equal s, 10, "every element of a two-dimensional array"

s = ""
For Each item In Test.Items
    s = s & item & ";"
Next
Test.Equal s, "10;twenty;30;", "host collection"

s = 0
For Each item In Array()
    s = s + 1
Next
Test.Equal s, 0, "empty array"

arr = Array(1, 2, 3)
s = 0
For Each item In arr
    If item = 2 Then Exit For
    s = s + item
Next
Test.Equal s, 1, "Exit For leaves the loop"

Dim tables : tables = ""
For Each item In Test.Tables
    tables = tables & item.Name & " "
Next
Test.Equal tables, "Orders Customers ", "objects from a collection"

Function SumAll(values)
    Dim v, total
    For Each v In values
        total = total + v
    Next
    SumAll = total
End Function
Test.Equal SumAll(Array(1, 2, 3, 4)), 10, "For Each in a procedure"

' An array never dimensioned has no elements to walk; once the loop ran one time with Empty.
Dim never(), erasedList, count
count = 0
For Each item In never
    count = count + 1
Next
Test.Equal count, 0, "Dim a() gives no round"
erasedList = Array(1, 2, 3)
Erase erasedList
For Each item In erasedList
    count = count + 1
Next
Test.Equal count, 0, "an erased dynamic array gives no round"
