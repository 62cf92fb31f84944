' For ... Next with Step, counters after the loop, and bounds evaluated once.
Dim i, s
s = ""
For i = 1 To 5
    s = s & i
Next
Test.Equal s, "12345", "counting up"
Test.Equal i, 6, "the counter ends one step past the end"

s = ""
For i = 10 To 1 Step -3
    s = s & i & ","
Next
Test.Equal s, "10,7,4,1,", "negative step"

s = ""
For i = 0 To 1 Step 0.25
    s = s & i & " "
Next
Test.Equal s, "0 0.25 0.5 0.75 1 ", "fractional step"

s = ""
For i = 5 To 1
    s = s & i
Next
Test.Equal s, "", "no iterations"
Test.Equal i, 5, "the counter is set even without iterations"

Dim limit : limit = 3
s = 0
For i = 1 To limit
    limit = 10
    s = s + 1
Next
Test.Equal s, 3, "the end is evaluated once"

s = 0
For i = 1 To 10
    i = i + 1
    s = s + 1
Next
Test.Equal s, 5, "the body may change the counter"

Dim j, n : n = 0
For i = 1 To 3
    For j = 1 To 3
        n = n + 1
    Next
Next
Test.Equal n, 9, "nested loops"

For i = 1 To 2 : n = n + 1 : Next
Test.Equal n, 11, "loop on one line"

Sub LocalLoop()
    Dim k, t
    For k = 1 To 4 Step 2
        t = t & k
    Next
    Test.Equal t, "13", "loop over a local counter"
End Sub
LocalLoop

s = ""
For i = "1" To "3"
    s = s & i
Next
Test.Equal s, "123", "text bounds convert to numbers"

s = 0
For i = 1 To 3
Next i
Test.Equal i, 4, "Next may name the counter"

' The counter's subtype follows the arithmetic of counter + step.
s = ""
For i = 32766 To 32768
    s = s & TypeName(i) & " "
Next
Test.Equal s & TypeName(i), "Integer Integer Long Long", "an Integer counter widens to Long"
s = ""
For i = 2147483646 To 2147483647
    s = s & TypeName(i) & " "
Next
Test.Equal s & TypeName(i), "Long Long Double", "a Long counter widens to Double"
s = ""
For i = 1 To 2 Step 0.5
    s = s & TypeName(i) & " "
Next
Test.Equal s, "Integer Double Double ", "a fractional step makes the counter a Double"

Sub CountTo(ByRef target)
    For target = 1 To 3 : Next
End Sub
Dim outside : CountTo outside
Test.Equal outside, 4, "a ByRef parameter as the counter writes through"

Class Counter
    Public value
    Function Run()
        For value = 3 To 1 Step -1 : Next
        Run = value
    End Function
End Class
Dim counterObject : Set counterObject = New Counter
Test.Equal counterObject.Run(), 0, "a field as the counter"
