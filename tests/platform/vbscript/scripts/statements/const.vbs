' Const at module and procedure level, folded into the code.
Const Greeting = "Hello", Answer = 42
Const Negative = -5, Both = Answer + 1
Private Const Hidden = #1/2/2003#
Public Const Flag = True
Test.Equal Greeting, "Hello", "string constant"
Test.Equal Answer, 42, "integer constant"
Test.Equal Negative, -5, "negative constant"
Test.Equal Both, 43, "constant from a constant"
Test.Equal Flag, True, "Boolean constant"
Test.Equal Year(Hidden), 2003, "date constant"
Test.Equal TypeName(Answer), "Integer", "literal subtype kept"

Function UsesConst()
    Const Local = "inner"
    UsesConst = Local & Greeting
End Function
Test.Equal UsesConst(), "innerHello", "procedure constant"

Test.Equal vbCrLf, Chr(13) & Chr(10), "library constant"
Test.Equal vbTextCompare, 1, "vbTextCompare"
