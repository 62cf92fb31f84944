#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::system {

// "ANSI" and "OEM" code pages are settings of this layer, as the locale was on Windows. The
// registry lives above this layer, so callers that keep a registry setting pass its text in.

/// The ANSI code page: the environment variable QUORVANE_ANSI_CODEPAGE, else `registryValue`
/// (the text of the caller's registry setting, "" when there is none), else 1252. A source
/// that is not the number of a supported code page is skipped.
int AnsiCodePage(std::u16string_view registryValue = {});

/// The OEM code page: QUORVANE_OEM_CODEPAGE, else `registryValue`, else 437, as above.
int OemCodePage(std::u16string_view registryValue = {});

/// Code pages that TextCodec can convert (single-byte Windows and DOS pages, ISO 8859,
/// KOI8, the East Asian double-byte pages, UTF-8, UTF-16 and a few more).
bool IsSupportedCodePage(int codePage) noexcept;

/// The number of a code page written as text ("1252", " 437 " with blanks or NULs around).
/// nullopt when the text is not a decimal number of a supported code page.
std::optional<int> ParseCodePage(std::u16string_view text);

/// The charset name of a code page as XML declarations and web pages write it: 1252
/// "windows-1252", 437 "ibm437", 28591 "iso-8859-1", 932 "shift_jis", 936 "gb2312", 949
/// "euc-kr", 950 "big5", 65001 "utf-8", 1200 "utf-16". "" for a code page without one.
std::u16string CharsetName(int codePage);

/// The code page of a charset name (case ignored; the names CharsetName gives and the usual
/// aliases such as "latin1", "cp1252", "sjis", "utf8"). nullopt for an unknown name.
std::optional<int> CodePageOfCharset(std::u16string_view charset);

} // namespace qv::system
