<%@ Language="VBScript" %>
<%
Option Explicit
Dim conn
%>
<!--#include file="qvcfg.asp"-->
<!--#include file="qvfn.asp"-->
<%

' Sends the picture stored in products.picture of one record.
Dim cmd, rs
Set conn = qvOpenConnection()
Set cmd = qvNewCommand(conn, "SELECT picture FROM  WHERE ")
Set rs = qvOpenRecordset(cmd)
Response.Clear
If rs.EOF Then
    Response.Status = "404 Not Found"
ElseIf IsNull(rs(0)) Then
    Response.Status = "404 Not Found"
Else
    Response.ContentType = "application/octet-stream"
    Response.BinaryWrite rs(0)
End If
rs.Close
qvCloseConnection conn
%>
