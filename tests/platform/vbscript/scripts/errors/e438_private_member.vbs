' expect-error: 438 line 6: Object doesn't support this property or method
Class Secret
    Private Hidden
End Class
Set s = New Secret
x = s.Hidden
