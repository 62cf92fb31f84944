#include "platform/system/TextCodec.h"

#include "platform/system/CodePage.h"
#include "platform/system/Utf16.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

namespace qv::system {
namespace {

std::string AllBytes() {
    std::string bytes;
    for (int byte = 0; byte < 256; ++byte) {
        bytes += static_cast<char>(byte);
    }
    return bytes;
}

TEST(TextCodec, EverySingleByteCodePageRoundTripsEveryByte) {
    int checked = 0;
    for (int codePage = 1; codePage < 70000; ++codePage) {
        if (!IsSupportedCodePage(codePage) || !TextCodec::ForCodePage(codePage).IsSingleByte()) {
            continue;
        }
        SCOPED_TRACE(codePage);
        TextCodec codec = TextCodec::ForCodePage(codePage);
        std::u16string text = codec.Decode(AllBytes());
        ASSERT_EQ(text.size(), 256u);
        EXPECT_EQ(codec.Encode(text), AllBytes());
        EXPECT_TRUE(codec.CanEncode(text));
        ++checked;
    }
    EXPECT_GE(checked, 40);
}

TEST(TextCodec, SingleBytePagesReadAsTheSystemReadsThem) {
    struct Case {
        int codePage;
        unsigned char byte;
        char16_t character;
    };
    const Case cases[] = {
        {1252, 0x80, u'\u20AC'},
        {1252, 0x9F, u'\u0178'},
        {1252, 0xE9, u'\u00E9'},
        // The five bytes 1252 leaves undefined read as the character of their own value.
        {1252, 0x81, u'\u0081'},
        {1252, 0x8D, u'\u008D'},
        {1252, 0x8F, u'\u008F'},
        {1252, 0x90, u'\u0090'},
        {1252, 0x9D, u'\u009D'},
        {437, 0x80, u'\u00C7'},
        {437, 0xB3, u'\u2502'},
        {437, 0xE1, u'\u00DF'},
        {850, 0xD5, u'\u0131'},
        {1251, 0xC0, u'\u0410'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.codePage) + " byte " + std::to_string(c.byte));
        TextCodec codec = TextCodec::ForCodePage(c.codePage);
        EXPECT_EQ(codec.Decode(std::string(1, static_cast<char>(c.byte))), std::u16string(1, c.character));
        EXPECT_EQ(codec.Encode(std::u16string(1, c.character)), std::string(1, static_cast<char>(c.byte)));
    }
}

TEST(TextCodec, UnmappableCharactersBecomeQuestionMarksOrWhatTheCallerWants) {
    TextCodec codec = TextCodec::ForCodePage(1252);
    // One character outside the BMP is one unmappable character, not two.
    std::u16string text = u"a\u4E2Db\U0001F600c\xD800";
    EXPECT_EQ(codec.Encode(text), "a?b?c?");
    auto reference = [](char32_t code) {
        return "&#" + std::to_string(static_cast<std::uint32_t>(code)) + ";";
    };
    EXPECT_EQ(codec.Encode(text, reference), "a&#20013;b&#128512;c&#55296;");
    EXPECT_FALSE(codec.CanEncode(text));
}

TEST(TextCodec, MultiByteCodePagesGoThroughIconv) {
    TextCodec shiftJis = TextCodec::ForCodePage(932);
    EXPECT_FALSE(shiftJis.IsSingleByte());
    std::u16string japanese = u"\u65E5\u672C\u8A9E abc";
    EXPECT_EQ(shiftJis.Encode(japanese), "\x93\xFA\x96\x7B\x8C\xEA abc");
    EXPECT_EQ(shiftJis.Decode(shiftJis.Encode(japanese)), japanese);
    // A lead byte with no trail, in the middle and at the end, costs one replacement each.
    EXPECT_EQ(shiftJis.Decode("a\x93"
                              "\x01"
                              "b\x93"),
              u"a\uFFFD\u0001b\uFFFD");

    TextCodec utf8 = TextCodec::ForCodePage(65001);
    EXPECT_EQ(utf8.Decode("\xC3\xA9\xFF!"), u"\u00E9\uFFFD!");
    EXPECT_EQ(utf8.Encode(u"\U0001F600\xDC00"), "\xF0\x9F\x98\x80?");
}

TEST(TextCodec, StatefulEncodingsReturnToTheirInitialState) {
    TextCodec jis = TextCodec::ForCodePage(50220);
    // The shift back to ASCII must be written at the end, and before a replacement, so that
    // "?" reads as "?".
    std::string bytes = jis.Encode(u"\u65E5\u00E9");
    EXPECT_EQ(bytes, "\x1B$BF|\x1B(B?");
    EXPECT_EQ(jis.Decode(bytes), u"\u65E5?");
}

TEST(TextCodec, CharsetNamesFindTheirCodePages) {
    ASSERT_TRUE(TextCodec::ForCharset(u"Windows-1252"));
    EXPECT_EQ(TextCodec::ForCharset(u"Windows-1252")->CodePage(), 1252);
    EXPECT_EQ(TextCodec::ForCharset(u"UTF-8")->CodePage(), 65001);
    EXPECT_FALSE(TextCodec::ForCharset(u"klingon"));
    try {
        TextCodec::ForCodePage(12345);
        FAIL() << "an unsupported code page must raise";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ErrorNumber::InvalidProcedureCall);
        EXPECT_NE(error.Description().find(u"12345"), std::u16string::npos);
    }
}

TEST(TextCodec, StrictCodecsRefuseWhatOnlyTheRoundTripOfUndefinedBytesMaps) {
    auto reference = [](char32_t codePoint) { return "&#" + std::to_string(codePoint) + ";"; };
    const TextCodec windows = TextCodec::ForCodePage(1252);
    // Read and written again, an undefined byte stays; written for another reader, it cannot.
    EXPECT_EQ(windows.Encode(windows.Decode("a\x81\xE9")), "a\x81\xE9");
    EXPECT_TRUE(windows.CanEncode(u"\u0081"));
    EXPECT_FALSE(windows.Strict().CanEncode(u"\u0081"));
    EXPECT_EQ(windows.Strict().Encode(u"a\u0081\u00e9\u20ac", reference), "a&#129;\xE9\x80");
    const TextCodec hebrew = *TextCodec::ForCharset(u"iso-8859-8");
    EXPECT_EQ(hebrew.Strict().Encode(u"\u00fc\u05d0", reference), "&#252;\xE0");
    const TextCodec ascii = *TextCodec::ForCharset(u"us-ascii");
    EXPECT_EQ(ascii.Strict().Encode(u"Az~\u00e9\u0080", reference), "Az~&#233;&#128;");
}

TEST(TextCodec, Utf7KeepsMarkupReadableAndReadsBackThroughTheSystemConverter) {
    const TextCodec utf7 = *TextCodec::ForCharset(u"UTF-7");
    EXPECT_EQ(utf7.Encode(u"<?xml version=\"1.0\" encoding=\"utf-7\"?>"),
              "<?xml version=\"1.0\" encoding=\"utf-7\"?>");
    EXPECT_EQ(utf7.Encode(u"1+1 \u00fc-"), "1+-1 +APw--");
    const std::u16string texts[] = {
        u"M\u00fcller caf\u00e9 \u20ac\u20ac\u20ac end",
        u"\u65e5\u672c\u8a9e",
        u"tilde ~ backslash \\ plus + minus - at end \u00e9",
        u"\U0001F600\U0001F600x\u00e9A-",
        u"a\u00e9-b\u00e9a",
        u"\r\n\t&;<>",
    };
    for (const std::u16string& text : texts) {
        SCOPED_TRACE(automation::ToUtf8(text));
        const std::string bytes = utf7.Encode(text);
        EXPECT_EQ(bytes.find_first_of("\x80\xFF"), std::string::npos);
        EXPECT_EQ(utf7.Decode(bytes), text) << bytes;
        // Pieces encoded apart and put together read as the whole.
        const std::size_t half = text.size() / 2 - (IsSurrogate(text[text.size() / 2]) ? 1 : 0);
        EXPECT_EQ(utf7.Decode(utf7.Encode(text.substr(0, half)) + utf7.Encode(text.substr(half))), text);
    }
}

} // namespace
} // namespace qv::system
