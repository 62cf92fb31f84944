<%@ Language=VBScript %>
<!--#include file="common.asp"-->
<html><head><title>products</title><meta name="generator" content="Quorvane v6.0.0.0" />
</head>
<body>
<% Dim fieldCount
fieldCount = 3
If fieldCount > 0 Then %>
<p><%= Greeting("products") %>: <%= fieldCount %> fields</p>
<% End If %>
</body></html>
