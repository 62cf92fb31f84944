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
Dim qvPageTitle, cmd, rs, sWhere, sOrder, sSort, sDir, sQuery, nPage, nPageCount, nTotal, nRow
Dim vValue, sValue, sMaster, sSearchErr
qvPageTitle = "order lines"
Set conn = qvOpenConnection()
Set cmd = qvNewCommand(conn, "")
sWhere = ""
sQuery = ""
sMaster = ""

' The search values, from the search page or the list's own links. A value that is no value of
' its column's kind is named in a message and matches nothing, rather than being dropped so that
' every record shows. In a LIKE pattern the user's own wildcard characters are literal.

sSearchErr = ""
sValue = Trim(Request.QueryString("z_order_id"))
If sValue <> "" Then
    sQuery = sQuery & "&z_order_id=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "int", vValue) Then
        vValue = Null
    ElseIf Not qvFits(vValue, 3) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""order_lines"".""order_id"" = ?"
        qvAddParam cmd, 3, 4, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for order id<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_line_no"))
If sValue <> "" Then
    sQuery = sQuery & "&z_line_no=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "int", vValue) Then
        vValue = Null
    ElseIf Not qvFits(vValue, 3) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""order_lines"".""line_no"" = ?"
        qvAddParam cmd, 3, 4, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for line no<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_product_id"))
If sValue <> "" Then
    sQuery = sQuery & "&z_product_id=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "int", vValue) Then
        vValue = Null
    ElseIf Not qvFits(vValue, 3) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""order_lines"".""product_id"" = ?"
        qvAddParam cmd, 3, 4, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for product id<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_quantity"))
If sValue <> "" Then
    sQuery = sQuery & "&z_quantity=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "int", vValue) Then
        vValue = Null
    ElseIf Not qvFits(vValue, 3) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""order_lines"".""quantity"" = ?"
        qvAddParam cmd, 3, 4, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for quantity<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_unit_price"))
If sValue <> "" Then
    sQuery = sQuery & "&z_unit_price=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "num", vValue) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""order_lines"".""unit_price"" = ?"
        qvAddParam cmd, 131, 19, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for unit price<br>"
    End If
End If
If sSearchErr <> "" Then sWhere = sWhere & " AND 1 = 0"

' Sorting by a listed column only: the request names the column, the SQL is ours.
sSort = Request.QueryString("order")
sDir = "ASC"
If LCase(Request.QueryString("dir")) = "desc" Then sDir = "DESC"
Select Case sSort
    Case "order_id"
        sOrder = " ORDER BY ""order_lines"".""order_id"" " & sDir
    Case "line_no"
        sOrder = " ORDER BY ""order_lines"".""line_no"" " & sDir
    Case "product_id"
        sOrder = " ORDER BY ""order_lines"".""product_id"" " & sDir
    Case "quantity"
        sOrder = " ORDER BY ""order_lines"".""quantity"" " & sDir
    Case "unit_price"
        sOrder = " ORDER BY ""order_lines"".""unit_price"" " & sDir
    Case Else
        sSort = ""
        sOrder = " ORDER BY ""order_lines"".""order_id"", ""order_lines"".""line_no"""
End Select
If sWhere <> "" Then sWhere = " WHERE " & Mid(sWhere, 6)
cmd.CommandText = "SELECT ""order_lines"".""order_id"", ""order_lines"".""line_no"", ""order_lines"".""product_id"", ""order_lines"".""quantity"", ""order_lines"".""unit_price"" FROM ""order_lines""" & sWhere & sOrder
Set rs = qvOpenRecordset(cmd)
nTotal = rs.RecordCount
If nTotal < 0 Then nTotal = 0
rs.PageSize = QV_PAGE_SIZE
nPageCount = (nTotal + QV_PAGE_SIZE - 1) \ QV_PAGE_SIZE
If nPageCount < 1 Then nPageCount = 1
nPage = qvQueryNumber("page", 1, 1, nPageCount)
If nTotal > 0 Then rs.AbsolutePage = nPage

' The link of a column heading: sorts by that column, the other way round when it is the sort.
Function qvSortLink(sParm)
    Dim sNewDir
    sNewDir = "asc"
    If sParm = sSort And sDir = "ASC" Then sNewDir = "desc"
    qvSortLink = "order_lineslist.asp?order=" & sParm & "&dir=" & sNewDir & sQuery
End Function

' The link to another page of the list, keeping the sort and the filter.
Function qvPageLink(nToPage)
    qvPageLink = "order_lineslist.asp?page=" & nToPage & "&order=" & sSort & "&dir=" & LCase(sDir) & sQuery
End Function
%>
<!--#include file="qvheader.asp"-->
<% If sMaster <> "" Then %>
<p class="qv-master">Showing the records of <%= sMaster %></p>
<% End If %>
<h1>order lines</h1>
<p class="qv-links">
<a href="order_linesadd.asp">Add a new record</a>
<a href="order_linessearch.asp">Search</a>
<a href="order_lineslist.asp">Show all</a>
</p>
<% If sSearchErr <> "" Then %>
<p class="qv-error"><%= sSearchErr %></p>
<% End If %>
<% If nTotal = 0 Then %>
<p>No records found.</p>
<% Else %>
<table class="qv-grid">
<tr>
<th>&nbsp;</th>
<th><a href="<%= qvHtml(qvSortLink("order_id")) %>">order id</a><% If sSort = "order_id" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("line_no")) %>">line no</a><% If sSort = "line_no" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("product_id")) %>">product id</a><% If sSort = "product_id" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("quantity")) %>">quantity</a><% If sSort = "quantity" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("unit_price")) %>">unit price</a><% If sSort = "unit_price" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
</tr>
<%
nRow = 0
Do While Not rs.EOF And nRow < QV_PAGE_SIZE
    nRow = nRow + 1
%>
<tr<% If nRow Mod 2 = 0 Then Response.Write " class=""qv-alt""" %>>
<td>
<a href="order_linesview.asp?<%= qvHtml("k_order_id=" & qvUrl(rs("order_id")) & "&k_line_no=" & qvUrl(rs("line_no"))) %>">View</a>
<a href="order_linesedit.asp?<%= qvHtml("k_order_id=" & qvUrl(rs("order_id")) & "&k_line_no=" & qvUrl(rs("line_no"))) %>">Edit</a>
<a href="order_linesdelete.asp?<%= qvHtml("k_order_id=" & qvUrl(rs("order_id")) & "&k_line_no=" & qvUrl(rs("line_no"))) %>">Delete</a>
</td>
<td class="qv-number"><%= qvFormatValue(rs("order_id"), "int") %></td>
<td class="qv-number"><%= qvFormatValue(rs("line_no"), "int") %></td>
<td class="qv-number"><%= qvFormatValue(rs("product_id"), "int") %></td>
<td class="qv-number"><%= qvFormatValue(rs("quantity"), "int") %></td>
<td class="qv-number"><%= qvFormatValue(rs("unit_price"), "num") %></td>
</tr>
<%
    rs.MoveNext
Loop
%>
</table>
<% End If %>
<% If nTotal > 0 Then %>
<div class="qv-pager">
<span>Records <%= (nPage - 1) * QV_PAGE_SIZE + 1 %> - <%= (nPage - 1) * QV_PAGE_SIZE + nRow %> of <%= nTotal %></span>
<% If nPage > 1 Then %>
<a href="<%= qvHtml(qvPageLink(1)) %>">First</a>
<a href="<%= qvHtml(qvPageLink(nPage - 1)) %>">Previous</a>
<% End If %>
<span>Page <%= nPage %> of <%= nPageCount %></span>
<% If nPage < nPageCount Then %>
<a href="<%= qvHtml(qvPageLink(nPage + 1)) %>">Next</a>
<a href="<%= qvHtml(qvPageLink(nPageCount)) %>">Last</a>
<% End If %>
</div>
<% End If %>
<%
rs.Close
Set rs = Nothing
%>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
