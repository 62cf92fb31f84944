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
qvPageTitle = "About this site"
%>
<!--#include file="qvheader.asp"-->
<h1>About this site</h1>
<p>This site was generated from the database schema. Every page reads and writes the database through parameterised commands.</p>
<!--#include file="qvfooter.asp"-->
<%
qvCloseConnection conn
%>
