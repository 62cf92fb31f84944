' User code of the "export" extension: the helpers its templates call while a page is
' generated, and one override of the base template's output.

' The columns of a table that an export holds: every column but binary ones, quoted with the
' database's quote characters and doubled quotes for a VBScript string literal. On SQLite each
' is named after its table, as the base pages name it: a quoted name alone that names no column
' is a text there, and a column dropped since would be exported as its name in every row.
Function ExportSelect(oTable)
    Dim i, oField, s, sTable
    s = ""
    sTable = ""
    If InStr(LCase(DB.DBDBMSName), "sqlite") > 0 Then sTable = ExportQuote(oTable.TblName) & "."
    For i = 1 To oTable.Fields.Count
        Set oField = oTable.Fields.Seq(i)
        If ExportColumn(oField) Then
            If s <> "" Then s = s & ", "
            s = s & sTable & ExportQuote(oField.FldName)
        End If
    Next
    If s = "" Then s = "*"
    ExportSelect = s
End Function

' The heading line of the export: the captions in CSV form, as a VBScript string literal's text.
Function ExportHeader(oTable)
    Dim i, oField, s, sCaption
    s = ""
    For i = 1 To oTable.Fields.Count
        Set oField = oTable.Fields.Seq(i)
        If ExportColumn(oField) Then
            sCaption = oField.FldCaption
            If sCaption = "" Then sCaption = oField.FldName
            ' A caption that a spreadsheet would run as a formula is text, like the values.
            If sCaption <> "" And InStr("=+-@", Left(sCaption, 1)) > 0 Then sCaption = "'" & sCaption
            sCaption = Replace(Replace(sCaption, vbCr, " "), vbLf, " ")
            If s <> "" Then s = s & ","
            s = s & """" & Replace(sCaption, """", """""") & """"
        End If
    Next
    ExportHeader = VBStringText(s)
End Function

' The number of exported columns.
Function ExportColumnCount(oTable)
    Dim i, n
    n = 0
    For i = 1 To oTable.Fields.Count
        If ExportColumn(oTable.Fields.Seq(i)) Then n = n + 1
    Next
    ExportColumnCount = n
End Function

Function ExportColumn(oField)
    Select Case oField.FldType
        Case 128, 204, 205
            ExportColumn = False
        Case Else
            ExportColumn = True
    End Select
    ' Nor the password column of the site's user table.
    If LCase(Trim(PROJ.SecType)) = "dynamic" And TABLE.TblName = PROJ.SecTbl And oField.FldName = PROJ.SecPasswdFld Then
        ExportColumn = False
    End If
End Function

' A name in the SQL literal of a page: between the database's quotes with a closing quote inside
' it doubled, then written as literal text that holds it whole.
Function ExportQuote(sName)
    Dim sQuoted
    sQuoted = sName
    If DB.DBQuoteE <> "" Then sQuoted = Replace(sQuoted, DB.DBQuoteE, DB.DBQuoteE & DB.DBQuoteE)
    sQuoted = DB.DBQuoteS & sQuoted & DB.DBQuoteE
    ExportQuote = VBStringText(sQuoted)
End Function

' The footer of every page says that the site exports.
Function USER_PROJ_FooterText(sText)
    USER_PROJ_FooterText = sText & " <span class=""qv-export-note"">" & LANG.Phrase("ExportNote") & "</span>"
End Function
