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
qvPageTitle = "orders"
%>
<!--#include file="qvheader.asp"-->
<h1>orders - Search</h1>
<p class="qv-links"><a href="orderslist.asp">Back to the list</a></p>
<form method="get" action="orderslist.asp">
<table class="qv-form">
<tr>
<th><label for="z_order_id">order id</label></th>
<td>
<input type="text" id="z_order_id" name="z_order_id" value="<%= qvHtml(Request.QueryString("z_order_id")) %>">
</td>
</tr>
<tr>
<th><label for="z_customer_id">customer id</label></th>
<td>
<input type="text" id="z_customer_id" name="z_customer_id" value="<%= qvHtml(Request.QueryString("z_customer_id")) %>">
</td>
</tr>
<tr>
<th><label for="z_order_date">order date</label></th>
<td>
<input type="date" id="z_order_date" name="z_order_date" value="<%= qvHtml(Request.QueryString("z_order_date")) %>">
</td>
</tr>
<tr>
<th><label for="z_shipped">shipped</label></th>
<td>
<select id="z_shipped" name="z_shipped">
<option value=""></option>
<option value="1">Yes</option>
<option value="0">No</option>
</select>
</td>
</tr>
<tr>
<th><label for="z_comment">comment</label></th>
<td>
<input type="text" id="z_comment" name="z_comment" value="<%= qvHtml(Request.QueryString("z_comment")) %>">
</td>
</tr>
</table>
<p><input type="submit" value="Search"></p>
</form>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
