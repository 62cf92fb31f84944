' expect-error: 424 line 6: Object required
' A member of Nothing is "Object required", read or written, as for a plain value.
Dim o : Set o = Nothing
On Error Resume Next
o.Name = 1
If Err.Number = 424 Then On Error GoTo 0 : x = o.Name
