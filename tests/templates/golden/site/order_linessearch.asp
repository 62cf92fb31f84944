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
qvPageTitle = "order lines"
%>
<!--#include file="qvheader.asp"-->
<h1>order lines - Search</h1>
<p class="qv-links"><a href="order_lineslist.asp">Back to the list</a></p>
<form method="get" action="order_lineslist.asp">
<table class="qv-form">
<tr>
<th><label for="z_order_id">order id</label></th>
<td>
<input type="text" id="z_order_id" name="z_order_id" value="<%= qvHtml(Request.QueryString("z_order_id")) %>">
</td>
</tr>
<tr>
<th><label for="z_line_no">line no</label></th>
<td>
<input type="text" id="z_line_no" name="z_line_no" value="<%= qvHtml(Request.QueryString("z_line_no")) %>">
</td>
</tr>
<tr>
<th><label for="z_product_id">product id</label></th>
<td>
<input type="text" id="z_product_id" name="z_product_id" value="<%= qvHtml(Request.QueryString("z_product_id")) %>">
</td>
</tr>
<tr>
<th><label for="z_quantity">quantity</label></th>
<td>
<input type="text" id="z_quantity" name="z_quantity" value="<%= qvHtml(Request.QueryString("z_quantity")) %>">
</td>
</tr>
<tr>
<th><label for="z_unit_price">unit price</label></th>
<td>
<input type="text" id="z_unit_price" name="z_unit_price" value="<%= qvHtml(Request.QueryString("z_unit_price")) %>">
</td>
</tr>
</table>
<p><input type="submit" value="Search"></p>
</form>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
