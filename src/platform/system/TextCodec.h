#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::system {

/// Converts between UTF-16 library text and the bytes of one code page. Single-byte code pages
/// round-trip every byte: a byte that the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90
/// and 0x9D of 1252) reads as the character with the byte's value (U+0081 ...) and that
/// character writes back as the byte, so no file loses a byte by being read and rewritten.
/// Other code pages go through glibc iconv. A value type: cheap to copy, safe to share.
class TextCodec {
public:
    /// What Encode writes for a character the code page cannot hold; gets the code point.
    using UnmappableHandler = std::function<std::string(char32_t)>;

    /// The codec of a supported code page; raises 5 (invalid procedure call) naming the code
    /// page when it is not supported or iconv cannot open it.
    static TextCodec ForCodePage(int codePage);
    /// The codec of a charset name (see CodePageOfCharset); nullopt when the name is unknown.
    static std::optional<TextCodec> ForCharset(std::u16string_view charset);

    int CodePage() const noexcept { return mCodePage; }
    bool IsSingleByte() const noexcept { return mSingleByte; }

    /// The same code page, but a character that only the round trip of undefined bytes maps
    /// (U+0081 in 1252, "\u00fc" in ISO 8859-8, any non-ASCII one in US-ASCII) counts as one
    /// the code page cannot hold: for files that other programs read with the code page's own
    /// table, which refuses those bytes.
    TextCodec Strict() const;

    /// Bytes to text. Bytes that do not form a character of a multi-byte code page become
    /// U+FFFD; never raises.
    std::u16string Decode(std::string_view bytes) const;

    /// Text to bytes. A character the code page cannot hold is written as `onUnmappable`
    /// returns for it, or as "?" (as the system's own conversion does) without a handler.
    /// Unpaired surrogates count as unmappable. Never raises.
    std::string Encode(std::u16string_view text, const UnmappableHandler& onUnmappable = {}) const;

    /// True when Encode would write every character of `text` without the handler.
    bool CanEncode(std::u16string_view text) const;

private:
    TextCodec() = default;
    /// The codec built afresh; ForCodePage hands out copies of the ones built before.
    static TextCodec Build(int codePage);

    int mCodePage = 0;
    bool mSingleByte = false;
    /// Single-byte pages: the character of every byte, and (character, byte) pairs sorted by
    /// character for encoding.
    std::array<char16_t, 256> mDecodeTable{};
    /// Single-byte pages whose bytes below 0x80 are defined and read as ASCII: those characters
    /// encode as they are, without a search of the table.
    bool mAsciiSame = false;
    /// Single-byte pages: the bytes the code page defines; the others read as stand-ins.
    std::array<bool, 256> mDefined{};
    bool mStrict = false;
    std::vector<std::pair<char16_t, std::uint8_t>> mEncodeTable;
};

} // namespace qv::system
