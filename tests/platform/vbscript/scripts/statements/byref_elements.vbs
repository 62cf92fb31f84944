' Array elements passed to ByRef parameters: the callee changes the element itself, and the
' array is locked for the call so that nothing can move the element meanwhile.
Sub Inc(ByRef x)
    x = x + 1
End Sub
Sub IncByVal(ByVal x)
    x = x + 1
End Sub

Dim a(3)
a(1) = 10
Inc a(1)
Test.Equal a(1), 11, "an element of a module array"
IncByVal a(1)
Test.Equal a(1), 11, "a ByVal parameter gets a copy"
Inc (a(1))
Test.Equal a(1), 11, "a parenthesised element goes by value"
Call Inc(a(1))
Test.Equal a(1), 12, "Call with parentheses"

Dim grid(2, 2)
grid(1, 2) = 5
Inc grid(1, 2)
Test.Equal grid(1, 2), 6, "two subscripts"

Dim i : i = 2
a(2) = 0
Inc a(i)
Inc a(i * 2 - 2)
Test.Equal a(2), 2, "subscripts from variables and expressions"

Sub AppendY(ByRef s)
    s = s & "y"
End Sub
Sub LocalArray()
    Dim b(1)
    b(0) = "x"
    AppendY b(0)
    Test.Equal b(0), "xy", "an element of a local array"
End Sub
LocalArray

' The element written is the variable's own, not that of a copy sharing the array.
Dim c, d
c = Array(1, 2)
d = c
Inc c(0)
Test.Equal c(0) & "," & d(0), "2,1", "a copy of the array keeps its value"

' A function in argument position is still called, with its own arguments by reference.
Function Twice(ByRef v)
    v = v * 2
    Twice = v
End Function
Dim k : k = 3
Inc Twice(k)
Test.Equal k, 6, "a function's variable argument"

' ReDim of the array inside the call is refused; afterwards it works again.
Dim e()
ReDim e(2)
Sub Grow(ByRef x)
    On Error Resume Next
    ReDim Preserve e(10)
    Test.Equal Err.Number, 10, "ReDim of the array during the call"
    x = "changed"
End Sub
Grow e(1)
Test.Equal e(1), "changed", "the element after the refused ReDim"
ReDim Preserve e(5)
Test.Equal UBound(e), 5, "unlocked after the call"

' An error in the callee unlocks the array too.
Sub Fail(ByRef x)
    x = 1
    Err.Raise 5
End Sub
On Error Resume Next
Fail e(0)
Test.Equal Err.Number, 5, "the callee's error"
On Error GoTo 0
Test.Equal e(0), 1, "written before the error"
ReDim Preserve e(6)
Test.Equal UBound(e), 6, "unlocked after an error in the call"

Class Holder
    Public items(1)
    Sub Bump()
        Inc items(0)
    End Sub
End Class
Dim h : Set h = New Holder
h.items(0) = 1
h.Bump
Test.Equal h.items(0), 2, "an element of a field array"

' An error raised in a nested run of script code (a default property the library reads) also
' ends the call and its lock.
Class Faulty
    Public Default Property Get Value()
        Err.Raise 7
    End Property
End Class
Sub TakeText(ByRef x, y)
    x = CStr(y)
End Sub
Dim faultyObject : Set faultyObject = New Faulty
Dim g()
ReDim g(1)
On Error Resume Next
TakeText g(0), faultyObject
Test.Equal Err.Number, 7, "the nested error reaches the caller"
On Error GoTo 0
ReDim Preserve g(3)
Test.Equal UBound(g), 3, "unlocked after an error in a nested run"
