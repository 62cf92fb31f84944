<%@ Language="VBScript" CodePage="65001" %>
<%
Option Explicit
Dim conn, qvPageTitle
%>
<!--#include file="qvcfg.asp"-->
<!--#include file="qvfn.asp"-->
<%
qvPageTitle = "About this site and its exports"
%>
<!--#include file="qvheader.asp"-->
<h1>About this site and its exports</h1>
<p>Each list links to an export of all its records as comma-separated values, for a spreadsheet.</p>
<!--#include file="qvfooter.asp"-->
