<%

' Settings of the site shop.
Dim QV_CONNECTION_STRING, QV_SITE_NAME
QV_CONNECTION_STRING = "Driver=SQLite3;Database=@SHARE@/demo/shop.db"
QV_SITE_NAME = "shop"
Const QV_PAGE_SIZE = 20
Const QV_DATE_FORMAT = 2
Const QV_PHRASE_YES = "Yes"
Const QV_PHRASE_NO = "No"
Session.Timeout = 20

' The server's own limit may not be set by the site's web.config: every page sets it here.
Server.ScriptTimeout = 90
%>
