' expect-error: 1041 line 4: Name redefined
Function Same()
End Function
Dim Same
