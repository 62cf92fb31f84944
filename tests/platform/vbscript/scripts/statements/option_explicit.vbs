' Option Explicit: declared names work; an undeclared one raises 500 when used.
Option Explicit
Dim declared
declared = 1
Test.Equal declared, 1, "a declared variable"
Sub UsesLocal()
    Dim localOne
    localOne = 2
    Test.Equal localOne, 2, "a declared local"
End Sub
UsesLocal
On Error Resume Next
undeclared = 5
Test.Equal Err.Number, 500, "assigning an undeclared name"
Test.Equal Err.Description, "Variable is undefined", "Err's text has no name appended"
Err.Clear
declared = undeclaredToo
Test.Equal Err.Number, 500, "reading an undeclared name"
Test.Equal Test.Counter, 0, "named objects need no declaration"
