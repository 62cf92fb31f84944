#include "platform/system/TextFile.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace qv::system {
namespace {

TEST(TextFile, ByteOrderMarksDecideTheEncoding) {
    struct Case {
        const char* name;
        std::string bytes;
        TextEncodingKind encoding;
        std::u16string text;
    };
    const Case cases[] = {
        {"utf-8 bom", "\xEF\xBB\xBFh\xC3\xA9", TextEncodingKind::Utf8WithBom, u"h\u00E9"},
        {"utf-16le bom", std::string("\xFF\xFEh\0\xE9\0", 6), TextEncodingKind::Utf16LeWithBom, u"h\u00E9"},
        {"utf-16be bom", std::string("\xFE\xFF\0h\0\xE9", 6), TextEncodingKind::Utf16BeWithBom, u"h\u00E9"},
        {"odd utf-16", std::string("\xFF\xFEh\0\xE9", 5), TextEncodingKind::Utf16LeWithBom, u"h\uFFFD"},
        // Without a mark the bytes are the code page's, even when they would read as UTF-8.
        {"no bom", "h\xC3\xA9", TextEncodingKind::CodePage, u"h\u00C3\u00A9"},
        {"empty", "", TextEncodingKind::CodePage, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DecodedText decoded = DecodeText(c.bytes, 1252);
        EXPECT_EQ(decoded.encoding, c.encoding);
        EXPECT_EQ(decoded.text, c.text);
    }
    EXPECT_EQ(DecodeText("h\xC3\xA9", 65001).text, u"h\u00E9");
    EXPECT_EQ(DecodeText("h\xC3\xA9", 65001).encoding, TextEncodingKind::Utf8);
}

TEST(TextFile, WrittenTextReadsBackWithItsEncoding) {
    test::TempDir dir;
    std::u16string path = JoinPath(FromNativePath(dir.Path()), u"page.asp");
    const std::u16string text = u"<%\r\nx = \"\u00E9\u20AC\"\r\n%>";
    for (TextEncodingKind encoding : {TextEncodingKind::Utf8WithBom, TextEncodingKind::Utf16LeWithBom,
                                      TextEncodingKind::Utf16BeWithBom, TextEncodingKind::CodePage}) {
        SCOPED_TRACE(static_cast<int>(encoding));
        WriteTextFile(path, text, encoding, 1252);
        DecodedText decoded = ReadTextFile(path, 1252);
        EXPECT_EQ(decoded.encoding, encoding);
        EXPECT_EQ(decoded.text, text);
    }
    EXPECT_EQ(ReadFileBytes(path), "<%\r\nx = \"\xE9\x80\"\r\n%>");
    WriteTextFile(path, text, TextEncodingKind::Utf8WithBom);
    EXPECT_TRUE(ReadFileBytes(path).starts_with("\xEF\xBB\xBF<%"));
}

} // namespace
} // namespace qv::system
