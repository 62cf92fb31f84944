' expect-error: 1002 line 3: Syntax error
x = 1
On Error Resume Later
