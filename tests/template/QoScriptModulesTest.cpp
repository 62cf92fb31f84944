#include "template/QoScript.h"
#include "template/ScriptModules.h"

#include "template/QoScriptTestObjects.h"

#include "platform/host/ScriptedHost.h"
#include "platform/vbscript/ScriptControl.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv::test::qoscript {
namespace {

using Names = std::vector<std::u16string>;

class QoScriptModulesTest : public ScriptHostTest {
public:
    Names Procedures(const QoScript& script, std::u16string_view module) const {
        return script.Control().ProcedureNames(module);
    }
    bool SiteHasFiles() const { return !std::filesystem::is_empty(mTemp / "site"); }

    /// The system-code scenario: a list with an overridable template function, an indented
    /// multi-line function, a plain script file, an empty entry and an element that is no file;
    /// prefix and suffix texts without a final line break; and user code that overrides the
    /// first function with the help of the plain file's function.
    void WriteSystemCodeList() {
        SetGeneral(u"SYSCODE",
                   WriteFile("sys/list.xml",
                             u"<codes>"
                             u"<file value=\"title.txt\" function=\"true\" id=\" Title \" "
                             u"parm=\"\" override=\"1\"/>"
                             u"<FILE value=\"Lines.TXT\" function=\"True\" id=\"Block\" "
                             u"multiline=\"true\" indent=\"true\"/>"
                             u"<file value=\"helpers.vbs\"/>"
                             u"<file value=\"\" function=\"true\" id=\"Skipped\" override=\"true\"/>"
                             u"<other value=\"missing.vbs\"/>"
                             u"</codes>"));
        WriteFile("sys/title.txt", u"<h1><!--##=TABLE.TblName##--></h1>");
        WriteFile("sys/lines.txt", u"<ul>\r\n<li><!--##@item##--></li>\r\n</ul>");
        // A system-code list brings its own declaration of the indent variable.
        WriteFile("sys/helpers.vbs", Lines({u"<!--##", u"Dim kqIndentWrk", u"Function Shout(s)",
                                            u"Shout = UCase(s)", u"End Function", u"##-->"}));
        SetGeneral(u"SYSCODEPREFIX",
                   WriteFile("sys/prefix.txt", u"' <name>(<parm>) begins <name>\r\n<name> = \"\""));
        SetGeneral(u"SYSCODESUFFIX", WriteFile("sys/suffix.txt", u"' <name> ends"));
        SetGeneral(u"USERCODE", WriteFile("user.vbs", Lines({u"Function USER_Title(s)",
                                                             u"USER_Title = Shout(s)", u"End Function"})));
    }
};

TEST_F(QoScriptModulesTest, WithoutSettingsTheBuiltInCodeFillsTheModules) {
    QoScript script;
    Initialize(script);
    ASSERT_EQ(State().gProjErr, u"");

    EXPECT_EQ(Procedures(script, u"System"), (Names{u"kqSetLocale", u"LoadCurrent", u"Include_File",
                                                    u"IsLoginPasswordField", u"VBStringText"}));
    EXPECT_EQ(script.SystemFunctions(), (Names{u"", u"kqSetLocale", u"LoadCurrent", u"Include_File",
                                               u"IsLoginPasswordField", u"VBStringText"}));
    EXPECT_EQ(Procedures(script, u"Validate"),
              (Names{u"ValidateDatabase", u"ValidateTableNames", u"ValidateFieldNames"}));
    EXPECT_EQ(script.ValidateFunctions().size(), 4u);
    EXPECT_TRUE(Procedures(script, u"$User").empty());
    EXPECT_EQ(script.UserFunctions(), (Names{u""}));
    EXPECT_TRUE(script.ModuleExist(u"include_FILE"));
    EXPECT_FALSE(script.ModuleExist(u""));
    EXPECT_FALSE(script.UserModuleExist(u""));
    EXPECT_FALSE(SiteHasFiles());
}

TEST_F(QoScriptModulesTest, UserCodeOverridesABuiltInFunction) {
    SetGeneral(u"USERCODE", WriteFile("user.vbs", Lines({u"Function USER_Include_File(s)",
                                                         u"USER_Include_File = \"<!-- \" & s & \" -->\"",
                                                         u"End Function"})));
    QoScript script;
    Initialize(script);
    ASSERT_EQ(State().gProjErr, u"");
    EXPECT_EQ(script.UserFunctions(), (Names{u"", u"USER_Include_File"}));
    EXPECT_EQ(script.BuildNewCode(Lines({u"Function kqScriptEngine()",
                                         u"kqScriptEngine = Include_File(\"a.asp\", \"\")", u"End Function"}),
                                  1, 5000),
              u"<!-- <!--#include file=\"a.asp\"--> -->");
}

// The built-in VBStringText writes any text for a page's string literal: read back as a literal
// it gives the text again, and the literal holds no line break, no other control character but
// the tab, no Unicode line separator and no "%>", which would end the literal or the script
// block. Names that need nothing but their quotes doubled take a shorter way than the others;
// both must hold, for each character alone and beside a quote.
TEST_F(QoScriptModulesTest, VBStringTextWritesEveryCharacterForALiteral) {
    QoScript script;
    Initialize(script);
    ASSERT_EQ(State().gProjErr, u"");
    const std::u16string result = script.BuildNewCode(
        Lines({
            u"Function kqScriptEngine()",
            u"Dim aCodes, nCode, nAt, nChar, sText, sLiteral, sRead, sWrong",
            u"aCodes = Array(0, 1, 8, 9, 10, 11, 12, 13, 27, 31, 32, 34, 37, 62, 127, 160)",
            u"aCodes = Split(Join(aCodes) & \" 8232 8233 65279\")",
            u"sWrong = \"\"",
            u"For Each nCode In aCodes",
            u"    For Each sText In Array(\"a\" & ChrW(nCode) & \"b\", \"\"\"\" & ChrW(nCode) & \"%>\")",
            u"        sLiteral = VBStringText(sText)",
            u"        sRead = Eval(\"\"\"\" & sLiteral & \"\"\"\")",
            u"        If sRead <> sText Or InStr(sLiteral, \"%>\") > 0 Then sWrong = sWrong & nCode & \" \"",
            u"        For nAt = 1 To Len(sLiteral)",
            u"            nChar = AscW(Mid(sLiteral, nAt, 1)) And &HFFFF&",
            u"            If nChar = 8232 Or nChar = 8233 Then nChar = 0",
            u"            If nChar < 32 And nChar <> 9 Then sWrong = sWrong & nCode & \" \"",
            u"        Next",
            u"    Next",
            u"Next",
            u"kqScriptEngine = sWrong & \"done\"",
            u"End Function",
        }),
        1, 5000);
    EXPECT_EQ(result, u"done");
}

TEST_F(QoScriptModulesTest, SystemCodeListWithUserOverride) {
    WriteSystemCodeList();
    QoScript script;
    Initialize(script);
    ASSERT_EQ(State().gProjErr, u"");

    EXPECT_EQ(script.SystemFunctions(), (Names{u"", u"Title"}));
    EXPECT_TRUE(script.ModuleExist(u"TITLE"));
    EXPECT_FALSE(script.ModuleExist(u"Block"));
    EXPECT_TRUE(script.UserModuleExist(u"user_title"));

    // The hook hands the function's output to USER_Title; the "~" block's indentation follows
    // each line break of Block's text.
    const std::u16string page =
        Lines({u"Function kqScriptEngine()", u"Dim kqOut", u"kqOut = Title()", u"kqIndentWrk = \"\t\"",
               u"kqOut = kqOut & Block()", u"kqScriptEngine = kqOut", u"End Function"});
    EXPECT_EQ(script.BuildNewCode(page, 2, 5000), u"<H1>ORDERS</H1><ul>\r\n\t<li>[item]</li>\r\n\t</ul>");
    EXPECT_EQ(State().gProjErr, u"");

    // Regression: a suffix without a final line break glued "End Function" onto its comment, and
    // then, in a function with an override, left an empty line before the hook line.
    const std::u16string title = u"Function Title()\r\n"
                                 u"' Title() begins Title\r\n"
                                 u"Title = \"\"\r\n"
                                 u"Title = Title & \"<h1>\"\r\n"
                                 u"Title = Title & TABLE.TblName\r\n"
                                 u"Title = Title & \"</h1>\"\r\n"
                                 u"' Title ends\r\n"
                                 u"If SCRPT.UserModuleExist(\"USER_Title\") Then Title=USER_Title(Title)\r\n"
                                 u"End Function\r\n";
    const std::u16string copy = ReadFile("site/syscode.txt");
    EXPECT_EQ(copy.substr(0, title.size()), title);
    EXPECT_NE(copy.find(u"' Block ends\r\nEnd Function\r\n"), std::u16string::npos);
    EXPECT_NE(copy.find(u"Function Shout(s)"), std::u16string::npos);
}

TEST_F(QoScriptModulesTest, MissingPrefixLeavesANoteInsteadOfTheCopy) {
    WriteSystemCodeList();
    SetGeneral(u"SYSCODEPREFIX", u"");
    QoScript script;
    Initialize(script);
    ASSERT_EQ(State().gProjErr, u"");
    EXPECT_EQ(ReadFile("site/syscode.txt"), u"'missing syscodeprefix or syscodesuffix\r\n");
}

// Regression: debug copies were written to whatever the destination said, under the entry's
// full name, and a failed write stopped the loading.
TEST_F(QoScriptModulesTest, DebugCopiesOnlyInAnExistingDestinationUnderBaseNames) {
    struct Case {
        const char* name;
        std::u16string destination;
        bool written;
    };
    const Case cases[] = {
        {"destination folder", TempPath("site"), true},
        {"no destination", u"", false},
        {"missing folder", TempPath("site/none"), false},
        {"destination is a file", WriteFile("site.txt", u"x"), false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(mTemp / "site");
        std::filesystem::create_directories(mTemp / "site");
        State().gProjErr.clear();
        CurrentTemplateState().destination = row.destination;
        SetGeneral(u"SYSCODE", WriteFile("sys/list.xml", u"<codes><file value=\"good.vbs\"/>"
                                                         u"<file value=\"sub/bad.vbs\"/></codes>"));
        // System-code files are templates: plain code stands in one script block.
        WriteFile("sys/good.vbs", u"<!--##" + Lines({u"", u"Function Good()", u"End Function"}) + u"##-->");
        const std::u16string bad = Lines({u"", u"Function Bad()", u"x = (1", u"End Function", u""});
        WriteFile("sys/sub/bad.vbs", u"<!--##" + bad + u"##-->");

        QoScript script;
        Initialize(script);

        const vbscript::ScriptError& error = script.Control().Error();
        EXPECT_EQ(error.line, 3);
        EXPECT_EQ(State().gProjErr, u"Quorvane(sub/bad.vbs) : VBScript Syntax Error\r\n" + error.description +
                                        u"\r\nIn line 3: \r\n" + error.text);
        // A script block comes out as it stands, followed by a line break.
        EXPECT_EQ(ReadFile("site/bad.vbs"), row.written ? bad + u"\r\n" : u"");
        EXPECT_EQ(ReadFile("site/syscode.txt"),
                  row.written ? Lines({u"", u"Function Good()", u"End Function", u""}) + bad + u"\r\n" : u"");
        EXPECT_FALSE(std::filesystem::exists(mTemp / "site" / "sub"));
    }
}

TEST_F(QoScriptModulesTest, TemplateParseErrorIsCopiedWithTheMessage) {
    SetGeneral(u"SYSCODE", WriteFile("sys/list.xml", u"<codes><file value=\"broken.txt\" function=\"true\" "
                                                     u"id=\"Broken\"/></codes>"));
    WriteFile("sys/broken.txt", u"<!--##=x");
    QoScript script;
    Initialize(script);
    const std::u16string error = u"broken.txt: ***Incomplete Block at line 1 column 1! Generation failed!";
    EXPECT_EQ(State().gProjErr, error);
    EXPECT_EQ(ReadFile("site/broken.txt"), u"Function Broken()\r\n<!--##=xEnd Function\r\n\r\n" + error);
}

TEST_F(QoScriptModulesTest, LoadFailuresStopTheLaterModules) {
    struct Case {
        const char* name;
        std::u16string setting;
        std::u16string value;
        std::u16string error; // "<syntax>" stands for the engine error's part of the text
    };
    const std::u16string missing = TempPath("nowhere/list.xml");
    const std::u16string notXml = WriteFile("notxml.xml", u"<codes>");
    const Case cases[] = {
        {"system list missing", u"SYSCODE", missing, u"Load syscode file " + missing + u" failed!"},
        {"system list not XML", u"SYSCODE", notXml, u"Load syscode file " + notXml + u" failed!"},
        {"validation list missing", u"VALIDATECODE", missing, u"Load validate file " + missing + u" failed!"},
        {"common code", u"COMMONCODE", WriteFile("common.vbs", u"Function (\r\n"),
         u"Quorvane : VBScript Syntax Error<syntax>"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        State().gProjErr.clear();
        SetGeneral(row.setting, row.value);
        QoScript script;
        Initialize(script);
        std::u16string expected = row.error;
        if (const std::size_t at = expected.find(u"<syntax>"); at != std::u16string::npos) {
            const vbscript::ScriptError& error = script.Control().Error();
            expected.replace(at, 8, u"\r\n" + error.description + u"\r\nIn line 1: \r\n" + error.text);
        }
        EXPECT_EQ(State().gProjErr, expected);
        EXPECT_FALSE(script.Control().HasModule(u"$User"));
        SetGeneral(row.setting, u"");
    }
}

TEST_F(QoScriptModulesTest, MissingUserCodeFileShowsAMessageAndLoadsNothing) {
    const std::u16string path = TempPath("nowhere/user.vbs");
    SetGeneral(u"USERCODE", path);
    QoScript script;
    Initialize(script);
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_EQ(mHost.Texts(host::HostCallKind::Message),
              (Names{u"Quorvane: Script file " + path + u" not found! Content not loaded!"}));
    EXPECT_TRUE(Procedures(script, u"$User").empty());
}

TEST_F(QoScriptModulesTest, ValidationListIsCollectedAndCopied) {
    const std::u16string first = Lines({u"Function CheckOne()", u"CheckOne = True", u"End Function"});
    const std::u16string second = Lines({u"Function CheckTwo()", u"CheckTwo = True", u"End Function"});
    WriteFile("val/one.vbs", first);
    WriteFile("val/two.vbs", second);
    SetGeneral(u"VALIDATECODE",
               WriteFile("val/list.xml",
                         u"<v><file value=\"one.vbs\"/><file value=\"\"/><file value=\"two.vbs\"/></v>"));
    QoScript script;
    Initialize(script);
    ASSERT_EQ(State().gProjErr, u"");
    EXPECT_EQ(script.ValidateFunctions(), (Names{u"", u"CheckOne", u"CheckTwo"}));
    EXPECT_EQ(ReadFile("site/validatecode.txt"), u"\r\n" + first + u"\r\n" + second);
    EXPECT_TRUE(script.Validate());
}

TEST(ScriptModules, TemplateToScriptBlockByBlock) {
    struct Case {
        const char* name;
        std::u16string code;
        bool multiline;
        bool indent;
        std::u16string function;
        std::u16string script;
    };
    const Case cases[] = {
        {"script block", u"<!--##x = 1##-->", false, false, u"", u"x = 1\r\n"},
        {"text and expression", u"A<!--##=TABLE.TblName##-->B", false, false, u"F",
         u"F = F & \"A\"\r\nF = F & TABLE.TblName\r\nF = F & \"B\"\r\n"},
        // Regression: a comparison appended bare compared the whole output with its right side.
        {"comparison", u"<!--##=a = b##-->", false, false, u"F", u"F = F & (a = b)\r\n"},
        {"phrase", u"<!--##@ title ##-->", false, false, u"F", u"F = F & LANG.Phrase(\"title\")\r\n"},
        {"dynamic phrase", u"<!--##$ sKey ##-->", false, false, u"F", u"F = F & LANG.Phrase(sKey)\r\n"},
        {"indent block", u"<!--##~x##-->", false, false, u"F", u""},
        {"only line breaks", u"\r\n\r\n", false, false, u"", u""},
        {"single line", u"a\r\nb", false, false, u"F", u"F = F & \"ab\"\r\n"},
        {"multiline", u"a\r\nb", true, false, u"F", u"F = F & \"a\"&vbCrLf&\"b\"\r\n"},
        {"multiline indented", u"a\r\nb", true, true, u"F", u"F = F & \"a\"&vbCrLf&kqIndentWrk&\"b\"\r\n"},
        {"text outside a function", u"a", false, false, u"", u"\"a\"\r\n"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        ResetApartment();
        EXPECT_EQ(TemplateToScript(row.code, row.multiline, row.indent, row.function), row.script);
        EXPECT_EQ(State().gProjErr, u"");
    }
    ResetApartment();
    EXPECT_EQ(TemplateToScript(u"a<!--##=x", false, false, u"F"), std::nullopt);
    EXPECT_EQ(State().gProjErr, u"***Incomplete Block at line 1 column 2! Generation failed!");
    ResetApartment();
}

TEST(ScriptModules, WrapFunctionFramesTheBody) {
    CodeListEntry entry;
    entry.id = u"Title";
    entry.parm = u"a, b";
    const std::u16string body = u"Title = Title & a\r\n";
    // Regression: frames without a final line break glued the code and "End Function" onto them.
    EXPECT_EQ(WrapFunction(body, entry, u"' <name> <parm> <name>", u"' end <name>"),
              u"Function Title(a, b)\r\n' Title a, b Title\r\nTitle = Title & a\r\n' end Title\r\nEnd "
              u"Function\r\n");
    EXPECT_EQ(WrapFunction(body, entry, u"", u""),
              u"Function Title(a, b)\r\nTitle = Title & a\r\nEnd Function\r\n");
    entry.override = true;
    EXPECT_EQ(WrapFunction(body, entry, u"", u"' end\r\n"),
              u"Function Title(a, b)\r\nTitle = Title & a\r\n' end\r\n\r\n"
              u"If SCRPT.UserModuleExist(\"USER_Title\") Then Title=USER_Title(Title)\r\nEnd Function\r\n");
    // Regression: the line break added to a suffix without one, then the hook line's own, made an
    // empty line between them.
    EXPECT_EQ(WrapFunction(body, entry, u"", u"' end <name>"),
              u"Function Title(a, b)\r\nTitle = Title & a\r\n' end Title\r\n"
              u"If SCRPT.UserModuleExist(\"USER_Title\") Then Title=USER_Title(Title)\r\nEnd Function\r\n");
}

} // namespace
} // namespace qv::test::qoscript
