' Releasing a long chain of objects or arrays frees one link after another instead of recursing
' through the native stack, which overflowed with chains of this length.
' timeout: 120000
Class ListNode
    Public NextNode
    Public Value
End Class

Dim head, node, i
Set head = Nothing
For i = 1 To 100000
    Set node = New ListNode
    node.Value = i
    Set node.NextNode = head
    Set head = node
Next
Set node = Nothing
Test.Equal head.Value, 100000, "the list is built"
Set head = Nothing

Dim nested
nested = Empty
For i = 1 To 200000
    nested = Array(nested)
Next
Test.Equal UBound(nested), 0, "the nested arrays are built"
nested = Empty

Dim outer, inner
Set outer = CreateObject("Scripting.Dictionary")
Set inner = outer
For i = 1 To 200000
    Dim d
    Set d = CreateObject("Scripting.Dictionary")
    inner.Add "next", d
    Set inner = d
Next
Set d = Nothing
Set inner = Nothing
Set outer = Nothing

' Class_Terminate still runs for every link of a chain.
Dim terminated
terminated = 0
Class Counted
    Public NextNode
    Private Sub Class_Terminate()
        terminated = terminated + 1
    End Sub
End Class
Set head = Nothing
For i = 1 To 20000
    Set node = New Counted
    Set node.NextNode = head
    Set head = node
Next
Set node = Nothing
Set head = Nothing
Test.Equal terminated, 20000, "Class_Terminate ran for every node"
Test.Echo "done"
