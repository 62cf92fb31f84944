' Eval, Execute and ExecuteGlobal, at the top level and inside procedures.
Dim x : x = 10
Test.Equal Eval("x * 2"), 20, "Eval reads globals"
Test.Equal Eval("x = 10"), True, "= in Eval compares"
Execute "x = x + 1"
Test.Equal x, 11, "Execute at the top level changes globals"
Execute "Dim fromExecute : fromExecute = ""made"""
Test.Equal fromExecute, "made", "Execute declares globals at the top level"
ExecuteGlobal "Function Added(a) : Added = a + 100 : End Function"
Test.Equal Added(1), 101, "ExecuteGlobal defines procedures"
ExecuteGlobal "Class Late : Public V : End Class"
Dim lateOne : Set lateOne = New Late
lateOne.V = 3
Test.Equal lateOne.V, 3, "ExecuteGlobal defines classes"

Function Local()
    Dim inner : inner = 5
    Local = Eval("inner + x")
    Execute "inner = inner * 3"
    Local = Local & "," & inner
End Function
Test.Equal Local(), "16,15", "Eval and Execute see a procedure's locals"

Class Holder
    Public Field
    Public Function Compute()
        Field = 4
        Compute = Eval("Field * 2")
    End Function
End Class
Dim h : Set h = New Holder
Test.Equal h.Compute(), 8, "Eval sees the fields of Me"

On Error Resume Next
Eval "1 +"
Test.Equal Err.Number, 1002, "a syntax error in Eval is a runtime error"
Test.Equal Err.Description, "Syntax error", "and a plain syntax error, whatever was expected"
Err.Clear
Execute "If x Then"
Test.Equal Err.Number, 1002, "an unfinished If in Execute"
Err.Clear
ExecuteGlobal "x = ""unterminated"
Test.Equal Err.Number, 1002, "an unterminated string in ExecuteGlobal"
Err.Clear
ExecuteGlobal "Dim twice" & vbCrLf & "Dim twice"
Test.Equal Err.Number, 1041, "a name redefined is no syntax error and keeps its number"
Err.Clear
Eval "1 / 0"
Test.Equal Err.Number, 11, "a runtime error inside Eval"
