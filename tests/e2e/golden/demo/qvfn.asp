<%

' Shared functions of the pages of shop. Every page includes this file
' after qvcfg.asp.
' ADO constants the pages use.

Const adCmdText = 1
Const adParamInput = 1
Const adUseClient = 3
Const adOpenStatic = 3
Const adLockReadOnly = 1
Const adBoolean = 11
Const adDecimal = 14
Const adNumeric = 131
Const adVarNumeric = 139

' Opens the site's database connection.
Function qvOpenConnection()
    Dim oConn
    Set oConn = Server.CreateObject("ADODB.Connection")
    oConn.Open QV_CONNECTION_STRING
    Set qvOpenConnection = oConn
End Function

' Closes a connection that qvOpenConnection opened; anything else is left alone.
Sub qvCloseConnection(oConn)
    If IsObject(oConn) Then
        If Not oConn Is Nothing Then
            If oConn.State <> 0 Then oConn.Close
        End If
    End If
End Sub

' A command of SQL text with "?" placeholders; values are bound with qvAddParam, in placeholder
' order, never spliced into the text.
Function qvNewCommand(oConn, sSql)
    Dim oCmd
    Set oCmd = Server.CreateObject("ADODB.Command")
    Set oCmd.ActiveConnection = oConn
    oCmd.CommandType = adCmdText
    oCmd.CommandText = sSql
    Set qvNewCommand = oCmd
End Function

' Binds the next placeholder. An empty value binds Null; text needs a size of at least its length;
' an exact number carries its own digits and decimals, which the database would otherwise cut to
' a whole number.
Sub qvAddParam(oCmd, nType, nSize, vValue)
    Dim nLen, oParam, sDigits, nPoint
    If IsEmpty(vValue) Then vValue = Null
    nLen = nSize
    If Not IsNull(vValue) And VarType(vValue) = vbString Then
        If Len(vValue) > nLen Then nLen = Len(vValue)
    End If
    If nLen <= 0 Then nLen = 1
    Set oParam = oCmd.CreateParameter("", nType, adParamInput, nLen, vValue)
    If (nType = adDecimal Or nType = adNumeric Or nType = adVarNumeric) And Not IsNull(vValue) Then
        sDigits = CStr(Abs(vValue))
        If InStr(UCase(sDigits), "E") > 0 Then
            oParam.Precision = 28
            oParam.NumericScale = 14
        Else
            nPoint = InStr(sDigits, Mid(CStr(0.5), 2, 1))
            If nPoint > 0 Then
                oParam.NumericScale = Len(sDigits) - nPoint
                sDigits = Left(sDigits, nPoint - 1) & Mid(sDigits, nPoint + 1)
            Else
                oParam.NumericScale = 0
            End If
            oParam.Precision = Len(sDigits)
        End If
    End If
    oCmd.Parameters.Append oParam
End Sub

' A read-only recordset over a command, with a client cursor so that it can be paged. A read the
' database refuses (a column dropped or renamed since the site was generated) ends the page with
' the site's own words: the driver's message names the database's tables and columns.
Function qvOpenRecordset(oCmd)
    Dim oRs, bFailed
    Set oRs = Server.CreateObject("ADODB.Recordset")
    oRs.CursorLocation = adUseClient
    On Error Resume Next
    oRs.Open oCmd, , adOpenStatic, adLockReadOnly
    bFailed = (Err.Number <> 0)
    On Error GoTo 0
    If bFailed Then
        Response.Clear
        Response.Status = "500 Internal Server Error"
        Response.Write "The records could not be read: the database may have changed since this site was generated."
        Response.End
    End If
    Set qvOpenRecordset = oRs
End Function

' Text for HTML, Null as nothing.
Function qvHtml(vValue)
    If IsNull(vValue) Or IsEmpty(vValue) Then
        qvHtml = ""
    Else
        qvHtml = Server.HTMLEncode(CStr(vValue))
    End If
End Function

' Text for a URL's query string, Null as nothing.
Function qvUrl(vValue)
    If IsNull(vValue) Or IsEmpty(vValue) Then
        qvUrl = ""
    Else
        qvUrl = Server.URLEncode(CStr(vValue))
    End If
End Function

' A request value from the posted form, or else from the query string, trimmed.
Function qvRequestValue(sName)
    Dim sValue
    sValue = Request.Form(sName)
    If sValue = "" Then sValue = Request.QueryString(sName)
    qvRequestValue = Trim(sValue)
End Function

' Converts request text to a value of its kind ("int", "num", "date", "datetime", "time", "bool",
' "text", "memo", "hex"). An empty text gives Null; False when the text is no value of that kind. The
' date and time inputs send ISO forms ("2024-03-09T14:05:30"), which parse whatever the locale.
Function qvParseValue(sText, sKind, vValue)
    Dim sDate, nDigit
    qvParseValue = True
    vValue = Null
    If sKind = "bool" Then
        vValue = (sText = "1" Or LCase(sText) = "on" Or LCase(sText) = "true")
        Exit Function
    End If
    If sText = "" Then Exit Function

    ' A driver may end a value at a NUL, and find or store only what comes before it: no value
    ' of any kind holds one.

    If InStr(sText, ChrW(0)) > 0 Then
        qvParseValue = False
        Exit Function
    End If
    Select Case sKind
        Case "int"
            If IsNumeric(sText) Then
                If CDbl(sText) = Fix(CDbl(sText)) Then
                    vValue = CDbl(sText)
                    Exit Function
                End If
            End If
            qvParseValue = False
        Case "num"
            If IsNumeric(sText) Then
                vValue = CDbl(sText)
            Else
                qvParseValue = False
            End If
        Case "hex"

            ' The bytes of a binary key, two hexadecimal digits each.
            If Len(sText) Mod 2 = 0 And Len(sText) <= 8000 Then
                vValue = UCase(sText)
                For nDigit = 1 To Len(sText)
                    If InStr("0123456789ABCDEF", Mid(vValue, nDigit, 1)) = 0 Then qvParseValue = False
                Next
            Else
                qvParseValue = False
            End If
            If Not qvParseValue Then vValue = Null
        Case "date", "datetime", "time"
            sDate = sText
            If Len(sDate) > 10 And Mid(sDate, 11, 1) = "T" Then sDate = Left(sDate, 10) & " " & Mid(sDate, 12)
            If IsDate(sDate) Then
                vValue = CDate(sDate)
                If sKind = "time" Then vValue = TimeValue(vValue)
                If sKind = "date" Then vValue = DateValue(vValue)
            Else
                qvParseValue = False
            End If
        Case Else
            vValue = sText
    End Select
End Function

' The kind of refusal when the database refuses a change: "required" (a value missing),
' "duplicate", "reference" (a record that others refer to, or one that refers to nothing) or ""
' for any other. The driver's message names the server, the database and its constraints, and
' may quote the row: it is read for the kind, never shown.
Function qvRefusalKind(sDescription)
    Dim sText
    sText = LCase(sDescription)
    If InStr(sText, "null value in column") > 0 Or InStr(sText, "not null constraint") > 0 Or _
       InStr(sText, "cannot be null") > 0 Or InStr(sText, "doesn't have a default value") > 0 Or _
       InStr(sText, "cannot insert the value null") > 0 Or InStr(sText, "cannot contain a null value") > 0 Or _
       InStr(sText, "may not be null") > 0 Then
        qvRefusalKind = "required"
    ElseIf InStr(sText, "duplicate") > 0 Or InStr(sText, "unique") > 0 Then
        qvRefusalKind = "duplicate"
    ElseIf InStr(sText, "foreign key") > 0 Or InStr(sText, "parent row") > 0 Or _
           InStr(sText, "reference constraint") > 0 Or InStr(sText, "related records") > 0 Or _
           InStr(sText, "still referenced") > 0 Then
        qvRefusalKind = "reference"
    Else
        qvRefusalKind = ""
    End If
End Function

' The page's own words for a refusal of that kind, as HTML; a delete refused for a reference is
' one of a record that others refer to.
Function qvRefusalText(sKind, bDelete)
    Select Case sKind
        Case "required"
            qvRefusalText = "A required value is missing."
        Case "duplicate"
            qvRefusalText = "Another record already has the same value."
        Case Else
            If sKind = "reference" And bDelete Then
                qvRefusalText = "Other records refer to this record."
            Else
                qvRefusalText = "The database refused the change."
            End If
    End Select
End Function

' Whether the database's message names a column: quoted, or after its table's name and a dot.
Function qvNamesColumn(sDescription, sColumnName)
    Dim sText, sName, nAt, sAfter
    qvNamesColumn = False
    sText = LCase(sDescription)
    sName = LCase(sColumnName)
    If InStr(sText, """" & sName & """") > 0 Or InStr(sText, "'" & sName & "'") > 0 Or _
       InStr(sText, "`" & sName & "`") > 0 Or InStr(sText, "[" & sName & "]") > 0 Then
        qvNamesColumn = True
        Exit Function
    End If
    nAt = InStr(sText, "." & sName)
    Do While nAt > 0
        sAfter = Mid(sText, nAt + Len(sName) + 1, 1)
        If sAfter = "" Or InStr(" ,;:()'""" & vbCr & vbLf, sAfter) > 0 Then
            qvNamesColumn = True
            Exit Function
        End If
        nAt = InStr(nAt + 1, sText, "." & sName)
    Loop
End Function

' Whether a whole number fits the integer type of its column (by ADO type code): one beyond it
' is no value of that column, and as a key it names no record.
Function qvFits(vValue, nType)
    qvFits = True
    If IsNull(vValue) Or IsEmpty(vValue) Then Exit Function
    Select Case nType
        Case 16
            qvFits = (vValue >= -128 And vValue <= 127)
        Case 17
            qvFits = (vValue >= 0 And vValue <= 255)
        Case 2
            qvFits = (vValue >= -32768 And vValue <= 32767)
        Case 18
            qvFits = (vValue >= 0 And vValue <= 65535)
        Case 3
            qvFits = (vValue >= -2147483648 And vValue <= 2147483647)
        Case 19
            qvFits = (vValue >= 0 And vValue <= 4294967295)
        Case 20
            qvFits = (vValue >= -9.2233720368547E+18 And vValue <= 9.2233720368547E+18)
        Case 21
            qvFits = (vValue >= 0 And vValue <= 1.8446744073709E+19)
    End Select
End Function

' Text that a LIKE pattern matches literally: with an escape character its own wildcards and
' itself are escaped; without one (a database that takes no ESCAPE clause) they are put in
' brackets.
Function qvLikeText(sText, sEscape)
    If sEscape <> "" Then
        qvLikeText = Replace(Replace(Replace(Replace(sText, sEscape, sEscape & sEscape), "%", sEscape & "%"), _
                                     "_", sEscape & "_"), "[", sEscape & "[")
    Else
        qvLikeText = Replace(Replace(Replace(sText, "[", "[[]"), "%", "[%]"), "_", "[_]")
    End If
End Function

' A value shown in a page, by its kind: a date-time with its time of day, a time without the
' day that stands for "no date".
Function qvFormatValue(vValue, sKind)
    If IsNull(vValue) Or IsEmpty(vValue) Then
        qvFormatValue = ""
        Exit Function
    End If
    Select Case sKind
        Case "bool"
            If CBool(vValue) Then
                qvFormatValue = QV_PHRASE_YES
            Else
                qvFormatValue = QV_PHRASE_NO
            End If
        Case "date", "datetime", "time"
            If IsDate(vValue) Then
                If sKind = "time" Then
                    qvFormatValue = FormatDateTime(CDate(vValue), vbLongTime)
                ElseIf sKind = "datetime" And QV_DATE_FORMAT <> vbGeneralDate Then
                    qvFormatValue = FormatDateTime(CDate(vValue), QV_DATE_FORMAT) & " " & _
                                    FormatDateTime(CDate(vValue), vbLongTime)
                Else
                    qvFormatValue = FormatDateTime(CDate(vValue), QV_DATE_FORMAT)
                End If
                qvFormatValue = Server.HTMLEncode(qvFormatValue)
            Else
                qvFormatValue = qvHtml(vValue)
            End If
        Case "memo"
            qvFormatValue = Replace(qvHtml(vValue), vbLf, "<br>")
        Case "blob"

            ' Bytes are shown through a picture page, never as text.
            qvFormatValue = ""
        Case Else
            qvFormatValue = qvHtml(vValue)
    End Select
End Function

' A value as the text of its input, in the ISO forms the date and time inputs expect; a check
' box's "1" when set.
Function qvInputText(vValue, sKind)
    Dim dValue
    qvInputText = ""
    If IsNull(vValue) Or IsEmpty(vValue) Then Exit Function
    Select Case sKind
        Case "bool"
            If CBool(vValue) Then qvInputText = "1"
            Exit Function
        Case "date", "datetime", "time"
            If IsDate(vValue) Then
                dValue = CDate(vValue)
                If sKind <> "time" Then
                    qvInputText = Year(dValue) & "-" & Right("0" & Month(dValue), 2) & "-" & Right("0" & Day(dValue), 2)
                End If
                If sKind = "datetime" Then qvInputText = qvInputText & "T"
                If sKind <> "date" Then
                    qvInputText = qvInputText & Right("0" & Hour(dValue), 2) & ":" & _
                                  Right("0" & Minute(dValue), 2) & ":" & Right("0" & Second(dValue), 2)
                End If
                Exit Function
            End If
    End Select
    qvInputText = CStr(vValue)
End Function

Function qvInputValue(vValue, sKind)
    qvInputValue = Server.HTMLEncode(qvInputText(vValue, sKind))
End Function

' Whether the posted field still holds the text its input was given: a value the user left
' alone is not written back (it may have details the form cannot show). Line breaks of a text
' area come back as CR LF.
Function qvUnchanged(sName, vValue, sKind)
    qvUnchanged = (Replace(Request.Form(sName), vbCrLf, vbLf) = Replace(qvInputText(vValue, sKind), vbCrLf, vbLf))
End Function

' The token that posted forms carry, kept in the session: a form posted from elsewhere has none.
' It must not be guessable, so it comes from the system's generator of unique identifiers (random
' ones), else from the cryptographic helper; a server that has neither gets no token, and its
' forms are refused rather than protected by a predictable one.
Function qvToken()
    If Session("qv_token") = "" Then Session("qv_token") = qvRandomText()
    qvToken = Session("qv_token")
End Function

' Random text of at least 240 bits, or "" when the server offers no strong source.
Function qvRandomText()
    Dim oSource, sText, nPart
    qvRandomText = ""
    On Error Resume Next
    sText = ""
    For nPart = 1 To 2
        Set oSource = Server.CreateObject("Scriptlet.TypeLib")
        If Err.Number = 0 Then sText = sText & Mid(oSource.Guid, 2, 36)
        Set oSource = Nothing
    Next
    If Err.Number <> 0 Or Len(sText) <> 72 Then
        Err.Clear
        Set oSource = Server.CreateObject("CAPICOM.Utilities")
        If Err.Number = 0 Then sText = oSource.GetRandom(32, 0)
        If Err.Number <> 0 Then sText = ""
        Set oSource = Nothing
    End If
    On Error GoTo 0
    qvRandomText = Replace(Replace(Replace(sText, "-", ""), vbCr, ""), vbLf, "")
End Function

Function qvTokenOk()
    qvTokenOk = (Request.Form("qv_token") <> "" And Request.Form("qv_token") = Session("qv_token"))
End Function

' The number from the query string, when it is a whole number in the range; else the default.
Function qvQueryNumber(sName, nDefault, nMin, nMax)
    Dim sValue
    qvQueryNumber = nDefault
    sValue = Request.QueryString(sName)
    If IsNumeric(sValue) And sValue <> "" Then
        If CDbl(sValue) >= nMin And CDbl(sValue) <= nMax Then qvQueryNumber = CLng(sValue)
    End If
End Function

' Numbers and dates are read and written in the project's locale, whatever the server's own is
' (English, United States, when the project names none).

Session.LCID = 1033

' No page of the site may be framed by another site, nor its content type guessed.
Response.AddHeader "X-Frame-Options", "SAMEORIGIN"
Response.AddHeader "X-Content-Type-Options", "nosniff"

'' The login the site asks for: "" (none), "static" or "dynamic".
Const QV_SECURITY = ""

' Set by the login page, the one page that a visitor who has not logged in may see.
Dim qvLoginPage

' Whether this visitor has logged in: the session holds a user, and the browser the ticket that
' the login issued with it. A session identifier learnt or fixed before the login is not enough.
Function qvLoggedIn()
    qvLoggedIn = False
    If Session("qv_user") = "" Or Session("qv_auth") = "" Then Exit Function
    qvLoggedIn = (Request.Cookies("qv_auth") = Session("qv_auth"))
End Function

' This page's address relative to the site, for coming back after the login.
Function qvThisPage()
    Dim sPage
    sPage = Request.ServerVariables("SCRIPT_NAME")
    sPage = Mid(sPage, InStrRev(sPage, "/") + 1)
    If Request.ServerVariables("QUERY_STRING") <> "" Then sPage = sPage & "?" & Request.ServerVariables("QUERY_STRING")
    qvThisPage = sPage
End Function

' A message of the page, set by the page's code and shown above its content.
Dim qvMessage
qvMessage = Session("qv_message")
Session("qv_message") = ""

Sub qvSetMessage(sText)
    Session("qv_message") = sText
End Sub
%>
