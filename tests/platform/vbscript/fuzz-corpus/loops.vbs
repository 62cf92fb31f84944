' Do While/Until ... Loop, Do ... Loop While/Until, infinite Do with Exit Do, While ... Wend.
Dim n, s
n = 0
Do While n < 3
    n = n + 1
Loop
Test.Equal n, 3, "Do While"

n = 0
Do Until n = 4
    n = n + 1
Loop
Test.Equal n, 4, "Do Until"

n = 10
Do
    n = n + 1
Loop While n < 5
Test.Equal n, 11, "Do ... Loop While runs once"

n = 0
Do
    n = n + 2
Loop Until n >= 7
Test.Equal n, 8, "Do ... Loop Until"

n = 0
Do
    n = n + 1
    If n = 5 Then Exit Do
Loop
Test.Equal n, 5, "Exit Do"

n = 0
While n < 6
    n = n + 2
Wend
Test.Equal n, 6, "While ... Wend"

n = 0
Do While n < 10
    Dim m : m = 0
    While m < 3
        m = m + 1
        If m = 2 Then Exit Do
    Wend
    n = n + 1
Loop
Test.Equal n, 0, "Exit Do passes through While ... Wend"
Test.Equal m, 2, "the inner loop stopped at 2"

n = 0
Do While Null
    n = 1
Loop
Test.Equal n, 0, "a Null condition ends a While loop"

s = ""
n = 0
Do : n = n + 1 : s = s & n : Loop Until n = 3
Test.Equal s, "123", "a loop on one line"
