<%

' Shared functions of the pages of . Every page includes this file
' after qvcfg.asp.
' ADO constants the pages use.

Const adCmdText = 1
Const adParamInput = 1
Const adUseClient = 3
Const adOpenStatic = 3
Const adLockReadOnly = 1
Const adBoolean = 11

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

' Binds the next placeholder. An empty value binds Null; text needs a size of at least its length.
Sub qvAddParam(oCmd, nType, nSize, vValue)
    Dim nLen
    If IsEmpty(vValue) Then vValue = Null
    nLen = nSize
    If Not IsNull(vValue) And VarType(vValue) = vbString Then
        If Len(vValue) > nLen Then nLen = Len(vValue)
    End If
    If nLen <= 0 Then nLen = 1
    oCmd.Parameters.Append oCmd.CreateParameter("", nType, adParamInput, nLen, vValue)
End Sub

' A read-only recordset over a command, with a client cursor so that it can be paged.
Function qvOpenRecordset(oCmd)
    Dim oRs
    Set oRs = Server.CreateObject("ADODB.Recordset")
    oRs.CursorLocation = adUseClient
    oRs.Open oCmd, , adOpenStatic, adLockReadOnly
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

' Converts request text to a value of its kind ("int", "num", "date", "bool", "text", "memo").
' An empty text gives Null; False when the text is no value of that kind.
Function qvParseValue(sText, sKind, vValue)
    qvParseValue = True
    vValue = Null
    If sKind = "bool" Then
        vValue = (sText = "1" Or LCase(sText) = "on" Or LCase(sText) = "true")
        Exit Function
    End If
    If sText = "" Then Exit Function
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
        Case "date"
            If IsDate(sText) Then
                vValue = CDate(sText)
            Else
                qvParseValue = False
            End If
        Case Else
            vValue = sText
    End Select
End Function

' A value shown in a page, by its kind.
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
        Case "date"
            If IsDate(vValue) Then
                qvFormatValue = Server.HTMLEncode(FormatDateTime(CDate(vValue), QV_DATE_FORMAT))
            Else
                qvFormatValue = qvHtml(vValue)
            End If
        Case "memo"
            qvFormatValue = Replace(qvHtml(vValue), vbLf, "<br>")
        Case Else
            qvFormatValue = qvHtml(vValue)
    End Select
End Function

' A value as an input's text: dates in the ISO form the date inputs expect.
Function qvInputValue(vValue, sKind)
    qvInputValue = ""
    If IsNull(vValue) Or IsEmpty(vValue) Then Exit Function
    If sKind = "date" And IsDate(vValue) Then
        qvInputValue = Year(vValue) & "-" & Right("0" & Month(vValue), 2) & "-" & Right("0" & Day(vValue), 2)
    Else
        qvInputValue = Server.HTMLEncode(CStr(vValue))
    End If
End Function

' The token that posted forms carry, kept in the session: a form posted from elsewhere has none.
Function qvToken()
    If Session("qv_token") = "" Then
        Randomize
        Session("qv_token") = Hex(Int(Rnd * 2147483647)) & Hex(Int(Rnd * 2147483647)) & Hex(Session.SessionID)
    End If
    qvToken = Session("qv_token")
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

' A message of the page, set by the page's code and shown above its content.
Dim qvMessage
qvMessage = Session("qv_message")
Session("qv_message") = ""

Sub qvSetMessage(sText)
    Session("qv_message") = sText
End Sub
%>
