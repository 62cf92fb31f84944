// The C* conversion functions and ChangeType.

#include "platform/automation/Conversion.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "platform/automation/internal/Numeric.h"

#include <cassert>
#include <cmath>
#include <limits>

namespace qv::automation {

using internal::Int128;

namespace internal {

const Variant& ResolveObject(const Variant& object, Variant& holder) {
    holder = DefaultValue(object);
    return holder;
}

std::int64_t RoundToWhole(double real, std::int64_t min, std::int64_t max) {
    const double rounded = RoundHalfEven(real);
    // Written so that NaN fails too.
    if (!(rounded >= static_cast<double>(min) && rounded <= static_cast<double>(max))) {
        Raise(ErrorNumber::Overflow);
    }
    return static_cast<std::int64_t>(rounded);
}

} // namespace internal

namespace {

/// A scalar reduced to a number, kept exact until the target type is known. Text is only
/// pointed at: it is parsed by the conversion that needs it, so that the usual operands (numbers)
/// cost no parsing and no string.
struct NumericValue {
    enum class Kind { Whole, ScaledCurrency, Real, Text } kind;
    std::int64_t whole = 0; // Whole: the value; ScaledCurrency: the value x 10,000
    double real = 0;
    const std::u16string* text = nullptr;
};

/// The one reading of a value as a number behind every C* conversion: objects give their
/// default value (kept in `holder`, which Text points into), Empty is 0, True is -1, Null
/// raises 94, and arrays and Error values raise 13.
NumericValue ReadNumber(const Variant& value, Variant& holder) {
    const Variant& source = internal::Resolve(value, holder);
    using Kind = NumericValue::Kind;
    // Type() of an array matches no case.
    switch (source.Type()) {
    case VarType::Integer:
        return {Kind::Whole, source.IntegerValue()};
    case VarType::Long:
        return {Kind::Whole, source.LongValue()};
    case VarType::Empty:
    case VarType::Byte:
    case VarType::Boolean:
        return {Kind::Whole, internal::WholeValue(source)};
    case VarType::Currency:
        return {Kind::ScaledCurrency, source.CurrencyValue().Scaled()};
    case VarType::Single:
        return {Kind::Real, 0, source.SingleValue()};
    case VarType::Double:
        return {Kind::Real, 0, source.DoubleValue()};
    case VarType::Date:
        return {Kind::Real, 0, source.DateValue()};
    case VarType::String:
        return {Kind::Text, 0, 0, &source.StringValue()};
    case VarType::Null:
        Raise(ErrorNumber::InvalidUseOfNull);
    case VarType::Object:
    case VarType::Error:
    case VarType::Variant:
        break;
    }
    Raise(ErrorNumber::TypeMismatch);
}

/// The text of a NumericValue of kind Text read as a number; text that is no number raises 13.
internal::ParsedNumber ParseText(const NumericValue& number) {
    assert(number.kind == NumericValue::Kind::Text);
    std::optional<internal::ParsedNumber> parsed =
        internal::ParseNumberText(*number.text, CurrentLocaleInfo());
    if (!parsed) {
        Raise(ErrorNumber::TypeMismatch);
    }
    return std::move(*parsed);
}

/// The one rule for CByte, CInt and CLng: whole numbers pass, fractions round half to even
/// (CInt(2.5) is 2, CInt(3.5) is 4), anything outside the target's range raises 6.
std::int64_t ToWholeNumber(const Variant& value, int bitWidth, bool isSigned) {
    const std::int64_t min = isSigned ? -(std::int64_t(1) << (bitWidth - 1)) : 0;
    const std::int64_t max =
        isSigned ? (std::int64_t(1) << (bitWidth - 1)) - 1 : (std::int64_t(1) << bitWidth) - 1;
    Variant holder;
    const NumericValue number = ReadNumber(value, holder);
    std::int64_t result = 0;
    switch (number.kind) {
    case NumericValue::Kind::Whole:
        result = number.whole;
        break;
    case NumericValue::Kind::ScaledCurrency:
        result = static_cast<std::int64_t>(internal::DivideRoundHalfEven(number.whole, Currency::Scale));
        break;
    case NumericValue::Kind::Real:
        return internal::RoundToWhole(number.real, min, max);
    case NumericValue::Kind::Text: {
        const std::optional<std::int64_t> whole =
            internal::ParsedToInteger(ParseText(number), bitWidth, isSigned);
        if (!whole) {
            Raise(ErrorNumber::Overflow);
        }
        return *whole;
    }
    }
    if (result < min || result > max) {
        Raise(ErrorNumber::Overflow);
    }
    return result;
}

/// CDbl without the final range check of CSng.
double ToReal(const Variant& value) {
    Variant holder;
    const NumericValue number = ReadNumber(value, holder);
    switch (number.kind) {
    case NumericValue::Kind::Whole:
        return static_cast<double>(number.whole);
    case NumericValue::Kind::ScaledCurrency:
        return Currency::FromScaled(number.whole).ToDouble();
    case NumericValue::Kind::Real:
        return number.real;
    case NumericValue::Kind::Text: {
        const std::optional<double> real = internal::ParsedToDouble(ParseText(number));
        if (!real) {
            Raise(ErrorNumber::Overflow);
        }
        return *real;
    }
    }
    assert(false && "unhandled number kind");
    return 0;
}

} // namespace

std::int16_t ToInteger(const Variant& value) {
    return static_cast<std::int16_t>(ToWholeNumber(value, 16, true));
}

std::int32_t ToLong(const Variant& value) {
    // Subscripts and counts are Longs or Integers already; they skip the general reading.
    const Variant& plain = value.Deref();
    const VarType type = plain.Type();
    if (type == VarType::Long) {
        return plain.LongValue();
    }
    if (type == VarType::Integer) {
        return plain.IntegerValue();
    }
    return static_cast<std::int32_t>(ToWholeNumber(value, 32, true));
}

std::uint8_t ToByte(const Variant& value) {
    // True is -1, all bits set: as a Byte it is 255, where CByte(-1) overflows.
    const Variant& plain = value.Deref();
    if (plain.Type() == VarType::Boolean) {
        return plain.BooleanValue() ? 255 : 0;
    }
    return static_cast<std::uint8_t>(ToWholeNumber(value, 8, false));
}

double ToDouble(const Variant& value) {
    const Variant& plain = value.Deref();
    const VarType type = plain.Type();
    if (type == VarType::Double) {
        return plain.DoubleValue();
    }
    if (type == VarType::Long) {
        return plain.LongValue();
    }
    if (type == VarType::Integer) {
        return plain.IntegerValue();
    }
    return ToReal(value);
}

float ToSingle(const Variant& value) {
    const double real = ToReal(value);
    // Values just beyond the largest Single that round to it still fit.
    const auto narrowed = static_cast<float>(real);
    if (std::isinf(narrowed) && std::isfinite(real)) {
        Raise(ErrorNumber::Overflow);
    }
    return narrowed;
}

Currency ToCurrency(const Variant& value) {
    Variant holder;
    const NumericValue number = ReadNumber(value, holder);
    std::optional<std::int64_t> scaled;
    switch (number.kind) {
    case NumericValue::Kind::Whole:
        // |whole| < 2^32, so the product fits.
        return Currency::FromScaled(number.whole * Currency::Scale);
    case NumericValue::Kind::ScaledCurrency:
        return Currency::FromScaled(number.whole);
    case NumericValue::Kind::Real: {
        const double product = internal::RoundHalfEven(number.real * Currency::Scale);
        // 2^63 is exactly representable; anything at or beyond it does not fit.
        constexpr double Limit = 9223372036854775808.0;
        if (product >= -Limit && product < Limit) {
            scaled = static_cast<std::int64_t>(product);
        }
        break;
    }
    case NumericValue::Kind::Text:
        // Read exactly, not through Double, so that every Currency survives CStr and CCur.
        scaled = internal::ParsedToScaledCurrency(ParseText(number));
        break;
    }
    if (!scaled) {
        Raise(ErrorNumber::Overflow);
    }
    return Currency::FromScaled(*scaled);
}

bool ToBoolean(const Variant& value) {
    Variant holder;
    const Variant& source = internal::Resolve(value, holder);
    if (source.Type() == VarType::Boolean) {
        return source.BooleanValue();
    }
    if (source.IsString()) {
        // "True" and "False" in any letter case, "#TRUE#" and "#FALSE#" exactly (the forms
        // Write # puts in files); other text must be a number.
        const std::u16string& text = source.StringValue();
        if (EqualsNoCase(text, u"True") || text == u"#TRUE#") {
            return true;
        }
        if (EqualsNoCase(text, u"False") || text == u"#FALSE#") {
            return false;
        }
    }
    const NumericValue number = ReadNumber(source, holder);
    switch (number.kind) {
    case NumericValue::Kind::Whole:
    case NumericValue::Kind::ScaledCurrency:
        return number.whole != 0;
    case NumericValue::Kind::Real:
        return number.real != 0;
    case NumericValue::Kind::Text: {
        const internal::ParsedNumber parsed = ParseText(number);
        return !parsed.digits.empty() || (parsed.isHexOrOctal && parsed.bits != 0);
    }
    }
    assert(false && "unhandled number kind");
    return false;
}

std::u16string ToString(const Variant& value) {
    Variant holder;
    const Variant& source = internal::Resolve(value, holder);
    // The forms that come whole from a formatter are returned as they are; the rest are built
    // in place by AppendTextForm.
    switch (source.Type()) {
    case VarType::String:
        return source.StringValue();
    case VarType::Single:
        return FormatSingle(source.SingleValue());
    case VarType::Double:
        return FormatDouble(source.DoubleValue());
    case VarType::Currency:
        return FormatCurrency(source.CurrencyValue());
    case VarType::Date:
        return FormatDate(source.DateValue());
    case VarType::Empty:
    case VarType::Null:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Boolean:
    case VarType::Object:
    case VarType::Error:
    case VarType::Variant:
        break;
    }
    std::u16string out;
    AppendTextForm(out, source);
    return out;
}

void AppendTextForm(std::u16string& out, const Variant& value) {
    Variant holder;
    const Variant& source = internal::Resolve(value, holder);
    // Type() of an array matches no case.
    switch (source.Type()) {
    case VarType::Empty:
        return;
    case VarType::Null:
        Raise(ErrorNumber::InvalidUseOfNull);
    case VarType::String:
        out += source.StringValue();
        return;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte: {
        internal::WholeTextBuffer buffer;
        out += internal::WholeText(internal::WholeValue(source), buffer);
        return;
    }
    case VarType::Boolean:
        // The runtime prints Booleans in English whatever the locale.
        out += source.BooleanValue() ? u"True" : u"False";
        return;
    case VarType::Single:
        out += FormatSingle(source.SingleValue());
        return;
    case VarType::Double:
        out += FormatDouble(source.DoubleValue());
        return;
    case VarType::Currency:
        out += FormatCurrency(source.CurrencyValue());
        return;
    case VarType::Date:
        out += FormatDate(source.DateValue());
        return;
    case VarType::Object:
    case VarType::Error:
    case VarType::Variant:
        break;
    }
    Raise(ErrorNumber::TypeMismatch);
}

Variant ChangeType(const Variant& value, VarType type) {
    switch (type) {
    case VarType::Integer:
        return Variant(ToInteger(value));
    case VarType::Long:
        return Variant(ToLong(value));
    case VarType::Single:
        return Variant(ToSingle(value));
    case VarType::Double:
        return Variant(ToDouble(value));
    case VarType::Currency:
        return Variant(ToCurrency(value));
    case VarType::Date:
        return Variant::FromDate(ToDate(value));
    case VarType::String:
        return Variant(ToString(value));
    case VarType::Boolean:
        return Variant(ToBoolean(value));
    case VarType::Byte:
        return Variant(ToByte(value));
    case VarType::Variant:
        return value.Deref();
    case VarType::Error:
        if (value.Type() == VarType::Error) {
            return value.Deref();
        }
        Raise(ErrorNumber::TypeMismatch);
    case VarType::Empty:
    case VarType::Null:
    case VarType::Object:
        Raise(ErrorNumber::TypeMismatch);
    }
    assert(false && "unhandled subtype");
    Raise(ErrorNumber::TypeMismatch);
}

bool IsTrue(const Variant& value) {
    // `If Null Then` takes the Else branch and `Do While Null` stops, without an error: a
    // condition that is Null is simply not true.
    if (value.IsNull()) {
        return false;
    }
    const Variant& source = value.Deref();
    if (source.Type() == VarType::Boolean) {
        return source.BooleanValue();
    }
    return ToBoolean(source);
}

} // namespace qv::automation
