// A small template package taken the whole way: control file, templates with every kind of block,
// sessions and includes, merged and converted by the real conversion into a prepared script, and
// that script run by the real script host against the project's objects. The page text is the
// proof that what the conversion writes compiles and runs in our engine.

#include "template/QelControls.h"
#include "template/QelLanguage.h"
#include "template/QoScript.h"
#include "template/TemplateConversion.h"
#include "template/TemplateState.h"
#include "template/TemplateText.h"

#include "template/QoScriptTestObjects.h"
#include "template/TemplateFixture.h"

#include "support/ScopedEnvironment.h"

#include "core/Apartment.h"

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace qv::test::endtoend {
namespace {

using automation::MakeRef;
using automation::Object;
using automation::Ref;
using automation::Variant;

constexpr std::int16_t SelectControl = 1;
constexpr std::int16_t SelectAll = 2;
constexpr std::int32_t PageTimeout = 5000;

constexpr char ControlFile[] = R"(<?xml version="1.0"?>
<Quorvane_Template date="2024/05/01" version="6.0" desc="End to end" author="Tests">
  <control id="list" type="table" ifiles="list.htm" ofile="list" oext="asp">
    <session type="key" value="header"/>
    <session type="include" value="menu.asp" parm="virtual"/>
    <session type="key" value="body" cond="table/TblType/eq/TABLE|VIEW"/>
    <session type="key" value="admin" cond="ctrl/CtrlID/eq/'edit'"/>
    <session type="key" value="footer" ifile="common.htm"/>
  </control>
  <control id="about" type="other" ifiles="about.htm, credits.htm" ofile="about" oext="asp"/>
</Quorvane_Template>
)";

// Windows-written templates: CRLF line ends, the generated page's own ASP code as text, a
// tab-indented "~" block, and a byte of the single-byte code page (0xE9) that must reach the page
// unchanged.
constexpr char ListTemplate[] =
    "<!--##session header##-->\r\n"
    "<%@ Language=\"VBScript\" %>\r\n"
    "<html><head><title><!--##@Title##--> - <!--##=TABLE.TblName##--></title></head>\r\n"
    "<!--##/session##-->\r\n"
    "<!--##session body##-->\r\n"
    "<body>\r\n"
    "<!--##\r\n"
    "Dim i, oField, sHeading\r\n"
    "sHeading = \"Fields\"\r\n"
    "##-->\r\n"
    "<h1><!--##$sHeading##--></h1>\r\n"
    "<ul>\r\n"
    "<!--##\r\n"
    "For i = 1 To TABLE.Fields.Count\r\n"
    "    Set oField = TABLE.Fields.Seq(i)\r\n"
    "##-->\r\n"
    "<li><!--##=oField.FldName##--> (<!--##=FIELD.FldName = oField.FldName##-->)</li>\r\n"
    "<!--##\r\n"
    "Next\r\n"
    "##-->\r\n"
    "</ul>\r\n"
    "<pre>\r\n"
    "\t<!--##~FieldList()##-->\r\n"
    "</pre>\r\n"
    "<!--##include common.htm/note##-->\r\n"
    "<!--##/session##-->\r\n"
    "<!--##session admin##-->ADMIN ONLY<!--##/session##-->\r\n";

// Stored as "Common.htm": the control file and the include name it "common.htm".
constexpr char CommonTemplate[] = "<!--##session footer##-->\r\n"
                                  "<p><!--##=PROJ.ProjName##--> Caf\xE9 \"<!--##=CTRL.CtrlID##-->\"</p>\r\n"
                                  "</body></html>\r\n"
                                  "<!--##/session##-->\r\n"
                                  "<!--##session note##-->\r\n"
                                  "<i><!--##@Note##--></i>\r\n"
                                  "<!--##/session##-->\r\n";

// The user's code: an override of a template expression (wrapped by the conversion), an override
// of a built-in function (called by the built-in hook through SCRPT) and a helper that indents
// through the variable the "~" block sets.
constexpr char16_t UserCode[] = u"Function USER_TABLE_TblName(s)\r\n"
                                u"    USER_TABLE_TblName = UCase(s)\r\n"
                                u"End Function\r\n"
                                u"Function USER_Include_File(s)\r\n"
                                u"    USER_Include_File = s & \"<!-- menu -->\"\r\n"
                                u"End Function\r\n"
                                u"Function FieldList()\r\n"
                                u"    Dim i, s\r\n"
                                u"    For i = 1 To TABLE.Fields.Count\r\n"
                                u"        If i > 1 Then s = s & vbCrLf & kqIndentWrk\r\n"
                                u"        s = s & TABLE.Fields.Seq(i).FldVar\r\n"
                                u"    Next\r\n"
                                u"    FieldList = s\r\n"
                                u"End Function\r\n";

/// The project with real engines: the expression engine is a QoScript given the test's objects.
class EndToEndProject final : public test::FakeProject {
public:
    ScriptEngineObjects EngineObjects() override { return objects; }
    Ref<ScriptHost> CreateScriptEngine() override {
        ++enginesCreated;
        return MakeRef<QoScript>();
    }

    ScriptEngineObjects objects;
};

class TemplatePageEndToEndTest : public qoscript::ScriptHostTest {
protected:
    void SetUp() override {
        ScriptHostTest::SetUp();
        UseWorkFolders(mTemp.Path());
        mEnvironment.Set("QUORVANE_ANSI_CODEPAGE", "1252");
        SetGeneral(u"USERCODE", WriteFile("user.vbs", UserCode));
        SetGeneral(u"ShowSession", u"True");

        WriteBytes("template/control.xml", ControlFile);
        WriteBytes("template/list.htm", ListTemplate);
        WriteBytes("template/Common.htm", CommonTemplate);
        WriteBytes("template/about.htm", "<h2><!--##=CTRL.CtrlID##--></h2>\r\n");
        WriteBytes("template/credits.htm",
                   "<!--##If PROJ.DBCnt > 0 Then##-->with <!--##=PROJ.DBCnt##--> database"
                   "<!--##Else##-->no database<!--##End If##-->");

        mControlList = MakeRef<QelControls>();
        ASSERT_TRUE(mControlList->LoadControls(TempPath("template/control.xml"))) << Utf8(State().gProjErr);
        mServices.controls = mControlList;
        mServices.table = MakeRef<QoProperties>();
        test::FakeProject::Set(*mServices.table, u"TblType", u"String", Variant(u"TABLE"));
        mServices.objects = {ObjectVariant(mProject), ObjectVariant(mDatabase), ObjectVariant(mControlList),
                             Variant::Nothing(), Variant::Nothing()};

        QelLanguage& language = GetLanguage();
        language.AddPhrase(u"Title", u"List of");
        language.AddPhrase(u"Fields", u"Fields");
        language.AddPhrase(u"Note", u"Generated");

        // The page engine exists before the controls are prepared: the conversion asks it
        // which expressions the user overrides.
        mPageScript = MakeRef<QoScript>();
        Variant proj = mServices.objects.project;
        Variant db = mServices.objects.database;
        Variant controls = mServices.objects.controls;
        Variant lang = ObjectVariant(Ref<Object>(&language));
        Variant masterdetails = Variant::Nothing();
        Variant customscripts = Variant::Nothing();
        mPageScript->Initialize(proj, db, controls, lang, masterdetails, customscripts);
        ASSERT_EQ(State().gProjErr, u"");
        CurrentTemplateState().pageScript = mPageScript;
    }

    void WriteBytes(const std::string& relative, const std::string& bytes) {
        const std::filesystem::path path = mTemp / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    template <class T> static Variant ObjectVariant(const Ref<T>& object) {
        return Variant(Ref<Object>(object));
    }

    /// Selects the control as the generation loop does and merges it into its prepared-script
    /// file: the text of that file.
    std::u16string Prepare(std::u16string_view controlID) {
        Ref<QelControl> control = mControlList->Item(Variant(controlID));
        EXPECT_TRUE(control) << Utf8(controlID);
        if (!control) {
            return {};
        }
        const std::u16string prepared = TempPath("temp/" + Utf8(controlID) + ".tmp");
        try {
            mConversion.MergeControlTemplate(*control, prepared);
        } catch (const automation::Error& error) {
            ADD_FAILURE() << Utf8(error.Description());
            return {};
        }
        EXPECT_EQ(State().gProjErr, u"");
        return ReadSingleByteFile(prepared);
    }

    std::u16string Run(const std::u16string& prepared, std::int16_t initType) {
        std::u16string page = mPageScript->BuildNewCode(prepared, initType, PageTimeout);
        EXPECT_EQ(State().gProjErr, u"") << "prepared script:\n" << Utf8(prepared);
        return page;
    }

    test::ScopedEnvironment mEnvironment;
    Ref<QelControls> mControlList;
    EndToEndProject mServices;
    TemplateConversion mConversion{mServices};
    Ref<QoScript> mPageScript;
};

// One prepared script serves every table: it is run once per table with that table current.
TEST_F(TemplatePageEndToEndTest, SessionsIncludesAndEveryBlockKindMakeThePage) {
    const std::u16string prepared = Prepare(u"list");
    ASSERT_FALSE(prepared.empty());
    // Session markers are comments of the script; the skipped session left none.
    EXPECT_NE(prepared.find(u"' *** Start Session menu.asp (include)\r\n"), std::u16string::npos);
    EXPECT_EQ(prepared.find(u"admin"), std::u16string::npos);
    EXPECT_EQ(mServices.progress.position, 4);

    struct Case {
        std::int16_t table;
        std::u16string page;
    };
    const Case cases[] = {
        {1, u"\r\n<%@ Language=\"VBScript\" %>\r\n<html><head><title>List of - ORDERS</title></head>\r\n"
            u"<!--#include virtual=\"menu.asp\"--><!-- menu -->\r\n"
            u"\r\n<body>\r\n"
            u"\r\n<h1>Fields</h1>\r\n<ul>\r\n"
            u"\r\n<li>OrderID (False)</li>\r\n"
            u"\r\n<li>Customer Name (True)</li>\r\n"
            u"\r\n</ul>\r\n<pre>\r\n\tx_OrderID\r\n\tx_Customer_Name\r\n</pre>\r\n"
            u"\r\n<i>Generated</i>\r\n\r\n"
            u"\r\n<p>Demo Caf\u00E9 \"list\"</p>\r\n</body></html>\r\n"},
        {2, u"\r\n<%@ Language=\"VBScript\" %>\r\n<html><head><title>List of - PRODUCTS</title></head>\r\n"
            u"<!--#include virtual=\"menu.asp\"--><!-- menu -->\r\n"
            u"\r\n<body>\r\n"
            u"\r\n<h1>Fields</h1>\r\n<ul>\r\n"
            u"\r\n<li>ProductID (True)</li>\r\n"
            u"\r\n</ul>\r\n<pre>\r\n\tx_ProductID\r\n</pre>\r\n"
            u"\r\n<i>Generated</i>\r\n\r\n"
            u"\r\n<p>Demo Caf\u00E9 \"list\"</p>\r\n</body></html>\r\n"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.table);
        mTables->SetCurrent(test.table);
        EXPECT_EQ(Run(prepared, SelectAll), test.page);
    }
}

// A control without sessions converts its whole template, combined from its list of files.
TEST_F(TemplatePageEndToEndTest, WholeTemplateOfSeveralFiles) {
    const std::u16string prepared = Prepare(u"about");
    EXPECT_EQ(Run(prepared, SelectControl), u"<h2>about</h2>\r\nwith 1 database");
    mProject->databaseCount = 0;
    EXPECT_EQ(Run(prepared, SelectControl), u"<h2>about</h2>\r\nno database");
}

// The expression engine made for one call converts and runs the text on a real engine.
TEST_F(TemplatePageEndToEndTest, ExpressionEngineRunsConvertedText) {
    EXPECT_EQ(mConversion.EvalScriptCode(
                  u"<!--##@Title##--> <!--##=TABLE.TblName##-->: <!--##=FieldList()##-->", SelectAll),
              u"List of ORDERS: x_OrderID\r\nx_Customer_Name");
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_EQ(mServices.enginesCreated, 1);
    EXPECT_FALSE(CurrentTemplateState().evalScript);
}

// A script block that does not compile stops the page with the engine's syntax text, naming the
// line of the prepared script where the engine noticed: here its last, since the "If" of the
// first file is never closed.
TEST_F(TemplatePageEndToEndTest, ScriptErrorInATemplateStopsThePage) {
    WriteBytes("template/about.htm", "<p>\r\n<!--##If x Then##-->");
    const std::u16string prepared = Prepare(u"about");
    EXPECT_EQ(mPageScript->BuildNewCode(prepared, SelectControl, PageTimeout), u"");
    EXPECT_EQ(State().gProjErr, u"Quorvane: VBScript Syntax Error\r\n" +
                                    mPageScript->Control().Error().description +
                                    u"\r\nIn line 17: \r\nEnd Function");
}

} // namespace
} // namespace qv::test::endtoend
