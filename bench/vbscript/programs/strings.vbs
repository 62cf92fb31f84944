' String functions in a loop: Mid, Replace, UCase, InStr, Len.
Function Main(n)
    Dim i, s, t, total, start
    s = "The quick brown fox jumps over the lazy dog"
    total = 0
    For i = 1 To n
        start = (i Mod 20) + 1
        t = Mid(s, start, 12)
        t = Replace(t, "o", "0")
        t = UCase(t)
        total = total + InStr(t, "0") + InStr(start, s, "o") + Len(t)
    Next
    Main = total & " " & t
End Function
