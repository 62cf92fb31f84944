' A procedure defined again while it runs finishes the code it began with, at every depth;
' the next call runs the new definition. The first definition comes from ExecuteGlobal, so that
' nothing but the module holds it.
Dim replacement : replacement = "Function Phase(depth) : Phase = ""new"" & depth : End Function"
ExecuteGlobal "Function Phase(depth)" & vbCrLf & _
    "Dim label : label = ""old"" & depth" & vbCrLf & _
    "If depth = 0 Then ExecuteGlobal replacement Else label = label & ""/"" & Phase(depth - 1)" & vbCrLf & _
    "Phase = label & "":"" & String(3, ""x"")" & vbCrLf & _
    "End Function"
Test.Equal Phase(2), "old2/old1/old0:xxx:xxx:xxx", "the running calls finish the old code"
Test.Equal Phase(3), "new3", "later calls run the new code"

' Replaced by a variable of the same name while it runs.
ExecuteGlobal "Sub Gone() : ExecuteGlobal ""Dim Gone : Gone = 7"" : Test.Equal 1 + 1, 2, ""after the Dim"" : End Sub"
Gone
Test.Equal Gone, 7, "the name is a variable now"
