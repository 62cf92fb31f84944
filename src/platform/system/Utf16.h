#pragma once

#include <cstddef>
#include <string_view>

namespace qv::system {

// UTF-16 code units as library text holds them. A surrogate without its partner is kept as it
// is inside the library and dealt with where text leaves it.

constexpr bool IsHighSurrogate(char16_t unit) noexcept {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t unit) noexcept {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr bool IsSurrogate(char16_t unit) noexcept {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

/// True when a high surrogate at `index` is followed by its low partner.
constexpr bool StartsSurrogatePair(std::u16string_view text, std::size_t index) noexcept {
    return index + 1 < text.size() && IsHighSurrogate(text[index]) && IsLowSurrogate(text[index + 1]);
}

/// The code point of a surrogate pair.
constexpr char32_t CombineSurrogates(char16_t high, char16_t low) noexcept {
    return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
}

} // namespace qv::system
