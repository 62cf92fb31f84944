Class Link
    Public NextLink
    Private Sub Class_Terminate()
        Dim t : t = 1
    End Sub
End Class
Dim head, n, i, a
Set head = Nothing
For i = 1 To 100000
    Set n = New Link
    Set n.NextLink = head
    Set head = n
Next
Set n = Nothing
Set head = Nothing
For i = 1 To 200000 : a = Array(a) : Next
a = Empty
Dim o, x : Set o = CreateObject("Scripting.Dictionary") : Set x = o
For i = 1 To 100000
    Dim y : Set y = CreateObject("Scripting.Dictionary")
    x.Add "n", y : Set x = y
Next
Set keep = New Link
