#include "platform/system/TextFile.h"

#include "platform/system/FileSystem.h"
#include "platform/system/TextCodec.h"

#include <cassert>
#include <cstdint>

namespace qv::system {

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeBom = "\xFF\xFE";
constexpr std::string_view Utf16BeBom = "\xFE\xFF";
constexpr int Utf8CodePage = 65001;

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string text;
    text.reserve(bytes.size() / 2 + 1);
    for (std::size_t index = 0; index + 1 < bytes.size(); index += 2) {
        auto first = static_cast<std::uint8_t>(bytes[index]);
        auto second = static_cast<std::uint8_t>(bytes[index + 1]);
        text += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    if (bytes.size() % 2 != 0) {
        text += u'\uFFFD';
    }
    return text;
}

std::string EncodeUtf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    bytes.reserve(text.size() * 2 + 2);
    bytes += bigEndian ? Utf16BeBom : Utf16LeBom;
    for (char16_t unit : text) {
        char high = static_cast<char>(unit >> 8);
        char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

} // namespace

DecodedText DecodeText(std::string_view bytes, int codePage) {
    if (bytes.starts_with(Utf8Bom)) {
        bytes.remove_prefix(Utf8Bom.size());
        return {TextCodec::ForCodePage(Utf8CodePage).Decode(bytes), TextEncodingKind::Utf8WithBom, 0};
    }
    if (bytes.starts_with(Utf16LeBom)) {
        return {DecodeUtf16(bytes.substr(Utf16LeBom.size()), false), TextEncodingKind::Utf16LeWithBom, 0};
    }
    if (bytes.starts_with(Utf16BeBom)) {
        return {DecodeUtf16(bytes.substr(Utf16BeBom.size()), true), TextEncodingKind::Utf16BeWithBom, 0};
    }
    if (codePage == Utf8CodePage) {
        return {TextCodec::ForCodePage(Utf8CodePage).Decode(bytes), TextEncodingKind::Utf8, 0};
    }
    return {TextCodec::ForCodePage(codePage).Decode(bytes), TextEncodingKind::CodePage, codePage};
}

std::string EncodeText(std::u16string_view text, TextEncodingKind encoding, int codePage) {
    switch (encoding) {
    case TextEncodingKind::Utf8WithBom:
        return std::string(Utf8Bom) + TextCodec::ForCodePage(Utf8CodePage).Encode(text);
    case TextEncodingKind::Utf8:
        return TextCodec::ForCodePage(Utf8CodePage).Encode(text);
    case TextEncodingKind::Utf16LeWithBom:
        return EncodeUtf16(text, false);
    case TextEncodingKind::Utf16BeWithBom:
        return EncodeUtf16(text, true);
    case TextEncodingKind::CodePage:
        return TextCodec::ForCodePage(codePage).Encode(text);
    }
    assert(false && "unknown text encoding");
    return {};
}

DecodedText ReadTextFile(std::u16string_view path, int codePage) {
    return DecodeText(ReadFileBytes(path), codePage);
}

void WriteTextFile(std::u16string_view path, std::u16string_view text, TextEncodingKind encoding,
                   int codePage) {
    WriteFileAtomic(path, EncodeText(text, encoding, codePage));
}

} // namespace qv::system
