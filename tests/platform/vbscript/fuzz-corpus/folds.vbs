Const Five = 5
Dim x, a()
If False Then x = ("abc" = 5) + 1 / 0 + 2 ^ 9999 + -"z"
On Error Resume Next
x = "abc" = Five : x = " " = 0 : x = 5 > "abc" : x = "abc" = &hff& : x = "abc" = -1e2
x = -3 ^ 2 ^ -2 : x = - - -2 ^ 2 : x = 2 ^ -(-3)
ReDim Preserve a(3) : For Each x In a : Next : Erase a : For Each x In a : Next
For x = 1 To "abc" : Next
Call CInt(x) : CStr x
Err.Raise &h800A00AA, , , "h", 1 : Err.Raise &h8007000E : Err.Raise 5
Execute "x = (" : ExecuteGlobal "If" : x = Eval("1 +")
Class RegExp : End Class
Set x = New RegExp
