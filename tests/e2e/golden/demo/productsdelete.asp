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
qvPageTitle = "products"
sErr = ""
Set conn = qvOpenConnection()
    bKeyOk = True
    If Not qvParseValue(qvRequestValue("k_product_id"), "int", vKey1) Then bKeyOk = False
    If IsNull(vKey1) Then bKeyOk = False
    If bKeyOk Then
        If Not qvFits(vKey1, 3) Then bKeyOk = False
    End If
    If Not bKeyOk Then
        qvCloseConnection conn
        Response.Redirect "productslist.asp"
    End If
If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    If Not qvTokenOk() Then
        sErr = "The form has expired. Please try again."
    Else
        Set cmd = qvNewCommand(conn, "DELETE FROM ""products"" WHERE ""products"".""product_id"" = ?")
    qvAddParam cmd, 3, 4, vKey1
        On Error Resume Next
        cmd.Execute , , 128
        If Err.Number <> 0 Then sErr = "The record could not be deleted. " & qvRefusalText(qvRefusalKind(Err.Description), True)
        On Error GoTo 0
        If sErr = "" Then
            qvSetMessage "The record was deleted."
            qvCloseConnection conn
            Response.Redirect "productslist.asp"
        End If
    End If
End If
Set cmd = qvNewCommand(conn, "SELECT ""products"".""product_id"", ""products"".""name"", ""products"".""price"", ""products"".""stock"", ""products"".""weight_kg"", ""products"".""discontinued"", ""products"".""description"" FROM ""products"" WHERE ""products"".""product_id"" = ?")
    qvAddParam cmd, 3, 4, vKey1
Set rs = qvOpenRecordset(cmd)
bFound = Not rs.EOF
%>
<!--#include file="qvheader.asp"-->
<h1>products - Delete</h1>
<p class="qv-links"><a href="productslist.asp">Back to the list</a></p>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<% If Not bFound Then %>
<p class="qv-error">The record was not found. It may have been deleted.</p>
<% Else %>
<table class="qv-grid qv-form">
<tr><th>product id</th><td><%= qvFormatValue(rs("product_id"), "int") %></td></tr>
<tr><th>name</th><td><%= qvFormatValue(rs("name"), "text") %></td></tr>
<tr><th>price</th><td><%= qvFormatValue(rs("price"), "num") %></td></tr>
<tr><th>stock</th><td><%= qvFormatValue(rs("stock"), "int") %></td></tr>
<tr><th>weight kg</th><td><%= qvFormatValue(rs("weight_kg"), "num") %></td></tr>
<tr><th>discontinued</th><td><%= qvFormatValue(rs("discontinued"), "bool") %></td></tr>
<tr><th>description</th><td><%= qvFormatValue(rs("description"), "memo") %></td></tr>
</table>
<form method="post" action="productsdelete.asp?<%= qvHtml("k_product_id=" & qvUrl(rs("product_id"))) %>">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<p>Delete this record for good?</p>
<p><input type="submit" value="Delete"> <a href="productslist.asp">Cancel</a></p>
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
