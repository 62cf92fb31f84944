' Objects released by one statement, however it releases them: each Class_Terminate runs once and
' to its end before the next starts. They ran inside one another, so a terminator's update was
' lost (x = x + 1 read x before the others wrote it), and past the call depth the engine wrote
' beyond its value stack or dropped terminators in silence.
Dim x, running, nested, logged
Class Counted
    Private Sub Class_Terminate()
        running = running + 1
        If running > 1 Then nested = nested + 1
        x = x + 1
        running = running - 1
    End Sub
End Class

Sub Fill(list, count)
    ReDim list(count - 1)
    Dim index
    For index = 0 To count - 1
        Set list(index) = New Counted
    Next
End Sub

Sub Check(expected, way)
    Test.Equal x, expected, way & ": every terminator ran"
    Test.Equal nested, Empty, way & ": one after another"
    x = Empty
End Sub

Dim a
Fill a, 3000
Erase a
Check 3000, "Erase"

Fill a, 3000
a = Empty
Check 3000, "assignment"

Fill a, 20001
ReDim a(0)
Check 20001, "ReDim"

Fill a, 3000
ReDim Preserve a(0)
Dim y : y = x
Test.Equal y, 2999, "ReDim Preserve: the terminators ran before the next statement"
a = Empty
Check 3000, "ReDim Preserve"

Dim d, index
Set d = CreateObject("Scripting.Dictionary")
For index = 1 To 3000
    d.Add index, New Counted
Next
d.RemoveAll
Check 3000, "RemoveAll"

Sub MakeAndLeave()
    Dim mine
    Fill mine, 3000
End Sub
MakeAndLeave
Check 3000, "the end of a procedure"

' A terminator that releases the next link itself: the chain runs deeper than the call limit,
' and what waits there runs when the frames above it return.
Class Link
    Public NextLink
    Private Sub Class_Terminate()
        x = x + 1
        Set NextLink = Nothing
    End Sub
End Class
Dim head, newest
Set head = Nothing
For index = 1 To 3000
    Set newest = New Link
    Set newest.NextLink = head
    Set head = newest
Next
Set newest = Nothing
Set head = Nothing
Test.Equal x, 3000, "a chain released from inside the terminators"
x = Empty

' On Error Resume Next inside a terminator holds while the script runs.
Class Careful
    Private Sub Class_Terminate()
        On Error Resume Next
        Err.Raise 6
        logged = logged & "after " & Err.Number
    End Sub
End Class
Dim guarded : Set guarded = New Careful
Set guarded = Nothing
Test.Equal logged, "after 6", "On Error Resume Next in Class_Terminate"
