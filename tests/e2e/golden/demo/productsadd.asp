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
Dim qvPageTitle, cmd, sErr, sValue, sCols, sMarks, bRefused, sRefusal, vVal(8)
qvPageTitle = "products"
sErr = ""
Set conn = qvOpenConnection()
If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    If Not qvTokenOk() Then
        sErr = "The form has expired. Please try again."
    End If
    sValue = qvRequestValue("x_name")
    If Not qvParseValue(sValue, "text", vVal(2)) Then
        vVal(2) = sValue
        sErr = sErr & "Please enter text without a NUL character for name<br>"
    ElseIf Len(sValue) > 60 Then
        sErr = sErr & "The value is too long for name<br>"
    End If
    sValue = qvRequestValue("x_price")
    If Not qvParseValue(sValue, "num", vVal(3)) Then
        vVal(3) = sValue
        sErr = sErr & "Please enter a number for price<br>"
    End If
    sValue = qvRequestValue("x_stock")
    If Not qvParseValue(sValue, "int", vVal(4)) Then
        vVal(4) = sValue
        sErr = sErr & "Please enter a number for stock<br>"
    ElseIf Not qvFits(vVal(4), 3) Then
        vVal(4) = sValue
        sErr = sErr & "Please enter a number for stock<br>"
    End If
    sValue = qvRequestValue("x_weight_kg")
    If Not qvParseValue(sValue, "num", vVal(5)) Then
        vVal(5) = sValue
        sErr = sErr & "Please enter a number for weight kg<br>"
    End If
    sValue = qvRequestValue("x_discontinued")
    qvParseValue sValue, "bool", vVal(6)
    sValue = qvRequestValue("x_description")
    If Not qvParseValue(sValue, "memo", vVal(7)) Then
        vVal(7) = sValue
        sErr = sErr & "Please enter text without a NUL character for description<br>"
    ElseIf Len(sValue) > 65536 Then
        sErr = sErr & "The value is too long for description<br>"
    End If
    If sErr = "" Then
        Set cmd = qvNewCommand(conn, "")
        sCols = ""
        sMarks = ""
        If Not IsNull(vVal(2)) Then
            sCols = sCols & ", ""name"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 200, 60, vVal(2)
        End If
        If Not IsNull(vVal(3)) Then
            sCols = sCols & ", ""price"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 131, 19, vVal(3)
        End If
        If Not IsNull(vVal(4)) Then
            sCols = sCols & ", ""stock"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 3, 4, vVal(4)
        End If
        If Not IsNull(vVal(5)) Then
            sCols = sCols & ", ""weight_kg"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 5, 8, vVal(5)
        End If
        If Not IsNull(vVal(6)) Then
            sCols = sCols & ", ""discontinued"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 11, 2, vVal(6)
        End If
        If Not IsNull(vVal(7)) Then
            sCols = sCols & ", ""description"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 201, 65536, vVal(7)
        End If
        If sCols = "" Then
            cmd.CommandText = "INSERT INTO ""products"" DEFAULT VALUES"
        Else
            cmd.CommandText = "INSERT INTO ""products"" (" & Mid(sCols, 3) & ") VALUES (" & Mid(sMarks, 3) & ")"
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
                If IsNull(vVal(2)) And qvNamesColumn(sRefusal, "name") Then
                    sErr = sErr & "Please enter a value for name<br>"
                End If
                If IsNull(vVal(3)) And qvNamesColumn(sRefusal, "price") Then
                    sErr = sErr & "Please enter a value for price<br>"
                End If
                If IsNull(vVal(4)) And qvNamesColumn(sRefusal, "stock") Then
                    sErr = sErr & "Please enter a value for stock<br>"
                End If
                If IsNull(vVal(5)) And qvNamesColumn(sRefusal, "weight_kg") Then
                    sErr = sErr & "Please enter a value for weight kg<br>"
                End If
                If IsNull(vVal(7)) And qvNamesColumn(sRefusal, "description") Then
                    sErr = sErr & "Please enter a value for description<br>"
                End If
            End If
            If sErr = "" Then
                sErr = "The record could not be saved. " & qvRefusalText(qvRefusalKind(sRefusal), False)
            End If
        End If
        If sErr = "" Then
            qvSetMessage "The record was added."
            qvCloseConnection conn
            Response.Redirect "productslist.asp"
        End If
    End If
Else
End If
%>
<!--#include file="qvheader.asp"-->
<h1>products - Add</h1>
<p class="qv-links"><a href="productslist.asp">Back to the list</a></p>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<form method="post" action="productsadd.asp">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<table class="qv-form">
<tr>
<th><label for="x_name">name</label> *</th>
<td>
<input type="text" id="x_name" name="x_name" value="<%= qvInputValue(vVal(2), "text") %>" maxlength="60">
</td>
</tr>
<tr>
<th><label for="x_price">price</label> *</th>
<td>
<input type="text" id="x_price" name="x_price" value="<%= qvInputValue(vVal(3), "num") %>">
</td>
</tr>
<tr>
<th><label for="x_stock">stock</label> *</th>
<td>
<input type="text" id="x_stock" name="x_stock" value="<%= qvInputValue(vVal(4), "int") %>">
</td>
</tr>
<tr>
<th><label for="x_weight_kg">weight kg</label></th>
<td>
<input type="text" id="x_weight_kg" name="x_weight_kg" value="<%= qvInputValue(vVal(5), "num") %>">
</td>
</tr>
<tr>
<th><label for="x_discontinued">discontinued</label></th>
<td>
<input type="checkbox" id="x_discontinued" name="x_discontinued" value="1"<% If qvInputText(vVal(6), "bool") = "1" Then Response.Write " checked" %>>
</td>
</tr>
<tr>
<th><label for="x_description">description</label></th>
<td>
<textarea id="x_description" name="x_description" rows="4" cols="35"><%= qvInputValue(vVal(7), "memo") %></textarea>
</td>
</tr>
</table>
<p><input type="submit" value="Save"> <a href="productslist.asp">Cancel</a></p>
</form>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
