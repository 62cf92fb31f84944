' Is, Nothing, object identity and object expressions.
Class Thing
End Class
Dim a, b, c
Set a = New Thing
Set b = a
Set c = New Thing
Test.IsTrue a Is b, "same object"
Test.Equal a Is c, False, "different objects"
Test.Equal a Is Nothing, False, "not Nothing"
Set a = Nothing
Test.IsTrue a Is Nothing, "Nothing Is Nothing"
Test.IsTrue Test.Self Is Test, "host objects compare by identity"
Test.IsTrue Test.Self.Self Is Test.Self, "member chains"
Test.Equal IsObject(Nothing), True, "Nothing is an object"
Dim plain
Test.Equal IsObject(plain), False, "Empty is not"

' An object's default value takes part in an operator as that value would: one that is Null
' gives what a plain Null gives, result or error, in every operator and library call.
Class NullDefault
    Public Default Property Get Value : Value = Null : End Property
End Class
Dim nd, n : Set nd = New NullDefault : n = Null
Function Outcome(expression)
    Dim value
    On Error Resume Next
    value = Eval(expression)
    If Err.Number <> 0 Then
        Outcome = "error " & Err.Number
    ElseIf IsNull(value) Then
        Outcome = "Null"
    Else
        Outcome = TypeName(value) & " " & value
    End If
End Function
Dim form
For Each form In Array("""y"" & ?", "? & ?", "? & n", "1 & ? & 2", "? + 1", "1 + ?", "? + ""s""", _
        """s"" + ?", "? - 1", "? * 2", "? / 2", "? \ 2", "? Mod 2", "? ^ 2", "-?", "Not ?", "? = 1", _
        "1 = ?", "? = ""x""", "? < 1", "? <> ?", "? And True", "False And ?", "? Or 1", "? Xor 1", _
        "? Eqv 1", "? Imp 1", "Len(?)", "IsNull(?)", "IsEmpty(?)", "VarType(?)", "CStr(?)", "Trim(?)", _
        "Left(?, 1)", "InStr(?, ""a"")", "StrComp(?, ""a"")", "Replace(?, ""a"", ""b"")", "Abs(?)", _
        "Int(?)", "Hex(?)", "CInt(?)", "IsNumeric(?)", "Year(?)", "FormatNumber(?)", "Escape(?)", _
        "Chr(?)", "String(2, ?)", "Round(?)", "Join(Array(?, ?))")
    Test.Equal Outcome(Replace(form, "?", "nd")), Outcome(Replace(form, "?", "n")), form
Next
