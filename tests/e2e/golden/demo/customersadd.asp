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
Dim qvPageTitle, cmd, sErr, sValue, sCols, sMarks, bRefused, sRefusal, vVal(7)
qvPageTitle = "customers"
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
    sValue = qvRequestValue("x_email")
    If Not qvParseValue(sValue, "text", vVal(3)) Then
        vVal(3) = sValue
        sErr = sErr & "Please enter text without a NUL character for email<br>"
    ElseIf Len(sValue) > 100 Then
        sErr = sErr & "The value is too long for email<br>"
    End If
    sValue = qvRequestValue("x_city")
    If Not qvParseValue(sValue, "text", vVal(4)) Then
        vVal(4) = sValue
        sErr = sErr & "Please enter text without a NUL character for city<br>"
    ElseIf Len(sValue) > 40 Then
        sErr = sErr & "The value is too long for city<br>"
    End If
    sValue = qvRequestValue("x_joined")
    If Not qvParseValue(sValue, "date", vVal(5)) Then
        vVal(5) = sValue
        sErr = sErr & "Please enter a date for joined<br>"
    End If
    sValue = qvRequestValue("x_vip")
    qvParseValue sValue, "bool", vVal(6)
    sValue = qvRequestValue("x_notes")
    If Not qvParseValue(sValue, "memo", vVal(7)) Then
        vVal(7) = sValue
        sErr = sErr & "Please enter text without a NUL character for notes<br>"
    ElseIf Len(sValue) > 65536 Then
        sErr = sErr & "The value is too long for notes<br>"
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
            sCols = sCols & ", ""email"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 200, 100, vVal(3)
        End If
        If Not IsNull(vVal(4)) Then
            sCols = sCols & ", ""city"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 200, 40, vVal(4)
        End If
        If Not IsNull(vVal(5)) Then
            sCols = sCols & ", ""joined"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 133, 6, vVal(5)
        End If
        If Not IsNull(vVal(6)) Then
            sCols = sCols & ", ""vip"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 11, 2, vVal(6)
        End If
        If Not IsNull(vVal(7)) Then
            sCols = sCols & ", ""notes"""
            sMarks = sMarks & ", ?"
            qvAddParam cmd, 201, 65536, vVal(7)
        End If
        If sCols = "" Then
            cmd.CommandText = "INSERT INTO ""customers"" DEFAULT VALUES"
        Else
            cmd.CommandText = "INSERT INTO ""customers"" (" & Mid(sCols, 3) & ") VALUES (" & Mid(sMarks, 3) & ")"
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
                If IsNull(vVal(3)) And qvNamesColumn(sRefusal, "email") Then
                    sErr = sErr & "Please enter a value for email<br>"
                End If
                If IsNull(vVal(4)) And qvNamesColumn(sRefusal, "city") Then
                    sErr = sErr & "Please enter a value for city<br>"
                End If
                If IsNull(vVal(5)) And qvNamesColumn(sRefusal, "joined") Then
                    sErr = sErr & "Please enter a value for joined<br>"
                End If
                If IsNull(vVal(7)) And qvNamesColumn(sRefusal, "notes") Then
                    sErr = sErr & "Please enter a value for notes<br>"
                End If
            End If
            If sErr = "" Then
                sErr = "The record could not be saved. " & qvRefusalText(qvRefusalKind(sRefusal), False)
            End If
        End If
        If sErr = "" Then
            qvSetMessage "The record was added."
            qvCloseConnection conn
            Response.Redirect "customerslist.asp"
        End If
    End If
Else
End If
%>
<!--#include file="qvheader.asp"-->
<h1>customers - Add</h1>
<p class="qv-links"><a href="customerslist.asp">Back to the list</a></p>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<form method="post" action="customersadd.asp">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<table class="qv-form">
<tr>
<th><label for="x_name">name</label> *</th>
<td>
<input type="text" id="x_name" name="x_name" value="<%= qvInputValue(vVal(2), "text") %>" maxlength="60">
</td>
</tr>
<tr>
<th><label for="x_email">email</label></th>
<td>
<input type="text" id="x_email" name="x_email" value="<%= qvInputValue(vVal(3), "text") %>" maxlength="100">
</td>
</tr>
<tr>
<th><label for="x_city">city</label></th>
<td>
<input type="text" id="x_city" name="x_city" value="<%= qvInputValue(vVal(4), "text") %>" maxlength="40">
</td>
</tr>
<tr>
<th><label for="x_joined">joined</label></th>
<td>
<input type="date" id="x_joined" name="x_joined" value="<%= qvInputValue(vVal(5), "date") %>">
</td>
</tr>
<tr>
<th><label for="x_vip">vip</label></th>
<td>
<input type="checkbox" id="x_vip" name="x_vip" value="1"<% If qvInputText(vVal(6), "bool") = "1" Then Response.Write " checked" %>>
</td>
</tr>
<tr>
<th><label for="x_notes">notes</label></th>
<td>
<textarea id="x_notes" name="x_notes" rows="4" cols="35"><%= qvInputValue(vVal(7), "memo") %></textarea>
</td>
</tr>
</table>
<p><input type="submit" value="Save"> <a href="customerslist.asp">Cancel</a></p>
</form>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
