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
Set cmd = qvNewCommand(conn, "SELECT ""order_lines"".""order_id"", ""order_lines"".""line_no"", ""order_lines"".""product_id"", ""order_lines"".""quantity"", ""order_lines"".""unit_price"" FROM ""order_lines"" WHERE ""order_lines"".""order_id"" = ? AND ""order_lines"".""line_no"" = ?")
    qvAddParam cmd, 3, 4, vKey1
    qvAddParam cmd, 3, 4, vKey2
Set rs = qvOpenRecordset(cmd)
bFound = Not rs.EOF
If bFound And Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    If Not qvTokenOk() Then
        sErr = "The form has expired. Please try again."
    End If
    sValue = qvRequestValue("x_product_id")
    If Not qvParseValue(sValue, "int", vVal(3)) Then
        vVal(3) = sValue
        sErr = sErr & "Please enter a number for product id<br>"
    ElseIf Not qvFits(vVal(3), 3) Then
        vVal(3) = sValue
        sErr = sErr & "Please enter a number for product id<br>"
    ElseIf IsNull(vVal(3)) Then
        sErr = sErr & "Please enter a value for product id<br>"
    End If
    sValue = qvRequestValue("x_quantity")
    If Not qvParseValue(sValue, "int", vVal(4)) Then
        vVal(4) = sValue
        sErr = sErr & "Please enter a number for quantity<br>"
    ElseIf Not qvFits(vVal(4), 3) Then
        vVal(4) = sValue
        sErr = sErr & "Please enter a number for quantity<br>"
    ElseIf IsNull(vVal(4)) Then
        sErr = sErr & "Please enter a value for quantity<br>"
    End If
    sValue = qvRequestValue("x_unit_price")
    If Not qvParseValue(sValue, "num", vVal(5)) Then
        vVal(5) = sValue
        sErr = sErr & "Please enter a number for unit price<br>"
    ElseIf IsNull(vVal(5)) Then
        sErr = sErr & "Please enter a value for unit price<br>"
    End If
    If sErr = "" Then

        ' A column the user left as the form showed it keeps its stored value.
        Set cmd = qvNewCommand(conn, "")
        sSets = ""
        If Not qvUnchanged("x_product_id", rs("product_id"), "int") Then
            sSets = sSets & ", ""product_id"" = ?"
            qvAddParam cmd, 3, 4, vVal(3)
        End If
        If Not qvUnchanged("x_quantity", rs("quantity"), "int") Then
            sSets = sSets & ", ""quantity"" = ?"
            qvAddParam cmd, 3, 4, vVal(4)
        End If
        If Not qvUnchanged("x_unit_price", rs("unit_price"), "num") Then
            sSets = sSets & ", ""unit_price"" = ?"
            qvAddParam cmd, 131, 19, vVal(5)
        End If
        If sSets <> "" Then
            cmd.CommandText = "UPDATE ""order_lines"" SET " & Mid(sSets, 3) & " WHERE ""order_lines"".""order_id"" = ? AND ""order_lines"".""line_no"" = ?"
    qvAddParam cmd, 3, 4, vKey1
    qvAddParam cmd, 3, 4, vKey2
            On Error Resume Next
            cmd.Execute , , 128
            If Err.Number <> 0 Then sErr = "The record could not be saved. " & qvRefusalText(qvRefusalKind(Err.Description), False)
            On Error GoTo 0
        End If
        If sErr = "" Then
            rs.Close
            qvSetMessage "The record was saved."
            qvCloseConnection conn
            Response.Redirect "order_lineslist.asp"
        End If
    End If
ElseIf bFound Then
    vVal(3) = rs("product_id")
    vVal(4) = rs("quantity")
    vVal(5) = rs("unit_price")
End If
%>
<!--#include file="qvheader.asp"-->
<h1>order lines - Edit</h1>
<p class="qv-links"><a href="order_lineslist.asp">Back to the list</a></p>
<% If Not bFound Then %>
<p class="qv-error">The record was not found. It may have been deleted.</p>
<% Else %>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<form method="post" action="order_linesedit.asp?<%= qvHtml("k_order_id=" & qvUrl(rs("order_id")) & "&k_line_no=" & qvUrl(rs("line_no"))) %>">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<table class="qv-form">
<tr><th>order id</th><td><%= qvFormatValue(rs("order_id"), "int") %></td></tr>
<tr><th>line no</th><td><%= qvFormatValue(rs("line_no"), "int") %></td></tr>
<tr>
<th><label for="x_product_id">product id</label> *</th>
<td>
<input type="text" id="x_product_id" name="x_product_id" value="<%= qvInputValue(vVal(3), "int") %>">
</td>
</tr>
<tr>
<th><label for="x_quantity">quantity</label> *</th>
<td>
<input type="text" id="x_quantity" name="x_quantity" value="<%= qvInputValue(vVal(4), "int") %>">
</td>
</tr>
<tr>
<th><label for="x_unit_price">unit price</label> *</th>
<td>
<input type="text" id="x_unit_price" name="x_unit_price" value="<%= qvInputValue(vVal(5), "num") %>">
</td>
</tr>
</table>
<p><input type="submit" value="Save"> <a href="order_lineslist.asp">Cancel</a></p>
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
