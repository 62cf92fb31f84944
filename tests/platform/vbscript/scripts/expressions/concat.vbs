' The & operator: text of every operand, Null only when all are Null, folding of literals.
Dim a, b, n
a = "x" : b = 5 : n = Null
Test.Equal a & b, "x5", "number to text"
Test.Equal a & n, "x", "Null adds nothing"
Test.Equal IsNull(n & n), True, "Null & Null is Null"
Test.Equal IsNull(n & n & n), True, "Null & Null & Null is Null"
Test.Equal n & n & "z", "z", "Null pieces among text"
Test.Equal "a" & "b" & "c", "abc", "literals"
Test.Equal 1 & 2, "12", "numbers"
Test.Equal True & "", "True", "Boolean text"
Test.Equal Empty & "", "", "Empty is empty text"
Test.Equal TypeName(1 & 2), "String", "& gives a String"
Test.Equal a & b & a & b & a, "x5x5x", "a chain of five"
Test.Equal 1.5 & "", "1.5", "Double text"
Dim r : Set r = Test.Tables("Customers")
r.Value = "val"
Test.Equal "<" & r & ">", "<val>", "an object gives its default value"

' x = x & ... appends in place.
Dim s : s = "start"
s = s & "-" & b & n & "-end"
Test.Equal s, "start-5-end", "append to a global"
Dim e
e = e & "from empty"
Test.Equal e, "from empty", "append to Empty"
Dim nul : nul = Null
nul = nul & n
Test.Equal IsNull(nul), True, "appending Null to Null stays Null"
nul = nul & "t"
Test.Equal nul, "t", "appending text to Null"
Dim num : num = 12
num = num & 3
Test.Equal num, "123", "appending to a number"
Dim alias : alias = s
s = s & "!"
Test.Equal alias, "start-5-end", "a shared string is not changed under another name"
Test.Equal s, "start-5-end!", "the appended one is"

Function Build(count)
    Dim out, i
    For i = 1 To count
        out = out & i & ","
    Next
    Build = out
End Function
Test.Equal Build(5), "1,2,3,4,5,", "append to a local in a loop"

Dim g : g = "g"
Function Touch()
    g = "changed"
    Touch = "+"
End Function
g = g & Touch()
Test.Equal g, "g+", "the left operand is read before the right one runs"

Function SelfRef(p)
    p = p & p & "|"
    SelfRef = p
End Function
Dim sr : sr = "ab"
Test.Equal SelfRef(sr), "abab|", "a piece naming the target"

Function Appends(byRef t)
    t = t & Touch2()
    Appends = t
End Function
Dim shared : shared = "s"
Function Touch2()
    shared = "overwritten"
    Touch2 = "2"
End Function
Test.Equal Appends(shared), "s2", "a parameter that aliases a global is read first"

Function Result()
    Result = "r"
    Result = Result & "e" & "s"
End Function
Test.Equal Result(), "res", "append to a function's result"

' An object whose default value is Null is Null to &, as "y" & Null is "y": every form of it
' raised 94 instead.
Class NullDefault
    Public Default Property Get Value : Value = Null : End Property
End Class
Dim nd : Set nd = New NullDefault
Test.Equal "y" & nd, "y", "text before a Null default"
Test.Equal nd & "y" & nd, "y", "text between Null defaults"
Test.Equal IsNull(nd & nd), True, "Null defaults alone stay Null"
Test.Equal IsNull(n & nd & n), True, "with plain Nulls"
Test.Equal "a" & nd & b & nd & n, "a5", "among other pieces"
Dim ap : ap = "z"
ap = ap & nd
ap = ap & nd & "!" & nd
Test.Equal ap, "z!", "appended"
Dim apn : apn = Null
apn = apn & nd & n
Test.Equal IsNull(apn), True, "appended to Null"
Function AppendLocal(o)
    Dim s, t : s = "s" : t = Null
    s = s & o
    t = t & o
    AppendLocal = s & IsNull(t) & o
End Function
Test.Equal AppendLocal(nd), "sTrue", "to locals"
