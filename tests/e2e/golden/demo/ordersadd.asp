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
Dim qvPageTitle, cmd, sErr, sValue, sCols, sMarks, bRefused, sRefusal, vVal(5)
qvPageTitle = "orders"
sErr = ""
Set conn = qvOpenConnection()
If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
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
    End If
    sValue = qvRequestValue("x_order_date")
    If Not qvParseValue(sValue, "date", vVal(3)) Then
        vVal(3) = sValue
        sErr = sErr & "Please enter a date for order date<br>"
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
        Set cmd = qvNewCommand(conn, "")
        sCols = ""
        sMarks = ""
        If Not IsNull(vVal(2)) Then
            sCols = sCols & ", ""customer_id"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 3, 4, vVal(2)
        End If
        If Not IsNull(vVal(3)) Then
            sCols = sCols & ", ""order_date"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 133, 6, vVal(3)
        End If
        If Not IsNull(vVal(4)) Then
            sCols = sCols & ", ""shipped"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 11, 2, vVal(4)
        End If
        If Not IsNull(vVal(5)) Then
            sCols = sCols & ", ""comment"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 201, 65536, vVal(5)
        End If
        If sCols = "" Then
            cmd.CommandText = "INSERT INTO ""orders"" DEFAULT VALUES"
        Else
            cmd.CommandText = "INSERT INTO ""orders"" (" & Mid(sCols, 3) & ") VALUES (" & Mid(sMarks, 3) & ")"
        End If
        On Error Resume Next
        cmd.Execute , , 128
        bRefused = (Err.Number <> 0)
        sRefusal = ""
        If bRefused Then sRefusal = Err.Description
        On Error GoTo 0
        If bRefused Then

            ' A record refused for want of a value names the blank field the database named (a
            ' blank field whose column has a default is no fault); any other refusal is told in
            ' the site's words.

            If qvRefusalKind(sRefusal) = "required" Then
                If IsNull(vVal(2)) And qvNamesColumn(sRefusal, "customer_id") Then
                    sErr = sErr & "Please enter a value for customer id<br>"
                End If
                If IsNull(vVal(3)) And qvNamesColumn(sRefusal, "order_date") Then
                    sErr = sErr & "Please enter a value for order date<br>"
                End If
                If IsNull(vVal(5)) And qvNamesColumn(sRefusal, "comment") Then
                    sErr = sErr & "Please enter a value for comment<br>"
                End If
            End If
            If sErr = "" Then
                sErr = "The record could not be saved. " & qvRefusalText(qvRefusalKind(sRefusal), False)
            End If
        End If
        If sErr = "" Then
            qvSetMessage "The record was added."
            qvCloseConnection conn
            Response.Redirect "orderslist.asp"
        End If
    End If
Else
End If
%>
<!--#include file="qvheader.asp"-->
<h1>orders - Add</h1>
<p class="qv-links"><a href="orderslist.asp">Back to the list</a></p>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<form method="post" action="ordersadd.asp">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<table class="qv-form">
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
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
