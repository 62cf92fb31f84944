' Arguments and bounds at the ends of the Long range: each gives a result or a VB error, and none
' overflows inside the engine (the sanitizer build runs this script too).
Dim big : big = 2147483647
Dim small : small = -2147483647 - 1
Dim outcome

Sub Check(expression, expected)
    On Error Resume Next
    Dim value
    value = Eval(expression)
    If Err.Number <> 0 Then
        outcome = "error " & Err.Number
    Else
        outcome = TypeName(value) & " " & value
    End If
    On Error GoTo 0
    Test.Equal outcome, expected, expression
End Sub

Check "Mid(""abc"", big, big)", "String "
Check "Mid(""abc"", 2, big)", "String bc"
Check "Left(""abc"", big) & Right(""abc"", big)", "String abcabc"
Check "InStr(big, ""abc"", ""b"") + InStrRev(""abc"", ""b"", big)", "Long 0"
Check "Replace(""abc"", ""b"", ""x"", big, big)", "String "
Check "Replace(""abc"", ""b"", ""x"", 1, small)", "error 5"
Check "Space(-1)", "error 5"
Check "String(-1, ""x"")", "error 5"
Check "-small", "Double 2147483648"
Check "Abs(small)", "Double 2147483648"
Check "small \ -1", "error 6"
Check "small Mod -1", "Long 0"
Check "big + 1", "Double 2147483648"
Check "big * 2", "Double 4294967294"
Check "Hex(small) & Oct(small)", "String 8000000020000000000"
Check "ChrW(big)", "error 5"
Check "CLng(2147483647.5)", "error 6"
Check "CByte(big)", "error 6"
Check "DateAdd(""d"", big, #1/1/2000#)", "error 5"
Check "DateAdd(""yyyy"", big, #1/1/2000#)", "error 5"
Check "DateSerial(big, big, big)", "error 5"
Check "MonthName(big)", "error 5"
Check "FormatNumber(1.5, big)", "error 5"
Check "LBound(Array(), big)", "error 9"
Check "Array(1)(big)", "error 9"
Check "Fix(-2147483648.5) & Int(-2147483648.5)", "String -2147483648-2147483649"

Dim a, i, last
ReDim a(-1)
Test.Equal UBound(a), -1, "ReDim to an empty array"
For i = big - 2 To big
    last = i
Next
Test.Equal last, big, "For up to the largest Long"
For i = small + 2 To small Step -1
    last = i
Next
Test.Equal last, small, "For down to the smallest Long"
For i = 1 To big Step big
    last = i
Next
Test.Equal last, 1, "a step of the largest Long"
