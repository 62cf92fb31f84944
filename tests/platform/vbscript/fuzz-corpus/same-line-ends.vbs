If c Then x = 1 Else x = 2 End If
If c Then :
If c Then x = 1 Else
If c Then
x = 1 End If
If c Then
x = 1
Else:x = 3 End If
Sub s()x = 3:x = x + 1
End Sub
Sub t() x = true End Sub
Function f() x = 8
End Function
Class C
Dim x End Class
Class D
Function g
x = 0 End Function End Class
