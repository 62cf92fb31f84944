#include "template/TemplateConversion.h"

#include "template/QelLanguage.h"
#include "template/TemplateFixture.h"
#include "template/TemplateState.h"
#include "template/TemplateText.h"

#include "support/ScopedEnvironment.h"

#include "core/Apartment.h"

#include "platform/automation/Error.h"

#include <string>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using test::FakeProject;
using test::Utf8;

/// The page function around the given array and body lines.
std::u16string PageFunction(std::int32_t count, std::u16string_view lines) {
    return u"Function kqScriptEngine()\r\nOn Error Resume Next\r\nDim kqAr(" +
           automation::FromUtf8(std::to_string(count)) + u")\r\nDim kqOut\r\n" + std::u16string(lines) +
           u"kqScriptEngine = kqOut\r\nEnd Function\r\n";
}

class TemplateConversionTest : public test::TemplateTest {
protected:
    void SetUp() override {
        TemplateTest::SetUp();
        mEnvironment.Set("QUORVANE_ANSI_CODEPAGE", "1252");
        FakeProject::Set(*mProject.project, u"ProjName", u"String", Variant(u"Demo"));
    }

    std::u16string Convert(std::u16string_view text) {
        mConversion.ResetState();
        mConversion.ConvertTemplateToScript(text);
        return mConversion.FunctionText();
    }

    static Ref<QelSession> AddSession(QelControl& control, std::u16string_view type,
                                      std::u16string_view value) {
        Ref<QelSession> session = MakeRef<QelSession>();
        session->SetSessType(std::u16string(type));
        session->SetSessValue(std::u16string(value));
        control.Sessions().AddSession(*session, u"", u"");
        return control.Sessions().Item(control.Sessions().Count());
    }

    /// Runs MergeControlTemplate and returns the generation error's description, or "" when it
    /// did not raise.
    std::u16string Merge(QelControl& control) {
        try {
            mConversion.MergeControlTemplate(control, TempPath("temp/page.tmp"));
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), -1);
            return error.Description();
        }
        return {};
    }

    test::ScopedEnvironment mEnvironment;
    FakeProject mProject;
    TemplateConversion mConversion{mProject};
};

TEST_F(TemplateConversionTest, ConvertsBlocksIntoThePageFunction) {
    struct Case {
        std::u16string_view text;
        std::u16string function;
    };
    const Case cases[] = {
        {u"<p><!--##=TABLE.TblName##--></p>",
         PageFunction(2, u"kqAr(1) = \"<p>\"\r\nkqAr(2) = \"</p>\"\r\n"
                         u"kqOut = kqOut & kqAr(1) & TABLE.TblName & kqAr(2)\r\n")},
        {u"<!--##=x##-->", PageFunction(0, u"kqOut = kqOut & x\r\n")},
        {u"", PageFunction(0, u"")},
        // Output before a code block is flushed first, so output and code keep their order.
        {u"a<!--##=x##--><!--##If y Then##-->b<!--##=z##--><!--## End If ##-->",
         PageFunction(2, u"kqAr(1) = \"a\"\r\nkqAr(2) = \"b\"\r\n"
                         u"kqOut = kqOut & kqAr(1) & x\r\nIf y Then\r\n"
                         u"kqOut = kqOut & kqAr(2) & z\r\n End If \r\n")},
        {u"<ul>\r\n\t<!--##~FIELD.FldName##-->",
         PageFunction(1, u"kqAr(1) = \"<ul>\"&vbCrLf&\"\t\"\r\n"
                         u"kqOut = kqOut & kqAr(1)\r\nkqIndentWrk = \"\t\"\r\n"
                         u"kqOut = kqOut & FIELD.FldName\r\n")},
        // A phrase id is a literal: an inner quote is doubled.
        {u"<!--##@ Say \"hi\" ##--><!--##$ sId ##-->",
         PageFunction(0, u"kqOut = kqOut & LANG.Phrase(\"Say \"\"hi\"\"\") & LANG.Phrase(sId)\r\n")},
        {u"say \"x\"\r\n",
         PageFunction(1, u"kqAr(1) = \"say \"\"x\"\"\"&vbCrLf&\"\"\r\nkqOut = kqOut & kqAr(1)\r\n")},
        {u"<!--##-->", PageFunction(0, u"\r\n")},
        // Regression: an expression with an operator looser than "&" compared the whole output
        // so far instead of being put out.
        {u"a<!--##=x = 1##--><!--##~Not y##-->",
         PageFunction(1, u"kqAr(1) = \"a\"\r\nkqOut = kqOut & kqAr(1) & (x = 1)\r\nkqIndentWrk = \"\"\r\n"
                         u"kqOut = kqOut & (Not y)\r\n")},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.text));
        EXPECT_EQ(Convert(test.text), test.function);
        EXPECT_EQ(State().gProjErr, u"");
    }
}

TEST(ConcatenationOperand, GroupsOnlyOperatorsLooserThanConcatenation) {
    struct Case {
        std::u16string_view expression;
        bool grouped;
    };
    const Case cases[] = {
        {u"TABLE.TblName", false},
        {u"x + 1 & y", false},
        {u"Orders.Count * -2", false},
        {u"Left(s, 3) Mod 2", false},
        {u"f(a = b)", false},
        {u"\"a = \"\"b\"\" < c\"", false},
        {u"[a = b]", false},
        {u"#1/1/2000#", false},
        {u"x.Or.Not", false},
        {u"Isolated & Order & Notes", false},
        {u"a = b", true},
        {u"a<>b", true},
        {u"n >= 3", true},
        {u"(a) = (b)", true},
        {u"Not bDone", true},
        {u"x IS Nothing", true},
        {u"a and b", true},
        {u"a Or b", true},
        {u"a Xor b", true},
        {u"a Eqv b", true},
        {u"a Imp b", true},
        {u"\"x\" & y = \"z\"", true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.expression));
        const std::u16string expected =
            test.grouped ? u"(" + std::u16string(test.expression) + u")" : std::u16string(test.expression);
        EXPECT_EQ(ConcatenationOperand(test.expression), expected);
    }
}

TEST_F(TemplateConversionTest, WrapsExpressionsInUserOverrides) {
    Ref<test::FakeScriptHost> page = MakeRef<test::FakeScriptHost>();
    page->userFunctions = {u"user_table_tblname", u"user_sys_fn", u"user_x"};
    page->systemFunctions = {u"sys_fn"};
    CurrentTemplateState().pageScript = page;
    EXPECT_EQ(Convert(u"<!--##=TABLE.TblName##--><!--##~Sys.Fn##--><!--##=y##--><!--##=X##-->"),
              PageFunction(0, u"kqOut = kqOut & USER_TABLE_TblName(TABLE.TblName)\r\nkqIndentWrk = \"\"\r\n"
                              u"kqOut = kqOut & Sys.Fn & y & USER_X(X)\r\n"));
}

TEST_F(TemplateConversionTest, StopsAtABlockError) {
    State().gProjErr.clear();
    EXPECT_EQ(Convert(u"a<!--##=x"), PageFunction(0, u""));
    EXPECT_EQ(State().gProjErr, u"***Incomplete Block at line 1 column 2! Generation failed!");
}

// A template with text, "=", "~", "@", "$" and script blocks, sessions and an include, merged
// with its control's sessions into the prepared page function.
TEST_F(TemplateConversionTest, MergesAControlIntoItsPreparedScript) {
    WriteFile("template/page.htm", "<!--##session header##-->\r\n"
                                   "<html><title><!--##@Title##--></title>\r\n"
                                   "<!--##/session##-->\r\n"
                                   "<!--##session body##-->\r\n"
                                   "<!--##\r\n"
                                   "Dim i\r\n"
                                   "##-->\r\n"
                                   "\t<!--##~TABLE.TblCaption##--><br>\r\n"
                                   "<!--##include common.htm/footer##-->\r\n"
                                   "<!--##/session##-->\r\n"
                                   "<!--##session skipped##-->never<!--##/session##-->\r\n");
    WriteFile("template/Common.htm", "<!--##session footer##-->\r\n"
                                     "<i><!--##$sPhrase##--></i><!--##=PROJ.ProjName##-->\r\n"
                                     "<!--##/session##-->\r\n");
    SetGeneralValue(u"ShowSession", Variant(u"True"));
    mProject.progress.total = 4;

    Ref<QelControl> control = MakeRef<QelControl>();
    control->SetCtrlIFiles(u"page.htm");
    AddSession(*control, u"key", u"header");
    AddSession(*control, u"include", u"x\"y.js")->SetSessParm(u"js");
    AddSession(*control, u"key", u"body");
    AddSession(*control, u"key", u"skipped")->SetSessCond(u"proj/ProjName/eq/Other");

    EXPECT_EQ(Merge(*control), u"");
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_EQ(ReadFile("temp/page.tmp"),
              "Function kqScriptEngine()\r\n"
              "On Error Resume Next\r\n"
              "Dim kqAr(8)\r\n"
              "Dim kqOut\r\n"
              "kqAr(1) = \"\"&vbCrLf&\"<html><title>\"\r\n"
              "kqAr(2) = \"</title>\"&vbCrLf&\"\"\r\n"
              "kqAr(3) = \"\"&vbCrLf&\"\"\r\n"
              "kqAr(4) = \"\"&vbCrLf&\"\"\r\n"
              "kqAr(5) = \"\"&vbCrLf&\"\t\"\r\n"
              "kqAr(6) = \"<br>\"&vbCrLf&\"\"&vbCrLf&\"<i>\"\r\n"
              "kqAr(7) = \"</i>\"\r\n"
              "kqAr(8) = \"\"&vbCrLf&\"\"&vbCrLf&\"\"\r\n"
              "' *** Start Session header (key)\r\n"
              "' *** End Session header (key)\r\n"
              "' *** Start Session x\"y.js (include)\r\n"
              "' *** End Session x\"y.js (include)\r\n"
              "' *** Start Session body (key)\r\n"
              "kqOut = kqOut & kqAr(1) & LANG.Phrase(\"Title\") & kqAr(2) & "
              "Include_File(\"x\"\"y.js\",\"js\") & kqAr(3) & kqAr(4)\r\n"
              "\r\n"
              "Dim i\r\n"
              "\r\n"
              "kqOut = kqOut & kqAr(5)\r\n"
              "kqIndentWrk = \"\t\"\r\n"
              "' *** End Session body (key)\r\n"
              "kqOut = kqOut & TABLE.TblCaption & kqAr(6) & LANG.Phrase(sPhrase) & "
              "kqAr(7) & PROJ.ProjName & kqAr(8)\r\n"
              "kqScriptEngine = kqOut\r\n"
              "End Function\r\n");
    // The skipped session takes no progress step.
    EXPECT_EQ(mProject.progress.position, 3);
    EXPECT_EQ(CurrentTemplateState().sourceFolder, CurrentTemplateState().templateFolder);
}

TEST_F(TemplateConversionTest, MergesWholeTemplatesAndExtensionSessions) {
    WriteFile("template/a.htm", "A<!--##=x##-->");
    WriteFile("template/b.htm", "B\xE9");
    WriteFile("extensions/ext1/s.htm", "<!--##session s##-->S<!--##/session##-->");
    Ref<QelControl> control = MakeRef<QelControl>();
    control->SetCtrlIFiles(u" a.htm , B.HTM");
    EXPECT_EQ(Merge(*control), u"");
    EXPECT_EQ(ReadFile("temp/~tmp.temp"), "A<!--##=x##-->B\xE9");
    // Every byte passes through the single-byte code page unchanged.
    EXPECT_EQ(ReadFile("temp/page.tmp"),
              "Function kqScriptEngine()\r\nOn Error Resume Next\r\nDim kqAr(2)\r\n"
              "Dim kqOut\r\nkqAr(1) = \"A\"\r\nkqAr(2) = \"B\xE9\"\r\n"
              "kqOut = kqOut & kqAr(1) & x & kqAr(2)\r\n"
              "kqScriptEngine = kqOut\r\nEnd Function\r\n");

    // A session read from an extension's file; no ShowSession value means no markers.
    Ref<QelSession> session = AddSession(*control, u"key", u"s");
    session->SetSessIFile(u"s.htm");
    session->SetSessExt(u"ext1");
    EXPECT_EQ(Merge(*control), u"");
    EXPECT_EQ(ReadFile("temp/page.tmp"),
              Utf8(PageFunction(1, u"kqAr(1) = \"S\"\r\nkqOut = kqOut & kqAr(1)\r\n")));
    EXPECT_EQ(CurrentTemplateState().sourceFolder, TempPath("extensions/ext1"));
}

TEST_F(TemplateConversionTest, ReportsMissingFilesAndBlockErrors) {
    WriteFile("template/a.htm", "<!--##session s##-->ok<!--##=broken<!--##/session##-->");
    struct Case {
        std::u16string_view files;
        std::u16string_view sessionFile; // "" for a session of the template itself
        std::u16string_view error;
    };
    const Case cases[] = {
        {u"nothere.htm", u"", u"Error in merging nothere.htm. Generation aborted."},
        // Regression: a missing file of a list was left out without a word.
        {u"a.htm, gone.htm", u"", u"Error in merging gone.htm. Generation aborted."},
        {u"a.htm", u"gone.htm", u"Error in merging gone.htm. Generation aborted."},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.files));
        State().gProjErr.clear();
        const int errorsBefore = mProject.generationErrors;
        Ref<QelControl> control = MakeRef<QelControl>();
        control->SetCtrlIFiles(std::u16string(test.files));
        AddSession(*control, u"key", u"s")->SetSessIFile(std::u16string(test.sessionFile));
        EXPECT_EQ(Merge(*control), test.error);
        EXPECT_EQ(State().gProjErr, test.error);
        EXPECT_EQ(mProject.generationErrors, errorsBefore + 1);
    }

    // A block error leaves the failing text and the message in the prepared-script file.
    State().gProjErr.clear();
    Ref<QelControl> control = MakeRef<QelControl>();
    control->SetCtrlIFiles(u"a.htm");
    AddSession(*control, u"key", u"s");
    const std::u16string message = u"***Incomplete Block at line 1 column 3! Generation failed!";
    EXPECT_EQ(Merge(*control), TempPath("template/a.htm") + u": " + message);
    EXPECT_EQ(ReadFile("temp/page.tmp"), "ok<!--##=broken" + Utf8(message) + "\r\n");
}

TEST_F(TemplateConversionTest, CombinesInputFiles) {
    WriteFile("template/one.htm", "1");
    WriteFile("template/two.htm", "2");
    WriteFile("extensions/ext/one.htm", "E");
    struct Case {
        std::u16string_view files;
        std::u16string_view extension;
        std::string path; // below the temporary folder
    };
    const Case cases[] = {
        {u"one.htm", u"", "template/one.htm"},         {u" ONE.htm ", u"", "template/one.htm"},
        {u"nothere.htm", u"", "template/nothere.htm"}, {u"one.htm", u"ext", "extensions/ext/one.htm"},
        {u"one.htm,two.htm,", u"", "temp/~tmp.temp"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.files));
        EXPECT_EQ(mConversion.CombineInputFiles(test.files, test.extension), TempPath(test.path));
    }
    EXPECT_EQ(ReadFile("temp/~tmp.temp"), "12");
}

TEST_F(TemplateConversionTest, EvaluatesTextOnTheExpressionEngine) {
    SetGeneralValue(u"ScriptEngineTimeout", Variant(1234));
    EXPECT_EQ(mConversion.EvalScriptCode(u"a<!--##=b##-->", 3), u"page");
    ASSERT_EQ(mProject.enginesCreated, 1);
    const test::FakeScriptHost& engine = *mProject.lastEngine;
    EXPECT_EQ(engine.initializeCount, 1);
    ASSERT_EQ(engine.initializedWith.size(), 4u);
    EXPECT_EQ(engine.initializedWith[3].ObjectValue().Get(), &GetLanguage());
    EXPECT_EQ(engine.lastCode, PageFunction(1, u"kqAr(1) = \"a\"\r\nkqOut = kqOut & kqAr(1) & b\r\n"));
    EXPECT_EQ(engine.lastInitType, 3);
    EXPECT_EQ(engine.lastTimeout, 1234);
    // Made for the call, so reset and released after it.
    EXPECT_EQ(engine.resetCount, 1);
    EXPECT_FALSE(CurrentTemplateState().evalScript);

    // A block error gives the input back, unconverted.
    EXPECT_EQ(mConversion.EvalScriptCode(u"<!--##=b", 0), u"<!--##=b");
    EXPECT_EQ(State().gProjErr, u"***Incomplete Block at line 1 column 1! Generation failed!");
    EXPECT_EQ(mProject.lastEngine->resetCount, 1);
    State().gProjErr.clear();

    // A run's engine is used as it is and kept.
    Ref<test::FakeScriptHost> running = MakeRef<test::FakeScriptHost>();
    running->pageText = u"from the run";
    CurrentTemplateState().evalScript = running;
    CurrentTemplateState().scriptEngineTimeout = 99;
    EXPECT_EQ(mConversion.EvalScriptCode(u"x", 0), u"from the run");
    EXPECT_EQ(running->lastTimeout, 99);
    EXPECT_EQ(running->resetCount, 0);
    EXPECT_EQ(CurrentTemplateState().evalScript.Get(), running.Get());
    EXPECT_EQ(mProject.enginesCreated, 2);
}

} // namespace
} // namespace qv
