' expect-error: 500 line 4: Variable is undefined: 'y'
' The error reported to the host names the variable; Err.Description is the bare text.
Option Explicit
Dim x : x = y
