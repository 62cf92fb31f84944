' SetLocale takes the locale IDs and names of the machine's locales (the locales-all package) and
' numbers, currency and dates follow it; the built-in en-US, en-GB and de-DE stay as they were.
Dim d : d = DateSerial(2024, 3, 5) + TimeSerial(14, 7, 9)
Dim nnbsp : nnbsp = ChrW(&H202F)
Dim euro : euro = ChrW(&H20AC)

Test.Equal SetLocale(1036), 1033, "SetLocale returns the locale before"
Test.Equal GetLocale(), 1036, "fr-FR by its locale ID"
Test.Equal CStr(1234.5), "1234,5", "fr-FR decimal comma"
Test.Equal FormatNumber(-1234567.891), "-1" & nnbsp & "234" & nnbsp & "567,89", "fr-FR grouping"
Test.Equal FormatCurrency(1234.5), "1" & nnbsp & "234,50 " & euro, "fr-FR currency after the amount"
Test.Equal CStr(d), "05/03/2024 14:07:09", "fr-FR date and 24-hour time"
Test.Equal MonthName(3), "mars", "fr-FR month"
Test.Equal WeekdayName(1, False, 1), "dimanche", "fr-FR day"
Test.Equal Weekday(d, 0), 2, "fr-FR weeks start on Monday"
Test.Equal CDbl("2,5"), 2.5, "fr-FR reads its own decimal comma"

' Names: language tags and names of the locale data, in any case, with or without code set.
SetLocale "ja-JP"
Test.Equal GetLocale(), 1041, "ja-JP by tag"
Test.Equal MonthName(3), "3" & ChrW(&H6708), "ja-JP month"
Test.Equal CStr(DateSerial(2024, 3, 5)), "2024/03/05", "ja-JP year first"
SetLocale "sv_SE.UTF-8"
Test.Equal GetLocale(), 1053, "sv-SE by the data's name"
Test.Equal CStr(DateSerial(2024, 3, 5)), "2024-03-05", "sv-SE dates"
SetLocale "SR-latn-rs"
Test.Equal GetLocale(), 9242, "a tag with a script, in any case"
Test.Equal MonthName(3), "mart", "Serbian in Latin letters"
SetLocale "sr_RS"
Test.Equal GetLocale(), 10266, "the data's default script"
SetLocale "1049"
Test.Equal GetLocale(), 1049, "a locale ID written as text"
' A locale of the data without a locale ID of its own.
SetLocale "ast_ES"
Test.Equal GetLocale(), 4096, "a locale without an ID"
Test.Equal CStr(2.5), "2,5", "its numbers"

' Unknown locales raise 5 and keep the current one.
On Error Resume Next
SetLocale "xx-YY"
Test.Equal Err.Number, 5, "an unknown tag"
Err.Clear
SetLocale 99999
Test.Equal Err.Number, 5, "an unknown locale ID"
Err.Clear
SetLocale "../../etc"
Test.Equal Err.Number, 5, "a name that is no locale"
Err.Clear
On Error GoTo 0
Test.Equal GetLocale(), 4096, "the locale stays after a failure"

' The built-in locales are unchanged.
SetLocale 1033
Test.Equal FormatCurrency(-1234.5), "($1,234.50)", "en-US currency"
Test.Equal CStr(d), "3/5/2024 2:07:09 PM", "en-US date"
Test.Equal FormatDateTime(d, 1), "Tuesday, March 5, 2024", "en-US long date"
SetLocale "en-gb"
Test.Equal GetLocale(), 2057, "en-GB by tag"
Test.Equal CStr(d), "05/03/2024 14:07:09", "en-GB date"
Test.Equal FormatDateTime(d, 1), "05 March 2024", "en-GB long date"
SetLocale "de_DE"
Test.Equal GetLocale(), 1031, "de-DE by the data's name is the built-in one"
Test.Equal FormatDateTime(d, 1), "Dienstag, 5. M" & ChrW(&HE4) & "rz 2024", "de-DE long date"
Test.Equal FormatCurrency(-1234.5), "-1.234,50 " & euro, "de-DE currency"
SetLocale 1033
