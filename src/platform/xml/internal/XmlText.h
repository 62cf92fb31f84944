#pragma once

#include <string>
#include <string_view>

namespace qv::xml::internal {

/// The source of the errors this layer raises.
inline constexpr std::u16string_view ErrorSource = u"XML";

/// Raises error 5 (invalid procedure call or argument) with our own description.
[[noreturn]] void RaiseInvalid(std::u16string description);

/// Raises error 5 naming the first character of `text` that XML 1.0 cannot hold (a control
/// character other than tab, LF and CR, U+FFFE, U+FFFF or a lone surrogate); `where` says what
/// the text is, e.g. `attribute "Name"`.
void CheckXmlText(std::u16string_view text, std::u16string_view where);

/// Raises error 5 unless `name` is an XML name (a prefix and a colon allowed).
void CheckXmlName(std::u16string_view name);

/// `<?xml version="1.0" encoding="..." standalone="yes"?>`, the encoding when not empty and
/// standalone when asked.
std::u16string DeclarationText(std::u16string_view encoding, bool standalone);

} // namespace qv::xml::internal
