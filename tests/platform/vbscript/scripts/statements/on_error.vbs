' On Error Resume Next skips the failing statement; On Error GoTo 0 turns it off; handlers
' are per procedure.
Dim r
On Error Resume Next
r = "before"
r = 1 / 0
Test.Equal r, "before", "the failing statement is skipped whole"
Test.Equal Err.Number, 11, "Err.Number"
Test.Equal Err.Description, "Division by zero", "Err.Description"
Test.Equal Err.Source, "VBScript runtime error", "Err.Source"
Err.Clear
Test.Equal Err.Number, 0, "Err.Clear"

Function Fails()
    Fails = "partial"
    Dim x : x = CInt("abc")
    Fails = "complete"
End Function
r = Fails()
Test.Equal r, "before", "an error in a callee without a handler ends the caller's statement"
Test.Equal Err.Number, 13, "the callee's error reaches the caller"
Err.Clear

Function Handles()
    On Error Resume Next
    Dim x : x = CInt("abc")
    Handles = "handled " & Err.Number
End Function
r = Handles()
Test.Equal r, "handled 13", "a callee with its own handler goes on"

' The language's quirk: an error in an If condition goes on inside the If.
r = ""
If 1 / 0 = 5 Then
    r = "inside"
End If
Test.Equal r, "inside", "an error in a condition continues with the next statement"
Err.Clear

' For loops that never started raise 92 at Next.
r = 0
For i = 1 To 1 / 0
    r = r + 1
Next
Test.Equal Err.Number, 92, "For loop not initialized"
Test.Equal r, 1, "the body ran once"
Err.Clear

' A failing header after other loops left theirs, by Exit Do or by running to the end, behaves
' the same: it once ran on with the bounds of the loop before it.
Do
    For i = 1 To 100
        If i = 5 Then Exit Do
    Next
Loop
r = 0
For i = 1 To "many"
    r = r + 1
Next
Test.Equal r, 1, "after an Exit Do out of a For"
Test.Equal Err.Number, 92, "Next of the failed header"
Err.Clear
For i = 1 To 3 : Next
r = 0 : i = 0
For i = 1 To 1 / 0
    r = r + 1
Next
Test.Equal r, 1, "after a For that ran to its end"
Err.Clear

On Error GoTo 0
Test.Equal Err.Number, 0, "On Error GoTo 0 clears Err"

Sub Raises()
    Err.Raise 1234, "MySource", "custom failure"
End Sub
On Error Resume Next
Raises
Test.Equal Err.Number, 1234, "Err.Raise number"
Test.Equal Err.Source, "MySource", "Err.Raise source"
Test.Equal Err.Description, "custom failure", "Err.Raise description"
Err.Clear
Err.Raise 9
Test.Equal Err.Description, "Subscript out of range", "a standard number gets its text"
Test.Equal Err.Source, "VBScript runtime error", "and the runtime's source"
Err.Clear
Err.Raise 31000
Test.Equal Err.Description, "Unknown runtime error", "an unknown number"

' What Err.Raise leaves out it keeps from Err until Err is cleared, so that a caught error can
' be raised again by its number; help file and context stay with the raised error.
Err.Raise 1234, "MySource", "custom failure", "help.chm", 42
Test.Equal Err.HelpFile, "help.chm", "Err.Raise help file"
Test.Equal Err.HelpContext, 42, "Err.Raise help context"
Err.Raise 9
Test.Equal Err.Number, 9, "raised again with another number"
Test.Equal Err.Description, "custom failure", "the description is kept"
Test.Equal Err.Source, "MySource", "the source is kept"
Test.Equal Err.HelpFile, "help.chm", "the help file is kept"
Test.Equal Err.HelpContext, 42, "the help context is kept"
Err.Clear
r = 1 / 0
Err.Raise Err.Number, "Again"
Test.Equal Err.Description, "Division by zero", "a caught runtime error raised again"
Test.Equal Err.HelpFile, "", "a runtime error carries no help"
Err.Clear
Err.Description = "set by hand"
Err.Raise 5
Test.Equal Err.Description, "set by hand", "a description set before the raise"
Err.Clear
r = 1 / 0
Test.Equal Err.HelpContext, 0, "a later error drops the help of an earlier raise"

' An HRESULT of the runtime's family or of Windows raises the error it stands for.
Err.Clear
Err.Raise &h800A00AA
Test.Equal Err.Number, 170, "&h800A00AA"
Err.Clear
Err.Raise &h800A000B
Test.Equal Err.Number, 11, "&h800A000B"
Test.Equal Err.Description, "Division by zero", "with the text of the number"
Err.Clear
Err.Raise &h8007000E
Test.Equal Err.Number, 7, "&h8007000E, out of memory"
Err.Clear
Err.Raise &h80070057
Test.Equal Err.Number, 5, "&h80070057, an invalid argument"
Err.Clear
Err.Raise &h80004005
Test.Equal Err.Number, &h80004005, "another family stays as it is"
Err.Clear
Err.Number = 6
Test.Equal Err.Number, 6, "Err.Number can be set"
r = Err
Test.Equal r, 6, "Number is the default"
On Error Resume Next
Test.Equal Err.Number, 0, "On Error Resume Next clears Err"

' Errors from host objects carry their own numbers.
r = Test.Items(99)
Test.Equal Err.Number, 9, "a host method's error"
Err.Clear
Test.NoSuchMember
Test.Equal Err.Number, 438, "unknown member"
