#pragma once

#include <string>
#include <string_view>

namespace qv::system {

/// How a text file is (or is to be) encoded.
enum class TextEncodingKind {
    Utf8WithBom,    // EF BB BF, then UTF-8
    Utf8,           // UTF-8 without a byte-order mark
    Utf16LeWithBom, // FF FE, then UTF-16 little-endian
    Utf16BeWithBom, // FE FF, then UTF-16 big-endian (read only as found)
    CodePage,       // no byte-order mark: the bytes of a code page
};

/// Text read from bytes, with what was found.
struct DecodedText {
    std::u16string text;
    TextEncodingKind encoding = TextEncodingKind::CodePage;
    int codePage = 0; // the code page used when encoding is CodePage, else 0
};

/// Bytes to text by their byte-order mark: UTF-8, UTF-16LE or UTF-16BE after a BOM (which is
/// not part of the text), otherwise the bytes of `codePage` (65001 reads UTF-8 without BOM).
/// Bytes that do not decode become U+FFFD, an odd trailing UTF-16 byte too; only a code page
/// that is not supported raises (5).
DecodedText DecodeText(std::string_view bytes, int codePage);

/// Text to bytes with a BOM where the encoding has one. `codePage` is used for CodePage only
/// (characters it cannot hold become "?"); raises 5 for an unsupported code page.
std::string EncodeText(std::u16string_view text, TextEncodingKind encoding, int codePage = 0);

/// Reads a whole text file (see DecodeText). Raises the file errors of ReadFileBytes.
DecodedText ReadTextFile(std::u16string_view path, int codePage);

/// Writes a whole text file (see EncodeText) beside the old one and renames it into place
/// (see WriteFileAtomic).
void WriteTextFile(std::u16string_view path, std::u16string_view text, TextEncodingKind encoding,
                   int codePage = 0);

} // namespace qv::system
