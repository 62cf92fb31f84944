#include "template/QelCodeBase.h"
#include "template/QelLanguage.h"

#include "template/TemplateFixture.h"

#include "core/Apartment.h"

#include "platform/automation/Conversion.h"

#include <string>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using test::Utf8;

class ResourceFileTest : public test::TemplateTest {
protected:
    std::u16string Write(const std::string& name, const std::string& xml) {
        WriteFile(name, xml);
        return TempPath(name);
    }
};

constexpr char CodeBaseFile[] =
    "<?xml version='1.0'?>\n"
    "<QUORVANE.CODEBASE>\n"
    "  <code ScriptType='VBSCRIPT' codetype='table' name='x'>\n"
    "    <![CDATA[line 1\r\nline 2]]>\n"
    "  </code>\n"
    "  <CODE scripttype='VBScript' codetype='Field' name='y' other='o'>plain</CODE>\n"
    "  <code scripttype='vbscript' codetype='TABLE' name='X'><![CDATA[second]]></code>\n"
    "  <code scripttype='s' codetype='c' name='empty'/>\n"
    "  <code scripttype='s' codetype='c' name='element'><b/>text</code>\n"
    "  <snippet scripttype='s' codetype='c' name='no'>no</snippet>\n"
    "</QUORVANE.CODEBASE>\n";

TEST_F(ResourceFileTest, LooksUpCodeIgnoringCase) {
    QelCodeBase& codeBase = GetCodeBase();
    EXPECT_EQ(&codeBase, &GetCodeBase());
    ASSERT_TRUE(codeBase.Load(Write("codebase.xml", CodeBaseFile)));
    // The duplicate keys fold into one entry holding the later code.
    EXPECT_EQ(codeBase.Count(), 4);
    EXPECT_EQ(codeBase.curIndex(), 0);
    struct Case {
        std::u16string_view scriptType, codeType, name;
        bool exists;
        std::u16string_view source;
    };
    const Case cases[] = {
        {u"VBScript", u"Table", u"X", true, u"second"},
        {u"vbscript", u"field", u"Y", true, u"plain"},
        {u"s", u"c", u"empty", true, u""},
        {u"s", u"c", u"element", true, u""},
        {u"s", u"c", u"no", false, u""},
        {u"VBScript", u"Table", u"", false, u""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.name));
        EXPECT_EQ(codeBase.CodeExist(test.scriptType, test.codeType, test.name), test.exists);
        EXPECT_EQ(codeBase.CodeSource(test.scriptType, test.codeType, test.name), test.source);
    }

    // XML hands line ends over as LF; the code comes back with CR LF.
    ASSERT_TRUE(
        codeBase.Load(Write("lines.xml", "<quorvane.codebase><code scripttype='a' codetype='b' name='c'>"
                                         "<![CDATA[one\r\ntwo\nthree\n]]></code></quorvane.codebase>")));
    EXPECT_EQ(codeBase.Count(), 1);
    EXPECT_EQ(codeBase.CodeSource(u"A", u"B", u"C"), u"one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(automation::ToString(CallByName(codeBase, u"CodeSource", automation::InvokeRead,
                                              {Variant(u"a"), Variant(u"b"), Variant(u"c")})),
              u"one\r\ntwo\r\nthree\r\n");
}

TEST_F(ResourceFileTest, KeepsTheCodeBaseWhenAFileFails) {
    QelCodeBase& codeBase = GetCodeBase();
    ASSERT_TRUE(codeBase.Load(Write("codebase.xml", CodeBaseFile)));
    std::string tooMany = "<quorvane.codebase>";
    for (std::int32_t index = 0; index <= MaxResourceCount; ++index) {
        tooMany += "<code scripttype='s' codetype='c' name='" + std::to_string(index) + "'/>";
    }
    const std::string files[] = {
        "<quorvane.codebase.xml><code scripttype='a' codetype='b' name='c'/></quorvane.codebase.xml>",
        "<codebase><code scripttype='a' codetype='b' name='c'/></codebase>",
        "<quorvane.codebase><code",
        "",
        tooMany + "</quorvane.codebase>",
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file.substr(0, 60));
        State().gProjErr.clear();
        EXPECT_FALSE(codeBase.Load(Write("bad.xml", file)));
        // No message of its own: the callers report the failure.
        EXPECT_EQ(State().gProjErr, u"");
        EXPECT_EQ(codeBase.Count(), 4);
        EXPECT_TRUE(codeBase.CodeExist(u"vbscript", u"table", u"x"));
    }
    EXPECT_FALSE(codeBase.Load(TempPath("missing.xml")));
    EXPECT_EQ(codeBase.Count(), 4);
}

TEST_F(ResourceFileTest, MergesLanguageFiles) {
    QelLanguage& language = GetLanguage();
    EXPECT_EQ(&language, &GetLanguage());
    ASSERT_TRUE(language.Load(Write("lang.xml", "<Quorvane.Language><phrase ID='a' Value='A'/>"
                                                "<phrase id='b' value='B'/><other id='c' value='no'/>"
                                                "<phrase id='A' value='A2'/></Quorvane.Language>")));
    EXPECT_EQ(language.Count(), 2);
    EXPECT_EQ(language.Phrase(u"a"), u"A2");
    ASSERT_TRUE(
        language.LoadExtension(Write("ext.xml", "<quorvane.language><phrase id='B' value='B from ext'/>"
                                                "<phrase id='c' value='C'/></quorvane.language>")));
    EXPECT_EQ(language.Count(), 3);
    EXPECT_EQ(language.Phrase(u"b"), u"B from ext");
    EXPECT_EQ(language.Phrase(u"C"), u"C");
    EXPECT_EQ(language.Phrase(u"unknown"), u"");

    EXPECT_FALSE(language.AddPhrase(u"B", u"x"));
    EXPECT_TRUE(language.AddPhrase(u"d", u"D"));
    EXPECT_TRUE(language.ReplacePhrase(u"D", u"D2"));
    EXPECT_FALSE(language.ReplacePhrase(u"e", u"E"));
    EXPECT_EQ(language.Phrase(u"d"), u"D2");
    EXPECT_EQ(automation::ToString(CallByName(language, u"Phrase", automation::InvokeRead, {Variant(u"A")})),
              u"A2");

    // A wrong root or a broken file changes nothing; Load replaces the whole table.
    EXPECT_FALSE(language.LoadExtension(
        Write("bad.xml", "<quorvane.keyword><phrase id='x' value='X'/></quorvane.keyword>")));
    EXPECT_FALSE(language.Load(Write("bad.xml", "<quorvane.language><phrase")));
    EXPECT_EQ(language.Count(), 4);
    ASSERT_TRUE(language.Load(
        Write("lang.xml", "<quorvane.language><phrase id='z' value='Z'/></quorvane.language>")));
    EXPECT_EQ(language.Count(), 1);
    EXPECT_EQ(language.Phrase(u"a"), u"");
}

TEST_F(ResourceFileTest, LanguageStopsAtItsLimit) {
    std::string file = "<quorvane.language>";
    for (std::int32_t index = 1; index < MaxResourceCount; ++index) {
        file += "<phrase id='" + std::to_string(index) + "' value='v'/>";
    }
    QelLanguage& language = GetLanguage();
    ASSERT_TRUE(language.Load(Write("lang.xml", file + "</quorvane.language>")));
    EXPECT_TRUE(language.AddPhrase(u"last", u"v"));
    EXPECT_FALSE(language.AddPhrase(u"beyond", u"v"));
    EXPECT_EQ(language.Count(), MaxResourceCount);
    // An extension that would overflow the table is refused whole.
    EXPECT_FALSE(
        language.LoadExtension(Write("ext.xml", "<quorvane.language><phrase id='1' value='new'/>"
                                                "<phrase id='more' value='m'/></quorvane.language>")));
    EXPECT_EQ(language.Phrase(u"1"), u"v");
    EXPECT_EQ(language.Count(), MaxResourceCount);
}

TEST_F(ResourceFileTest, ShippedFilesLoad) {
    EXPECT_TRUE(
        MakeRef<QelLanguage>()->Load(automation::FromUtf8(QV_SOURCE_DIR "/share/quorvane/lang/english.xml")));
    Ref<QelCodeBase> codeBase = MakeRef<QelCodeBase>();
    EXPECT_TRUE(codeBase->Load(automation::FromUtf8(QV_SOURCE_DIR "/share/quorvane/codebase.xml")));
    EXPECT_GT(codeBase->Count(), 0);
}

} // namespace
} // namespace qv
