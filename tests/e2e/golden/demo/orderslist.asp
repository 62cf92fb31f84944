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
qvPageTitle = "orders"
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
        sWhere = sWhere & " AND ""orders"".""order_id"" = ?"
        qvAddParam cmd, 3, 4, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for order id<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_customer_id"))
If sValue <> "" Then
    sQuery = sQuery & "&z_customer_id=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "int", vValue) Then
        vValue = Null
    ElseIf Not qvFits(vValue, 3) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""orders"".""customer_id"" = ?"
        qvAddParam cmd, 3, 4, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for customer id<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_order_date"))
If sValue <> "" Then
    sQuery = sQuery & "&z_order_date=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "date", vValue) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""orders"".""order_date"" = ?"
        qvAddParam cmd, 133, 6, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a date for order date<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_shipped"))
If sValue <> "" Then
    sQuery = sQuery & "&z_shipped=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "bool", vValue) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""orders"".""shipped"" = ?"
        qvAddParam cmd, 11, 2, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for shipped<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_comment"))
If sValue <> "" Then
    sQuery = sQuery & "&z_comment=" & qvUrl(sValue)

    ' A driver may end the pattern at a NUL and find other text: no text matches one.
    If InStr(sValue, ChrW(0)) > 0 Then
        sWhere = sWhere & " AND 1 = 0"
    End If
    sWhere = sWhere & " AND ""orders"".""comment"" LIKE ? ESCAPE '!'"
    qvAddParam cmd, 201, 65536, "%" & qvLikeText(sValue, "!") & "%"
End If
If sSearchErr <> "" Then sWhere = sWhere & " AND 1 = 0"

' Sorting by a listed column only: the request names the column, the SQL is ours.
sSort = Request.QueryString("order")
sDir = "ASC"
If LCase(Request.QueryString("dir")) = "desc" Then sDir = "DESC"
Select Case sSort
    Case "order_id"
        sOrder = " ORDER BY ""orders"".""order_id"" " & sDir
    Case "customer_id"
        sOrder = " ORDER BY ""orders"".""customer_id"" " & sDir
    Case "order_date"
        sOrder = " ORDER BY ""orders"".""order_date"" " & sDir
    Case "shipped"
        sOrder = " ORDER BY ""orders"".""shipped"" " & sDir
    Case Else
        sSort = ""
        sOrder = " ORDER BY ""orders"".""order_id"""
End Select
If sWhere <> "" Then sWhere = " WHERE " & Mid(sWhere, 6)
cmd.CommandText = "SELECT ""orders"".""order_id"", ""orders"".""customer_id"", ""orders"".""order_date"", ""orders"".""shipped"" FROM ""orders""" & sWhere & sOrder
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
    qvSortLink = "orderslist.asp?order=" & sParm & "&dir=" & sNewDir & sQuery
End Function

' The link to another page of the list, keeping the sort and the filter.
Function qvPageLink(nToPage)
    qvPageLink = "orderslist.asp?page=" & nToPage & "&order=" & sSort & "&dir=" & LCase(sDir) & sQuery
End Function
%>
<!--#include file="qvheader.asp"-->
<% If sMaster <> "" Then %>
<p class="qv-master">Showing the records of <%= sMaster %></p>
<% End If %>
<h1>orders</h1>
<p class="qv-links">
<a href="ordersadd.asp">Add a new record</a>
<a href="orderssearch.asp">Search</a>
<a href="orderslist.asp">Show all</a>
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
<th><a href="<%= qvHtml(qvSortLink("customer_id")) %>">customer id</a><% If sSort = "customer_id" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("order_date")) %>">order date</a><% If sSort = "order_date" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("shipped")) %>">shipped</a><% If sSort = "shipped" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
</tr>
<%
nRow = 0
Do While Not rs.EOF And nRow < QV_PAGE_SIZE
    nRow = nRow + 1
%>
<tr<% If nRow Mod 2 = 0 Then Response.Write " class=""qv-alt""" %>>
<td>
<a href="ordersview.asp?<%= qvHtml("k_order_id=" & qvUrl(rs("order_id"))) %>">View</a>
<a href="ordersedit.asp?<%= qvHtml("k_order_id=" & qvUrl(rs("order_id"))) %>">Edit</a>
<a href="ordersdelete.asp?<%= qvHtml("k_order_id=" & qvUrl(rs("order_id"))) %>">Delete</a>
</td>
<td class="qv-number"><%= qvFormatValue(rs("order_id"), "int") %></td>
<td class="qv-number"><%= qvFormatValue(rs("customer_id"), "int") %></td>
<td><%= qvFormatValue(rs("order_date"), "date") %></td>
<td><%= qvFormatValue(rs("shipped"), "bool") %></td>
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
