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
qvPageTitle = "order lines"
sErr = ""
Set conn = qvOpenConnection()
If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    If Not qvTokenOk() Then
        sErr = "The form has expired. Please try again."
    End If
    sValue = qvRequestValue("x_order_id")
    If Not qvParseValue(sValue, "int", vVal(1)) Then
        vVal(1) = sValue
        sErr = sErr & "Please enter a number for order id<br>"
    ElseIf Not qvFits(vVal(1), 3) Then
        vVal(1) = sValue
        sErr = sErr & "Please enter a number for order id<br>"
    End If
    sValue = qvRequestValue("x_line_no")
    If Not qvParseValue(sValue, "int", vVal(2)) Then
        vVal(2) = sValue
        sErr = sErr & "Please enter a number for line no<br>"
    ElseIf Not qvFits(vVal(2), 3) Then
        vVal(2) = sValue
        sErr = sErr & "Please enter a number for line no<br>"
    End If
    sValue = qvRequestValue("x_product_id")
    If Not qvParseValue(sValue, "int", vVal(3)) Then
        vVal(3) = sValue
        sErr = sErr & "Please enter a number for product id<br>"
    ElseIf Not qvFits(vVal(3), 3) Then
        vVal(3) = sValue
        sErr = sErr & "Please enter a number for product id<br>"
    End If
    sValue = qvRequestValue("x_quantity")
    If Not qvParseValue(sValue, "int", vVal(4)) Then
        vVal(4) = sValue
        sErr = sErr & "Please enter a number for quantity<br>"
    ElseIf Not qvFits(vVal(4), 3) Then
        vVal(4) = sValue
        sErr = sErr & "Please enter a number for quantity<br>"
    End If
    sValue = qvRequestValue("x_unit_price")
    If Not qvParseValue(sValue, "num", vVal(5)) Then
        vVal(5) = sValue
        sErr = sErr & "Please enter a number for unit price<br>"
    End If
    If sErr = "" Then
        Set cmd = qvNewCommand(conn, "")
        sCols = ""
        sMarks = ""
        If Not IsNull(vVal(1)) Then
            sCols = sCols & ", ""order_id"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 3, 4, vVal(1)
        End If
        If Not IsNull(vVal(2)) Then
            sCols = sCols & ", ""line_no"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 3, 4, vVal(2)
        End If
        If Not IsNull(vVal(3)) Then
            sCols = sCols & ", ""product_id"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 3, 4, vVal(3)
        End If
        If Not IsNull(vVal(4)) Then
            sCols = sCols & ", ""quantity"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 3, 4, vVal(4)
        End If
        If Not IsNull(vVal(5)) Then
            sCols = sCols & ", ""unit_price"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 131, 19, vVal(5)
        End If
        If sCols = "" Then
            cmd.CommandText = "INSERT INTO ""order_lines"" DEFAULT VALUES"
        Else
            cmd.CommandText = "INSERT INTO ""order_lines"" (" & Mid(sCols, 3) & ") VALUES (" & Mid(sMarks, 3) & ")"
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
                If IsNull(vVal(1)) And qvNamesColumn(sRefusal, "order_id") Then
                    sErr = sErr & "Please enter a value for order id<br>"
                End If
                If IsNull(vVal(2)) And qvNamesColumn(sRefusal, "line_no") Then
                    sErr = sErr & "Please enter a value for line no<br>"
                End If
                If IsNull(vVal(3)) And qvNamesColumn(sRefusal, "product_id") Then
                    sErr = sErr & "Please enter a value for product id<br>"
                End If
                If IsNull(vVal(4)) And qvNamesColumn(sRefusal, "quantity") Then
                    sErr = sErr & "Please enter a value for quantity<br>"
                End If
                If IsNull(vVal(5)) And qvNamesColumn(sRefusal, "unit_price") Then
                    sErr = sErr & "Please enter a value for unit price<br>"
                End If
            End If
            If sErr = "" Then
                sErr = "The record could not be saved. " & qvRefusalText(qvRefusalKind(sRefusal), False)
            End If
        End If
        If sErr = "" Then
            qvSetMessage "The record was added."
            qvCloseConnection conn
            Response.Redirect "order_lineslist.asp"
        End If
    End If
Else
End If
%>
<!--#include file="qvheader.asp"-->
<h1>order lines - Add</h1>
<p class="qv-links"><a href="order_lineslist.asp">Back to the list</a></p>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<form method="post" action="order_linesadd.asp">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<table class="qv-form">
<tr>
<th><label for="x_order_id">order id</label> *</th>
<td>
<input type="text" id="x_order_id" name="x_order_id" value="<%= qvInputValue(vVal(1), "int") %>">
</td>
</tr>
<tr>
<th><label for="x_line_no">line no</label> *</th>
<td>
<input type="text" id="x_line_no" name="x_line_no" value="<%= qvInputValue(vVal(2), "int") %>">
</td>
</tr>
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
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
