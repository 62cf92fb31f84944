' Every operator that can take its operands straight from locals and constants gives, in each of
' those forms, what it gives on operands that are computed: the same subtype, value or error.
' The procedures are written out per operator and literal and run through ExecuteGlobal, so that
' each is compiled as a procedure whose parameters are locals.
Dim Values
Values = Array(7, "4", 2.5, True, Null, Empty, 0, -32768, 32767, "x", CByte(200), CCur(1.5), "2.5", 2147483647, _
               New NullDefault)

' An object operand is its default value, here one that is Null, as Id(a) reads it.
Class NullDefault
    Public Default Property Get Value : Value = Null : End Property
End Class

Function Id(x)
    Id = x
End Function

' The outcome of the last evaluation: its error, or its subtype and value.
Function Show(v)
    If Err.Number <> 0 Then
        Show = "error " & Err.Number
    ElseIf IsNull(v) Then
        Show = "Null"
    Else
        Show = TypeName(v) & " " & v
    End If
End Function

Function Probe(slot, expression)
    Probe = "v = Empty" & vbLf & "Err.Clear" & vbLf & "v = " & expression & vbLf & _
            "r(" & slot & ") = Show(v)" & vbLf
End Function

Function ProbeIf(slot, condition)
    ProbeIf = "v = Empty" & vbLf & "Err.Clear" & vbLf & "If " & condition & " Then v = True Else v = False" & _
              vbLf & "r(" & slot & ") = Show(v)" & vbLf
End Function

' Compares two outcomes; the message names the procedure, the probes and the value of a.
Function Same(first, second)
    Same = "Test.Equal r(" & first & "), r(" & second & "), ""NAME: probe " & first & " against " & second & _
           " with a = Values("" & index & "")""" & vbLf
End Function

Dim operators, mirrors, literals, o, l, text, reference, name
operators = Array("+", "-", "*", "/", "\", "Mod", "=", "<>", "<", "<=", ">", ">=")
mirrors = Array("", "", "", "", "", "", "=", "<>", ">", ">=", "<", "<=")
literals = Array("3", """4""", "2.5", "True", "Null", "Empty", "0", "-1", "2147483647", """x""", """""")
For o = 0 To UBound(operators)
    For l = 0 To UBound(literals)
        name = "Check" & o & "_" & l
        ' Against a literal a comparison types its other operand hard, so its computed reference
        ' keeps the literal, on the left.
        If mirrors(o) = "" Then
            reference = "Id(a) OP Id(b)"
        Else
            reference = "LIT " & mirrors(o) & " Id(a)"
        End If
        text = "Sub " & name & "(b)" & vbLf & "Dim a, v, r(9), index" & vbLf & "index = 0" & vbLf & "On Error Resume Next" & vbLf & _
               "For Each a In Values" & vbLf & _
               Probe(0, "a OP b") & Probe(1, "Id(a) OP b") & Probe(2, "Id(a) OP Id(b)") & _
               Probe(3, "a OP LIT") & Probe(4, "Id(a) OP LIT") & Probe(5, reference) & _
               ProbeIf(6, "a OP b") & ProbeIf(7, "Id(a) OP Id(b)") & _
               ProbeIf(8, "a OP LIT") & ProbeIf(9, reference) & _
               Same(0, 2) & Same(1, 2) & Same(3, 5) & Same(4, 5) & Same(6, 7) & Same(8, 9) & _
               "index = index + 1" & vbLf & "Next" & vbLf & "End Sub" & vbLf & "Call " & name & "(" & literals(l) & ")"
        text = Replace(Replace(Replace(text, "OP", operators(o)), "LIT", literals(l)), "NAME", name)
        ExecuteGlobal text
    Next
Next
