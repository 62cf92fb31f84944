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
qvPageTitle = "customers"
sErr = ""
Set conn = qvOpenConnection()
    bKeyOk = True
    If Not qvParseValue(qvRequestValue("k_customer_id"), "int", vKey1) Then bKeyOk = False
    If IsNull(vKey1) Then bKeyOk = False
    If bKeyOk Then
        If Not qvFits(vKey1, 3) Then bKeyOk = False
    End If
    If Not bKeyOk Then
        qvCloseConnection conn
        Response.Redirect "customerslist.asp"
    End If
If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    If Not qvTokenOk() Then
        sErr = "The form has expired. Please try again."
    Else
        Set cmd = qvNewCommand(conn, "DELETE FROM ""customers"" WHERE ""customers"".""customer_id"" = ?")
    qvAddParam cmd, 3, 4, vKey1
        On Error Resume Next
        cmd.Execute , , 128
        If Err.Number <> 0 Then sErr = "The record could not be deleted. " & qvRefusalText(qvRefusalKind(Err.Description), True)
        On Error GoTo 0
        If sErr = "" Then
            qvSetMessage "The record was deleted."
            qvCloseConnection conn
            Response.Redirect "customerslist.asp"
        End If
    End If
End If
Set cmd = qvNewCommand(conn, "SELECT ""customers"".""customer_id"", ""customers"".""name"", ""customers"".""email"", ""customers"".""city"", ""customers"".""joined"", ""customers"".""vip"", ""customers"".""notes"" FROM ""customers"" WHERE ""customers"".""customer_id"" = ?")
    qvAddParam cmd, 3, 4, vKey1
Set rs = qvOpenRecordset(cmd)
bFound = Not rs.EOF
%>
<!--#include file="qvheader.asp"-->
<h1>customers - Delete</h1>
<p class="qv-links"><a href="customerslist.asp">Back to the list</a></p>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<% If Not bFound Then %>
<p class="qv-error">The record was not found. It may have been deleted.</p>
<% Else %>
<table class="qv-grid qv-form">
<tr><th>customer id</th><td><%= qvFormatValue(rs("customer_id"), "int") %></td></tr>
<tr><th>name</th><td><%= qvFormatValue(rs("name"), "text") %></td></tr>
<tr><th>email</th><td><%= qvFormatValue(rs("email"), "text") %></td></tr>
<tr><th>city</th><td><%= qvFormatValue(rs("city"), "text") %></td></tr>
<tr><th>joined</th><td><%= qvFormatValue(rs("joined"), "date") %></td></tr>
<tr><th>vip</th><td><%= qvFormatValue(rs("vip"), "bool") %></td></tr>
<tr><th>notes</th><td><%= qvFormatValue(rs("notes"), "memo") %></td></tr>
</table>
<form method="post" action="customersdelete.asp?<%= qvHtml("k_customer_id=" & qvUrl(rs("customer_id"))) %>">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<p>Delete this record for good?</p>
<p><input type="submit" value="Delete"> <a href="customerslist.asp">Cancel</a></p>
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
