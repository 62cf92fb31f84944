<%@ Language="VBScript" CodePage="65001" %>
<%
Option Explicit
Dim conn
Response.Buffer = True
Response.Charset = "utf-8"
%>
<!--#include file="qvcfg.asp"-->
<!--#include file="qvfn.asp"-->
<%
Dim qvPageTitle, cmd, rs, sErr, bFound
Dim bKeyOk, vKey1, vKey2
qvPageTitle = "order lines"
sErr = ""
Set conn = qvOpenConnection()
    bKeyOk = True
    If Not qvParseValue(qvRequestValue("k_order_id"), "int", vKey1) Then bKeyOk = False
    If IsNull(vKey1) Then bKeyOk = False
    If bKeyOk Then
        If Not qvFits(vKey1, 3) Then bKeyOk = False
    End If
    If Not qvParseValue(qvRequestValue("k_line_no"), "int", vKey2) Then bKeyOk = False
    If IsNull(vKey2) Then bKeyOk = False
    If bKeyOk Then
        If Not qvFits(vKey2, 3) Then bKeyOk = False
    End If
    If Not bKeyOk Then
        qvCloseConnection conn
        Response.Redirect "order_lineslist.asp"
    End If
If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    If Not qvTokenOk() Then
        sErr = "The form has expired. Please try again."
    Else
        Set cmd = qvNewCommand(conn, "DELETE FROM ""order_lines"" WHERE ""order_lines"".""order_id"" = ? AND ""order_lines"".""line_no"" = ?")
    qvAddParam cmd, 3, 4, vKey1
    qvAddParam cmd, 3, 4, vKey2
        On Error Resume Next
        cmd.Execute , , 128
        If Err.Number <> 0 Then sErr = "The record could not be deleted. " & qvRefusalText(qvRefusalKind(Err.Description), True)
        On Error GoTo 0
        If sErr = "" Then
            qvSetMessage "The record was deleted."
            qvCloseConnection conn
            Response.Redirect "order_lineslist.asp"
        End If
    End If
End If
Set cmd = qvNewCommand(conn, "SELECT ""order_lines"".""order_id"", ""order_lines"".""line_no"", ""order_lines"".""product_id"", ""order_lines"".""quantity"", ""order_lines"".""unit_price"" FROM ""order_lines"" WHERE ""order_lines"".""order_id"" = ? AND ""order_lines"".""line_no"" = ?")
    qvAddParam cmd, 3, 4, vKey1
    qvAddParam cmd, 3, 4, vKey2
Set rs = qvOpenRecordset(cmd)
bFound = Not rs.EOF
%>
<!--#include file="qvheader.asp"-->
<h1>order lines - Delete</h1>
<p class="qv-links"><a href="order_lineslist.asp">Back to the list</a></p>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<% If Not bFound Then %>
<p class="qv-error">The record was not found. It may have been deleted.</p>
<% Else %>
<table class="qv-grid qv-form">
<tr><th>order id</th><td><%= qvFormatValue(rs("order_id"), "int") %></td></tr>
<tr><th>line no</th><td><%= qvFormatValue(rs("line_no"), "int") %></td></tr>
<tr><th>product id</th><td><%= qvFormatValue(rs("product_id"), "int") %></td></tr>
<tr><th>quantity</th><td><%= qvFormatValue(rs("quantity"), "int") %></td></tr>
<tr><th>unit price</th><td><%= qvFormatValue(rs("unit_price"), "num") %></td></tr>
</table>
<form method="post" action="order_linesdelete.asp?<%= qvHtml("k_order_id=" & qvUrl(rs("order_id")) & "&k_line_no=" & qvUrl(rs("line_no"))) %>">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<p>Delete this record for good?</p>
<p><input type="submit" value="Delete"> <a href="order_lineslist.asp">Cancel</a></p>
</form>
<% End If %>
<%
rs.Close
Set rs = Nothing
%>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
