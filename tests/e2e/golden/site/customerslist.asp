<%@ Language=VBScript %>
<!--#include file="common.asp"-->
<html><head><title>customers</title><meta name="generator" content="Quorvane v6.0.0.0" />
</head>
<body>
<% Dim fieldCount
fieldCount = 4
If fieldCount > 0 Then %>
<p><%= Greeting("customers") %>: <%= fieldCount %> fields</p>
<% End If %>
</body></html>
