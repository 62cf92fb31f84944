' A subscript that is an object runs its default value, and that code may change or free the very
' array being indexed. The element is reached only once every subscript is a number, in what the
' variable holds by then; before, the store went through the freed array into whatever took its
' memory, and reads saw freed memory.
Dim a, b, mode, log

Class Idx
    Public Default Property Get V
        Select Case mode
        Case "empty"
            a = Empty
            ReDim b(10)
        Case "shrink"
            ReDim a(0)
            ReDim b(10)
        Case "grow"
            ReDim Preserve a(20)
        Case "erase"
            Erase a
        Case "replace"
            a = Array("n0", "n1", "n2", "n3", "n4", "n5")
        Case "field"
            h.f = Empty
            ReDim b(10)
        Case "nested"
            a = Empty
        End Select
        log = log & mode & ";"
        V = 5
    End Property
End Class

Class Holder
    Public f
End Class

Dim o, h, y
Set o = New Idx
Set h = New Holder
On Error Resume Next

Sub Check(expected, what)
    Test.Equal Err.Number, expected, what
    Err.Clear
End Sub

Sub Arm(newMode)
    mode = newMode
    ReDim a(10)
    b = Empty
    Err.Clear
End Sub

' A store whose variable no longer holds an array fails as a store into that value does.
Arm "empty"
a(o) = "written through a freed array"
Check 13, "a(o) = ... after the array went"
Test.IsTrue IsEmpty(b(5)), "nothing else changed"
Arm "shrink"
a(o) = "x"
Check 9, "a(o) = ... after ReDim a(0)"
Test.IsTrue IsEmpty(b(5)), "nothing else changed after ReDim a(0)"
Arm "erase"
a(o) = "x"
Check 9, "a(o) = ... after Erase"
Arm "grow"
a(o) = "kept"
Check 0, "a(o) = ... after ReDim Preserve"
Test.Equal UBound(a) & a(5), "20kept", "the grown array is written"
Arm "replace"
a(o) = "r5"
Test.Equal Join(a, ","), "n0,n1,n2,n3,n4,r5", "the new array is written"

' Reads.
Arm "empty"
y = "before"
y = a(o)
Check 13, "y = a(o) after the array went"
Arm "shrink"
y = a(o)
Check 9, "y = a(o) after ReDim a(0)"
Arm "replace"
y = a(o)
Test.Equal y, "n5", "y = a(o) reads the new array"
Arm "shrink"
ReDim a(1, 10)
y = a(1, o)
Check 9, "a(1, o) after ReDim a(0)"
Arm "shrink"
ReDim a(1, 10)
a(1, o) = 1
Check 9, "a(1, o) = ... after ReDim a(0)"

' Local arrays and arrays passed by reference.
Sub LocalStore()
    Dim l
    ReDim l(10)
    mode = "none"
    l(o) = "local"
    Test.Equal l(o), "local", "a local array indexed by an object"
End Sub
LocalStore
Sub ByRefStore(arr)
    arr(o) = "byref"
    Check 13, "arr(o) = ... where arr stands for a freed array"
End Sub
Sub ByRefRead(arr)
    y = arr(o)
    Check 9, "y = arr(o) where arr stands for a shrunk array"
End Sub
Arm "empty"
ByRefStore a
Test.IsTrue IsEmpty(b(5)), "nothing else changed through the ByRef argument"
Arm "shrink"
ByRefRead a

' A class field.
Arm "field"
h.f = Array(0, 1, 2, 3, 4, 5, 6)
h.f(o) = "field"
Check 13, "h.f(o) = ... after the field's array went"
Test.IsTrue IsEmpty(b(5)), "nothing else changed through the field"
h.f = Array(0, 1, 2, 3, 4, 5, 6)
y = h.f(o)
Check 13, "y = h.f(o) after the field's array went"

' An element passed by reference.
Sub Touch(ByRef x)
    x = "touched"
End Sub
Arm "shrink"
Touch a(o)
Check 9, "Touch a(o) after ReDim a(0)"
Arm "empty"
Touch a(o)
Check 13, "Touch a(o) after the array went"

' Nested arrays hold the inner array while the subscript runs.
Arm "nested"
a = Array(Array(0, 1, 2, 3, 4, "inner"))
y = a(0)(o)
Check 0, "a(0)(o)"
Test.Equal y, "inner", "a(0)(o) reads the inner array it had"

Test.Equal log, "empty;shrink;erase;grow;replace;empty;shrink;replace;shrink;shrink;none;none;" & _
    "empty;shrink;field;field;shrink;empty;nested;", "each subscript was converted once"
