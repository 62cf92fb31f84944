<%@ Language="VBScript" CodePage="65001" %>
<%
Option Explicit
Dim conn
%>
<!--#include file="qvcfg.asp"-->
<!--#include file="qvfn.asp"-->
<%

' All records of customers as comma-separated values.
Dim cmd, rs, nColumn, sLine

' One value in CSV form: text quoted, quotes doubled; dates in ISO form.
Function qvCsvValue(vValue)
    If IsNull(vValue) Or IsEmpty(vValue) Then
        qvCsvValue = ""
    ElseIf VarType(vValue) = vbDate Then
        qvCsvValue = Year(vValue) & "-" & Right("0" & Month(vValue), 2) & "-" & Right("0" & Day(vValue), 2)
    ElseIf VarType(vValue) = vbString Then
        qvCsvValue = """" & Replace(vValue, """", """""") & """"
    Else
        qvCsvValue = CStr(vValue)
    End If
End Function
Set conn = qvOpenConnection()
Set cmd = qvNewCommand(conn, "SELECT ""customer_id"", ""name"", ""email"", ""city"", ""joined"", ""vip"", ""notes"" FROM ""customers""")
Set rs = qvOpenRecordset(cmd)
Response.ContentType = "text/csv"
Response.AddHeader "Content-Disposition", "attachment; filename=customers.csv"
Response.Write """customer id"",""name"",""email"",""city"",""joined"",""vip"",""notes""" & vbCrLf
Do While Not rs.EOF
    sLine = ""
    For nColumn = 0 To 6
        If nColumn > 0 Then sLine = sLine & ","
        sLine = sLine & qvCsvValue(rs(nColumn))
    Next
    Response.Write sLine & vbCrLf
    rs.MoveNext
Loop
rs.Close
qvCloseConnection conn
%>
