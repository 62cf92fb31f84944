<!--#include file="common.asp"-->
<h1><%= Greeting("shop") %></h1>
