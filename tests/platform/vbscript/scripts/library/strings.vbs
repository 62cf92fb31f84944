' String functions as scripts call them: subtypes, Null propagation and error numbers.
Test.Equal TypeName(Len("abc")), "Long", "Len is a Long"
Test.IsTrue IsNull(Len(Null)), "Len(Null) is Null"
Test.IsTrue IsNull(Mid(Null, 2)), "Mid(Null, ...) is Null"
Test.IsTrue IsNull(UCase(Null)), "UCase(Null) is Null"
Test.IsTrue IsNull(Trim(Null)), "Trim(Null) is Null"
Test.Equal Mid("Quorvane", 3, 3), "orv", "Mid with a length"
Test.Equal Mid("Quorvane", 6), "ane", "Mid to the end"
Test.Equal Left(12345, 2), "12", "Left of a number"
Test.Equal InStr("a,b,c", ","), 2, "InStr"
Test.Equal InStr(3, "a,b,c", ","), 4, "InStr from a start"
Test.Equal InStr(1, "ABC", "b", vbTextCompare), 2, "InStr ignoring case"
Test.Equal InStrRev("a,b,c", ","), 4, "InStrRev"
Test.Equal Replace("a.b.c", ".", "/"), "a/b/c", "Replace"
Test.Equal Replace("aXbxc", "x", "-", 1, -1, vbTextCompare), "a-b-c", "Replace ignoring case"
Test.Equal StrComp("abc", "ABC", vbTextCompare), 0, "StrComp text"
Test.Equal TypeName(StrComp("a", "b")), "Integer", "StrComp is an Integer"
Test.Equal String(3, "*"), "***", "String"
Test.Equal Space(2) & "x", "  x", "Space"
Test.Equal StrReverse("abc"), "cba", "StrReverse"
Test.Equal Chr(65) & ChrW(&H20AC), "A" & ChrW(8364), "Chr and ChrW"
Test.Equal Asc(Chr(128)), 128, "Chr and Asc through code page 1252"
Test.Equal AscW(Chr(128)), 8364, "Chr(128) is the euro sign"
Test.Equal Escape("a b"), "a%20b", "Escape"
Test.Equal Unescape("a%20b"), "a b", "Unescape"

Dim parts : parts = Split("one,two,,three", ",")
Test.Equal UBound(parts), 3, "Split keeps empty parts"
Test.Equal TypeName(parts), "Variant()", "Split gives a Variant array"
Test.Equal parts(3), "three", "the last part"
Test.Equal Join(parts, "|"), "one|two||three", "Join"
Test.Equal UBound(Split("")), -1, "Split of nothing is an empty array"
Dim kept : kept = Filter(Array("pear", "apple", "plum"), "p", True)
Test.Equal Join(kept, " "), "pear apple plum", "Filter keeps matching elements"
Test.Equal UBound(Filter(Array("pear"), "x")), -1, "Filter with no match"

On Error Resume Next
Dim x
x = Asc("")
Test.Equal Err.Number, 5, "Asc of an empty string"
Err.Clear
x = Left("abc", -1)
Test.Equal Err.Number, 5, "Left with a negative length"
Err.Clear
x = CStr(Null)
Test.Equal Err.Number, 94, "CStr(Null)"
Test.Equal Err.Description, "Invalid use of Null", "with the runtime's text"
Err.Clear
x = Chr(256)
Test.Equal Err.Number, 5, "Chr above 255"
Err.Clear
x = Mid("abc", 0)
Test.Equal Err.Number, 5, "Mid from 0"
Err.Clear
x = Replace(Null, "a", "b")
Test.Equal Err.Number, 94, "Replace(Null, ...)"
Err.Clear
x = Len()
Test.Equal Err.Number, 450, "Len without its argument"
