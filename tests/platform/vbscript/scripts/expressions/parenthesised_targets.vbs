' Members, calls and indexes on parenthesised expressions, and member chains over a line
' continuation.
Class Counter
    Public Count
    Private Sub Class_Initialize()
        Count = 41
    End Sub
    Public Sub Run()
        Count = Count + 1
        gRuns = gRuns + 1
    End Sub
    Public Function Self()
        Set Self = Me
    End Function
    Public Function Check(value)
        Check = value * 2
        gChecked = value
    End Function
End Class
Dim gRuns, gChecked
Dim x : x = (New Counter).Count
Test.Equal x, 41, "assigned from (New C).Prop"
x = 1 + (New Counter).Count * 2
Test.Equal x, 83, "(New C).Prop inside an expression"
Call (New Counter).Run()
Test.Equal gRuns, 1, "Call (New C).Run()"
Call (New Counter).Self().Run
Test.Equal gRuns, 2, "chain after (New C)"

Function Twice(value)
    Twice = value * 2
End Function
Function Listed()
    Listed = Array(10, 20)
End Function
x = (Twice)(4)
Test.Equal x, 8, "(f)(x) calls f with x"
Dim a : a = Array(7, 8)
Dim y : y = ((a))(0)
Test.Equal y, 7, "assigned from ((a))(0)"
x = (Listed())(1)
Test.Equal x, 20, "index on a call's result in parentheses"
Dim received
Sub Take(value)
    received = value
End Sub
call (((Take))) ((5))
Test.Equal received, 5, "call (((s))) ((x))"
Call (Take)(6)
Test.Equal received, 6, "Call (s)(x)"

Dim c : Set c = New Counter
Dim chained : Set chained = c.Self() _
    .Self()
Test.Equal TypeName(chained), "Counter", "a member after a line continuation continues the chain"
Test.Equal c.Self() _
.Count, 41, "continuation without indentation"
Test.Equal c _
    .Check(3), 6, "continuation right after the object"

Dim r : Set r = New RegExp
r.Pattern = "^a+$"
Test.Equal TypeName(r), "IRegExp2", "New RegExp"
Test.IsTrue r.Test("aaa"), "New RegExp matches"
x = (New RegExp).Test("x")
Test.Equal x, True, "a fresh RegExp matches anything"
Test.IsTrue IsObject(CreateObject("VBScript.RegExp")), "CreateObject gives the same class"
