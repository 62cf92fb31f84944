#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::automation {

/// Text inside the library is UTF-16, as in the runtime it replaces; these convert at the edges
/// where the text is known to be UTF-8 (source literals, file names, the terminal). Invalid
/// input becomes U+FFFD, never an exception.
std::u16string FromUtf8(std::string_view text);
std::string ToUtf8(std::u16string_view text);

/// Letter case as the runtime's text comparison sees it (UCase/LCase of a UTF-16 unit: ASCII,
/// Latin-1 and the other letters with a simple one-unit mapping).
char16_t UpperChar(char16_t c) noexcept;
char16_t LowerChar(char16_t c) noexcept;
std::u16string ToUpper(std::u16string_view text);
std::u16string ToLower(std::u16string_view text);
/// The same, in place (the length never changes).
void MakeUpper(std::u16string& text) noexcept;
void MakeLower(std::u16string& text) noexcept;

/// Comparison and hashing that ignore letter case, for member names, keys and settings.
bool EqualsNoCase(std::u16string_view a, std::u16string_view b) noexcept;
int CompareNoCase(std::u16string_view a, std::u16string_view b) noexcept;
std::size_t HashNoCase(std::u16string_view text) noexcept;
/// The hash of the units as they are (binary comparison).
std::size_t HashText(std::u16string_view text) noexcept;

/// A text that may or may not end a sentence (a driver's or another layer's reason) as one that
/// does: a full stop added unless it already ends in ".", "!" or "?" (or is empty), so that a
/// message that puts a reason before its own next sentence never shows "..".
std::u16string WithFullStop(std::u16string_view text);

struct NoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view text) const noexcept { return HashNoCase(text); }
};
struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const noexcept {
        return EqualsNoCase(a, b);
    }
};

} // namespace qv::automation
