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
Dim qvPageTitle, cmd, rs, nCount, nGrandCount, sGroupKey, sLastKey, bFirst
Dim nSum4, nGrand4
nSum4 = 0
nGrand4 = 0
qvPageTitle = "order report"
Set conn = qvOpenConnection()
Set cmd = qvNewCommand(conn, "SELECT ""order_id"", ""line_no"", ""product_id"", ""quantity"", ""unit_price"" FROM ""order_lines"" ORDER BY ""order_id""")
Set rs = qvOpenRecordset(cmd)
nCount = 0
nGrandCount = 0
sLastKey = ""
bFirst = True

' The group a row belongs to, as one text.
Function qvGroupKey()
    qvGroupKey = ""
    qvGroupKey = qvGroupKey & "|" & qvFormatValue(rs("order_id"), "int")
End Function

' The summary row of the group that ends here.
Sub qvWriteGroupTotal()
    Response.Write "<tr class=""qv-total""><td>Count: " & nCount & "</td>"
    Response.Write "<td class=""qv-number"">quantity: " & qvHtml(nSum4) & "</td>"
    nSum4 = 0
    Response.Write "</tr>" & vbCrLf
    nCount = 0
End Sub
%>
<!--#include file="qvheader.asp"-->
<h1>order report</h1>
<% If rs.EOF Then %>
<p>No records found.</p>
<% Else %>
<table class="qv-grid">
<tr>
<th>order id</th>
<th>line no</th>
<th>product id</th>
<th>quantity</th>
<th>unit price</th>
</tr>
<%
Do While Not rs.EOF
    sGroupKey = qvGroupKey()
    If bFirst Or sGroupKey <> sLastKey Then
        If Not bFirst Then qvWriteGroupTotal
        Response.Write "<tr class=""qv-group""><td colspan=""5"">" & Mid(Replace(sGroupKey, "|", " / "), 4) & "</td></tr>" & vbCrLf
        sLastKey = sGroupKey
        bFirst = False
    End If
    nCount = nCount + 1
    nGrandCount = nGrandCount + 1
    If Not IsNull(rs("quantity")) Then
        nSum4 = nSum4 + rs("quantity")
        nGrand4 = nGrand4 + rs("quantity")
    End If
%>
<tr>
<td class="qv-number"><%= qvFormatValue(rs("order_id"), "int") %></td>
<td class="qv-number"><%= qvFormatValue(rs("line_no"), "int") %></td>
<td class="qv-number"><%= qvFormatValue(rs("product_id"), "int") %></td>
<td class="qv-number"><%= qvFormatValue(rs("quantity"), "int") %></td>
<td><%= qvFormatValue(rs("unit_price"), "text") %></td>
</tr>
<%
    rs.MoveNext
Loop
qvWriteGroupTotal
%>
<tr class="qv-total"><td>Grand total: <%= nGrandCount %></td>
<td class="qv-number">quantity: <%= qvHtml(nGrand4) %></td>
</tr>
</table>
<% End If %>
<%
rs.Close
Set rs = Nothing
%>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
