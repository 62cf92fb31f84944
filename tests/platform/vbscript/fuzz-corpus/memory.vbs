Dim a, s, i
On Error Resume Next
ReDim a(2000000000)
ReDim a(2147483647)
ReDim a(10, 2147483647)
ReDim Preserve a(2147483646)
s = Space(2147483647)
s = String(2147483647, "x")
s = "0123456789"
For i = 1 To 40 : s = s & s : Next
s = Replace(String(1000, "a"), "a", String(100000, "b"))
s = Join(Array(s, s, s), s)
Dim d : d = Array(1)
For i = 1 To 30 : d = Array(d, d) : Next
