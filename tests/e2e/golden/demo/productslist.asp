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
qvPageTitle = "products"
Set conn = qvOpenConnection()
Set cmd = qvNewCommand(conn, "")
sWhere = ""
sQuery = ""
sMaster = ""

' The search values, from the search page or the list's own links. A value that is no value of
' its column's kind is named in a message and matches nothing, rather than being dropped so that
' every record shows. In a LIKE pattern the user's own wildcard characters are literal.

sSearchErr = ""
sValue = Trim(Request.QueryString("z_product_id"))
If sValue <> "" Then
    sQuery = sQuery & "&z_product_id=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "int", vValue) Then
        vValue = Null
    ElseIf Not qvFits(vValue, 3) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""products"".""product_id"" = ?"
        qvAddParam cmd, 3, 4, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for product id<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_name"))
If sValue <> "" Then
    sQuery = sQuery & "&z_name=" & qvUrl(sValue)

    ' A driver may end the pattern at a NUL and find other text: no text matches one.
    If InStr(sValue, ChrW(0)) > 0 Then
        sWhere = sWhere & " AND 1 = 0"
    End If
    sWhere = sWhere & " AND ""products"".""name"" LIKE ? ESCAPE '!'"
    qvAddParam cmd, 200, 60, "%" & qvLikeText(sValue, "!") & "%"
End If
sValue = Trim(Request.QueryString("z_price"))
If sValue <> "" Then
    sQuery = sQuery & "&z_price=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "num", vValue) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""products"".""price"" = ?"
        qvAddParam cmd, 131, 19, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for price<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_stock"))
If sValue <> "" Then
    sQuery = sQuery & "&z_stock=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "int", vValue) Then
        vValue = Null
    ElseIf Not qvFits(vValue, 3) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""products"".""stock"" = ?"
        qvAddParam cmd, 3, 4, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for stock<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_weight_kg"))
If sValue <> "" Then
    sQuery = sQuery & "&z_weight_kg=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "num", vValue) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""products"".""weight_kg"" = ?"
        qvAddParam cmd, 5, 8, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for weight kg<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_discontinued"))
If sValue <> "" Then
    sQuery = sQuery & "&z_discontinued=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "bool", vValue) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""products"".""discontinued"" = ?"
        qvAddParam cmd, 11, 2, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for discontinued<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_description"))
If sValue <> "" Then
    sQuery = sQuery & "&z_description=" & qvUrl(sValue)

    ' A driver may end the pattern at a NUL and find other text: no text matches one.
    If InStr(sValue, ChrW(0)) > 0 Then
        sWhere = sWhere & " AND 1 = 0"
    End If
    sWhere = sWhere & " AND ""products"".""description"" LIKE ? ESCAPE '!'"
    qvAddParam cmd, 201, 65536, "%" & qvLikeText(sValue, "!") & "%"
End If
If sSearchErr <> "" Then sWhere = sWhere & " AND 1 = 0"

' Sorting by a listed column only: the request names the column, the SQL is ours.
sSort = Request.QueryString("order")
sDir = "ASC"
If LCase(Request.QueryString("dir")) = "desc" Then sDir = "DESC"
Select Case sSort
    Case "product_id"
        sOrder = " ORDER BY ""products"".""product_id"" " & sDir
    Case "name"
        sOrder = " ORDER BY ""products"".""name"" " & sDir
    Case "price"
        sOrder = " ORDER BY ""products"".""price"" " & sDir
    Case "stock"
        sOrder = " ORDER BY ""products"".""stock"" " & sDir
    Case "weight_kg"
        sOrder = " ORDER BY ""products"".""weight_kg"" " & sDir
    Case "discontinued"
        sOrder = " ORDER BY ""products"".""discontinued"" " & sDir
    Case Else
        sSort = ""
        sOrder = " ORDER BY ""products"".""product_id"""
End Select
If sWhere <> "" Then sWhere = " WHERE " & Mid(sWhere, 6)
cmd.CommandText = "SELECT ""products"".""product_id"", ""products"".""name"", ""products"".""price"", ""products"".""stock"", ""products"".""weight_kg"", ""products"".""discontinued"" FROM ""products""" & sWhere & sOrder
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
    qvSortLink = "productslist.asp?order=" & sParm & "&dir=" & sNewDir & sQuery
End Function

' The link to another page of the list, keeping the sort and the filter.
Function qvPageLink(nToPage)
    qvPageLink = "productslist.asp?page=" & nToPage & "&order=" & sSort & "&dir=" & LCase(sDir) & sQuery
End Function
%>
<!--#include file="qvheader.asp"-->
<% If sMaster <> "" Then %>
<p class="qv-master">Showing the records of <%= sMaster %></p>
<% End If %>
<h1>products</h1>
<p class="qv-links">
<a href="productsadd.asp">Add a new record</a>
<a href="productssearch.asp">Search</a>
<a href="productslist.asp">Show all</a>
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
<th><a href="<%= qvHtml(qvSortLink("product_id")) %>">product id</a><% If sSort = "product_id" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("name")) %>">name</a><% If sSort = "name" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("price")) %>">price</a><% If sSort = "price" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("stock")) %>">stock</a><% If sSort = "stock" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("weight_kg")) %>">weight kg</a><% If sSort = "weight_kg" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("discontinued")) %>">discontinued</a><% If sSort = "discontinued" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
</tr>
<%
nRow = 0
Do While Not rs.EOF And nRow < QV_PAGE_SIZE
    nRow = nRow + 1
%>
<tr<% If nRow Mod 2 = 0 Then Response.Write " class=""qv-alt""" %>>
<td>
<a href="productsview.asp?<%= qvHtml("k_product_id=" & qvUrl(rs("product_id"))) %>">View</a>
<a href="productsedit.asp?<%= qvHtml("k_product_id=" & qvUrl(rs("product_id"))) %>">Edit</a>
<a href="productsdelete.asp?<%= qvHtml("k_product_id=" & qvUrl(rs("product_id"))) %>">Delete</a>
</td>
<td class="qv-number"><%= qvFormatValue(rs("product_id"), "int") %></td>
<td><%= qvFormatValue(rs("name"), "text") %></td>
<td class="qv-number"><%= qvFormatValue(rs("price"), "num") %></td>
<td class="qv-number"><%= qvFormatValue(rs("stock"), "int") %></td>
<td class="qv-number"><%= qvFormatValue(rs("weight_kg"), "num") %></td>
<td><%= qvFormatValue(rs("discontinued"), "bool") %></td>
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
