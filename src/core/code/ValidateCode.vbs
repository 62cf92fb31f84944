' The built-in validation code, added to the "Validate" module when no validation list is
' configured. Before generation the script host runs every procedure of that module, in the
' order written, without arguments, and stops at the first that does not return True. So this
' file holds nothing but such functions: each returns True for a sound project, or sets
' PROJ.ProjErr and returns False.

' Pages are generated from the project's database: there must be one.
Function ValidateDatabase()
    ValidateDatabase = False
    Dim bLoaded
    bLoaded = False
    If PROJ.DBCnt >= 1 And IsObject(DB) Then
        If Not DB Is Nothing Then bLoaded = True
    End If
    If Not bLoaded Then
        PROJ.ProjErr = "Quorvane: Database not loaded!"
        Exit Function
    End If
    ValidateDatabase = True
End Function

' The page names of a table come from its variable name. Two generated tables whose variable
' names differ only in letter case would write the same files, the second overwriting the first.
' The names seen so far stand in a dictionary, so that a large database is checked in one walk.
Function ValidateTableNames()
    Dim oTables, oTable, oSeen, sKey, i
    ValidateTableNames = False
    Set oTables = DB.Tables
    Set oSeen = CreateObject("Scripting.Dictionary")
    For i = 1 To oTables.Count
        Set oTable = oTables.Seq(i)
        If oTable.TblGen Then
            sKey = LCase(oTable.TblVar)
            If oSeen.Exists(sKey) Then
                PROJ.ProjErr = "Quorvane: Tables """ & oSeen(sKey) & """ and """ & oTable.TblName & _
                    """ give the same page names (" & oTable.TblVar & ")! A table's page names follow " & _
                    "its name: leave one of them out of the run with TblGen=False."
                Exit Function
            End If
            oSeen.Add sKey, oTable.TblName
        End If
    Next
    ValidateTableNames = True
End Function

' Each field of a generated table becomes a variable of its pages. Two fields whose variable
' names differ only in letter case would declare one variable twice, and the page would not run.
Function ValidateFieldNames()
    Dim oTables, oTable, oFields, oField, oSeen, sKey, i, j
    ValidateFieldNames = False
    Set oTables = DB.Tables
    For i = 1 To oTables.Count
        Set oTable = oTables.Seq(i)
        If oTable.TblGen Then
            Set oFields = oTable.Fields
            Set oSeen = CreateObject("Scripting.Dictionary")
            For j = 1 To oFields.Count
                Set oField = oFields.Seq(j)
                sKey = LCase(oField.FldVar)
                If oSeen.Exists(sKey) Then
                    PROJ.ProjErr = "Quorvane: Fields """ & oSeen(sKey) & """ and """ & oField.FldName & _
                        """ of table """ & oTable.TblName & """ give the same variable (" & oField.FldVar & ")!"
                    Exit Function
                End If
                oSeen.Add sKey, oField.FldName
            Next
        End If
    Next
    ValidateFieldNames = True
End Function
