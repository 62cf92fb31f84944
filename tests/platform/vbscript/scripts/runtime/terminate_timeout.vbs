' The time-out expires while a long chain of objects with Class_Terminate is being released at
' the engine's end: the rest are dropped without it. Dropping them once freed the queue it was
' still walking. The first Class_Terminate never ends, so the release always meets the time-out,
' and the chain is short enough that building it never does, however busy the machine.
' timeout: 2000
Class Link
    Public NextLink
    Private Sub Class_Terminate()
        Do : Loop
    End Sub
End Class
Dim head, node, i
Set head = Nothing
For i = 1 To 2000
    Set node = New Link
    Set node.NextLink = head
    Set head = node
Next
Set node = Nothing
Test.Echo "built"
