<% If IsEmpty(QV_SITE_NAME) Then Response.Status = "404 Not Found": Response.End %><!DOCTYPE html>
<html>
<head>
<meta charset="utf-8">
<title><%= qvHtml(QV_SITE_NAME) %><% If qvPageTitle <> "" Then Response.Write " - " & qvHtml(qvPageTitle) %></title>
<link rel="stylesheet" type="text/css" href="qvstyle.css">
<meta name="generator" content="Quorvane v6.0.0.0" />
</head>
<body>
<div class="qv-header">
<img src="images/logo.svg" alt="" class="qv-logo">
<a href="default.asp" class="qv-title"><%= qvHtml(QV_SITE_NAME) %></a>
</div>
<div class="qv-menu">
<ul>
<li><a href="default.asp">Home</a></li>
<li><a href="customerslist.asp">customers</a></li>
<li><a href="productslist.asp">products</a></li>
<li><a href="orderslist.asp">orders</a></li>
<li><a href="order_lineslist.asp">order lines</a></li>
<li><a href="order_totalslist.asp">order totals</a></li>
<li><a href="about.asp">About this site</a></li>
</ul>
</div>
<div class="qv-content">
<% If qvMessage <> "" Then %>
<p class="qv-message"><%= qvHtml(qvMessage) %></p>
<% End If %>
