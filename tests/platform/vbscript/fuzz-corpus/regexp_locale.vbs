Dim re, s, m
Set re = CreateObject("VBScript.RegExp")
re.Pattern = "(\d+)|$"
re.Global = True
s = Replace(Space(70000), " ", "word123 ") & ChrW(&HD800) & "x" & ChrW(&HDC00)
s = re.Replace(s, "[$1$`]")
Set m = re.Execute(s)
SetLocale "fr-FR"
s = FormatCurrency(-1234.5) & FormatDateTime(Now, 1) & CDbl("1,5")
SetLocale "sr_RS@latin"
SetLocale "ja_JP.UTF-8"
SetLocale 1049
s = MonthName(3) & WeekdayName(1) & CStr(1.5)
On Error Resume Next
SetLocale "../x_Y"
SetLocale 0
