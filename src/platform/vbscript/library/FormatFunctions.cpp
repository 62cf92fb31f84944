// The formatting functions of the runtime library, in the current locale: numbers, amounts,
// percentages and dates.
#include "platform/vbscript/internal/Builtins.h"
#include "platform/vbscript/library/LibrarySupport.h"
#include "platform/vbscript/library/LocaleConventions.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qv::vbscript {

namespace {

using automation::LocaleInfo;
using automation::Variant;
using automation::VarType;
using library::Args;
using library::IsGiven;
using library::LocaleConventions;
using library::RaiseInvalidCall;
using library::RequireNotNull;
using library::ValueOf;

// A number as decimal digits: value = 0.digits x 10^exponent, digits without leading zeros.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

void TrimZeros(Decimal& number) {
    std::size_t first = number.digits.find_first_not_of('0');
    if (first == std::string::npos) {
        number = Decimal{};
        return;
    }
    number.exponent -= static_cast<int>(first);
    number.digits.erase(0, first);
    number.digits.erase(number.digits.find_last_not_of('0') + 1);
}

Decimal FromInteger(std::int64_t value, int scaleDigits) {
    Decimal number;
    number.negative = value < 0;
    std::uint64_t magnitude =
        number.negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    number.digits = std::to_string(magnitude);
    number.exponent = static_cast<int>(number.digits.size()) - scaleDigits;
    TrimZeros(number);
    return number;
}

// Doubles carry 15 significant digits and Singles 7, as their text forms do; the formatting
// rounds that decimal form, so FormatNumber(1.005, 2) is "1.01" although the binary value is a
// hair below.
Decimal FromFloating(double value, int significant) {
    Decimal number;
    if (value == 0 || !std::isfinite(value)) {
        return number;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", significant - 1, value);
    std::string text = buffer;
    number.negative = text.front() == '-';
    std::size_t start = number.negative ? 1 : 0;
    std::size_t e = text.find('e');
    for (std::size_t i = start; i < e; ++i) {
        if (text[i] != '.') {
            number.digits.push_back(text[i]);
        }
    }
    number.exponent = std::stoi(text.substr(e + 1)) + 1;
    TrimZeros(number);
    return number;
}

Decimal ToDecimal(const Variant& value) {
    switch (value.Type()) {
    case VarType::Currency:
        return FromInteger(value.CurrencyValue().Scaled(), 4);
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Boolean:
    case VarType::Empty:
        return FromInteger(automation::ToLong(value), 0);
    case VarType::Single:
        return FromFloating(value.SingleValue(), 7);
    default:
        return FromFloating(automation::ToDouble(value), 15);
    }
}

// Rounds half away from zero to `decimals` places, as the system's number formatting does.
void RoundDecimal(Decimal& number, int decimals) {
    int keep = number.exponent + decimals;
    if (keep >= static_cast<int>(number.digits.size())) {
        return;
    }
    if (keep < 0) {
        number = Decimal{};
        return;
    }
    bool up = number.digits[static_cast<std::size_t>(keep)] >= '5';
    number.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && number.digits[static_cast<std::size_t>(i)] == '9') {
            number.digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i < 0) {
            number.digits.insert(number.digits.begin(), '1');
            ++number.exponent;
        } else {
            ++number.digits[static_cast<std::size_t>(i)];
        }
    }
    bool negative = number.negative;
    TrimZeros(number);
    number.negative = negative && !number.digits.empty();
}

enum class Tristate { UseDefault, True, False };

// A Tristate argument: -1 (or True) and 0 (False); -2 or omitted for the locale's choice.
Tristate TristateArg(Args args, std::size_t index) {
    if (!IsGiven(args, index)) {
        return Tristate::UseDefault;
    }
    std::int32_t value = library::LongArg(args, index, -2);
    if (value == -2) {
        return Tristate::UseDefault;
    }
    return value == 0 ? Tristate::False : Tristate::True;
}

struct NumberOptions {
    int decimals;
    bool leadingDigit;
    Tristate parentheses;
    bool groupDigits;
};

// The arguments after the value of FormatNumber, FormatCurrency and FormatPercent. The value
// itself must be a number: Null raises 13 here, not 94.
std::pair<Variant, NumberOptions> NumberArgs(Args args, int defaultDecimals) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        RequireNotNull(ValueOf(args, i));
    }
    Variant value = ValueOf(args, 0);
    if (value.IsNull()) {
        automation::Raise(automation::ErrorNumber::TypeMismatch);
    }
    NumberOptions options{};
    std::int32_t decimals = library::LongArg(args, 1, -1);
    if (decimals < -1 || decimals > 255) {
        RaiseInvalidCall();
    }
    options.decimals = decimals == -1 ? defaultDecimals : decimals;
    options.leadingDigit = TristateArg(args, 2) != Tristate::False;
    options.parentheses = TristateArg(args, 3);
    options.groupDigits = TristateArg(args, 4) != Tristate::False;
    if (value.IsString()) {
        // Text must read as a number; ToDouble raises 13 otherwise.
        value = Variant(automation::ToDouble(value));
    }
    return {value, options};
}

// The digits of a rounded magnitude with separators: "1,234.50".
std::u16string Digits(const Decimal& number, const NumberOptions& options, const LocaleInfo& locale) {
    std::u16string whole;
    for (int i = 0; i < number.exponent; ++i) {
        whole.push_back(static_cast<std::size_t>(i) < number.digits.size()
                            ? static_cast<char16_t>(number.digits[static_cast<std::size_t>(i)])
                            : u'0');
    }
    if (whole.empty() && options.leadingDigit) {
        whole = u"0";
    }
    std::u16string text;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (options.groupDigits && i > 0 && (whole.size() - i) % 3 == 0) {
            text.push_back(locale.thousandsSeparator);
        }
        text.push_back(whole[i]);
    }
    if (options.decimals > 0) {
        text.push_back(locale.decimalSeparator);
        for (int i = 0; i < options.decimals; ++i) {
            int position = number.exponent + i;
            bool present = position >= 0 && static_cast<std::size_t>(position) < number.digits.size();
            text.push_back(present ? static_cast<char16_t>(number.digits[static_cast<std::size_t>(position)])
                                   : u'0');
        }
    }
    return text;
}

std::u16string NegativeNumber(std::u16string digits, int pattern) {
    switch (pattern) {
    case 0:
        return u"(" + digits + u")";
    case 2:
        return u"- " + digits;
    case 3:
        return digits + u"-";
    case 4:
        return digits + u" -";
    default:
        return u"-" + digits;
    }
}

Decimal RoundedValue(const Variant& value, int decimals) {
    Decimal number = ToDecimal(value);
    RoundDecimal(number, decimals);
    return number;
}

// FormatNumber(expression[, digits[, leadingdigit[, parentheses[, groupdigits]]]]).
Variant FormatNumber(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    const LocaleInfo& locale = automation::CurrentLocaleInfo();
    const LocaleConventions& conventions = library::CurrentConventions();
    auto [value, options] = NumberArgs(args, conventions.numberDigits);
    Decimal number = RoundedValue(value, options.decimals);
    std::u16string digits = Digits(number, options, locale);
    if (!number.negative) {
        return Variant(std::move(digits));
    }
    if (options.parentheses == Tristate::True) {
        return Variant(u"(" + digits + u")");
    }
    int pattern = conventions.negativeNumberPattern;
    if (options.parentheses == Tristate::False && pattern == 0) {
        pattern = 1;
    }
    return Variant(NegativeNumber(std::move(digits), pattern));
}

// The system's forms of amounts: "$" stands for the symbol and "n" for the digits.
constexpr std::u16string_view PositiveCurrencyForms[] = {u"$n", u"n$", u"$ n", u"n $"};
constexpr std::u16string_view NegativeCurrencyForms[] = {
    u"($n)", u"-$n",  u"$-n",  u"$n-",  u"(n$)", u"-n$",  u"n-$",   u"n$-",
    u"-n $", u"-$ n", u"n $-", u"$ n-", u"$ -n", u"n- $", u"($ n)", u"(n $)"};

std::u16string ApplyForm(std::u16string_view form, std::u16string_view digits, std::u16string_view symbol) {
    std::u16string text;
    for (char16_t c : form) {
        if (c == u'$') {
            text.append(symbol);
        } else if (c == u'n') {
            text.append(digits);
        } else {
            text.push_back(c);
        }
    }
    return text;
}

// FormatCurrency: the amount with the locale's symbol; negative amounts in the locale's form,
// or in parentheses / with a minus sign when the caller says so.
Variant FormatCurrency(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    const LocaleInfo& locale = automation::CurrentLocaleInfo();
    const LocaleConventions& conventions = library::CurrentConventions();
    auto [value, options] = NumberArgs(args, conventions.currencyDigits);
    Decimal number = RoundedValue(value, options.decimals);
    std::u16string digits = Digits(number, options, locale);
    std::u16string_view positive = PositiveCurrencyForms[conventions.positiveCurrencyPattern];
    if (!number.negative) {
        return Variant(ApplyForm(positive, digits, locale.currencySymbol));
    }
    if (options.parentheses == Tristate::True) {
        return Variant(u"(" + ApplyForm(positive, digits, locale.currencySymbol) + u")");
    }
    int pattern = conventions.negativeCurrencyPattern;
    if (options.parentheses == Tristate::False) {
        // The same placement with a minus sign instead of the parentheses.
        switch (pattern) {
        case 0:
            pattern = 1;
            break;
        case 4:
            pattern = 5;
            break;
        case 14:
            pattern = 9;
            break;
        case 15:
            pattern = 8;
            break;
        default:
            break;
        }
    }
    return Variant(ApplyForm(NegativeCurrencyForms[pattern], digits, locale.currencySymbol));
}

// FormatPercent: the value times 100 as FormatNumber gives it, then "%".
Variant FormatPercent(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    const LocaleInfo& locale = automation::CurrentLocaleInfo();
    const LocaleConventions& conventions = library::CurrentConventions();
    auto [value, options] = NumberArgs(args, conventions.numberDigits);
    Decimal number = ToDecimal(value);
    if (!number.digits.empty()) {
        number.exponent += 2;
    }
    RoundDecimal(number, options.decimals);
    std::u16string digits = Digits(number, options, locale) + u"%";
    if (!number.negative) {
        return Variant(std::move(digits));
    }
    if (options.parentheses == Tristate::True) {
        return Variant(u"(" + digits + u")");
    }
    int pattern = conventions.negativeNumberPattern;
    if (options.parentheses == Tristate::False && pattern == 0) {
        pattern = 1;
    }
    return Variant(NegativeNumber(std::move(digits), pattern));
}

// --- Dates --------------------------------------------------------------------------------------

void AppendNumber(std::u16string& text, int value, std::size_t width) {
    std::u16string digits = automation::FromUtf8(std::to_string(value));
    if (digits.size() < width) {
        text.append(width - digits.size(), u'0');
    }
    text.append(digits);
}

// Formats a date with a pattern of the locale table (d, dd, ddd, dddd, M .. MMMM, yy, yyyy,
// h, hh, H, HH, m, mm, s, ss, tt, 'literal').
std::u16string FormatWithPattern(double serial, std::u16string_view pattern, const LocaleInfo& locale) {
    automation::DateParts parts = automation::SplitDate(serial);
    std::u16string text;
    std::size_t i = 0;
    while (i < pattern.size()) {
        char16_t c = pattern[i];
        if (c == u'\'') {
            std::size_t end = pattern.find(u'\'', i + 1);
            if (end == std::u16string_view::npos) {
                end = pattern.size();
            }
            text.append(pattern.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) {
            ++run;
        }
        i += run;
        switch (c) {
        case u'd':
            if (run >= 4) {
                text.append(locale.dayNames[static_cast<std::size_t>(parts.weekday - 1)]);
            } else if (run == 3) {
                text.append(locale.dayAbbreviations[static_cast<std::size_t>(parts.weekday - 1)]);
            } else {
                AppendNumber(text, parts.day, run);
            }
            break;
        case u'M':
            if (run >= 4) {
                text.append(locale.monthNames[static_cast<std::size_t>(parts.month - 1)]);
            } else if (run == 3) {
                text.append(locale.monthAbbreviations[static_cast<std::size_t>(parts.month - 1)]);
            } else {
                AppendNumber(text, parts.month, run);
            }
            break;
        case u'y':
            if (run <= 2) {
                AppendNumber(text, parts.year % 100, run);
            } else {
                AppendNumber(text, parts.year, 4);
            }
            break;
        case u'h':
            AppendNumber(text, parts.hour % 12 == 0 ? 12 : parts.hour % 12, std::min<std::size_t>(run, 2));
            break;
        case u'H':
            AppendNumber(text, parts.hour, std::min<std::size_t>(run, 2));
            break;
        case u'm':
            AppendNumber(text, parts.minute, std::min<std::size_t>(run, 2));
            break;
        case u's':
            AppendNumber(text, parts.second, std::min<std::size_t>(run, 2));
            break;
        case u't': {
            std::u16string_view marker = parts.hour < 12 ? locale.am : locale.pm;
            text.append(run == 1 ? marker.substr(0, 1) : marker);
            break;
        }
        default:
            text.append(run, c);
            break;
        }
    }
    return text;
}

// FormatDateTime(date[, format]): vbGeneralDate (0) is the text CStr gives, then vbLongDate,
// vbShortDate, vbLongTime and vbShortTime (always 24-hour hh:mm).
Variant FormatDateTime(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    RequireNotNull(ValueOf(args, 1));
    Variant value = ValueOf(args, 0);
    if (value.IsNull()) {
        automation::Raise(automation::ErrorNumber::TypeMismatch);
    }
    std::int32_t format = library::LongArg(args, 1, 0);
    if (format < 0 || format > 4) {
        RaiseInvalidCall();
    }
    double serial = automation::ToDate(value);
    const LocaleInfo& locale = automation::CurrentLocaleInfo();
    switch (format) {
    case 1:
        return Variant(FormatWithPattern(serial, library::CurrentConventions().longDate, locale));
    case 2:
        return Variant(FormatWithPattern(serial, library::ShortDatePattern(locale), locale));
    case 3:
        return Variant(FormatWithPattern(serial, library::LongTimePattern(locale), locale));
    case 4:
        return Variant(FormatWithPattern(serial, u"HH:mm", locale));
    default:
        return Variant(automation::FormatDate(serial));
    }
}

constexpr BuiltinInfo Table[] = {
    {u"FormatNumber", 1, 5, &FormatNumber},
    {u"FormatCurrency", 1, 5, &FormatCurrency},
    {u"FormatPercent", 1, 5, &FormatPercent},
    {u"FormatDateTime", 1, 2, &FormatDateTime},
};

} // namespace

std::span<const BuiltinInfo> FormatFunctions() {
    return Table;
}

} // namespace qv::vbscript
