' Builds a page of table cells one appended piece at a time, the way generated pages are built.
Function Main(n)
    Dim kqOut, x
    kqOut = ""
    For x = 1 To n
        kqOut = kqOut & "<td>" & x & "</td>" & vbCrLf
    Next
    Main = Len(kqOut) & " " & Mid(kqOut, Len(kqOut) - 15, 10)
End Function
