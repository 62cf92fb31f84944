<%

' Settings of the site DB.
Const QV_CONNECTION_STRING = "Driver=SQLite3;Database=(temp)/demo/shop.db"
Const QV_SITE_NAME = "DB"
Const QV_PAGE_SIZE = 20
Const QV_DATE_FORMAT = 2
Const QV_PHRASE_YES = "Yes"
Const QV_PHRASE_NO = "No"
Session.Timeout = 20
%>
