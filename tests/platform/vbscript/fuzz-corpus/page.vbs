' A page function as the template conversion writes it: text pieces in an array, expressions
' between them, code blocks in between, the output appended to kqOut.
Dim TABLE
Set TABLE = Test.Tables("Orders")

Function USER_Caption(value)
    USER_Caption = "[" & value & "]"
End Function

Function kqScriptEngine()
On Error Resume Next
Dim kqAr(3)
Dim kqOut
kqAr(1) = "<h1>"
kqAr(2) = "</h1>" & vbCrLf
kqAr(3) = "<li>"
kqOut = kqOut & kqAr(1) & USER_Caption(TABLE.Name) & kqAr(2)
Dim i
For i = 1 To 3
kqOut = kqOut & kqAr(3) & i & vbCrLf
Next
kqOut = kqOut & Test.NoSuchMember & "after error" & vbCrLf
kqScriptEngine = kqOut
End Function

Test.Write kqScriptEngine()
