#include "platform/system/TextCodec.h"

#include "platform/system/CodePage.h"
#include "platform/system/Utf16.h"
#include "platform/system/internal/CodePageTable.h"
#include "platform/system/internal/IconvConverter.h"

#include "platform/automation/Error.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace qv::system {

namespace {

static_assert(std::endian::native == std::endian::little, "UTF-16LE is the native form of char16_t");

constexpr char16_t ReplacementCharacter = u'\uFFFD';
// Where an undefined byte goes when the character of its own value is taken by another byte.
constexpr char16_t PrivateUseBase = u'\uF700';

std::string_view AsBytes(std::u16string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

std::u16string FromUtf16Bytes(std::string_view bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(char16_t));
    return text;
}

// The character (and its length in units) at `index`; an unpaired surrogate stands alone.
std::pair<char32_t, std::size_t> CodePointAt(std::u16string_view text, std::size_t index) {
    char16_t unit = text[index];
    if (StartsSurrogatePair(text, index)) {
        return {CombineSurrogates(unit, text[index + 1]), 2};
    }
    return {unit, 1};
}

std::string Unmappable(const TextCodec::UnmappableHandler& onUnmappable, char32_t codePoint) {
    return onUnmappable ? onUnmappable(codePoint) : std::string("?");
}

[[noreturn]] void RaiseUnsupported(int codePage) {
    std::u16string number;
    for (char c : std::to_string(codePage)) {
        number += static_cast<char16_t>(c);
    }
    automation::Raise(automation::ErrorNumber::InvalidProcedureCall, u"",
                      u"Code page " + number + u" is not supported");
}

constexpr int Utf7CodePage = 65000;

// Characters UTF-7 may write as themselves: letters, digits, the "direct" and "optional direct"
// punctuation, blank, tab, CR and LF; never "+", "\\" or "~".
bool IsUtf7Direct(char16_t unit) noexcept {
    if (unit >= 0x80) {
        return false;
    }
    if ((unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9')) {
        return true;
    }
    return std::u16string_view(u"'(),-./:? \t\r\n!\"#$%&*;<=>@[]^_`{|}").find(unit) !=
           std::u16string_view::npos;
}

// UTF-7 with every character it may write directly written so. The system's converter puts
// markup such as "<" and "=" in base 64, where no XML reader finds the declaration that names
// the encoding.
std::string EncodeUtf7(std::u16string_view text, const TextCodec::UnmappableHandler& onUnmappable) {
    static constexpr char Base64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    bytes.reserve(text.size());
    bool shifted = false;
    std::uint32_t bits = 0;
    int bitCount = 0;
    auto endShift = [&] {
        if (!shifted) {
            return;
        }
        if (bitCount > 0) {
            bytes += Base64[(bits << (6 - bitCount)) & 0x3F];
        }
        bytes += '-';
        shifted = false;
        bits = 0;
        bitCount = 0;
    };
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (IsUtf7Direct(unit)) {
            endShift();
            bytes += static_cast<char>(unit);
            continue;
        }
        if (unit == u'+') {
            endShift();
            bytes += "+-";
            continue;
        }
        const bool pair = StartsSurrogatePair(text, index);
        if (IsSurrogate(unit) && !pair) {
            endShift();
            bytes += Unmappable(onUnmappable, unit);
            continue;
        }
        if (!shifted) {
            bytes += '+';
            shifted = true;
        }
        for (std::size_t part = 0; part < (pair ? 2u : 1u); ++part) {
            bits = (bits << 16) | text[index + part];
            bitCount += 16;
            while (bitCount >= 6) {
                bitCount -= 6;
                bytes += Base64[(bits >> bitCount) & 0x3F];
            }
            bits &= (1u << bitCount) - 1;
        }
        index += pair ? 1 : 0;
    }
    endShift();
    return bytes;
}

} // namespace

TextCodec TextCodec::ForCodePage(int codePage) {
    // A single-byte table costs an iconv call for each of the 256 bytes, and every text file
    // read or written needs a codec. The codec depends on the code page alone, so each thread
    // keeps those it built: a generation run reads and writes thousands of files.
    thread_local std::vector<TextCodec> built;
    for (const TextCodec& codec : built) {
        if (codec.mCodePage == codePage) {
            return codec;
        }
    }
    return built.emplace_back(Build(codePage));
}

TextCodec TextCodec::Build(int codePage) {
    const internal::CodePageInfo* info = internal::FindCodePage(codePage);
    if (info == nullptr) {
        RaiseUnsupported(codePage);
    }
    internal::IconvConverter probe("UTF-16LE", info->iconvName);
    if (!probe.Valid()) {
        RaiseUnsupported(codePage);
    }
    TextCodec codec;
    codec.mCodePage = codePage;
    codec.mSingleByte = info->singleByte;
    if (!info->singleByte) {
        return codec;
    }

    // Ask iconv for each byte on its own; the composing pages (1255, 1258) hold a base letter
    // back until Finish, and a byte-by-byte table is what the system's own conversion gives.
    std::array<bool, 256> defined{};
    for (int byte = 0; byte < 256; ++byte) {
        probe.Reset();
        char input = static_cast<char>(byte);
        std::string output;
        internal::IconvConverter::Result result = probe.Convert({&input, 1}, output);
        probe.Finish(output);
        if (result.stop == internal::IconvConverter::Stop::Done && output.size() == 2) {
            codec.mDecodeTable[byte] = FromUtf16Bytes(output)[0];
            defined[byte] = true;
        }
    }
    // Undefined bytes read as the character of their own value (0x81 as U+0081), unless a
    // defined byte already reads so; then as a private-use character. Either way each byte has
    // a character of its own and writes back unchanged.
    codec.mDefined = defined;
    auto taken = [&](char16_t c) {
        for (int byte = 0; byte < 256; ++byte) {
            if (defined[byte] && codec.mDecodeTable[byte] == c) {
                return true;
            }
        }
        return false;
    };
    for (int byte = 0; byte < 256; ++byte) {
        if (defined[byte]) {
            continue;
        }
        char16_t own = static_cast<char16_t>(byte);
        codec.mDecodeTable[byte] = taken(own) ? static_cast<char16_t>(PrivateUseBase + byte) : own;
        defined[byte] = true;
    }
    for (int byte = 0; byte < 256; ++byte) {
        codec.mEncodeTable.emplace_back(codec.mDecodeTable[byte], static_cast<std::uint8_t>(byte));
    }
    // Stable: when two bytes read as one character, that character writes as the lower byte.
    std::ranges::stable_sort(codec.mEncodeTable, {}, &std::pair<char16_t, std::uint8_t>::first);
    codec.mAsciiSame = true;
    for (int byte = 0; byte < 0x80; ++byte) {
        codec.mAsciiSame = codec.mAsciiSame && codec.mDefined[byte] &&
                           codec.mDecodeTable[byte] == static_cast<char16_t>(byte);
    }
    return codec;
}

TextCodec TextCodec::Strict() const {
    TextCodec strict = *this;
    strict.mStrict = true;
    return strict;
}

std::optional<TextCodec> TextCodec::ForCharset(std::u16string_view charset) {
    std::optional<int> codePage = CodePageOfCharset(charset);
    if (!codePage) {
        return std::nullopt;
    }
    return ForCodePage(*codePage);
}

std::u16string TextCodec::Decode(std::string_view bytes) const {
    std::u16string text;
    if (mSingleByte) {
        text.reserve(bytes.size());
        for (char byte : bytes) {
            text += mDecodeTable[static_cast<std::uint8_t>(byte)];
        }
        return text;
    }
    internal::IconvConverter converter("UTF-16LE", internal::FindCodePage(mCodePage)->iconvName);
    std::string output;
    while (!bytes.empty()) {
        internal::IconvConverter::Result result = converter.Convert(bytes, output);
        bytes.remove_prefix(result.consumed);
        if (result.stop == internal::IconvConverter::Stop::Done) {
            break;
        }
        // A byte that starts no character, or a character cut off at the end.
        output += AsBytes(std::u16string_view(&ReplacementCharacter, 1));
        bytes.remove_prefix(result.stop == internal::IconvConverter::Stop::Incomplete ? bytes.size() : 1);
    }
    converter.Finish(output);
    return FromUtf16Bytes(output);
}

std::string TextCodec::Encode(std::u16string_view text, const UnmappableHandler& onUnmappable) const {
    std::string bytes;
    if (mSingleByte) {
        bytes.reserve(text.size());
        for (std::size_t index = 0; index < text.size();) {
            if (mAsciiSame && text[index] < 0x80) {
                bytes += static_cast<char>(text[index++]);
                continue;
            }
            auto [codePoint, length] = CodePointAt(text, index);
            auto found = std::ranges::lower_bound(mEncodeTable, text[index], {},
                                                  &std::pair<char16_t, std::uint8_t>::first);
            if (length == 1 && found != mEncodeTable.end() && found->first == text[index] &&
                (!mStrict || mDefined[found->second])) {
                bytes += static_cast<char>(found->second);
            } else {
                bytes += Unmappable(onUnmappable, codePoint);
            }
            index += length;
        }
        return bytes;
    }
    if (mCodePage == Utf7CodePage) {
        return EncodeUtf7(text, onUnmappable);
    }
    internal::IconvConverter converter(internal::FindCodePage(mCodePage)->iconvName, "UTF-16LE");
    while (!text.empty()) {
        internal::IconvConverter::Result result = converter.Convert(AsBytes(text), bytes);
        text.remove_prefix(result.consumed / sizeof(char16_t));
        if (result.stop == internal::IconvConverter::Stop::Done) {
            break;
        }
        auto [codePoint, length] = CodePointAt(text, 0);
        // Back to the initial shift state first, so the replacement reads as itself.
        converter.Finish(bytes);
        bytes += Unmappable(onUnmappable, codePoint);
        text.remove_prefix(length);
    }
    converter.Finish(bytes);
    return bytes;
}

bool TextCodec::CanEncode(std::u16string_view text) const {
    bool canEncode = true;
    Encode(text, [&canEncode](char32_t) {
        canEncode = false;
        return std::string();
    });
    return canEncode;
}

} // namespace qv::system
