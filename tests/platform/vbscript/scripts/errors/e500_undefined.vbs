' expect-error: 500 line 3: Variable is undefined: 'y'
Option Explicit
Dim x : x = y
