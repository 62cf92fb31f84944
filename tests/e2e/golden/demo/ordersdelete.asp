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
Dim bKeyOk, vKey1
qvPageTitle = "orders"
sErr = ""
Set conn = qvOpenConnection()
    bKeyOk = True
    If Not qvParseValue(qvRequestValue("k_order_id"), "int", vKey1) Then bKeyOk = False
    If IsNull(vKey1) Then bKeyOk = False
    If bKeyOk Then
        If Not qvFits(vKey1, 3) Then bKeyOk = False
    End If
    If Not bKeyOk Then
        qvCloseConnection conn
        Response.Redirect "orderslist.asp"
    End If
If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    If Not qvTokenOk() Then
        sErr = "The form has expired. Please try again."
    Else
        Set cmd = qvNewCommand(conn, "DELETE FROM ""orders"" WHERE ""orders"".""order_id"" = ?")
    qvAddParam cmd, 3, 4, vKey1
        On Error Resume Next
        cmd.Execute , , 128
        If Err.Number <> 0 Then sErr = "The record could not be deleted. " & qvRefusalText(qvRefusalKind(Err.Description), True)
        On Error GoTo 0
        If sErr = "" Then
            qvSetMessage "The record was deleted."
            qvCloseConnection conn
            Response.Redirect "orderslist.asp"
        End If
    End If
End If
Set cmd = qvNewCommand(conn, "SELECT ""orders"".""order_id"", ""orders"".""customer_id"", ""orders"".""order_date"", ""orders"".""shipped"", ""orders"".""comment"" FROM ""orders"" WHERE ""orders"".""order_id"" = ?")
    qvAddParam cmd, 3, 4, vKey1
Set rs = qvOpenRecordset(cmd)
bFound = Not rs.EOF
%>
<!--#include file="qvheader.asp"-->
<h1>orders - Delete</h1>
<p class="qv-links"><a href="orderslist.asp">Back to the list</a></p>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<% If Not bFound Then %>
<p class="qv-error">The record was not found. It may have been deleted.</p>
<% Else %>
<table class="qv-grid qv-form">
<tr><th>order id</th><td><%= qvFormatValue(rs("order_id"), "int") %></td></tr>
<tr><th>customer id</th><td><%= qvFormatValue(rs("customer_id"), "int") %></td></tr>
<tr><th>order date</th><td><%= qvFormatValue(rs("order_date"), "date") %></td></tr>
<tr><th>shipped</th><td><%= qvFormatValue(rs("shipped"), "bool") %></td></tr>
<tr><th>comment</th><td><%= qvFormatValue(rs("comment"), "memo") %></td></tr>
</table>
<form method="post" action="ordersdelete.asp?<%= qvHtml("k_order_id=" & qvUrl(rs("order_id"))) %>">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<p>Delete this record for good?</p>
<p><input type="submit" value="Delete"> <a href="orderslist.asp">Cancel</a></p>
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
