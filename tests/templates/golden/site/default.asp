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
qvPageTitle = "Home"
%>
<!--#include file="qvheader.asp"-->
<h1><%= qvHtml(QV_SITE_NAME) %></h1>
<p>Welcome! Choose a table or a view from the menu.</p>
<h2>Tables and views</h2>
<ul class="qv-home">
<li><a href="customerslist.asp">customers</a></li>
<li><a href="productslist.asp">products</a></li>
<li><a href="orderslist.asp">orders</a></li>
<li><a href="order_lineslist.asp">order lines</a></li>
<li><a href="order_totalslist.asp">order totals</a></li>
</ul>
<h2>Reports</h2>
<ul class="qv-home">
<li><a href="order_reportreport.asp">order report</a></li>
</ul>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
