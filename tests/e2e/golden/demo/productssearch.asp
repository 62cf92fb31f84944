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
qvPageTitle = "products"
%>
<!--#include file="qvheader.asp"-->
<h1>products - Search</h1>
<p class="qv-links"><a href="productslist.asp">Back to the list</a></p>
<form method="get" action="productslist.asp">
<table class="qv-form">
<tr>
<th><label for="z_product_id">product id</label></th>
<td>
<input type="text" id="z_product_id" name="z_product_id" value="<%= qvHtml(Request.QueryString("z_product_id")) %>">
</td>
</tr>
<tr>
<th><label for="z_name">name</label></th>
<td>
<input type="text" id="z_name" name="z_name" value="<%= qvHtml(Request.QueryString("z_name")) %>">
</td>
</tr>
<tr>
<th><label for="z_price">price</label></th>
<td>
<input type="text" id="z_price" name="z_price" value="<%= qvHtml(Request.QueryString("z_price")) %>">
</td>
</tr>
<tr>
<th><label for="z_stock">stock</label></th>
<td>
<input type="text" id="z_stock" name="z_stock" value="<%= qvHtml(Request.QueryString("z_stock")) %>">
</td>
</tr>
<tr>
<th><label for="z_weight_kg">weight kg</label></th>
<td>
<input type="text" id="z_weight_kg" name="z_weight_kg" value="<%= qvHtml(Request.QueryString("z_weight_kg")) %>">
</td>
</tr>
<tr>
<th><label for="z_discontinued">discontinued</label></th>
<td>
<select id="z_discontinued" name="z_discontinued">
<option value=""></option>
<option value="1">Yes</option>
<option value="0">No</option>
</select>
</td>
</tr>
<tr>
<th><label for="z_description">description</label></th>
<td>
<input type="text" id="z_description" name="z_description" value="<%= qvHtml(Request.QueryString("z_description")) %>">
</td>
</tr>
</table>
<p><input type="submit" value="Search"></p>
</form>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
