' User code of the "export" extension: the helpers its templates call while a page is
' generated, and one override of the base template's output.

' The list page of a table, where its export is made: the name the pages of this run gave it (the
' site's names are kept while a run lasts, from the first page that worked them out), or "".
Function ExportListPage(oTable)
    Dim sKey
    ExportListPage = ""
    On Error Resume Next
    sKey = oTable.TblVar & "|list"
    If IsArray(qvSiteNames) Then
        If qvSiteNames(0).Exists(sKey) Then ExportListPage = qvSiteNames(0)(sKey)
    End If
End Function

' The footer of every page says that the site exports.
Function USER_PROJ_FooterText(sText)
    USER_PROJ_FooterText = sText & " <span class=""qv-export-note"">" & LANG.Phrase("ExportNote") & "</span>"
End Function
