#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv {

// Text and file helpers of the template engine: marker search that ignores letter case, output
// expressions as operands of the page's output chain, and the single-byte reading and writing
// that template, session and prepared-script files use.

/// The first position of `what` in `text` at or after `from`, ignoring letter case; npos when
/// there is none.
std::size_t FindTextNoCase(std::u16string_view text, std::u16string_view what, std::size_t from = 0);

/// The expression of an output block as one operand of the "&" chain it is appended to: put in
/// parentheses when an operator outside parentheses and string literals binds more loosely than
/// "&" (comparisons, Is, Not, And, Or, Xor, Eqv, Imp); otherwise as written.
std::u16string ConcatenationOperand(std::u16string_view expression);

/// A whole file read as text in the ANSI code page. Every byte of a single-byte page maps to
/// one character and back, so a file read and written again keeps all its bytes. Raises the
/// file errors of the system layer.
std::u16string ReadSingleByteFile(std::u16string_view path);

/// Creates or replaces a file with the text in the ANSI code page, written beside the old file
/// and renamed over it.
void WriteSingleByteFile(std::u16string_view path, std::u16string_view text);

} // namespace qv
