#include "template/QoScript.h"

#include "template/QoScriptTestObjects.h"
#include "template/internal/QoUserScript.h"

#include "platform/host/ScriptedHost.h"
#include "platform/vbscript/ScriptControl.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qv::test::qoscript {
namespace {

using automation::Variant;

class QoScriptTest : public ScriptHostTest {
public:
    /// The line of the engine's last error, as the texts show it.
    static std::u16string Line(const QoScript& script) {
        return automation::FromUtf8(std::to_string(script.Control().Error().line));
    }
    static std::u16string Text(const Variant& value) { return automation::ToString(value); }
};

// The page function as the conversion writes it: text pieces in an array, expressions that reach
// the current objects, the language, a "~" block's indentation and an include session.
TEST_F(QoScriptTest, PageFunctionRendersTheCurrentObjects) {
    QoScript script;
    Initialize(script);
    ASSERT_EQ(State().gProjErr, u"");
    ASSERT_TRUE(script.IsInitialized());

    // One line of the page is written in two pieces.
    // NOLINTBEGIN(bugprone-suspicious-missing-comma)
    const std::u16string page = Lines({
        u"Function kqScriptEngine()",
        u"On Error Resume Next",
        u"Dim kqAr(3)",
        u"Dim kqOut",
        u"kqAr(1) = \"<h1>\"",
        u"kqAr(2) = \"</h1>\"&vbCrLf&\"<p>\"",
        u"kqAr(3) = \"</p>\"&vbCrLf",
        u"kqOut = kqOut & kqAr(1) & TABLE.TblName & \" / \" & FIELD.FldName & LANG.Phrase(\"title\") & "
        u"kqAr(2)",
        u"kqIndentWrk = \"\t\"",
        u"kqOut = kqOut & CTRL.CtrlID & kqIndentWrk & kqAr(3)",
        u"kqOut = kqOut & Include_File(\"header.asp\",\"\") & Include_File(\"/inc/menu.asp\",\" Virtual \")",
        u"kqScriptEngine = kqOut",
        u"End Function",
    });
    // NOLINTEND(bugprone-suspicious-missing-comma)
    EXPECT_EQ(script.BuildNewCode(page, 2, 5000),
              u"<h1>Orders / Customer Name[title]</h1>\r\n<p>list\t</p>\r\n"
              u"<!--#include file=\"header.asp\"--><!--#include virtual=\"/inc/menu.asp\"-->");
    EXPECT_EQ(State().gProjErr, u"");

    // Each page adds its own definition of the function; the newest one runs, and type 1
    // selects only the control.
    mControls->SetCurrent(2);
    mTables->SetCurrent(2);
    const std::u16string next = Lines({
        u"Function kqScriptEngine()",
        u"kqScriptEngine = CTRL.CtrlID & \":\" & TABLE.TblName",
        u"End Function",
    });
    EXPECT_EQ(script.BuildNewCode(next, 1, 5000), u"edit:Orders");
    EXPECT_EQ(script.BuildNewCode(next, 3, 5000), u"edit:Products");
}

TEST_F(QoScriptTest, InitializeTwiceStartsFromAResetEngine) {
    QoScript script;
    Initialize(script);
    Initialize(script);
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_EQ(script.BuildNewCode(
                  Lines({u"Function kqScriptEngine()", u"kqScriptEngine = TABLE.TblName", u"End Function"}),
                  2, 5000),
              u"Orders");
    script.Reset();
    EXPECT_FALSE(script.IsInitialized());
}

TEST_F(QoScriptTest, PageFunctionErrorsLeaveTheirTexts) {
    struct Case {
        const char* name;
        std::u16string statement; // the function's third line
        bool syntax;
        std::u16string description; // "" where the engine's wording is not pinned here
    };
    const Case cases[] = {
        {"syntax", u"x = (1", true, u""},
        {"runtime", u"x = 1 / 0", false, u"Division by zero"},
        {"unknown member", u"x = CTRL.NoSuchMember", false, u""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        State().gProjErr.clear();
        QoScript script;
        Initialize(script);
        const std::u16string page = Lines(
            {u"Function kqScriptEngine()", u"Dim x", row.statement, u"kqScriptEngine = x", u"End Function"});

        EXPECT_EQ(script.BuildNewCode(page, 2, 5000), u"");

        const vbscript::ScriptError& error = script.Control().Error();
        EXPECT_EQ(error.line, 3);
        EXPECT_NE(error.text.find(row.statement), std::u16string::npos);
        EXPECT_FALSE(error.description.empty());
        if (!row.description.empty()) {
            EXPECT_EQ(error.description, row.description);
        }
        if (row.syntax) {
            EXPECT_EQ(State().gProjErr, u"Quorvane: VBScript Syntax Error\r\n" + error.description +
                                            u"\r\nIn line 3: \r\n" + error.text);
        } else {
            EXPECT_EQ(State().gProjErr, u"VBScript Runtime error, line: 3\r\n" + error.description + u"\r\n" +
                                            error.text + u"\r\n");
        }
    }
}

TEST_F(QoScriptTest, TimeOutStopsAPageThatLoops) {
    QoScript script;
    Initialize(script);
    const std::u16string page =
        Lines({u"Function kqScriptEngine()", u"On Error Resume Next", u"Do", u"Loop", u"End Function"});

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(script.BuildNewCode(page, 2, 200), u"");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

    const std::u16string& text = State().gProjErr;
    EXPECT_EQ(text.rfind(u"VBScript Runtime error, line: ", 0), 0u);
    EXPECT_NE(text.find(script.Control().Error().description), std::u16string::npos);
    EXPECT_FALSE(script.Control().Error().description.empty());

    // A page whose compile outlasts the time-out was reported as a syntax error of the page.
    State().gProjErr.clear();
    std::u16string statements;
    for (int statement = 0; statement < 300000; ++statement) {
        statements += u"x = x + 1\r\n";
    }
    EXPECT_EQ(script.BuildNewCode(Lines({u"Function kqScriptEngine()", statements, u"End Function"}), 2, 1),
              u"");
    EXPECT_EQ(State().gProjErr.rfind(u"VBScript Runtime error, line: ", 0), 0u)
        << automation::ToUtf8(State().gProjErr);
    EXPECT_NE(State().gProjErr.find(u"Script execution timed out"), std::u16string::npos);
}

// A custom condition term runs a system function with the current table and field selected.
class QoScriptBuildCodeTest : public QoScriptTest {
protected:
    void SetUp() override {
        QoScriptTest::SetUp();
        mCommon = BuildCommonCode() + Lines({
                                          u"Function TableCaption()",
                                          u"TableCaption = \"T:\" & TABLE.TblName & \" / \" & FIELD.FldName",
                                          u"End Function",
                                          u"Function Constant()",
                                          u"Constant = \"c\"",
                                          u"End Function",
                                          u"Function Broken()",
                                          u"Broken = 1 / 0",
                                          u"End Function",
                                      });
        SetGeneral(u"COMMONCODE", WriteFile("common.vbs", mCommon));
    }
    std::u16string mCommon;
};

TEST_F(QoScriptBuildCodeTest, RunsListedFunctionsAfterSelectingTableAndField) {
    QoScript script;
    Initialize(script);
    ASSERT_EQ(State().gProjErr, u"");

    // Regression: LoadCurrent was run without its argument, so every term failed.
    EXPECT_EQ(Text(script.BuildCode(u"tablecaption", Variant(u"x"))), u"T:Orders / Customer Name");
    // Regression: the lookup started at the empty element 0 and matched "".
    EXPECT_EQ(Text(script.BuildCode(u"", Variant(u"x"))), u"x");
    EXPECT_EQ(Text(script.BuildCode(u"NotListed", Variant(u"x"))), u"x");
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_TRUE(mHost.Calls().empty());
}

TEST_F(QoScriptBuildCodeTest, RunsEvenWhenNoTableIsSelected) {
    mTables->SetCurrent(0);
    QoScript script;
    Initialize(script);
    EXPECT_EQ(Text(script.BuildCode(u"Constant", Variant(u"x"))), u"c");
    EXPECT_EQ(State().gProjErr, u"");
}

TEST_F(QoScriptBuildCodeTest, FailureShowsTwoBoxesAndNamesTableAndField) {
    QoScript script;
    Initialize(script);

    EXPECT_EQ(Text(script.BuildCode(u"Broken", Variant(u"x"))), u"x");

    const vbscript::ScriptError& error = script.Control().Error();
    const std::u16string line = Line(script);
    EXPECT_EQ(error.line, 25); // the common code's line "Broken = 1 / 0"
    EXPECT_EQ(State().gProjErr,
              u"Quorvane: VBScript Runtime error in module \"Broken\" (line 25)\r\nDivision by zero\r\n" +
                  error.text + u"\r\nPlease check setting for Table \"Orders\" Field \"Customer Name\"");
    const std::vector<host::HostCall> boxes = mHost.Calls(host::HostCallKind::Message);
    ASSERT_EQ(boxes.size(), 2u);
    for (const host::HostCall& box : boxes) {
        EXPECT_EQ(box.title, u"RUNTIME ERROR");
        EXPECT_EQ(box.icon, host::MessageIcon::Critical);
    }
    EXPECT_EQ(boxes[0].text, u"Division by zeroIn line " + line + u": \r" + error.text);
    EXPECT_EQ(boxes[1].text, u"Division by zero\r" + error.text);

    // Once an error is pending, terms run nothing.
    EXPECT_EQ(Text(script.BuildCode(u"Constant", Variant(u"y"))), u"y");
}

TEST_F(QoScriptTest, ValidationPassesASoundProject) {
    QoScript script;
    Initialize(script);
    EXPECT_TRUE(script.Validate());
    EXPECT_EQ(State().gProjErr, u"");
}

TEST_F(QoScriptTest, ValidationRefusesProjectsThatCannotBeGenerated) {
    struct Case {
        const char* name;
        void (*spoil)(QoScriptTest& test);
        std::u16string error;
    };
    const Case cases[] = {
        {"no database", [](QoScriptTest& test) { test.mProject->databaseCount = 0; },
         u"Quorvane: Database not loaded!"},
        {"same page names",
         [](QoScriptTest& test) {
             test.AddTable(u"Order Details", {u"ID"});
             test.AddTable(u"Order_Details", {u"ID"});
         },
         u"Quorvane: Tables \"Order Details\" and \"Order_Details\" give the same page names "
         u"(Order_Details)! A table's page names follow its name: leave one of them out of the run "
         u"with TblGen=False."},
        {"same page names, one not generated",
         [](QoScriptTest& test) {
             test.AddTable(u"Order Details", {u"ID"});
             test.AddTable(u"Order_Details", {u"ID"})[FakeEntity::TblGen] = false;
         },
         u""},
        {"same field variables",
         [](QoScriptTest& test) {
             test.AddTable(u"Items", {u"ID", u"Unit Price", u"unit_price"});
         },
         u"Quorvane: Fields \"Unit Price\" and \"unit_price\" of table \"Items\" give the same variable "
         u"(x_unit_price)!"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        State().gProjErr.clear();
        BuildObjects();
        row.spoil(*this);
        QoScript script;
        Initialize(script);
        EXPECT_EQ(script.Validate(), row.error.empty());
        EXPECT_EQ(State().gProjErr, row.error);
    }
}

TEST_F(QoScriptTest, ValidationErrorTexts) {
    struct Case {
        const char* name;
        std::u16string code;
        bool result;
        std::u16string error; // "<text>" stands for the engine error's text
    };
    const Case cases[] = {
        {"empty list", u"", true, u""},
        {"all true",
         Lines({u"Function A()", u"A = True", u"End Function", u"Function B()", u"B = 1", u"End Function"}),
         true, u""},
        {"false without a message",
         Lines(
             {u"Function A()", u"A = True", u"End Function", u"Function B()", u"B = False", u"End Function"}),
         false, u"Quorvane: Validation VBScript Runtime error in module \"B\" (line 0)\r\n\r\n"},
        {"false with its own message",
         Lines({u"Function A()", u"PROJ.ProjErr = \"Quorvane: No pages!\"", u"End Function"}), false,
         u"Quorvane: No pages!"},
        {"raises", Lines({u"Function A()", u"A = 1 / 0", u"End Function"}), false,
         u"Quorvane: Validation VBScript Runtime error \r\nDivision by zero\r\n<text>\r\n"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        State().gProjErr.clear();
        WriteFile("validate/checks.vbs", row.code);
        SetGeneral(u"VALIDATECODE",
                   WriteFile("validate/list.xml", u"<validate><file value=\"checks.vbs\"/></validate>"));
        QoScript script;
        Initialize(script);
        ASSERT_EQ(State().gProjErr, u"");
        EXPECT_EQ(script.Validate(), row.result);
        std::u16string expected = row.error;
        if (const std::size_t at = expected.find(u"<text>"); at != std::u16string::npos) {
            expected.replace(at, 6, script.Control().Error().text);
        }
        EXPECT_EQ(State().gProjErr, expected);
    }
}

TEST_F(QoScriptTest, AddUserCodeExtendsBothModules) {
    QoScript script;
    Initialize(script);
    script.AddUserCode(WriteFile(
        "ext/usercode.vbs", Lines({u"Function USER_Title(s)", u"USER_Title = UCase(s)", u"End Function"})));
    ASSERT_EQ(State().gProjErr, u"");
    EXPECT_TRUE(script.UserModuleExist(u"user_title"));
    EXPECT_TRUE(script.UserScript().UserModuleExist(u"USER_TITLE"));
    EXPECT_EQ(script.BuildNewCode(Lines({u"Function kqScriptEngine()",
                                         u"If SCRPT.UserModuleExist(\"USER_Title\") Then kqScriptEngine = "
                                         u"USER_Title(TABLE.TblName)",
                                         u"End Function"}),
                                  2, 5000),
              u"ORDERS");

    const std::u16string broken = WriteFile("ext2/usercode.vbs", Lines({u"Function Oops(", u"End Function"}));
    script.AddUserCode(broken);
    const vbscript::ScriptError& error = script.Control().Error();
    EXPECT_EQ(State().gProjErr, u"Quorvane(" + broken + u") : VBScript Syntax Error\r\n" + error.description +
                                    u"\r\nIn line " + Line(script) + u": \r\n" + error.text);
}

} // namespace
} // namespace qv::test::qoscript
