' The built-in system code: the functions that templates call from their blocks. The script host
' adds it to the "System" module after the locale routine and the common code whenever no
' system-code list is configured. The host then lists every procedure of that module as open to
' user override, so each function here ends with the hook: when the user code defines
' "USER_" & its name, that function gets the output and returns what is put out instead.

' The indentation of the line that holds the "~" block being output. The page function assigns
' it before each such block; system functions converted with "indent" put it after every line
' break of their text. Declared here, at module level, so that both see the same variable.
Dim kqIndentWrk
kqIndentWrk = ""

' The characters that VBStringText writes as more than themselves, besides the quote: the control
' characters but the tab, the Unicode line separators, and "%>".
Dim kqTextEscapes
Set kqTextEscapes = CreateObject("VBScript.RegExp")
kqTextEscapes.Pattern = "[\x00-\x08\x0A-\x1F\u2028\u2029]|%>"

' The output of an "include" session: a server-side include directive, so that the generated
' page takes the file in when the web server serves it. sKind "virtual" names the file from the
' site's root; any other kind (usually "") names it relative to the page.
Function Include_File(sFile, sKind)
    Dim sMode
    If LCase(Trim(sKind)) = "virtual" Then
        sMode = "virtual"
    Else
        sMode = "file"
    End If
    Include_File = "<!--#include " & sMode & "=""" & sFile & """-->"
    If SCRPT.UserModuleExist("USER_Include_File") Then Include_File = USER_Include_File(Include_File)
End Function

' True when the current field is the password column of the user table of a dynamic login,
' whatever its type. Its value never leaves the database: the control file leaves it out of every
' control that would send it (the term "custom:IsLoginPasswordField/Boolean/ne/True"). A
' condition runs this after the table and field it is about have been made current; without them
' the answer is False.
Function IsLoginPasswordField()
    IsLoginPasswordField = False
    If LCase(Trim(PROJ.SecType)) = "dynamic" And IsObject(TABLE) And IsObject(FIELD) Then
        If Not TABLE Is Nothing And Not FIELD Is Nothing Then
            IsLoginPasswordField = (TABLE.TblName = PROJ.SecTbl And FIELD.FldName = PROJ.SecPasswdFld)
        End If
    End If
    If SCRPT.UserModuleExist("USER_IsLoginPasswordField") Then IsLoginPasswordField = USER_IsLoginPasswordField(IsLoginPasswordField)
End Function

' A text as it stands between the double quotes of a VBScript string literal in a generated page,
' such as a database's name in the SQL or the code of a page: quotes doubled; a line break, which
' would end the literal, or another control character (a NUL ends the script on some servers)
' joined in as an expression (" & vbLf & "); and "%>" split in two, since the server ends the
' script block there, inside a literal too. A tab stays as it is.
Function VBStringText(sText)
    Dim nAt, nCode, sChar
    VBStringText = CStr(sText)
    ' Nearly every name needs no more than its quotes doubled: one native look tells, and only a
    ' text that holds more is walked character by character.
    If kqTextEscapes.Test(VBStringText) Then
        VBStringText = Replace(Replace(VBStringText, """", """"""), "%>", "%"" & "">")
        For nAt = Len(VBStringText) To 1 Step -1
            nCode = AscW(Mid(VBStringText, nAt, 1))
            If (nCode >= 0 And nCode < 32 And nCode <> 9) Or nCode = &H2028 Or nCode = &H2029 Then
                Select Case nCode
                    Case 10
                        sChar = "vbLf"
                    Case 13
                        sChar = "vbCr"
                    Case Else
                        sChar = "ChrW(" & nCode & ")"
                End Select
                VBStringText = Left(VBStringText, nAt - 1) & """ & " & sChar & " & """ & Mid(VBStringText, nAt + 1)
            End If
        Next
    ElseIf InStr(VBStringText, """") > 0 Then
        VBStringText = Replace(VBStringText, """", """""")
    End If
    If SCRPT.UserModuleExist("USER_VBStringText") Then VBStringText = USER_VBStringText(VBStringText)
End Function
