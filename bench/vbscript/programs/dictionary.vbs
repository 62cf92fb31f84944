' Scripting.Dictionary: counts under 5,000 text keys with Exists, Item and Add, then reads back.
Function Main(n)
    Dim d, i, key, total
    Set d = CreateObject("Scripting.Dictionary")
    For i = 1 To n
        key = "k" & (i Mod 5000)
        If d.Exists(key) Then
            d.Item(key) = d.Item(key) + i Mod 7
        Else
            d.Add key, i Mod 7
        End If
    Next
    total = d.Count
    For i = 0 To 4999
        total = total + d.Item("k" & i)
    Next
    Main = total
End Function
