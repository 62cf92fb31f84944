' Statements that give memory back work at the memory ceiling itself, so that a script that
' traps error 7 can free memory and go on. Erase and ReDim made their new, smaller array before
' the old one went, and so raised 7 there.
' memory: 16
Dim arr, d, size, what, count, other

' Fills `arr` (or the dictionary `d`) with strings until not even one more character fits.
Sub Fill(intoDictionary)
    On Error Resume Next
    ReDim arr(100000)
    Set d = CreateObject("Scripting.Dictionary")
    count = 0
    size = 4096
    Do While size >= 1 And count <= 100000
        If intoDictionary Then
            d.Add count, String(size, "x")
        Else
            arr(count) = String(size, "x")
        End If
        If Err.Number = 7 Then
            Err.Clear
            size = size \ 2
        Else
            count = count + 1
        End If
    Loop
    Err.Clear
End Sub

' Checks what a release left, with no text built before the memory is back.
Sub Released()
    On Error Resume Next
    Dim number
    number = Err.Number
    Err.Clear
    Test.Equal number, 0, what
    Test.IsTrue count > 1000, what
    Dim room
    room = String(1000000, "y")
    Test.Equal Err.Number, 0, what
    Err.Clear
End Sub

On Error Resume Next
what = "Erase" : Fill False : Erase arr : Released
what = "ReDim a(0)" : Fill False : ReDim arr(0) : Released
what = "ReDim Preserve a(0)" : Fill False : ReDim Preserve arr(0) : Released
what = "a = Empty" : Fill False : arr = Empty : Released
what = "Erase of an array also held elsewhere" : Fill False : other = arr : Erase arr : other = Empty : Released
what = "RemoveAll" : Fill True : d.RemoveAll : Released
what = "Set d = Nothing" : Fill True : Set d = Nothing : Released

' A ReDim that does not fit still raises 7 and keeps the array.
Err.Clear
ReDim arr(10)
arr(3) = "kept"
ReDim arr(200000000)
Test.Equal Err.Number, 7, "a ReDim past the ceiling"
Err.Clear
Test.Equal UBound(arr) & arr(3), "10kept", "the array it failed to replace"
