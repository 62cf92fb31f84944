' expect-error: 92 line 6: For loop not initialized
On Error Resume Next
For i = 1 To CInt("x")
Next
On Error GoTo 0
For i = 1 To CInt("x"): Next
