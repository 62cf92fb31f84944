' The time-out expires while a long chain of objects with Class_Terminate is being released at
' the engine's end: the rest are dropped without it. Dropping them once freed the queue it was
' still walking.
' timeout: 300
Class Link
    Public NextLink
    Private Sub Class_Terminate()
        Dim spin : spin = 0
        Do While spin < 1000 : spin = spin + 1 : Loop
    End Sub
End Class
Dim head, node, i
Set head = Nothing
For i = 1 To 20000
    Set node = New Link
    Set node.NextLink = head
    Set head = node
Next
Set node = Nothing
Test.Echo "built"
