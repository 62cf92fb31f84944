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
qvPageTitle = "customers"
%>
<!--#include file="qvheader.asp"-->
<h1>customers - Search</h1>
<p class="qv-links"><a href="customerslist.asp">Back to the list</a></p>
<form method="get" action="customerslist.asp">
<table class="qv-form">
<tr>
<th><label for="z_customer_id">customer id</label></th>
<td>
<input type="text" id="z_customer_id" name="z_customer_id" value="<%= qvHtml(Request.QueryString("z_customer_id")) %>">
</td>
</tr>
<tr>
<th><label for="z_name">name</label></th>
<td>
<input type="text" id="z_name" name="z_name" value="<%= qvHtml(Request.QueryString("z_name")) %>">
</td>
</tr>
<tr>
<th><label for="z_email">email</label></th>
<td>
<input type="text" id="z_email" name="z_email" value="<%= qvHtml(Request.QueryString("z_email")) %>">
</td>
</tr>
<tr>
<th><label for="z_city">city</label></th>
<td>
<input type="text" id="z_city" name="z_city" value="<%= qvHtml(Request.QueryString("z_city")) %>">
</td>
</tr>
<tr>
<th><label for="z_joined">joined</label></th>
<td>
<input type="date" id="z_joined" name="z_joined" value="<%= qvHtml(Request.QueryString("z_joined")) %>">
</td>
</tr>
<tr>
<th><label for="z_vip">vip</label></th>
<td>
<select id="z_vip" name="z_vip">
<option value=""></option>
<option value="1">Yes</option>
<option value="0">No</option>
</select>
</td>
</tr>
<tr>
<th><label for="z_notes">notes</label></th>
<td>
<input type="text" id="z_notes" name="z_notes" value="<%= qvHtml(Request.QueryString("z_notes")) %>">
</td>
</tr>
</table>
<p><input type="submit" value="Search"></p>
</form>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
