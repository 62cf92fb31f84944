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
Dim qvPageTitle, cmd, rs, sErr, sValue, sSets, bFound, vVal(5)
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
Set cmd = qvNewCommand(conn, "SELECT ""orders"".""order_id"", ""orders"".""customer_id"", ""orders"".""order_date"", ""orders"".""shipped"", ""orders"".""comment"" FROM ""orders"" WHERE ""orders"".""order_id"" = ?")
    qvAddParam cmd, 3, 4, vKey1
Set rs = qvOpenRecordset(cmd)
bFound = Not rs.EOF
If bFound And Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    If Not qvTokenOk() Then
        sErr = "The form has expired. Please try again."
    End If
    sValue = qvRequestValue("x_customer_id")
    If Not qvParseValue(sValue, "int", vVal(2)) Then
        vVal(2) = sValue
        sErr = sErr & "Please enter a number for customer id<br>"
    ElseIf Not qvFits(vVal(2), 3) Then
        vVal(2) = sValue
        sErr = sErr & "Please enter a number for customer id<br>"
    ElseIf IsNull(vVal(2)) Then
        sErr = sErr & "Please enter a value for customer id<br>"
    End If
    sValue = qvRequestValue("x_order_date")
    If Not qvParseValue(sValue, "date", vVal(3)) Then
        vVal(3) = sValue
        sErr = sErr & "Please enter a date for order date<br>"
    ElseIf IsNull(vVal(3)) Then
        sErr = sErr & "Please enter a value for order date<br>"
    End If
    sValue = qvRequestValue("x_shipped")
    qvParseValue sValue, "bool", vVal(4)
    sValue = qvRequestValue("x_comment")
    If Not qvParseValue(sValue, "memo", vVal(5)) Then
        vVal(5) = sValue
        sErr = sErr & "Please enter text without a NUL character for comment<br>"
    ElseIf Len(sValue) > 65536 Then
        sErr = sErr & "The value is too long for comment<br>"
    End If
    If sErr = "" Then

        ' A column the user left as the form showed it keeps its stored value.
        Set cmd = qvNewCommand(conn, "")
        sSets = ""
        If Not qvUnchanged("x_customer_id", rs("customer_id"), "int") Then
            sSets = sSets & ", ""customer_id"" = ?"
            qvAddParam cmd, 3, 4, vVal(2)
        End If
        If Not qvUnchanged("x_order_date", rs("order_date"), "date") Then
            sSets = sSets & ", ""order_date"" = ?"
            qvAddParam cmd, 133, 6, vVal(3)
        End If
        If Not qvUnchanged("x_shipped", rs("shipped"), "bool") Then
            sSets = sSets & ", ""shipped"" = ?"
            qvAddParam cmd, 11, 2, vVal(4)
        End If
        If Not qvUnchanged("x_comment", rs("comment"), "memo") Then
            sSets = sSets & ", ""comment"" = ?"
            qvAddParam cmd, 201, 65536, vVal(5)
        End If
        If sSets <> "" Then
            cmd.CommandText = "UPDATE ""orders"" SET " & Mid(sSets, 3) & " WHERE ""orders"".""order_id"" = ?"
    qvAddParam cmd, 3, 4, vKey1
            On Error Resume Next
            cmd.Execute , , 128
            If Err.Number <> 0 Then sErr = "The record could not be saved. " & qvRefusalText(qvRefusalKind(Err.Description), False)
            On Error GoTo 0
        End If
        If sErr = "" Then
            rs.Close
            qvSetMessage "The record was saved."
            qvCloseConnection conn
            Response.Redirect "orderslist.asp"
        End If
    End If
ElseIf bFound Then
    vVal(2) = rs("customer_id")
    vVal(3) = rs("order_date")
    vVal(4) = rs("shipped")
    vVal(5) = rs("comment")
End If
%>
<!--#include file="qvheader.asp"-->
<h1>orders - Edit</h1>
<p class="qv-links"><a href="orderslist.asp">Back to the list</a></p>
<% If Not bFound Then %>
<p class="qv-error">The record was not found. It may have been deleted.</p>
<% Else %>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<form method="post" action="ordersedit.asp?<%= qvHtml("k_order_id=" & qvUrl(rs("order_id"))) %>">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<table class="qv-form">
<tr><th>order id</th><td><%= qvFormatValue(rs("order_id"), "int") %></td></tr>
<tr>
<th><label for="x_customer_id">customer id</label> *</th>
<td>
<input type="text" id="x_customer_id" name="x_customer_id" value="<%= qvInputValue(vVal(2), "int") %>">
</td>
</tr>
<tr>
<th><label for="x_order_date">order date</label> *</th>
<td>
<input type="date" id="x_order_date" name="x_order_date" value="<%= qvInputValue(vVal(3), "date") %>">
</td>
</tr>
<tr>
<th><label for="x_shipped">shipped</label></th>
<td>
<input type="checkbox" id="x_shipped" name="x_shipped" value="1"<% If qvInputText(vVal(4), "bool") = "1" Then Response.Write " checked" %>>
</td>
</tr>
<tr>
<th><label for="x_comment">comment</label></th>
<td>
<textarea id="x_comment" name="x_comment" rows="4" cols="35"><%= qvInputValue(vVal(5), "memo") %></textarea>
</td>
</tr>
</table>
<p><input type="submit" value="Save"> <a href="orderslist.asp">Cancel</a></p>
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
