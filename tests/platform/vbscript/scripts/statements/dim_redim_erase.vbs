' Dim, ReDim [Preserve] and Erase on fixed and dynamic arrays, at module level and in procedures.
Dim a, b(2), c(1, 2), d()
Test.Equal IsEmpty(a), True, "a scalar starts Empty"
Test.Equal UBound(b), 2, "fixed array upper bound"
Test.Equal UBound(c, 1), 1, "first dimension"
Test.Equal UBound(c, 2), 2, "second dimension"
b(0) = "x": b(2) = 3
Test.Equal b(0) & b(2), "x3", "elements keep values"
c(1, 2) = "corner"
Test.Equal c(1, 2), "corner", "two-dimensional element"

ReDim d(3)
Test.Equal UBound(d), 3, "ReDim sizes a dynamic array"
d(3) = "last"
ReDim Preserve d(5)
Test.Equal d(3), "last", "ReDim Preserve keeps values"
Test.Equal UBound(d), 5, "ReDim Preserve grows"
ReDim d(1)
Test.Equal IsEmpty(d(0)), True, "ReDim without Preserve clears"

' ReDim Preserve grows one side of a shared array only; more than eight dimensions take the
' slower path for their bounds.
Dim shared1, shared2
ReDim shared1(1)
shared1(1) = "one"
shared2 = shared1
ReDim Preserve shared1(3)
Test.Equal UBound(shared1) & UBound(shared2) & shared2(1), "31one", "Preserve on a shared array"
ReDim grid2(1, 0)
grid2(1, 0) = "g"
ReDim Preserve grid2(1, 2)
Test.Equal UBound(grid2, 2) & grid2(1, 0), "2g", "Preserve grows the last dimension"
ReDim wide(0, 0, 0, 0, 0, 0, 0, 0, 0)
wide(0, 0, 0, 0, 0, 0, 0, 0, 0) = "deep"
ReDim Preserve wide(0, 0, 0, 0, 0, 0, 0, 0, 2)
Test.Equal UBound(wide, 9) & wide(0, 0, 0, 0, 0, 0, 0, 0, 0), "2deep", "Preserve with nine dimensions"

Erase b
Test.Equal UBound(b), 2, "Erase keeps a fixed array's size"
Test.Equal IsEmpty(b(0)), True, "Erase clears a fixed array"

Dim m(1, 1)
m(0, 0) = 1 : m(1, 1) = 4
ReDim Preserve d(2)
ReDim e(2)
e(2) = "implicit"
Test.Equal e(2), "implicit", "ReDim declares an undeclared name"

Sub LocalArrays()
    Dim f(2), g
    f(1) = "local"
    Test.Equal f(1), "local", "local fixed array"
    ReDim g(4)
    Test.Equal UBound(g), 4, "local ReDim"
    ReDim h(1)
    h(1) = 5
    Test.Equal h(1), 5, "ReDim declares a local"
End Sub
LocalArrays
Test.Equal IsEmpty(h), True, "a local ReDim leaves no global"

' Arrays are values: assignment copies.
Dim p(1), q
p(0) = "orig"
q = p
q(0) = "changed"
Test.Equal p(0), "orig", "array assignment copies"
Test.Equal q(0), "changed", "the copy changes alone"

Public pub : pub = "public"
Private priv : priv = "private"
Test.Equal pub & priv, "publicprivate", "Public and Private module variables"

' A list grown one element at a time in a procedure takes a shorter path; it must keep every
' rule of ReDim Preserve: values kept, shared copies untouched, shrinking, emptying, and the
' errors of fixed and locked arrays.
Function GrowList(n)
    Dim list(), copy, i
    ReDim list(0)
    list(0) = "first"
    copy = list
    For i = 1 To n
        ReDim Preserve list(i)
        list(i) = i
    Next
    ReDim Preserve list(n - 1)
    GrowList = UBound(copy) & ":" & copy(0) & ":" & UBound(list) & ":" & list(0) & ":" & list(n - 1)
    ReDim Preserve list(-1)
    GrowList = GrowList & ":" & UBound(list)
End Function
On Error Resume Next
Dim grown : grown = GrowList(1000)
Test.Equal Err.Number, 0, "growing a list"
Test.Equal grown, "0:first:999:first:999:-1", "the grown list"

Function GrowHuge()
    Dim list()
    ReDim list(0)
    ReDim Preserve list(2147483646 \ 4)
End Function
Err.Clear
GrowHuge
Test.Equal Err.Number, 7, "a list grown past the memory ceiling"

Function GrowFixed()
    Dim fixed(2)
    ReDim Preserve fixed(3)
End Function
Err.Clear
GrowFixed
Test.Equal Err.Number, 10, "a fixed list in a procedure"
Function GrowWalked()
    Dim list(), item
    ReDim list(2)
    For Each item In list
        ReDim Preserve list(5)
    Next
End Function
Err.Clear
GrowWalked
Test.Equal Err.Number, 10, "a list walked by For Each"
Err.Clear
On Error GoTo 0

' ReDim Preserve of a dynamic array never dimensioned grows it, as the common way of starting a
' list does; it failed with 9 once.
Dim undimensioned()
ReDim Preserve undimensioned(3)
Test.Equal UBound(undimensioned), 3, "Preserve dimensions an array declared with Dim a()"
undimensioned(3) = "last"
ReDim Preserve undimensioned(4)
Test.Equal undimensioned(3), "last", "and keeps what is stored after that"
Function StartList()
    Dim list()
    ReDim Preserve list(0)
    list(0) = "first"
    StartList = list
End Function
Test.Equal StartList()(0), "first", "a local list"
Dim emptied : emptied = Array(1, 2)
Erase emptied
ReDim Preserve emptied(1, 2)
Test.Equal UBound(emptied, 2), 2, "an erased list takes any number of dimensions"
