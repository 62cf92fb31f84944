' Select Case with values, lists, ranges, Is comparisons and Case Else.
Function Kind(v)
    ' The text cases come first: a text subject against a numeric literal case is read as a
    ' number, and "b" is none (13).
    Select Case v
        Case "a", "b"
            Kind = "letter"
        Case 1, 2, 3
            Kind = "low"
        Case 4 To 6
            Kind = "mid"
        Case Is >= 100
            Kind = "huge"
        Case Else
            Kind = "other"
    End Select
End Function
Test.Equal Kind(2), "low", "value list"
Test.Equal Kind(5), "mid", "range"
Test.Equal Kind(100), "huge", "Is comparison"
Test.Equal Kind("b"), "letter", "text values"
Test.Equal Kind(50), "other", "Case Else"
Test.Equal Kind(Null), "other", "Null matches nothing"

Dim hits : hits = 0
Function Probe()
    hits = hits + 1
    Probe = 2
End Function
Select Case Probe()
    Case 1: hits = hits + 10
    Case 2: hits = hits + 100
End Select
Test.Equal hits, 101, "the subject is evaluated once"

Dim r
Select Case True
    Case 1 > 2: r = "first"
    Case 2 > 1: r = "second"
End Select
Test.Equal r, "second", "Select Case True"

r = "unchanged"
Select Case 9
    Case 1
        r = "one"
End Select
Test.Equal r, "unchanged", "no Case matches"
