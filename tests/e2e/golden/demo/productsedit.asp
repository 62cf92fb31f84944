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
Dim qvPageTitle, cmd, rs, sErr, sValue, sSets, bFound, vVal(8)
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
Set cmd = qvNewCommand(conn, "SELECT ""products"".""product_id"", ""products"".""name"", ""products"".""price"", ""products"".""stock"", ""products"".""weight_kg"", ""products"".""discontinued"", ""products"".""description"" FROM ""products"" WHERE ""products"".""product_id"" = ?")
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
    sValue = qvRequestValue("x_price")
    If Not qvParseValue(sValue, "num", vVal(3)) Then
        vVal(3) = sValue
        sErr = sErr & "Please enter a number for price<br>"
    ElseIf IsNull(vVal(3)) Then
        sErr = sErr & "Please enter a value for price<br>"
    End If
    sValue = qvRequestValue("x_stock")
    If Not qvParseValue(sValue, "int", vVal(4)) Then
        vVal(4) = sValue
        sErr = sErr & "Please enter a number for stock<br>"
    ElseIf Not qvFits(vVal(4), 3) Then
        vVal(4) = sValue
        sErr = sErr & "Please enter a number for stock<br>"
    ElseIf IsNull(vVal(4)) Then
        sErr = sErr & "Please enter a value for stock<br>"
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

        ' A column the user left as the form showed it keeps its stored value.
        Set cmd = qvNewCommand(conn, "")
        sSets = ""
        If Not qvUnchanged("x_name", rs("name"), "text") Then
            sSets = sSets & ", ""name"" = ?"
            qvAddParam cmd, 200, 60, vVal(2)
        End If
        If Not qvUnchanged("x_price", rs("price"), "num") Then
            sSets = sSets & ", ""price"" = ?"
            qvAddParam cmd, 131, 19, vVal(3)
        End If
        If Not qvUnchanged("x_stock", rs("stock"), "int") Then
            sSets = sSets & ", ""stock"" = ?"
            qvAddParam cmd, 3, 4, vVal(4)
        End If
        If Not qvUnchanged("x_weight_kg", rs("weight_kg"), "num") Then
            sSets = sSets & ", ""weight_kg"" = ?"
            qvAddParam cmd, 5, 8, vVal(5)
        End If
        If Not qvUnchanged("x_discontinued", rs("discontinued"), "bool") Then
            sSets = sSets & ", ""discontinued"" = ?"
            qvAddParam cmd, 11, 2, vVal(6)
        End If
        If Not qvUnchanged("x_description", rs("description"), "memo") Then
            sSets = sSets & ", ""description"" = ?"
            qvAddParam cmd, 201, 65536, vVal(7)
        End If
        If sSets <> "" Then
            cmd.CommandText = "UPDATE ""products"" SET " & Mid(sSets, 3) & " WHERE ""products"".""product_id"" = ?"
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
            Response.Redirect "productslist.asp"
        End If
    End If
ElseIf bFound Then
    vVal(2) = rs("name")
    vVal(3) = rs("price")
    vVal(4) = rs("stock")
    vVal(5) = rs("weight_kg")
    vVal(6) = rs("discontinued")
    vVal(7) = rs("description")
End If
%>
<!--#include file="qvheader.asp"-->
<h1>products - Edit</h1>
<p class="qv-links"><a href="productslist.asp">Back to the list</a></p>
<% If Not bFound Then %>
<p class="qv-error">The record was not found. It may have been deleted.</p>
<% Else %>
<% If sErr <> "" Then %>
<p class="qv-error"><%= sErr %></p>
<% End If %>
<form method="post" action="productsedit.asp?<%= qvHtml("k_product_id=" & qvUrl(rs("product_id"))) %>">
<input type="hidden" name="qv_token" value="<%= qvHtml(qvToken()) %>">
<table class="qv-form">
<tr><th>product id</th><td><%= qvFormatValue(rs("product_id"), "int") %></td></tr>
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
<% End If %>
<%
rs.Close
Set rs = Nothing
%>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
