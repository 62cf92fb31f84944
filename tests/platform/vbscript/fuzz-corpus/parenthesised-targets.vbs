Class C
Public P
Function Ret
Set Ret = Me
End Function
End Class
x = (New C).P
Call (New C).Ret()
y = (f)(x)
y = ((a))(0)
call (((s))) ((x))
Set z = (New C).Ret() _
  .Ret()
Set r = New RegExp
