// Numbers to text and back, in the current locale.

#include "platform/automation/Conversion.h"

#include "platform/automation/internal/Numeric.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace qv::automation {

using internal::Int128;
using internal::ParsedNumber;

namespace internal {

bool IsBlank(char16_t c) noexcept {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' || c == 0xA0;
}

namespace {

/// One pass over a number's text: a cursor and what has been read so far.
class NumberTextReader {
public:
    NumberTextReader(std::u16string_view text, const LocaleInfo& locale) : mText(text), mLocale(locale) {}

    /// Blanks, "(", a sign and the currency symbol before the number.
    void ReadPrefix() {
        SkipBlanks();
        if (Peek() == u'(') {
            mHasParentheses = true;
            ++mIndex;
            SkipBlanks();
        }
        SkipCurrency();
        ReadSign();
        SkipCurrency();
    }

    bool AtRadixMark() const { return Peek() == u'&'; }

    /// "&H" hex digits or "&O" octal digits, into the number's bits; false if none or too many.
    bool ReadHexOrOctal() {
        ++mIndex;
        const char16_t radixLetter = Peek();
        int shift = 0;
        if (radixLetter == u'H' || radixLetter == u'h') {
            shift = 4;
        } else if (radixLetter == u'O' || radixLetter == u'o') {
            shift = 3;
        } else {
            return false;
        }
        ++mIndex;
        std::size_t digitCount = 0;
        for (; mIndex < mText.size(); ++mIndex, ++digitCount) {
            const char16_t c = mText[mIndex];
            int digit = -1;
            if (c >= u'0' && c <= u'9') {
                digit = c - u'0';
            } else if (shift == 4 && c >= u'a' && c <= u'f') {
                digit = c - u'a' + 10;
            } else if (shift == 4 && c >= u'A' && c <= u'F') {
                digit = c - u'A' + 10;
            }
            if (digit < 0 || digit >= (1 << shift)) {
                break;
            }
            if (mResult.bits >> (64 - shift) != 0) {
                return false;
            }
            mResult.bits = (mResult.bits << shift) | static_cast<std::uint64_t>(digit);
        }
        if (digitCount == 0) {
            return false;
        }
        mResult.isHexOrOctal = true;
        return true;
    }

    /// Digits with thousands separators, a fraction and an exponent, into the number's
    /// significant digits and power of ten; false without a digit or an exponent's digits.
    bool ReadDecimal() {
        std::string digits;
        std::int64_t fractionDigits = 0;
        if (!ReadMantissa(digits, fractionDigits)) {
            return false;
        }
        const std::optional<std::int32_t> exponent = ReadExponent();
        if (!exponent) {
            return false;
        }
        // Far beyond any number's range either way, where the conversions give 0 or overflow.
        constexpr std::int64_t Far = 1000000000;
        StoreDigits(std::move(digits),
                    static_cast<std::int32_t>(std::clamp(*exponent - fractionDigits, -Far, Far)));
        return true;
    }

    /// Blanks, the currency symbol, a sign and ")" after the number, and then the end of the text.
    bool ReadSuffix() {
        SkipBlanks();
        SkipCurrency();
        ReadSign();
        if (mHasParentheses) {
            // "(5)" is minus five; "(-5)" is not a number.
            if (Peek() != u')' || mResult.isNegative) {
                return false;
            }
            mResult.isNegative = true;
            ++mIndex;
            SkipBlanks();
        }
        return mIndex == mText.size();
    }

    ParsedNumber& Result() { return mResult; }

private:
    char16_t Peek() const { return mIndex < mText.size() ? mText[mIndex] : u'\0'; }

    bool AtDigit() const { return mIndex < mText.size() && mText[mIndex] >= u'0' && mText[mIndex] <= u'9'; }

    void SkipBlanks() {
        while (mIndex < mText.size() && IsBlank(mText[mIndex])) {
            ++mIndex;
        }
    }

    void SkipCurrency() {
        const std::u16string_view symbol = mLocale.currencySymbol;
        if (mHasCurrency || symbol.empty() || mText.substr(mIndex).substr(0, symbol.size()) != symbol) {
            return;
        }
        mIndex += symbol.size();
        mHasCurrency = true;
        SkipBlanks();
    }

    void ReadSign() {
        if (mHasSign || (Peek() != u'+' && Peek() != u'-')) {
            return;
        }
        mResult.isNegative = Peek() == u'-';
        mHasSign = true;
        ++mIndex;
        SkipBlanks();
    }

    /// The number's digits: the significant ones into `digits`, and how many of those stand after
    /// the point into `fractionDigits` (less one for each whole-number digit left out).
    bool ReadMantissa(std::string& digits, std::int64_t& fractionDigits) {
        const std::size_t size = mText.size();
        bool hasDigit = false;
        bool droppedNonZero = false;
        while (mIndex < size) {
            const char16_t c = mText[mIndex];
            if (c >= u'0' && c <= u'9') {
                AddDigit(digits, c, false, fractionDigits, droppedNonZero);
                hasDigit = true;
                ++mIndex;
                continue;
            }
            // A thousands separator counts only between digits.
            if (c == mLocale.thousandsSeparator && hasDigit && mIndex + 1 < size &&
                mText[mIndex + 1] >= u'0' && mText[mIndex + 1] <= u'9') {
                ++mIndex;
                continue;
            }
            break;
        }
        if (Peek() == mLocale.decimalSeparator) {
            ++mIndex;
            while (AtDigit()) {
                AddDigit(digits, mText[mIndex], true, fractionDigits, droppedNonZero);
                hasDigit = true;
                ++mIndex;
            }
        }
        // What was left out is told by one digit 1 after the kept ones, below all of them: it
        // rounds as the whole tail would.
        if (droppedNonZero) {
            digits.push_back('1');
            ++fractionDigits;
        }
        return hasDigit;
    }

    /// The significant digits are kept up to a bound: no conversion reads further (a Double
    /// rounds right from fewer than 800, Currency and the integers need 30), and a text of a
    /// hundred million digits is read without a copy of them. A digit past the bound only moves
    /// the point (in the whole part) and tells whether the tail left out is zero; a leading zero
    /// only counts its place after the point.
    static void AddDigit(std::string& digits, char16_t c, bool afterPoint, std::int64_t& fractionDigits,
                         bool& droppedNonZero) {
        constexpr std::size_t MaxKeptDigits = 800;
        if (digits.empty() && c == u'0') {
            fractionDigits += afterPoint ? 1 : 0;
            return;
        }
        if (digits.size() < MaxKeptDigits) {
            digits.push_back(static_cast<char>(c));
            fractionDigits += afterPoint ? 1 : 0;
            return;
        }
        fractionDigits -= afterPoint ? 0 : 1;
        droppedNonZero = droppedNonZero || c != u'0';
    }

    /// "E[+|-]digits", or 0 without an "E"; nullopt for an "E" without digits.
    std::optional<std::int32_t> ReadExponent() {
        std::int32_t exponent = 0;
        if (Peek() != u'e' && Peek() != u'E') {
            return exponent;
        }
        ++mIndex;
        bool isNegativeExponent = false;
        if (Peek() == u'+' || Peek() == u'-') {
            isNegativeExponent = Peek() == u'-';
            ++mIndex;
        }
        if (!AtDigit()) {
            return std::nullopt;
        }
        while (AtDigit()) {
            // Far beyond any Double; the cap only keeps the sum from overflowing.
            if (exponent < 100000) {
                exponent = exponent * 10 + (mText[mIndex] - u'0');
            }
            ++mIndex;
        }
        return isNegativeExponent ? -exponent : exponent;
    }

    /// The significant digits without leading or trailing zeros; the trailing ones move into the
    /// power of ten.
    void StoreDigits(std::string digits, std::int32_t exponent) {
        const std::size_t firstNonZero = digits.find_first_not_of('0');
        if (firstNonZero == std::string::npos) {
            digits.clear();
        } else {
            digits.erase(0, firstNonZero);
            const std::size_t lastNonZero = digits.find_last_not_of('0');
            exponent += static_cast<std::int32_t>(digits.size() - 1 - lastNonZero);
            digits.erase(lastNonZero + 1);
        }
        mResult.digits = std::move(digits);
        mResult.exponent = exponent;
    }

    std::u16string_view mText;
    const LocaleInfo& mLocale;
    std::size_t mIndex = 0;
    ParsedNumber mResult;
    bool mHasParentheses = false;
    bool mHasCurrency = false;
    bool mHasSign = false;
};

} // namespace

// The forms read, as the component model's number parser reads them in its standard mode:
//   blanks, "(" or a sign, the currency symbol (before or after the sign), digits with
//   thousands separators, the decimal separator and a fraction, an exponent "E[+|-]digits",
//   the currency symbol again, a trailing sign, ")" and blanks;
//   or "&H" hex digits / "&O" octal digits after the sign.
// The separators are the locale's, so "1.5" is fifteen in German.
std::optional<ParsedNumber> ParseNumberText(std::u16string_view text, const LocaleInfo& locale) {
    NumberTextReader reader(text, locale);
    reader.ReadPrefix();
    const bool isNumber = reader.AtRadixMark() ? reader.ReadHexOrOctal() : reader.ReadDecimal();
    if (!isNumber || !reader.ReadSuffix()) {
        return std::nullopt;
    }
    return std::move(reader.Result());
}

namespace {

/// Sign-extends a "&H"/"&O" value that fits 32 bits: the text form of a Long.
std::int64_t HexOrOctalValue(const ParsedNumber& number) {
    std::int64_t value =
        number.bits <= 0xFFFFFFFFu
            ? static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(number.bits)))
            : static_cast<std::int64_t>(number.bits & 0x7FFFFFFFFFFFFFFFu);
    return number.isNegative ? -value : value;
}

/// digits x 10^(exponent + shift), rounded half to even; nullopt beyond about 10^30.
std::optional<Int128> ScaleDigits(const ParsedNumber& number, std::int32_t shift) {
    constexpr std::int64_t MaxDigits = 30;
    const std::string& digits = number.digits;
    if (digits.empty()) {
        return Int128(0);
    }
    const std::int64_t power = static_cast<std::int64_t>(number.exponent) + shift;
    const auto digitCount = static_cast<std::int64_t>(digits.size());
    const std::int64_t keep = digitCount + power; // digits left of the point
    if (keep > MaxDigits) {
        return std::nullopt;
    }
    Int128 value = 0;
    for (std::int64_t position = 0; position < keep; ++position) {
        value = value * 10 + (position < digitCount ? digits[static_cast<std::size_t>(position)] - '0' : 0);
    }
    if (keep < digitCount && keep >= 0) {
        const char firstDropped = digits[static_cast<std::size_t>(keep)];
        const bool hasMoreAfter = keep + 1 < digitCount; // trailing zeros were stripped
        if (firstDropped > '5' || (firstDropped == '5' && (hasMoreAfter || value % 2 != 0))) {
            ++value;
        }
    }
    return number.isNegative ? -value : value;
}

} // namespace

std::optional<double> ParsedToDouble(const ParsedNumber& number) {
    if (number.isHexOrOctal) {
        return static_cast<double>(HexOrOctalValue(number));
    }
    if (number.digits.empty()) {
        return 0.0;
    }
    std::string text = number.digits;
    text += 'e';
    text += std::to_string(number.exponent);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Below the smallest Double the value is zero; above the largest it does not fit.
        if (static_cast<std::int64_t>(number.digits.size()) + number.exponent > 0) {
            return std::nullopt;
        }
        value = 0;
    }
    return number.isNegative ? -value : value;
}

std::optional<std::int64_t> ParsedToScaledCurrency(const ParsedNumber& number) {
    std::optional<Int128> scaled;
    if (number.isHexOrOctal) {
        scaled = Int128(HexOrOctalValue(number)) * Currency::Scale;
    } else {
        scaled = ScaleDigits(number, 4);
    }
    if (!scaled || *scaled > std::numeric_limits<std::int64_t>::max() ||
        *scaled < std::numeric_limits<std::int64_t>::min()) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(*scaled);
}

std::optional<std::int64_t> ParsedToInteger(const ParsedNumber& number, int bitWidth, bool isSigned) {
    const Int128 min = isSigned ? -(Int128(1) << (bitWidth - 1)) : 0;
    const Int128 max = isSigned ? (Int128(1) << (bitWidth - 1)) - 1 : (Int128(1) << bitWidth) - 1;
    std::optional<Int128> value;
    if (number.isHexOrOctal) {
        Int128 bits = number.bits;
        if (bits >> bitWidth == 0 && isSigned && bits > max) {
            bits -= Int128(1) << bitWidth;
        }
        value = number.isNegative ? -bits : bits;
    } else {
        value = ScaleDigits(number, 0);
    }
    if (!value || *value < min || *value > max) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(*value);
}

double RoundHalfEven(double value) noexcept {
    // Independent of the floating-point rounding mode.
    const double rounded = std::round(value); // half away from zero
    if (std::fabs(rounded - value) == 0.5) {
        return 2.0 * std::round(value / 2.0);
    }
    return rounded;
}

Int128 DivideRoundHalfEven(Int128 scaled, std::int64_t divisor) noexcept {
    Int128 quotient = scaled / divisor;
    const Int128 remainder = scaled % divisor;
    const Int128 twiceRemainder = (remainder < 0 ? -remainder : remainder) * 2;
    if (twiceRemainder > divisor || (twiceRemainder == divisor && quotient % 2 != 0)) {
        quotient += scaled < 0 ? -1 : 1;
    }
    return quotient;
}

} // namespace internal

namespace {

/// Lays out `digits` (the significant digits, first one non-zero, at most `precision` of them)
/// of a number whose first digit stands for 10^exponent. The runtime writes a number plainly
/// while that takes no more than `precision` digits after the point: 1E-15 is
/// "0.000000000000001" but 1/70 is "1.42857142857143E-02", and from 10^precision up it writes
/// d.dddE+XX. Built in a fixed buffer, so that the result string is allocated once.
std::u16string LayOutDigits(bool isNegative, std::string_view digits, int exponent, int precision) {
    const char16_t decimal = CurrentLocaleInfo().decimalSeparator;
    // Plain forms stay within sign, "0." and `precision` places; the exponent form within
    // sign, `precision` digits, the point and "E+308".
    std::array<char16_t, 64> buffer;
    assert(static_cast<std::size_t>(precision) + 8 <= buffer.size() && digits.size() <= 17);
    std::size_t length = 0;
    auto put = [&](char16_t c) { buffer[length++] = c; };
    if (isNegative) {
        put(u'-');
    }
    const auto digitCount = static_cast<int>(digits.size());
    const int placesAfterPoint = digitCount - 1 - exponent;
    if (exponent >= precision || placesAfterPoint > precision) {
        put(static_cast<char16_t>(digits[0]));
        if (digitCount > 1) {
            put(decimal);
            for (int position = 1; position < digitCount; ++position) {
                put(static_cast<char16_t>(digits[static_cast<std::size_t>(position)]));
            }
        }
        put(u'E');
        put(exponent < 0 ? u'-' : u'+');
        const int magnitude = std::abs(exponent);
        if (magnitude < 10) {
            put(u'0');
        }
        internal::WholeTextBuffer text;
        for (char16_t c : internal::WholeText(magnitude, text)) {
            put(c);
        }
        return std::u16string(buffer.data(), length);
    }
    if (exponent < 0) {
        put(u'0');
        put(decimal);
        for (int zero = 0; zero < -exponent - 1; ++zero) {
            put(u'0');
        }
        for (char c : digits) {
            put(static_cast<char16_t>(c));
        }
        return std::u16string(buffer.data(), length);
    }
    for (int position = 0; position <= exponent || position < digitCount; ++position) {
        if (position == exponent + 1) {
            put(decimal);
        }
        put(position < digitCount ? static_cast<char16_t>(digits[static_cast<std::size_t>(position)]) : u'0');
    }
    return std::u16string(buffer.data(), length);
}

/// Formats a binary floating-point value with `precision` significant digits.
template <class Real> std::u16string FormatReal(Real value, int precision) {
    if (std::isnan(value)) {
        return u"-1.#IND";
    }
    if (std::isinf(value)) {
        return value < 0 ? u"-1.#INF" : u"1.#INF";
    }
    // Negative zero prints as "0".
    if (value == 0) {
        return u"0";
    }
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, precision - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const bool isNegative = text[0] == '-';
    const std::size_t mantissaStart = isNegative ? 1 : 0;
    const std::size_t exponentMark = text.find('e');
    // The mantissa's digits without the point and without trailing zeros.
    char digits[32];
    std::size_t digitCount = 0;
    for (std::size_t position = mantissaStart; position < exponentMark; ++position) {
        if (text[position] != '.') {
            digits[digitCount++] = text[position];
        }
    }
    while (digitCount > 1 && digits[digitCount - 1] == '0') {
        --digitCount;
    }
    int exponent = 0;
    const std::string_view exponentText = text.substr(exponentMark + 1);
    std::from_chars(exponentText.data() + (exponentText[0] == '+' ? 1 : 0),
                    exponentText.data() + exponentText.size(), exponent);
    return LayOutDigits(isNegative, std::string_view(digits, digitCount), exponent, precision);
}

} // namespace

std::u16string FormatDouble(double value) {
    return FormatReal(value, 15);
}

std::u16string FormatSingle(float value) {
    return FormatReal(value, 7);
}

std::u16string FormatCurrency(Currency value) {
    const std::int64_t scaled = value.Scaled();
    const bool isNegative = scaled < 0;
    // The magnitude of the smallest Currency does not fit in int64.
    const auto magnitude =
        isNegative ? static_cast<std::uint64_t>(-(scaled + 1)) + 1 : static_cast<std::uint64_t>(scaled);
    std::u16string out;
    if (isNegative) {
        out.push_back(u'-');
    }
    for (char c : std::to_string(magnitude / Currency::Scale)) {
        out.push_back(static_cast<char16_t>(c));
    }
    std::uint64_t fraction = magnitude % Currency::Scale;
    if (fraction == 0) {
        return out;
    }
    out.push_back(CurrentLocaleInfo().decimalSeparator);
    for (std::uint64_t unit = Currency::Scale / 10; unit > 0 && fraction > 0; unit /= 10) {
        out.push_back(static_cast<char16_t>(u'0' + fraction / unit));
        fraction %= unit;
    }
    return out;
}

std::optional<double> ParseNumber(std::u16string_view text) {
    std::optional<ParsedNumber> parsed = internal::ParseNumberText(text, CurrentLocaleInfo());
    if (!parsed) {
        return std::nullopt;
    }
    return internal::ParsedToDouble(*parsed);
}

} // namespace qv::automation
