' expect-error: 35 line 3: Sub or Function not defined
Sub Caller()
    Missing
End Sub
Caller
