#include "project/OutputCleanup.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace qv {
namespace {

using automation::FromUtf8;
using automation::ToUtf8;

constexpr std::u16string_view Product = u"Quorvane";
constexpr std::u16string_view Version = u"6.0.1.2";
const std::u16string Tag = u"<meta name=\"generator\" content=\"Quorvane v6.0.1.2\" />\r\n";

std::string ReadBytes(const std::string& name) {
    std::ifstream stream(std::string(QV_TEST_DATA_DIR) + "/cleanup/" + name, std::ios::binary);
    EXPECT_TRUE(stream) << name;
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

std::u16string Format(std::u16string_view text) {
    return FormatOutputText(text, Product, Version);
}

// Whole pages against texts checked by hand: blank lines dropped, the script layout's blank
// lines put back before comment runs and declarations, CRLF everywhere, the tag before every
// closing head tag.
TEST(OutputCleanup, PagesMatchTheirGoldenTexts) {
    for (const std::string page : {"page.asp", "indented.asp"}) {
        SCOPED_TRACE(page);
        const std::u16string output = Format(FromUtf8(ReadBytes(page + ".in")));
        EXPECT_EQ(ToUtf8(output), ReadBytes(page + ".expected"));
    }
}

TEST(OutputCleanup, FullCleanUpFollowsTheLineRules) {
    struct Case {
        const char* what;
        std::u16string_view input;
        std::u16string expected;
    };
    const Case cases[] = {
        {"blank and empty lines go", u"<html>\r\n\r\n   \r\n<head>\r\n</head>",
         u"<html>\r\n<head>\r\n" + Tag + u"</head>\r\n"},
        {"every closing head tag, any case, written back in lower case", u"</HEAD>\r\n</head>",
         Tag + u"</head>\r\n" + Tag + u"</head>\r\n"},
        {"one comment then code: no blank line between", u"<%\r\n' c\r\nx = 1\r\n%>",
         u"<%\r\n\r\n' c\r\nx = 1\r\n%>\r\n"},
        {"two comments then code: a blank line between", u"<%\r\n' a\r\n' b\r\nx = 1\r\n%>",
         u"<%\r\n\r\n' a\r\n' b\r\n\r\nx = 1\r\n%>\r\n"},
        {"a declaration after code", u"<%\r\nx = 1\r\nPrivate Sub P()\r\nEnd Sub\r\n%>",
         u"<%\r\nx = 1\r\n\r\nPrivate Sub P()\r\nEnd Sub\r\n%>\r\n"},
        {"a keyword needs a blank after it", u"<%\r\nx = 1\r\nSubtotal = 2\r\nSub\r\n%>",
         u"<%\r\nx = 1\r\nSubtotal = 2\r\nSub\r\n%>\r\n"},
        {"outside a block nothing is spaced", u"' a\r\n' b\r\nSub S\r\nx", u"' a\r\n' b\r\nSub S\r\nx\r\n"},
        {"a closing mark before an opening one opens a block", u"%> <%\r\nx\r\nFunction F\r\n",
         u"%> <%\r\nx\r\n\r\nFunction F\r\n"},
        {"LF alone breaks no line", u"a\n\nb\n</head>", u"a\n\nb\n" + Tag + u"</head>\r\n"},
        {"CR alone breaks a line", u"a\rb", u"a\r\nb\r\n"},
        {"a last line of one character", u"a\r\nb", u"a\r\nb\r\n"},
        {"nothing in, nothing out", u"", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ToUtf8(Format(c.input)), ToUtf8(c.expected));
    }
}

TEST(OutputCleanup, ShortCleanUpDropsOnlyLeadingBlankLines) {
    EXPECT_EQ(TrimLeadingBlankLines(u"\r\n \t\r\n    x = 1\r\n\r\n</head>"), u"    x = 1\r\n\r\n</head>");
    EXPECT_EQ(TrimLeadingBlankLines(u"\n\n  a"), u"  a");
    EXPECT_EQ(TrimLeadingBlankLines(u"x\r\n\r\n"), u"x\r\n\r\n");
    EXPECT_EQ(TrimLeadingBlankLines(u"\r\n\r\n"), u"");
}

} // namespace
} // namespace qv
