#pragma once

#include "platform/automation/Variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Text as VB trims, splits, quotes and writes it.

namespace qv {

/// VB's Trim: blanks only; tabs and line breaks stay.
std::u16string_view TrimBlanks(std::u16string_view text) noexcept;

/// VB's Split: the parts of `text` between the separators, kept as written. The empty text
/// gives no parts at all.
std::vector<std::u16string_view> SplitText(std::u16string_view text, std::u16string_view separator);

/// A number in decimal digits, as line and column numbers, array indexes and code pages are
/// written.
std::u16string NumberText(std::int64_t number);

/// The text with every double quote doubled, for the inside of a VBScript string literal.
std::u16string DoubleQuotes(std::u16string_view text);

/// The value's text; nullopt for a value that has none (Null, an array, an object without a
/// default value).
std::optional<std::u16string> TextOf(const automation::Variant& value);

/// Trimmed, then stripped of matching outer double or single quotes as long as there are
/// any, trimming again after each pair.
std::u16string Unquote(std::u16string_view text);

/// CRLF-separated lines, each trimmed, sorted ascending by code unit and joined by CRLF; ""
/// for a blank text.
std::u16string SortLines(std::u16string_view text);

} // namespace qv
