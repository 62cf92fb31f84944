' Function and Sub with ByRef (the default) and ByVal parameters, Exit Function/Sub, recursion.
Function Fib(n)
    If n < 2 Then
        Fib = n
        Exit Function
    End If
    Fib = Fib(n - 1) + Fib(n - 2)
End Function
Test.Equal Fib(15), 610, "recursion"

Sub Modify(ByRef a, ByVal b, c)
    a = a + 1
    b = b + 1
    c = c + 1
End Sub
Dim x, y, z
x = 1 : y = 1 : z = 1
Modify x, y, z
Test.Equal x, 2, "ByRef writes back"
Test.Equal y, 1, "ByVal does not"
Test.Equal z, 2, "ByRef is the default"

Sub Early(ByRef out)
    out = "before"
    Exit Sub
    out = "after"
End Sub
Early x
Test.Equal x, "before", "Exit Sub"

Function NoValue()
End Function
Test.Equal IsEmpty(NoValue()), True, "a Function that sets nothing returns Empty"

Function ReadsOwnName()
    ReadsOwnName = 5
    ReadsOwnName = ReadsOwnName * 2
End Function
Test.Equal ReadsOwnName(), 10, "the function's name is its result inside it"

Dim arr(2)
Sub FillArray(a)
    a(1) = "filled"
End Sub
FillArray arr
Test.Equal arr(1), "filled", "an array passed by reference"

Sub Outer(ByRef v)
    Inner v
End Sub
Sub Inner(ByRef w)
    w = "deep"
End Sub
Outer y
Test.Equal y, "deep", "a reference passed on"

Function Implicit()
    undeclared = 5
    Implicit = undeclared
End Function
Test.Equal Implicit(), 5, "an undeclared name in a procedure"
Test.Equal IsEmpty(undeclared), True, "is local to it"

Dim shared
Function UsesGlobal()
    shared = "set inside"
End Function
UsesGlobal
Test.Equal shared, "set inside", "a declared global is visible in procedures"

Function Loops(n)
    Dim i
    For i = 1 To n
        If i = 3 Then Exit Function
        Loops = i
    Next
End Function
Test.Equal Loops(10), 2, "Exit Function inside a loop"

Sub ByRefToHost(v)
    Test.AddOne v
End Sub
x = 1
ByRefToHost x
Test.Equal x, 2, "a parameter passed on by reference to a host method"

Function Multi(a, b, c)
    Multi = a & b & c
End Function
Test.Equal Multi("a", "b", "c"), "abc", "three arguments"
