#include "platform/system/CodePage.h"

#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace qv::system {
namespace {

TEST(CodePage, EnvironmentThenRegistryThenDefault) {
    test::ScopedEnvironment environment;
    environment.Unset("QUORVANE_ANSI_CODEPAGE").Unset("QUORVANE_OEM_CODEPAGE");
    EXPECT_EQ(AnsiCodePage(), 1252);
    EXPECT_EQ(OemCodePage(), 437);
    EXPECT_EQ(AnsiCodePage(u"1250"), 1250);
    EXPECT_EQ(OemCodePage(u"850"), 850);

    environment.Set("QUORVANE_ANSI_CODEPAGE", "1251").Set("QUORVANE_OEM_CODEPAGE", "866");
    EXPECT_EQ(AnsiCodePage(u"1250"), 1251);
    EXPECT_EQ(OemCodePage(u"850"), 866);

    // A setting that names no code page we can convert is passed over, not trusted.
    environment.Set("QUORVANE_ANSI_CODEPAGE", "cp1252").Set("QUORVANE_OEM_CODEPAGE", "99999");
    EXPECT_EQ(AnsiCodePage(u"1250"), 1250);
    EXPECT_EQ(AnsiCodePage(u"abc"), 1252);
    EXPECT_EQ(OemCodePage(u"-437"), 437);
}

TEST(CodePage, NumbersAreReadWithTheirPaddingRemoved) {
    EXPECT_EQ(ParseCodePage(std::u16string(u"437\0  ", 6)), 437);
    EXPECT_EQ(ParseCodePage(u" 65001 "), 65001);
    EXPECT_EQ(ParseCodePage(u"4 37"), std::nullopt);
    EXPECT_EQ(ParseCodePage(u""), std::nullopt);
    EXPECT_EQ(ParseCodePage(u"57004"), std::nullopt);
}

TEST(CodePage, CharsetNamesBothWays) {
    struct Case {
        int codePage;
        std::u16string_view charset;
    };
    const Case cases[] = {
        {1252, u"windows-1252"}, {65001, u"utf-8"},  {932, u"shift_jis"},    {936, u"gb2312"},
        {950, u"big5"},          {437, u"ibm437"},   {28591, u"iso-8859-1"}, {1200, u"utf-16"},
        {874, u"windows-874"},   {20866, u"koi8-r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        EXPECT_EQ(CharsetName(c.codePage), c.charset);
        EXPECT_EQ(CodePageOfCharset(c.charset), c.codePage);
    }
    EXPECT_EQ(CharsetName(57004), u"");
    EXPECT_EQ(CodePageOfCharset(u"ISO_8859-1"), 28591);
    EXPECT_EQ(CodePageOfCharset(u"Latin1"), 28591);
    EXPECT_EQ(CodePageOfCharset(u"CP1252"), 1252);
    EXPECT_EQ(CodePageOfCharset(u"UTF8"), 65001);
    EXPECT_EQ(CodePageOfCharset(u"sjis"), 932);
    // A file declared "euc-kr" must hold strict EUC-KR, not the wider code page 949.
    EXPECT_EQ(CodePageOfCharset(u"EUC-KR"), 51949);
    EXPECT_EQ(CodePageOfCharset(u"cp12345"), std::nullopt);
    EXPECT_EQ(CodePageOfCharset(u""), std::nullopt);
}

} // namespace
} // namespace qv::system
