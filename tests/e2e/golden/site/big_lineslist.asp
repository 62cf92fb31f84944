<%@ Language=VBScript %>
<!--#include file="common.asp"-->
<html><head><title>big_lines</title><meta name="generator" content="Quorvane v6.0.0.0" />
</head>
<body>
<% Dim fieldCount
fieldCount = 3
If fieldCount > 0 Then %>
<p><%= Greeting("big_lines") %>: <%= fieldCount %> fields</p>
<% End If %>
</body></html>
