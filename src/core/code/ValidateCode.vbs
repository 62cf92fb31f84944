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
Function ValidateTableNames()
    Dim oTables, oTable, oOther, i, j
    ValidateTableNames = False
    Set oTables = DB.Tables
    For i = 1 To oTables.Count
        Set oTable = oTables.Seq(i)
        If oTable.TblGen Then
            For j = 1 To i - 1
                Set oOther = oTables.Seq(j)
                If oOther.TblGen And LCase(oOther.TblVar) = LCase(oTable.TblVar) Then
                    PROJ.ProjErr = "Quorvane: Tables """ & oOther.TblName & """ and """ & oTable.TblName & _
                        """ give the same page names (" & oTable.TblVar & ")!"
                    Exit Function
                End If
            Next
        End If
    Next
    ValidateTableNames = True
End Function

' Each field of a generated table becomes a variable of its pages. Two fields whose variable
' names differ only in letter case would declare one variable twice, and the page would not run.
Function ValidateFieldNames()
    Dim oTables, oTable, oFields, oField, oOther, i, j, k
    ValidateFieldNames = False
    Set oTables = DB.Tables
    For i = 1 To oTables.Count
        Set oTable = oTables.Seq(i)
        If oTable.TblGen Then
            Set oFields = oTable.Fields
            For j = 1 To oFields.Count
                Set oField = oFields.Seq(j)
                For k = 1 To j - 1
                    Set oOther = oFields.Seq(k)
                    If LCase(oOther.FldVar) = LCase(oField.FldVar) Then
                        PROJ.ProjErr = "Quorvane: Fields """ & oOther.FldName & """ and """ & oField.FldName & _
                            """ of table """ & oTable.TblName & """ give the same variable (" & oField.FldVar & ")!"
                        Exit Function
                    End If
                Next
            Next
        End If
    Next
    ValidateFieldNames = True
End Function
