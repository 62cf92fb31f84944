#pragma once

#include <string_view>

namespace qv::system::internal {

/// One supported code page: its number, the charset name written into XML declarations, the
/// name glibc iconv knows it by, and whether every character is one byte.
struct CodePageInfo {
    int codePage;
    std::u16string_view charset;
    const char* iconvName;
    bool singleByte;
};

/// The entry of a code page, or nullptr when it is not supported.
const CodePageInfo* FindCodePage(int codePage) noexcept;

} // namespace qv::system::internal
