#include "platform/xml/XmlWriter.h"

#include "platform/xml/Document.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

using qv::automation::FromUtf8;
namespace xml = qv::xml;

namespace {

int ErrorNumberOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const qv::automation::Error& error) {
        return error.Number();
    }
    return 0;
}

} // namespace

TEST(XmlWriter, WritesTheCacheFileLayoutByteForByte) {
    xml::XmlWriter writer(u"iso-8859-1");
    writer.Declaration(/*standalone=*/true);
    writer.Whitespace(u"\r\n");
    writer.OpenTag(u"Cache");
    writer.WriteAttribute(u"Product", u"Quorvane");
    writer.WriteAttribute(u"Version", u"6.0");
    writer.CloseTag(xml::TagClose::Spaced);
    writer.Whitespace(u"\r\n");
    writer.OpenTag(u"CacheEntry");
    writer.WriteAttribute(u"Group", u"control");
    writer.WriteAttribute(u"Key", u"R&D \u00C9t\u00E9 \u20AC.xml");
    writer.WriteAttribute(u"DateTime", u"2009/03/07 08:05:09");
    writer.WriteAttribute(u"Size", u"4711");
    writer.CloseEmptyTag(xml::TagClose::Spaced);
    writer.Whitespace(u"\r\n");
    writer.EndTag(u"Cache");
    writer.Whitespace(u"\r\n");
    EXPECT_EQ(writer.Bytes(), "<?xml version=\"1.0\" encoding=\"iso-8859-1\" standalone=\"yes\"?>\r\n"
                              "<Cache Product=\"Quorvane\" Version=\"6.0\" >\r\n"
                              "<CacheEntry Group=\"control\" Key=\"R&amp;D \xC9t\xE9 &#8364;.xml\" "
                              "DateTime=\"2009/03/07 08:05:09\" Size=\"4711\" />\r\n"
                              "</Cache>\r\n");

    // And the file reads back with the same values.
    qv::test::TempDir dir;
    const std::u16string file = FromUtf8((dir / "cache.xml").string());
    writer.SaveTo(file);
    const xml::Document document = xml::Document::Load(file);
    EXPECT_EQ(document.DocumentElement().ChildElements().at(0).GetAttribute(u"Key"),
              std::optional<std::u16string>(u"R&D \u00C9t\u00E9 \u20AC.xml"));
}

TEST(XmlWriter, EscapesTextAndSplitsCDataOnlyWhereNeeded) {
    const struct {
        const char* what;
        std::function<void(xml::XmlWriter&)> write;
        std::string expected;
    } cases[] = {
        {"attribute",
         [](xml::XmlWriter& w) {
             w.OpenTag(u"a");
             w.WriteAttribute(u"v", u"<&\">'\t\r\n");
             w.CloseEmptyTag();
         },
         "<a v=\"&lt;&amp;&quot;>'&#9;&#13;&#10;\"/>"},
        {"text", [](xml::XmlWriter& w) { w.Text(u"a<b>&c\"\r\n"); }, "a&lt;b&gt;&amp;c\"&#13;\n"},
        {"plain CDATA", [](xml::XmlWriter& w) { w.CData(u"<b>&amp;\r\n</b>"); },
         "<![CDATA[<b>&amp;\r\n</b>]]>"},
        {"empty CDATA", [](xml::XmlWriter& w) { w.CData(u""); }, "<![CDATA[]]>"},
        {"CDATA end marker", [](xml::XmlWriter& w) { w.CData(u"x]]>y"); }, "<![CDATA[x]]]]><![CDATA[>y]]>"},
        {"CDATA starting unencodable", [](xml::XmlWriter& w) { w.CData(u"\u65E5\u672Cx"); },
         "<![CDATA[]]>&#26085;&#26412;<![CDATA[x]]>"},
        {"comment and instruction",
         [](xml::XmlWriter& w) {
             w.Comment(u" c ");
             w.ProcessingInstruction(u"p", u"d");
         },
         "<!-- c --><?p d?>"},
        {"unlabelled declaration", [](xml::XmlWriter& w) { w.Declaration(false); },
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?>"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.what);
        xml::XmlWriter writer(u"windows-1252");
        testCase.write(writer);
        EXPECT_EQ(writer.Bytes(), testCase.expected);
    }
    // A split CDATA section reads back as the text that was written.
    xml::XmlWriter writer(u"windows-1252");
    writer.OpenTag(u"s");
    writer.CloseTag();
    writer.CData(u"\u65E5]]>\u00E9]]]>x");
    writer.EndTag(u"s");
    std::string utf8 = writer.Bytes();
    utf8.replace(utf8.find('\xE9'), 1, "\xC3\xA9");
    EXPECT_EQ(xml::Document::Parse(FromUtf8(utf8)).DocumentElement().Text(), u"\u65E5]]>\u00E9]]]>x");
}

TEST(XmlWriter, UnicodeEncodingsAndBadInput) {
    xml::XmlWriter utf8(u"utf-8");
    utf8.ByteOrderMark();
    utf8.Declaration(true);
    utf8.Text(u"\u20AC");
    EXPECT_EQ(utf8.Bytes(),
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\xE2\x82\xAC");

    xml::XmlWriter unlabelled(u"");
    unlabelled.Declaration(false);
    unlabelled.Text(u"\u00E9");
    EXPECT_EQ(unlabelled.Bytes(), "<?xml version=\"1.0\"?>\xC3\xA9");

    xml::XmlWriter latin1(u"iso-8859-1");
    EXPECT_EQ(ErrorNumberOf([] { xml::XmlWriter(u"no-such-charset"); }), 5);
    EXPECT_EQ(ErrorNumberOf([&] { latin1.OpenTag(u"\u65E5"); }), 5) << "a name cannot be a reference";
    EXPECT_EQ(ErrorNumberOf([&] { latin1.OpenTag(u"1a"); }), 5);
    EXPECT_EQ(ErrorNumberOf([&] { latin1.Text(u"\x0B"); }), 5);
    EXPECT_EQ(ErrorNumberOf([&] { latin1.Comment(u"a--b"); }), 5);
    EXPECT_EQ(ErrorNumberOf([&] { latin1.Whitespace(u" x"); }), 5);
}

TEST(XmlWriter, SaveReplacesTheFileWhole) {
    qv::test::TempDir dir;
    const std::u16string file = FromUtf8((dir / "cache.xml").string());
    std::ofstream(dir / "cache.xml") << "an older and longer file";
    xml::XmlWriter writer(u"utf-8");
    writer.OpenTag(u"Cache");
    writer.CloseEmptyTag();
    writer.SaveTo(file);
    std::ifstream in(dir / "cache.xml", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "<Cache/>");
}
