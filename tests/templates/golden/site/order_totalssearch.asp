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
Dim qvPageTitle
qvPageTitle = "order totals"
%>
<!--#include file="qvheader.asp"-->
<h1>order totals - Search</h1>
<p class="qv-links"><a href="order_totalslist.asp">Back to the list</a></p>
<form method="get" action="order_totalslist.asp">
<table class="qv-form">
<tr>
<th><label for="z_order_id">order id</label></th>
<td>
<input type="text" id="z_order_id" name="z_order_id" value="<%= qvHtml(Request.QueryString("z_order_id")) %>">
</td>
</tr>
<tr>
<th><label for="z_customer">customer</label></th>
<td>
<input type="text" id="z_customer" name="z_customer" value="<%= qvHtml(Request.QueryString("z_customer")) %>">
</td>
</tr>
<tr>
<th><label for="z_order_date">order date</label></th>
<td>
<input type="date" id="z_order_date" name="z_order_date" value="<%= qvHtml(Request.QueryString("z_order_date")) %>">
</td>
</tr>
<tr>
<th><label for="z_total">total</label></th>
<td>
<input type="text" id="z_total" name="z_total" value="<%= qvHtml(Request.QueryString("z_total")) %>">
</td>
</tr>
</table>
<p><input type="submit" value="Search"></p>
</form>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
