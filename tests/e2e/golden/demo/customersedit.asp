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
Dim qvPageTitle, cmd, rs, sErr, sValue, sSets, bFound, vVal(7)
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
Set cmd = qvNewCommand(conn, "SELECT ""customers"".""customer_id"", ""customers"".""name"", ""customers"".""email"", ""customers"".""city"", ""customers"".""joined"", ""customers"".""vip"", ""customers"".""notes"" FROM ""customers"" WHERE ""customers"".""customer_id"" = ?")
    qvAddParam cmd, 3, 4, vKey1
Set rs = qvOpenRecordset(cmd)
bFound = Not rs.EOF
If bFound And Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    If Not qvTokenOk() Then
        sErr = "The form has expired. Please try again."
    End If
    sValue = qvRequestValue("x_name")
    If Not qvParseValue(sValue, "text", vVal(2)) Then
        vVal(2) = sValue
        sErr = sErr & "Please enter text without a NUL character for name<br>"
    ElseIf IsNull(vVal(2)) Then
        sErr = sErr & "Please enter a value for name<br>"
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

        ' A column the user left as the form showed it keeps its stored value.
        Set cmd = qvNewCommand(conn, "")
        sSets = ""
        If Not qvUnchanged("x_name", rs("name"), "text") Then
            sSets = sSets & ", ""name"" = ?"
            qvAddParam cmd, 200, 60, vVal(2)
        End If
        If Not qvUnchanged("x_email", rs("email"), "text") Then
            sSets = sSets & ", ""email"" = ?"
            qvAddParam cmd, 200, 100, vVal(3)
        End If
        If Not qvUnchanged("x_city", rs("city"), "text") Then
            sSets = sSets & ", ""city"" = ?"
            qvAddParam cmd, 200, 40, vVal(4)
        End If
        If Not qvUnchanged("x_joined", rs("joined"), "date") Then
            sSets = sSets & ", ""joined"" = ?"
            qvAddParam cmd, 133, 6, vVal(5)
        End If
        If Not qvUnchanged("x_vip", rs("vip"), "bool") Then
            sSets = sSets & ", ""vip"" = ?"
            qvAddParam cmd, 11, 2, vVal(6)
        End If
        If Not qvUnchanged("x_notes", rs("notes"), "memo") Then
            sSets = sSets & ", ""notes"" = ?"
            qvAddParam cmd, 201, 65536, vVal(7)
        End If
        If sSets <> "" Then
            cmd.CommandText = "UPDATE ""customers"" SET " & Mid(sSets, 3) & " WHERE ""customers"".""customer_id"" = ?"
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
            Response.Redirect "customerslist.asp"
        End If
    End If
ElseIf bFound Then
    vVal(2) = rs("name")
    vVal(3) = rs("email")
    vVal(4) = rs("city")
    vVal(5) = rs("joined")
    vVal(6) = rs("vip")
    vVal(7) = rs("notes")
End If
%>
<!--#include file="qvheader.asp"-->
<h1>customers - Edit</h1>
<p class="qv-links"><a href="customerslist.asp">Back to the list</a></p>
<% If Not bFound Then %>
<p class="qv-error">The record was not found. It may have been deleted.</p>
<% Else %>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<form method="post" action="customersedit.asp?<%= qvHtml("k_customer_id=" & qvUrl(rs("customer_id"))) %>">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<table class="qv-form">
<tr><th>customer id</th><td><%= qvFormatValue(rs("customer_id"), "int") %></td></tr>
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
<% End If %>
<%
rs.Close
Set rs = Nothing
%>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
