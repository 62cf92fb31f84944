#pragma once

#include <string>
#include <string_view>

namespace qv {

/// The generator meta tag line: <meta name="generator" content="PRODUCT vVERSION" /> and CRLF.
std::u16string GeneratorMetaTag(std::u16string_view productName, std::u16string_view version);

/// The full clean-up of a generated page (the project's FormatOutputText): drops empty and
/// blank lines, puts single blank lines back before comment runs and declarations inside
/// "<%" ... "%>" blocks, ends every line with CRLF, and puts the generator meta tag of
/// `productName` and `version` before every "</head>" (matched in any letter case, written in
/// lower case). Only CR breaks lines; an LF after it belongs to the break.
std::u16string FormatOutputText(std::u16string_view text, std::u16string_view productName,
                                std::u16string_view version);

/// The short clean-up (the project's TrimLeadingBlankLines): the text from the first line that
/// holds a visible character, that line kept whole with its indentation; nothing else changes.
std::u16string TrimLeadingBlankLines(std::u16string_view text);

} // namespace qv
