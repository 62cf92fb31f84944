' Procedure calls: a Sub with a ByRef argument, a Function with ByVal arguments, and recursion.
Function Fib(ByVal n)
    If n < 2 Then
        Fib = n
    Else
        Fib = Fib(n - 1) + Fib(n - 2)
    End If
End Function

Sub Accumulate(ByRef total, ByVal value)
    total = total + value
End Sub

Function Mix(ByVal a, ByVal b)
    Mix = (a * 31 + b) Mod 1009
End Function

Function Main(n)
    Dim i, total
    total = 0
    For i = 1 To n
        Accumulate total, Mix(i, total)
    Next
    Main = total + Fib(25)
End Function
