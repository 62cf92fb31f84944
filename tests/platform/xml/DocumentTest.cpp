#include "platform/xml/Document.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

using qv::automation::FromUtf8;
using qv::automation::ToUtf8;
namespace xml = qv::xml;

namespace {

std::u16string WriteFile(const qv::test::TempDir& dir, const char* name, const std::string& bytes) {
    const std::filesystem::path path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return FromUtf8(path.string());
}

std::string ReadBytes(const std::u16string& path) {
    std::ifstream in(ToUtf8(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::u16string> Names(const std::vector<xml::Element>& elements) {
    std::vector<std::u16string> names;
    names.reserve(elements.size());
    for (const xml::Element& element : elements) {
        names.push_back(element.Name());
    }
    return names;
}

} // namespace

TEST(XmlDocument, LoadsAFileInItsDeclaredEncodingAndWalksItInDocumentOrder) {
    qv::test::TempDir dir;
    // A control-file-like document in windows-1252 (0xE9 is e acute, 0x80 the euro sign).
    const std::u16string file =
        WriteFile(dir, "control.xml",
                  "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                  "<!-- template -->\r\n"
                  "<Quorvane.Control version=\"6.0\" desc=\"caf\xE9 \x80\">\r\n"
                  "  <control id=\"list\" type=\"table\" ofile=\"x&amp;y\" Space=\"0\"/>\r\n"
                  "  <other/>\r\n"
                  "  <control id=\"edit\">\r\n"
                  "    <session type=\"key\" value=\"a\"/>\r\n"
                  "  </control>\r\n"
                  "  <code><![CDATA[line1\r\nline2 <b>&amp;]]></code>\r\n"
                  "</Quorvane.Control>\r\n");
    const xml::Document document = xml::Document::Load(file);
    const xml::Element root = document.DocumentElement();
    EXPECT_EQ(root.Name(), u"Quorvane.Control");
    EXPECT_EQ(root.GetAttribute(u"desc"), std::optional<std::u16string>(u"caf\u00E9 \u20AC"));
    EXPECT_EQ(root.GetAttribute(u"Desc"), std::nullopt) << "attribute names are case-sensitive";

    // Indentation is no child at all; elements come in document order.
    EXPECT_EQ(Names(root.ChildElements()),
              (std::vector<std::u16string>{u"control", u"other", u"control", u"code"}));
    EXPECT_EQ(root.Children().size(), 4u);

    const xml::Element list = root.ChildElements()[0];
    const std::vector<xml::Attribute> attributes = list.Attributes();
    ASSERT_EQ(attributes.size(), 4u);
    EXPECT_EQ(attributes[0].name, u"id");
    EXPECT_EQ(attributes[2].name, u"ofile");
    EXPECT_EQ(attributes[2].value, u"x&y");
    EXPECT_EQ(attributes[3].name, u"Space");
    EXPECT_EQ(list.Line(), 4);

    const xml::Element session = root.ChildElements()[2].ChildElements().at(0);
    EXPECT_EQ(session.Parent().Name(), u"control");

    // The code element's first child is the CDATA section, its line end normalised to LF.
    const xml::Node cdata = root.ChildElements()[3].FirstChild();
    EXPECT_EQ(cdata.Kind(), xml::NodeKind::CData);
    EXPECT_EQ(cdata.Name(), u"#cdata-section");
    EXPECT_EQ(cdata.Value(), u"line1\nline2 <b>&amp;");
    EXPECT_EQ(document.Children().front().Kind(), xml::NodeKind::Comment);
}

TEST(XmlDocument, KeepsWhitespaceWhereAskedTo) {
    const char16_t* text = u"<r><a> </a><b xml:space=\"preserve\"> <c/> </b></r>";
    const xml::Document dropped = xml::Document::Parse(text);
    EXPECT_FALSE(dropped.DocumentElement().ChildElements()[0].FirstChild());
    EXPECT_EQ(dropped.DocumentElement().ChildElements()[1].Children().size(), 3u);

    xml::LoadOptions preserve;
    preserve.preserveWhitespace = true;
    const xml::Document kept = xml::Document::Parse(text, preserve);
    EXPECT_EQ(kept.DocumentElement().ChildElements()[0].Text(), u" ");
}

TEST(XmlDocument, NamesWithPrefixesHaveTheirLocalName) {
    const xml::Document document = xml::Document::Parse(u"<q:root xmlns:q=\"urn:q\"><q:item/></q:root>");
    EXPECT_EQ(document.DocumentElement().Name(), u"q:root");
    EXPECT_EQ(document.DocumentElement().LocalName(), u"root");
}

TEST(XmlDocument, RefusesEntityDeclarationsSoNothingIsExpandedOrFetched) {
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"billion laughs",
         "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
         "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
         "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
         "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">]>"
         "<r>&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;</r>"},
        {"external file entity", "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r>&x;</r>"},
        {"parameter entity", "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file:///etc/passwd\"> %p;]><r/>"},
        {"undeclared entity", "<!DOCTYPE r SYSTEM \"r.dtd\"><r>&undeclared;</r>"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        xml::ParseError error;
        EXPECT_FALSE(xml::Document::TryParse(FromUtf8(testCase.text), &error));
        EXPECT_NE(error.reason.find(u"ntit"), std::u16string::npos) << ToUtf8(error.reason);
        EXPECT_EQ(error.line, 1);
    }
}

TEST(XmlDocument, NeverFetchesAnExternalDtdOrEntityOverTheNetwork) {
    // A listening socket on loopback: any fetch would show up as a pending connection.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";

    qv::test::TempDir dir;
    const std::u16string withDtd =
        WriteFile(dir, "dtd.xml", "<!DOCTYPE r SYSTEM \"" + url + "\"><r a=\"1\"/>");
    EXPECT_EQ(xml::Document::Load(withDtd).DocumentElement().GetAttribute(u"a"),
              std::optional<std::u16string>(u"1"));
    const std::u16string withEntity =
        WriteFile(dir, "entity.xml", "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + url + "\">]><r>&x;</r>");
    EXPECT_FALSE(xml::Document::TryLoad(withEntity));

    ::fcntl(listener, F_SETFL, O_NONBLOCK);
    const int connection = ::accept(listener, nullptr, nullptr);
    EXPECT_LT(connection, 0) << "the parser connected to " << url;
    if (connection >= 0) {
        ::close(connection);
    }
    ::close(listener);
}

TEST(XmlDocument, MalformedFileRaisesAnErrorNamingFileAndLine) {
    qv::test::TempDir dir;
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"<r>\n<a>\n</b>\n</r>", 3},
        {"<r>\n\n<a x=\"1\" x=\"2\"/></r>", 3},
        {"<r>\n&#1;</r>", 2},
        {"<?xml version=\"1.0\" encoding=\"no-such-charset\"?><r/>", 1},
        {"", 0},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.text);
        const std::u16string file = WriteFile(dir, "bad.xml", testCase.text);
        try {
            xml::Document::Load(file);
            ADD_FAILURE() << "loaded";
        } catch (const qv::automation::Error& error) {
            EXPECT_EQ(error.Number(), xml::ErrorNumber::ParseFailed);
            const std::string description = error.what();
            EXPECT_NE(description.find(ToUtf8(file)), std::string::npos) << description;
            if (testCase.line > 0) {
                EXPECT_NE(description.find("line " + std::to_string(testCase.line) + ","), std::string::npos)
                    << description;
            }
        }
    }
    xml::ParseError error;
    EXPECT_FALSE(xml::Document::TryLoad(FromUtf8((dir / "missing.xml").string()), &error));
    EXPECT_NE(error.Description().find(u"missing.xml"), std::u16string::npos);
    try {
        xml::Document::Load(FromUtf8((dir / "missing.xml").string()));
        ADD_FAILURE() << "loaded a missing file";
    } catch (const qv::automation::Error& failure) {
        EXPECT_EQ(failure.Number(), 53);
    }
}

TEST(XmlDocument, SavesInANamedEncodingWithReferencesForWhatItCannotHold) {
    xml::Document document;
    xml::Element root = document.CreateDocumentElement(u"Project");
    root.SetAttribute(u"Version", u"6.0");
    root.SetAttribute(u"Name", u"caf\u00E9 \u20AC \u65E5\U0001F600 \"q\" <&>\r\n");
    root.SetAttribute(u"Version", u"6.1"); // replaced in place, keeps its position
    root.AppendText(u"\r\n");
    xml::Element script = root.AppendElement(u"CustomScript");
    script.AppendCData(u"a\u65E5b]]>c");
    root.AppendText(u"\r\n");

    xml::SaveOptions options;
    options.encoding = u"windows-1252";
    options.standalone = true;
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"windows-1252\" standalone=\"yes\"?>\r\n"
        "<Project Version=\"6.1\" Name=\"caf\xE9 \x80 &#26085;&#128512; &quot;q&quot; "
        "&lt;&amp;>&#13;&#10;\">&#13;\n"
        "<CustomScript><![CDATA[a]]>&#26085;<![CDATA[b]]]]><![CDATA[>c]]></CustomScript>"
        "&#13;\n</Project>\r\n";
    EXPECT_EQ(document.SaveToBytes(options), expected);

    qv::test::TempDir dir;
    const std::u16string file = FromUtf8((dir / "project.xml").string());
    WriteFile(dir, "project.xml", "old");
    document.Save(file, options);
    EXPECT_EQ(ReadBytes(file), expected);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
        << "a temporary file was left";

    // Read back, everything comes back as it was; the split CDATA reads back through Text.
    const xml::Document loaded = xml::Document::Load(file);
    const xml::Element project = loaded.DocumentElement();
    EXPECT_EQ(project.GetAttribute(u"Name"), root.GetAttribute(u"Name"));
    EXPECT_EQ(project.Attributes()[0].name, u"Version");
    const xml::Element loadedScript = project.ChildElements().at(0);
    EXPECT_EQ(loadedScript.FirstChild().Kind(), xml::NodeKind::CData);
    EXPECT_EQ(loadedScript.Text(), u"a\u65E5b]]>c");
}

TEST(XmlDocument, RefusesNamesAndTextThatXmlCannotHold) {
    xml::Document document;
    xml::Element root = document.CreateDocumentElement(u"r");
    const struct {
        const char* what;
        std::function<void()> call;
    } cases[] = {
        {"element name with a blank", [&] { root.AppendElement(u"a b"); }},
        {"empty attribute name", [&] { root.SetAttribute(u"", u"x"); }},
        {"control character in an attribute", [&] { root.SetAttribute(u"a", u"x\x01y"); }},
        {"lone surrogate in text", [&] { root.AppendText(std::u16string(1, char16_t(0xD800))); }},
        {"U+FFFF in CDATA", [&] { root.AppendCData(u"\uFFFF"); }},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.what);
        try {
            testCase.call();
            ADD_FAILURE() << "accepted";
        } catch (const qv::automation::Error& error) {
            EXPECT_EQ(error.Number(), 5);
        }
    }
    EXPECT_TRUE(root.Attributes().empty());
    EXPECT_FALSE(root.FirstChild());
}
