' Conversion, maths, date and formatting functions with the subtypes the engine's literals have.
Test.Equal Hex(-1), "FFFF", "Hex of an Integer"
Test.Equal Hex(-32768), "FFFF8000", "-32768 is a Long literal"
Test.Equal Oct(8), "10", "Oct"
Test.Equal TypeName(CInt("12")), "Integer", "CInt"
Test.Equal CInt(2.5) + CInt(3.5), 6, "banker's rounding"
Test.Equal Round(2.345, 2), 2.35, "Round to places"
Test.Equal Round(2.5), 2, "Round half to even"
Test.Equal TypeName(Int(-1.5)), "Double", "Int keeps Double"
Test.Equal Int(-1.5), -2, "Int rounds down"
Test.Equal Fix(-1.5), -1, "Fix truncates"
Test.Equal TypeName(Abs(-32768)), "Long", "Abs"
Test.Equal Sgn(-0.1), -1, "Sgn"
Test.Equal VarType(vbTextCompare), vbInteger, "vbTextCompare is an Integer"
Test.Equal VarType(vbBlue), vbLong, "colours are Long"
Test.IsTrue IsNumeric(" 12 ") And IsNumeric("&H1F") And Not IsNumeric("abc"), "IsNumeric"
Test.Equal TypeName(Rnd), "Single", "Rnd is a Single"
Test.Equal Rnd(-1), Rnd(-1), "a negative argument reseeds"

Dim d : d = DateSerial(2023, 12, 31)
Test.Equal Weekday(d), vbSunday, "Weekday"
Test.Equal DateAdd("m", 2, DateSerial(2023, 12, 31)), DateSerial(2024, 2, 29), "DateAdd keeps the month end"
Test.Equal DateDiff("d", DateSerial(2024, 1, 1), DateSerial(2024, 3, 1)), 60, "DateDiff in a leap year"
Test.Equal DatePart("q", d), 4, "DatePart"
Test.Equal MonthName(Month(d)), "December", "MonthName"
Test.Equal FormatDateTime(d, vbLongDate), "Sunday, December 31, 2023", "long date"
Test.Equal FormatDateTime(d + TimeSerial(13, 5, 0), vbShortTime), "13:05", "short time"
Test.Equal FormatNumber(1234.5), "1,234.50", "FormatNumber"
Test.Equal FormatCurrency(-1234.5), "($1,234.50)", "FormatCurrency"
Test.Equal FormatPercent(0.256), "25.60%", "FormatPercent"
Test.Equal UBound(Array(1, 2, 3)), 2, "Array"

On Error Resume Next
Dim x
x = Sqr(-1)
Test.Equal Err.Number, 5, "Sqr of a negative number"
Err.Clear
x = CInt(40000)
Test.Equal Err.Number, 6, "CInt overflow"
Err.Clear
x = UBound(Array(1), 2)
Test.Equal Err.Number, 9, "UBound of a dimension the array lacks"
Err.Clear
x = DateSerial(Null, 1, 1)
Test.Equal Err.Number, 94, "DateSerial(Null, ...)"

' A conversion called as a statement, whose result goes nowhere, raises 458; other functions
' called so just run.
Dim source458 : source458 = "12"
On Error Resume Next
Call CInt(source458) : Test.Equal Err.Number, 458, "Call CInt(x)" : Err.Clear
CStr source458 : Test.Equal Err.Number, 458, "CStr x" : Err.Clear
CDbl 1 : Test.Equal Err.Number, 458, "CDbl 1" : Err.Clear
Call CBool(1) : Test.Equal Err.Number, 458, "Call CBool(1)" : Err.Clear
Call CDate(1) : Test.Equal Err.Number, 458, "Call CDate(1)" : Err.Clear
Call Len(source458) : Test.Equal Err.Number, 0, "Call Len(x) is no error" : Err.Clear
Hex 255 : Test.Equal Err.Number, 0, "nor is Hex as a statement" : Err.Clear
Test.Equal CInt(source458) + 1, 13, "the same conversion in an expression"
On Error GoTo 0
