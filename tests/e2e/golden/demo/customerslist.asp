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
qvPageTitle = "customers"
Set conn = qvOpenConnection()
Set cmd = qvNewCommand(conn, "")
sWhere = ""
sQuery = ""
sMaster = ""

' The search values, from the search page or the list's own links. A value that is no value of
' its column's kind is named in a message and matches nothing, rather than being dropped so that
' every record shows. In a LIKE pattern the user's own wildcard characters are literal.

sSearchErr = ""
sValue = Trim(Request.QueryString("z_customer_id"))
If sValue <> "" Then
    sQuery = sQuery & "&z_customer_id=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "int", vValue) Then
        vValue = Null
    ElseIf Not qvFits(vValue, 3) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""customers"".""customer_id"" = ?"
        qvAddParam cmd, 3, 4, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for customer id<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_name"))
If sValue <> "" Then
    sQuery = sQuery & "&z_name=" & qvUrl(sValue)

    ' A driver may end the pattern at a NUL and find other text: no text matches one.
    If InStr(sValue, ChrW(0)) > 0 Then
        sWhere = sWhere & " AND 1 = 0"
    End If
    sWhere = sWhere & " AND ""customers"".""name"" LIKE ? ESCAPE '!'"
    qvAddParam cmd, 200, 60, "%" & qvLikeText(sValue, "!") & "%"
End If
sValue = Trim(Request.QueryString("z_email"))
If sValue <> "" Then
    sQuery = sQuery & "&z_email=" & qvUrl(sValue)

    ' A driver may end the pattern at a NUL and find other text: no text matches one.
    If InStr(sValue, ChrW(0)) > 0 Then
        sWhere = sWhere & " AND 1 = 0"
    End If
    sWhere = sWhere & " AND ""customers"".""email"" LIKE ? ESCAPE '!'"
    qvAddParam cmd, 200, 100, "%" & qvLikeText(sValue, "!") & "%"
End If
sValue = Trim(Request.QueryString("z_city"))
If sValue <> "" Then
    sQuery = sQuery & "&z_city=" & qvUrl(sValue)

    ' A driver may end the pattern at a NUL and find other text: no text matches one.
    If InStr(sValue, ChrW(0)) > 0 Then
        sWhere = sWhere & " AND 1 = 0"
    End If
    sWhere = sWhere & " AND ""customers"".""city"" LIKE ? ESCAPE '!'"
    qvAddParam cmd, 200, 40, "%" & qvLikeText(sValue, "!") & "%"
End If
sValue = Trim(Request.QueryString("z_joined"))
If sValue <> "" Then
    sQuery = sQuery & "&z_joined=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "date", vValue) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""customers"".""joined"" = ?"
        qvAddParam cmd, 133, 6, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a date for joined<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_vip"))
If sValue <> "" Then
    sQuery = sQuery & "&z_vip=" & qvUrl(sValue)
    If Not qvParseValue(sValue, "bool", vValue) Then
        vValue = Null
    End If
    If Not IsNull(vValue) Then
        sWhere = sWhere & " AND ""customers"".""vip"" = ?"
        qvAddParam cmd, 11, 2, vValue
    Else
        sSearchErr = sSearchErr & "Please enter a number for vip<br>"
    End If
End If
sValue = Trim(Request.QueryString("z_notes"))
If sValue <> "" Then
    sQuery = sQuery & "&z_notes=" & qvUrl(sValue)

    ' A driver may end the pattern at a NUL and find other text: no text matches one.
    If InStr(sValue, ChrW(0)) > 0 Then
        sWhere = sWhere & " AND 1 = 0"
    End If
    sWhere = sWhere & " AND ""customers"".""notes"" LIKE ? ESCAPE '!'"
    qvAddParam cmd, 201, 65536, "%" & qvLikeText(sValue, "!") & "%"
End If
If sSearchErr <> "" Then sWhere = sWhere & " AND 1 = 0"

' Sorting by a listed column only: the request names the column, the SQL is ours.
sSort = Request.QueryString("order")
sDir = "ASC"
If LCase(Request.QueryString("dir")) = "desc" Then sDir = "DESC"
Select Case sSort
    Case "customer_id"
        sOrder = " ORDER BY ""customers"".""customer_id"" " & sDir
    Case "name"
        sOrder = " ORDER BY ""customers"".""name"" " & sDir
    Case "email"
        sOrder = " ORDER BY ""customers"".""email"" " & sDir
    Case "city"
        sOrder = " ORDER BY ""customers"".""city"" " & sDir
    Case "joined"
        sOrder = " ORDER BY ""customers"".""joined"" " & sDir
    Case "vip"
        sOrder = " ORDER BY ""customers"".""vip"" " & sDir
    Case Else
        sSort = ""
        sOrder = " ORDER BY ""customers"".""customer_id"""
End Select
If sWhere <> "" Then sWhere = " WHERE " & Mid(sWhere, 6)
cmd.CommandText = "SELECT ""customers"".""customer_id"", ""customers"".""name"", ""customers"".""email"", ""customers"".""city"", ""customers"".""joined"", ""customers"".""vip"" FROM ""customers""" & sWhere & sOrder
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
    qvSortLink = "customerslist.asp?order=" & sParm & "&dir=" & sNewDir & sQuery
End Function

' The link to another page of the list, keeping the sort and the filter.
Function qvPageLink(nToPage)
    qvPageLink = "customerslist.asp?page=" & nToPage & "&order=" & sSort & "&dir=" & LCase(sDir) & sQuery
End Function
%>
<!--#include file="qvheader.asp"-->
<% If sMaster <> "" Then %>
<p class="qv-master">Showing the records of <%= sMaster %></p>
<% End If %>
<h1>customers</h1>
<p class="qv-links">
<a href="customersadd.asp">Add a new record</a>
<a href="customerssearch.asp">Search</a>
<a href="customerslist.asp">Show all</a>
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
<th><a href="<%= qvHtml(qvSortLink("customer_id")) %>">customer id</a><% If sSort = "customer_id" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("name")) %>">name</a><% If sSort = "name" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("email")) %>">email</a><% If sSort = "email" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("city")) %>">city</a><% If sSort = "city" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("joined")) %>">joined</a><% If sSort = "joined" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
<th><a href="<%= qvHtml(qvSortLink("vip")) %>">vip</a><% If sSort = "vip" Then %> <img class="qv-sort" src="images/sort_<%= LCase(sDir) %>.svg" alt=""><% End If %></th>
</tr>
<%
nRow = 0
Do While Not rs.EOF And nRow < QV_PAGE_SIZE
    nRow = nRow + 1
%>
<tr<% If nRow Mod 2 = 0 Then Response.Write " class=""qv-alt""" %>>
<td>
<a href="customersview.asp?<%= qvHtml("k_customer_id=" & qvUrl(rs("customer_id"))) %>">View</a>
<a href="customersedit.asp?<%= qvHtml("k_customer_id=" & qvUrl(rs("customer_id"))) %>">Edit</a>
<a href="customersdelete.asp?<%= qvHtml("k_customer_id=" & qvUrl(rs("customer_id"))) %>">Delete</a>
</td>
<td class="qv-number"><%= qvFormatValue(rs("customer_id"), "int") %></td>
<td><%= qvFormatValue(rs("name"), "text") %></td>
<td><%= qvFormatValue(rs("email"), "text") %></td>
<td><%= qvFormatValue(rs("city"), "text") %></td>
<td><%= qvFormatValue(rs("joined"), "date") %></td>
<td><%= qvFormatValue(rs("vip"), "bool") %></td>
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
