#pragma once

// Helpers shared by the conversion, comparison and arithmetic sources.

#include "platform/automation/Locale.h"
#include "platform/automation/Variant.h"

#include <cassert>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::automation::internal {

// Currency products and quotients need 128 bits in between.
__extension__ typedef __int128 Int128;

/// A number read from text, kept exact until the target type is known.
struct ParsedNumber {
    bool isNegative = false;
    std::string digits;        // decimal digits without leading zeros; empty for zero
    std::int32_t exponent = 0; // the value is digits x 10^exponent
    bool isHexOrOctal = false;
    std::uint64_t bits = 0; // the value of a "&H" or "&O" form
};

bool IsBlank(char16_t c) noexcept;

/// Reads a number as the runtime does (see NumberText.cpp for the accepted forms).
std::optional<ParsedNumber> ParseNumberText(std::u16string_view text, const LocaleInfo& locale);

/// The parsed number as a Double; nullopt when it is beyond the range of Double.
std::optional<double> ParsedToDouble(const ParsedNumber& number);
/// The parsed number as a Currency (scaled), rounded half to even; nullopt when out of range.
std::optional<std::int64_t> ParsedToScaledCurrency(const ParsedNumber& number);
/// The parsed number as an integer of `bitWidth` bits. A "&H"/"&O" form that fits the width
/// as unsigned is read as that width's two's complement, so CInt("&HFFFF") is -1 while
/// CLng("&HFFFF") is 65535. Decimal forms round half to even. nullopt for out of range.
std::optional<std::int64_t> ParsedToInteger(const ParsedNumber& number, int bitWidth, bool isSigned);

/// Rounds half to even, VB's rule wherever a number becomes an integer.
double RoundHalfEven(double value) noexcept;
/// `scaled` divided by `divisor` (a positive power of ten), rounded half to even.
Int128 DivideRoundHalfEven(Int128 scaled, std::int64_t divisor) noexcept;

/// Empty, Boolean, Byte, Integer and Long: the subtypes that hold whole numbers exactly.
inline bool IsWholeNumberType(VarType type) noexcept {
    return type == VarType::Empty || type == VarType::Boolean || type == VarType::Byte ||
           type == VarType::Integer || type == VarType::Long;
}

/// The value of a variant of a whole-number subtype; True is -1.
inline std::int64_t WholeValue(const Variant& value) noexcept {
    switch (value.Type()) {
    case VarType::Boolean:
        return value.BooleanValue() ? -1 : 0;
    case VarType::Byte:
        return value.ByteValue();
    case VarType::Integer:
        return value.IntegerValue();
    case VarType::Long:
        return value.LongValue();
    case VarType::Empty:
        return 0;
    case VarType::Null:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date:
    case VarType::String:
    case VarType::Object:
    case VarType::Error:
    case VarType::Variant:
        break;
    }
    assert(false && "not a whole-number subtype");
    return 0;
}

/// A variant that is not an object: objects are replaced by their default value (held in
/// `holder`), references are looked through.
const Variant& Resolve(const Variant& value, Variant& holder);

} // namespace qv::automation::internal
