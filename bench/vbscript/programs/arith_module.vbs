' The arithmetic program over module-level variables, as top-level template code keeps them.
Dim i, total, d

Function Main(n)
    total = 0
    d = 0
    For i = 1 To n
        total = total + (i Mod 7) * 3 + i \ 5
        If total > 1000000000 Then total = total Mod 1000003
        d = d + i / 4 - (i Mod 3) * 0.25
    Next
    Main = total & " " & Int(d)
End Function
