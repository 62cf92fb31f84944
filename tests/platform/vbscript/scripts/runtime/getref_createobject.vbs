' GetRef, CreateObject for the safe classes, GetLocale/SetLocale.
Function Twice(n)
    Twice = n * 2
End Function
Dim f : Set f = GetRef("Twice")
Test.Equal f(21), 42, "calling through GetRef"

Dim d : Set d = CreateObject("Scripting.Dictionary")
d.Add "k", "v"
Test.Equal d("k"), "v", "Scripting.Dictionary"
Test.Equal d.Count, 1, "its Count"
Dim key, keys : keys = ""
d.Add "k2", "v2"
For Each key In d
    keys = keys & key & ";"
Next
Test.Equal keys, "k;k2;", "For Each over a dictionary's keys"
d("k3") = "v3"
Test.Equal d.Item("k3"), "v3", "assignment through the default member"

Dim re : Set re = CreateObject("VBScript.RegExp")
re.Pattern = "b+"
Test.Equal re.Test("abbbc"), True, "VBScript.RegExp"

On Error Resume Next
Dim sh : Set sh = CreateObject("WScript.Shell")
Test.Equal Err.Number, 429, "anything else cannot be created"
Err.Clear
Set f = GetRef("NoSuchProcedure")
Test.Equal Err.Number, 5, "GetRef of an unknown name"
On Error GoTo 0

Dim old : old = GetLocale()
Test.Equal old, 1033, "the default locale"
Test.Equal SetLocale(1033), 1033, "SetLocale returns the previous locale"
Test.Equal GetLocale(), 1033, "GetLocale"
