' The built-in system code: the functions that templates call from their blocks. The script host
' adds it to the "System" module after the locale routine and the common code whenever no
' system-code list is configured. Every procedure here is offered for user override: a user
' function "USER_" & name wraps the output of a "=" or "~" block that calls it.

' The indentation of the line that holds the "~" block being output. The page function assigns
' it before each such block; system functions converted with "indent" put it after every line
' break of their text. Declared here, at module level, so that both see the same variable.
Dim kqIndentWrk
kqIndentWrk = ""

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
End Function
