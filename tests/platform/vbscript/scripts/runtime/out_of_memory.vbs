' Requests beyond the memory ceiling raise 7 "Out of memory" before anything is allocated, and
' the engine goes on working afterwards. Before the ceiling these took the host down.
' memory: 32
On Error Resume Next

Sub ExpectOutOfMemory(what)
    Test.Equal Err.Number, 7, what & ": number"
    Test.Equal Err.Description, "Out of memory", what & ": description"
    Err.Clear
End Sub

Dim a
ReDim a(2000000000)
ExpectOutOfMemory "ReDim of two billion elements"
' The largest Long as an upper bound: one more element than a Long counts.
ReDim a(2147483647)
ExpectOutOfMemory "ReDim to the largest Long"
ReDim a(10, 2147483647)
ExpectOutOfMemory "ReDim of two dimensions at the limit"
ReDim a(100000, 100000)
ExpectOutOfMemory "ReDim whose element count overflows a Long"
ReDim a(5)
ReDim Preserve a(2147483646)
ExpectOutOfMemory "ReDim Preserve to the limit"
Test.Equal UBound(a), 5, "a failed ReDim Preserve keeps the array"

Dim s
s = Space(2147483647)
ExpectOutOfMemory "Space of the largest Long"
s = String(2147483647, "x")
ExpectOutOfMemory "String of the largest Long"

' A string that doubles in a loop stops at the ceiling.
Dim doublings
s = "0123456789"
doublings = 0
Do While Err.Number = 0 And doublings < 40
    s = s & s
    doublings = doublings + 1
Loop
ExpectOutOfMemory "a doubling string"
Test.IsTrue doublings > 10 And doublings < 40, "the doubling stopped at the ceiling"

' Appending in place stops there as well.
s = String(1000000, "y")
Dim appended
appended = 0
Do While Err.Number = 0 And appended < 100
    s = s & s & "z"
    appended = appended + 1
Loop
ExpectOutOfMemory "appending in place"

s = Replace(String(1000, "a"), "a", String(100000, "b"))
ExpectOutOfMemory "Replace whose result passes the ceiling"
s = Join(Array(String(6000000, "c"), String(6000000, "d")), "")
ExpectOutOfMemory "Join whose result passes the ceiling"

' Library calls whose result grows with their input count it as it grows. A global search with
' millions of matches and a split into millions of parts took hundreds of megabytes under this
' ceiling, and the split failed only once it had them all.
Dim re, matches
Set re = New RegExp
re.Global = True
re.Pattern = "a"
Set matches = re.Execute(String(2000000, "a"))
ExpectOutOfMemory "RegExp.Execute with two million matches"
Test.IsTrue IsEmpty(matches), "no collection after the failed search"
Set matches = re.Execute(String(1000, "a"))
Test.Equal matches.Count, 1000, "a smaller search fits"
Test.Equal matches(999).SubMatches.Count, 0, "its matches work"
Set matches = Nothing
a = Split(String(1000000, ","), ",")
ExpectOutOfMemory "Split into a million parts"
Test.Equal UBound(a), 5, "a failed Split keeps the variable"

' Containers that grow without end: a dictionary and a list of objects.
Dim d, k
Set d = CreateObject("Scripting.Dictionary")
k = 0
Do While Err.Number = 0 And k < 5000000
    d.Add k, k
    k = k + 1
Loop
' Freed before the check: at the ceiling even the check's own texts would fail.
Dim failure : failure = Err.Number
Set d = Nothing
Test.Equal failure, 7, "a dictionary without end"
Err.Clear

Class MemoryCell
    Public NextCell
End Class
Dim head, cell
Set head = Nothing
k = 0
Do While k < 5000000
    Set cell = New MemoryCell
    ' Linking after a failed New would tie the last cell to itself.
    If Err.Number <> 0 Then Exit Do
    Set cell.NextCell = head
    Set head = cell
    k = k + 1
Loop
failure = Err.Number
Set cell = Nothing
Set head = Nothing
Test.Equal failure, 7, "a list of objects without end"
Err.Clear

' What was freed is usable again.
s = Empty
ReDim a(1000000)
Test.Equal Err.Number, 0, "an array of a million elements fits after the big ones failed"
a(1000000) = "last"
Test.Equal a(1000000), "last", "the array works"
Test.Equal Len(Space(1000)), 1000, "Space works"

' A search that ignores case works on a folded copy of the text, which must fit as well.
a = Empty
Dim position
position = InStr(1, String(12000000, "a"), "b", vbTextCompare)
ExpectOutOfMemory "InStr ignoring case in a text that fills most of the ceiling"
Test.Equal InStr(1, String(1000, "a"), "B", vbTextCompare), 0, "a smaller one works"
