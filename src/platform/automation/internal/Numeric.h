#pragma once

// Helpers shared by the conversion, comparison and arithmetic sources.

#include "platform/automation/Locale.h"
#include "platform/automation/Variant.h"

#include <array>
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

/// The default value of an object variant, stored in `holder`.
const Variant& ResolveObject(const Variant& object, Variant& holder);

/// A variant that is not an object: objects are replaced by their default value (held in
/// `holder`), references are looked through. Inline, so that the usual operand that is no object
/// costs a test and no call.
inline const Variant& Resolve(const Variant& value, Variant& holder) {
    const Variant& target = value.Deref();
    if (!target.IsObject()) {
        return target;
    }
    return ResolveObject(target, holder);
}

/// A real number rounded half to even to a whole number within [min, max]; outside (or NaN)
/// raises 6 (Overflow).
std::int64_t RoundToWhole(double real, std::int64_t min, std::int64_t max);

/// Room for the decimal form of any 64-bit integer with its sign.
using WholeTextBuffer = std::array<char16_t, 20>;

/// The decimal form of `value`, written into the end of `buffer`; the view points into it.
inline std::u16string_view WholeText(std::int64_t value, WholeTextBuffer& buffer) noexcept {
    // Work on the magnitude as unsigned, so that the smallest int64 does not overflow.
    std::uint64_t magnitude =
        value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    // Two digits per division halves the divisions.
    constexpr std::string_view Pairs =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "4041424344454647484950515253545556575859606162636465666768697071727374757677787980"
        "81828384858687888990919293949596979899";
    std::size_t start = buffer.size();
    while (magnitude >= 100) {
        const std::size_t pair = static_cast<std::size_t>(magnitude % 100) * 2;
        magnitude /= 100;
        buffer[--start] = static_cast<char16_t>(Pairs[pair + 1]);
        buffer[--start] = static_cast<char16_t>(Pairs[pair]);
    }
    if (magnitude >= 10) {
        const std::size_t pair = static_cast<std::size_t>(magnitude) * 2;
        buffer[--start] = static_cast<char16_t>(Pairs[pair + 1]);
        buffer[--start] = static_cast<char16_t>(Pairs[pair]);
    } else {
        buffer[--start] = static_cast<char16_t>(u'0' + magnitude);
    }
    if (value < 0) {
        buffer[--start] = u'-';
    }
    return {buffer.data() + start, buffer.size() - start};
}

} // namespace qv::automation::internal
