#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Text and file helpers of the template engine: VB's blank trimming and splitting, marker search
// that ignores letter case, and the single-byte reading and writing that template, session and
// prepared-script files use.

/// VB's Trim: blanks only; tabs and line breaks stay.
std::u16string_view TrimBlanks(std::u16string_view text) noexcept;

/// The first position of `what` in `text` at or after `from`, ignoring letter case; npos when
/// there is none.
std::size_t FindTextNoCase(std::u16string_view text, std::u16string_view what, std::size_t from = 0);

/// VB's Split: the parts of `text` between the separators, kept as written. The empty text
/// gives no parts at all.
std::vector<std::u16string_view> SplitText(std::u16string_view text, std::u16string_view separator);

/// A number in decimal digits, as line and column numbers and array indexes are written.
std::u16string NumberText(std::int64_t number);

/// The text with every double quote doubled, for the inside of a VBScript string literal.
std::u16string DoubleQuotes(std::u16string_view text);

/// A whole file read as text in the ANSI code page. Every byte of a single-byte page maps to
/// one character and back, so a file read and written again keeps all its bytes. Raises the
/// file errors of the system layer.
std::u16string ReadSingleByteFile(std::u16string_view path);

/// Creates or replaces a file with the text in the ANSI code page, written beside the old file
/// and renamed over it.
void WriteSingleByteFile(std::u16string_view path, std::u16string_view text);

/// The path of `name` in `folder`: as written when that file exists, otherwise a file whose
/// name differs only in letter case (files written on Windows often do), otherwise "".
std::u16string LocateFileNoCase(std::u16string_view folder, std::u16string_view name);

} // namespace qv
