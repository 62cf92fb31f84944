// The conversion functions of the runtime library. The conversions themselves are the automation
// layer's; this file adds the functions' own rules: which subtype each result keeps, and what
// Null and Empty give.
#include "platform/vbscript/internal/Builtins.h"
#include "platform/vbscript/library/LibrarySupport.h"

#include <cmath>
#include <limits>

namespace qv::vbscript {

namespace {

using automation::Currency;
using automation::Variant;
using automation::VarType;
using library::Args;
using library::RaiseInvalidCall;
using library::RequireNotNull;
using library::ValueOf;

// The value of the one argument of a C... function: Null raises 94.
Variant Converted(Args args) {
    Variant value = ValueOf(args, 0);
    RequireNotNull(value);
    return value;
}

Variant CBool(Args args, RuntimeState&) {
    return Variant(automation::ToBoolean(Converted(args)));
}
Variant CByte(Args args, RuntimeState&) {
    return Variant(automation::ToByte(Converted(args)));
}
Variant CCur(Args args, RuntimeState&) {
    return Variant(automation::ToCurrency(Converted(args)));
}
Variant CDate(Args args, RuntimeState&) {
    return Variant::FromDate(automation::ToDate(Converted(args)));
}
Variant CDbl(Args args, RuntimeState&) {
    return Variant(automation::ToDouble(Converted(args)));
}
Variant CInt(Args args, RuntimeState&) {
    return Variant(automation::ToInteger(Converted(args)));
}
Variant CLng(Args args, RuntimeState&) {
    return Variant(automation::ToLong(Converted(args)));
}
Variant CSng(Args args, RuntimeState&) {
    return Variant(automation::ToSingle(Converted(args)));
}
Variant CStr(Args args, RuntimeState&) {
    Variant value = Converted(args);
    // A String is its own text: shared, never copied.
    if (value.IsString()) {
        return value;
    }
    return Variant(automation::ToString(value));
}

// Hex and Oct print the two's complement of the value in the width of its subtype: Integer
// (and Boolean) in 16 bits, Byte in 8, everything else rounded to a Long in 32. So Hex(-1) is
// "FFFF" while Hex(-32769) is "FFFF7FFF".
Variant RadixText(Args args, unsigned bitsPerDigit) {
    Variant value = ValueOf(args, 0);
    std::uint32_t bits = 0;
    switch (value.Type()) {
    case VarType::Null:
        return Variant::Null();
    case VarType::Empty:
        break;
    case VarType::Byte:
        bits = value.ByteValue();
        break;
    case VarType::Integer:
        bits = static_cast<std::uint16_t>(value.IntegerValue());
        break;
    case VarType::Boolean:
        bits = value.BooleanValue() ? 0xFFFFu : 0u;
        break;
    default:
        bits = static_cast<std::uint32_t>(automation::ToLong(value));
        break;
    }
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    std::uint32_t mask = (1u << bitsPerDigit) - 1;
    std::u16string text;
    do {
        text.insert(text.begin(), Digits[bits & mask]);
        bits >>= bitsPerDigit;
    } while (bits != 0);
    return Variant(std::move(text));
}

Variant Hex(Args args, RuntimeState&) {
    return RadixText(args, 4);
}
Variant Oct(Args args, RuntimeState&) {
    return RadixText(args, 3);
}

// Fix and Int keep the subtype of their argument: an Integer stays an Integer, a Currency a
// Currency, a Date a Date; Boolean and Empty become Integer and text becomes Double.
Variant Truncate(Args args, bool towardMinusInfinity) {
    auto cut = [towardMinusInfinity](double x) {
        return towardMinusInfinity ? std::floor(x) : std::trunc(x);
    };
    Variant value = ValueOf(args, 0);
    switch (value.Type()) {
    case VarType::Null:
        return value;
    case VarType::Empty:
        return Variant(std::int16_t(0));
    case VarType::Boolean:
        return Variant(static_cast<std::int16_t>(value.BooleanValue() ? -1 : 0));
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
        return value;
    case VarType::Single:
        return Variant(static_cast<float>(cut(value.SingleValue())));
    case VarType::Date:
        return Variant::FromDate(cut(value.DateValue()));
    case VarType::Currency: {
        std::int64_t scaled = value.CurrencyValue().Scaled();
        std::int64_t whole = scaled / Currency::Scale;
        if (towardMinusInfinity && scaled % Currency::Scale < 0) {
            --whole;
        }
        return Variant(Currency::FromScaled(whole * Currency::Scale));
    }
    default:
        return Variant(cut(automation::ToDouble(value)));
    }
}

Variant Fix(Args args, RuntimeState&) {
    return Truncate(args, false);
}
Variant Int(Args args, RuntimeState&) {
    return Truncate(args, true);
}

// Abs keeps the subtype too, except that the one value whose magnitude does not fit moves to the
// next wider subtype, as negation does.
Variant Abs(Args args, RuntimeState&) {
    Variant value = ValueOf(args, 0);
    switch (value.Type()) {
    case VarType::Null:
        return value;
    case VarType::Empty:
        return Variant(std::int16_t(0));
    case VarType::Boolean:
        return Variant(static_cast<std::int16_t>(value.BooleanValue() ? 1 : 0));
    case VarType::Byte:
        return value;
    case VarType::Integer: {
        std::int16_t n = value.IntegerValue();
        if (n == std::numeric_limits<std::int16_t>::min()) {
            return Variant(-static_cast<std::int32_t>(n));
        }
        return Variant(static_cast<std::int16_t>(n < 0 ? -n : n));
    }
    case VarType::Long: {
        std::int32_t n = value.LongValue();
        if (n == std::numeric_limits<std::int32_t>::min()) {
            return Variant(-static_cast<double>(n));
        }
        return Variant(n < 0 ? -n : n);
    }
    case VarType::Single:
        return Variant(std::fabs(value.SingleValue()));
    case VarType::Date:
        return Variant::FromDate(std::fabs(value.DateValue()));
    case VarType::Currency: {
        std::int64_t scaled = value.CurrencyValue().Scaled();
        if (scaled == std::numeric_limits<std::int64_t>::min()) {
            automation::Raise(automation::ErrorNumber::Overflow);
        }
        return Variant(Currency::FromScaled(scaled < 0 ? -scaled : scaled));
    }
    default:
        return Variant(std::fabs(automation::ToDouble(value)));
    }
}

// Sgn always answers an Integer; Null raises 94.
Variant Sgn(Args args, RuntimeState&) {
    Variant value = ValueOf(args, 0);
    RequireNotNull(value);
    double x = 0;
    switch (value.Type()) {
    case VarType::Currency:
        x = static_cast<double>(value.CurrencyValue().Scaled());
        break;
    case VarType::Date:
        x = value.DateValue();
        break;
    default:
        x = automation::ToDouble(value);
        break;
    }
    return Variant(static_cast<std::int16_t>(x > 0 ? 1 : (x < 0 ? -1 : 0)));
}

// Round half to even at `decimals` places, on the scaled value as the runtime computes it (so
// binary fractions such as 2.675 round the way their stored value says).
double RoundDouble(double x, std::int32_t decimals) {
    if (decimals == 0) {
        return std::nearbyint(x);
    }
    if (decimals > 22) {
        return x;
    }
    double scale = std::pow(10.0, decimals);
    double scaled = x * scale;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0) {
        return x;
    }
    return std::nearbyint(scaled) / scale;
}

Currency RoundCurrency(Currency value, std::int32_t decimals) {
    if (decimals >= 4) {
        return value;
    }
    std::int64_t unit = 1;
    for (std::int32_t i = decimals; i < 4; ++i) {
        unit *= 10;
    }
    std::int64_t scaled = value.Scaled();
    std::int64_t whole = scaled / unit;
    std::int64_t rest = scaled % unit;
    std::int64_t twice = 2 * (rest < 0 ? -rest : rest);
    if (twice > unit || (twice == unit && whole % 2 != 0)) {
        whole += rest < 0 ? -1 : 1;
    }
    return Currency::FromScaled(whole * unit);
}

// Round(expression[, decimals]): the subtype stays (Integer, Boolean and the other whole-number
// subtypes come back unchanged), text becomes Double, Null stays Null.
Variant Round(Args args, RuntimeState&) {
    std::int32_t decimals = library::LongArg(args, 1, 0);
    if (decimals < 0) {
        RaiseInvalidCall();
    }
    Variant value = ValueOf(args, 0);
    switch (value.Type()) {
    case VarType::Null:
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
        return value;
    case VarType::Empty:
        return Variant(std::int16_t(0));
    case VarType::Single:
        return Variant(static_cast<float>(RoundDouble(value.SingleValue(), decimals)));
    case VarType::Date:
        return Variant::FromDate(RoundDouble(value.DateValue(), decimals));
    case VarType::Currency:
        return Variant(RoundCurrency(value.CurrencyValue(), decimals));
    default:
        return Variant(RoundDouble(automation::ToDouble(value), decimals));
    }
}

constexpr BuiltinInfo Table[] = {
    {u"CBool", 1, 1, &CBool}, {u"CByte", 1, 1, &CByte}, {u"CCur", 1, 1, &CCur}, {u"CDate", 1, 1, &CDate},
    {u"CDbl", 1, 1, &CDbl},   {u"CInt", 1, 1, &CInt},   {u"CLng", 1, 1, &CLng}, {u"CSng", 1, 1, &CSng},
    {u"CStr", 1, 1, &CStr},   {u"Hex", 1, 1, &Hex},     {u"Oct", 1, 1, &Oct},   {u"Fix", 1, 1, &Fix},
    {u"Int", 1, 1, &Int},     {u"Abs", 1, 1, &Abs},     {u"Sgn", 1, 1, &Sgn},   {u"Round", 1, 2, &Round},
};

} // namespace

std::span<const BuiltinInfo> ConversionFunctions() {
    return Table;
}

} // namespace qv::vbscript
