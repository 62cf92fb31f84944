' Module-level variables read and written from procedures and loops: counters that widen,
' elements of module arrays, errors inside them, and names that are no plain variable yet.
Dim counter, total, cells(3), grid(2, 2), keeper

Sub CountTo(ByVal last)
    total = 0
    For counter = 32765 To last
        total = total + counter
    Next
End Sub

CountTo 32770
Test.Equal counter, 32771, "the module counter ends one step past the end"
Test.Equal TypeName(counter), "Long", "an Integer counter widens past 32767"
Test.Equal total, 196605, "the sum over the widened counter"

For counter = 1 To 2 Step 0.5
    total = counter
Next
Test.Equal TypeName(counter), "Double", "a fractional step at module level"
Test.Equal counter, 2.5, "fractional counter past the end"

Function FillCells()
    Dim index
    For index = 0 To 3
        cells(index) = index * index
    Next
    For index = 0 To 2
        grid(index, 2 - index) = cells(index + 1)
    Next
    FillCells = cells(3) + grid(0, 2) + grid(2, 0)
End Function
Test.Equal FillCells(), 9 + 1 + 9, "module arrays written and read from a procedure"

On Error Resume Next
cells(4) = 1
Test.Equal Err.Number, 9, "a module array element past the bound"
Err.Clear
total = 1
total = grid(3, 0)
Test.Equal Err.Number, 9, "reading past the bound"
Test.Equal total, 1, "the failed read leaves the target alone"
On Error GoTo 0

Set keeper = New Holder
cells(0) = keeper
Test.Equal cells(0), "held", "an object stored by Let gives its default value"
Set cells(1) = keeper
Test.Equal cells(1).Text, "held", "Set keeps the object in the element"

Class Holder
    Public Default Property Get Text()
        Text = "held"
    End Property
End Class

' A name used before its Dim runs reads as Empty and then becomes a variable like the rest.
Test.IsTrue IsEmpty(later), "a variable read before it is assigned"
later = 5
Test.Equal later + 1, 6, "then read back"
