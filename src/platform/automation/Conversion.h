#pragma once

#include "platform/automation/Variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::automation {

// The one conversion module of the library and the script engine. Every rule is VB's: numbers
// round half to even when they become integers, out-of-range values raise 6 (Overflow), values
// that cannot convert raise 13 (Type mismatch), Null where a value is needed raises 94, Empty
// converts to 0, "" or False, True is -1 and prints "True", Doubles print with up to 15
// significant digits, and dates print in the general date form of the current locale.

std::int16_t ToInteger(const Variant& value);  // CInt
std::int32_t ToLong(const Variant& value);     // CLng
float ToSingle(const Variant& value);          // CSng
double ToDouble(const Variant& value);         // CDbl
Currency ToCurrency(const Variant& value);     // CCur
double ToDate(const Variant& value);           // CDate, as a date serial
bool ToBoolean(const Variant& value);          // CBool
std::uint8_t ToByte(const Variant& value);     // CByte
std::u16string ToString(const Variant& value); // CStr
/// Appends the text ToString gives to `out`, without a temporary string for numbers and text
/// (`"k" & i`). Empty appends nothing; Null raises 94, as CStr does.
void AppendTextForm(std::u16string& out, const Variant& value);
/// The value converted to `type` (VarType Empty/Null/Object are not targets: 13).
Variant ChangeType(const Variant& value, VarType type);

/// Text forms, as CStr gives them.
std::u16string FormatDouble(double value);
std::u16string FormatSingle(float value);
std::u16string FormatCurrency(Currency value);
std::u16string FormatDate(double serial);

/// A number in text, as the runtime reads it: optional sign and blanks, decimal digits with the
/// locale's separators, exponent, "&H"/"&O" forms. nullopt when the text is not a number.
std::optional<double> ParseNumber(std::u16string_view text);
/// A date or time in text, in the forms CDate accepts for the current locale.
std::optional<double> ParseDate(std::u16string_view text);

/// Date serials: days since 30 December 1899, the time as the fraction.
/// A valid date of the years 100 to 9999, or nullopt.
std::optional<double> DateFromParts(int year, int month, int day);
/// As DateSerial counts: months beyond 12 (or below 1) carry into the year, and the day counts
/// from the first of the month (day 0 is the month's eve). nullopt outside the years 100 to
/// 9999. Years are taken as given; two-digit years are the caller's to widen.
std::optional<double> DateFromPartsCarrying(int year, int month, int day);
/// The time as a fraction of a day; values beyond their unit carry (TimeSerial).
double TimeFromParts(int hour, int minute, int second);
struct DateParts {
    int year, month, day, hour, minute, second, weekday; // weekday 1 = Sunday
};
DateParts SplitDate(double serial);

/// The current locale of the conversions (SetLocale/GetLocale); en-US (1033) unless set. One
/// per thread, like the rest of an apartment's state.
std::int32_t CurrentLocale() noexcept;
/// Returns false for a locale the library does not know.
bool SetCurrentLocale(std::int32_t lcid);

/// Truth of a condition (If, While): CBool, except that Null is not true (`If Null Then` takes
/// the Else branch without an error).
bool IsTrue(const Variant& value);

enum class CompareMode { Binary, Text };
enum class CompareResult { Less, Equal, Greater, Null };

/// VB comparison across subtypes: numbers by value, strings by code unit (or ignoring case in
/// Text mode), Empty is 0 or "", and any Null gives Null. Objects compare by their default
/// value. A number against a string is never converted to a number: an Integer or Long is less
/// than any non-empty string, other subtypes compare their text form (see Comparison.cpp). A
/// comparison with a numeric literal, where the runtime does convert the text, is the script
/// compiler's to make (CDbl on the string first).
CompareResult Compare(const Variant& a, const Variant& b, CompareMode mode = CompareMode::Binary);

enum class BinaryOp {
    Add,
    Subtract,
    Multiply,
    Divide,
    IntDivide,
    Modulo,
    Power,
    Concat,
    And,
    Or,
    Xor,
    Eqv,
    Imp,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
};

/// One binary operator with VB's result-type rules (Integer + Integer overflows into Long, "+"
/// on two strings concatenates, Null propagates, Boolean operators are bitwise on integers).
Variant Evaluate(BinaryOp op, const Variant& a, const Variant& b, CompareMode mode = CompareMode::Binary);
Variant Negate(const Variant& value);
Variant Not(const Variant& value);

/// The value of an object's default member (a property get with no arguments), or the value
/// itself when it is not an object. Nothing raises 91; no default member raises 438.
Variant DefaultValue(const Variant& value);

} // namespace qv::automation
