// Generated pages of the demo site run in our script engine with a small web server made of
// script classes: a request's form, query string, cookies and server variables go in, and the
// page's redirect, headers, cookies, session and output come out. What a visitor gets from a
// page is checked here, not the page's text: the login that guards every page, the form token,
// the values of the date and time inputs and what an edit writes back.

#include "DemoSite.h"

#include "asp/AspPages.h"

#include "platform/vbscript/ScriptControl.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Error.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <regex>
#include <sstream>

namespace qv::test::templates {
namespace {

using automation::FromUtf8;
using automation::ToUtf8;

constexpr std::int32_t PageEnded = 31990;

// The web server's objects. Redirect and End stop the page, as they do on the server.
constexpr std::string_view ServerStubs = R"vbs(
Class QvBag
    Public Items
    Private Sub Class_Initialize()
        Set Items = CreateObject("Scripting.Dictionary")
        Items.CompareMode = 1
    End Sub
    Public Default Property Get Item(sKey)
        If Items.Exists(sKey) Then
            Item = Items(sKey)
        Else
            Item = ""
        End If
    End Property
    Public Property Let Item(sKey, vValue)
        Items(sKey) = vValue
    End Property
    Public Sub RemoveAll()
        Items.RemoveAll
    End Sub
End Class
Class QvRequest
    Public Form, QueryString, ServerVariables, Cookies
    Private Sub Class_Initialize()
        Set Form = New QvBag
        Set QueryString = New QvBag
        Set ServerVariables = New QvBag
        Set Cookies = New QvBag
        ServerVariables.Items("REQUEST_METHOD") = "GET"
    End Sub
End Class
Class QvResponse
    Public Buffer, Charset, CodePage, ContentType, Status, Output, Redirected, Headers, Cookies
    Private Sub Class_Initialize()
        Set Headers = New QvBag
        Set Cookies = New QvBag
        Output = ""
        Redirected = ""
    End Sub
    Public Sub Write(sText)
        Output = Output & sText
    End Sub
    Public Sub BinaryWrite(vBytes)
    End Sub
    Public Sub Clear()
        Output = ""
    End Sub
    Public Sub AddHeader(sName, sValue)
        Headers.Items(sName) = sValue
    End Sub
    Public Sub Redirect(sUrl)
        Redirected = sUrl
        Output = ""
        Err.Raise 31990
    End Sub
    Public Sub [End]()
        Err.Raise 31990
    End Sub
End Class
Class QvTypeLib
    Public Property Get Guid()
        qvGuidCount = qvGuidCount + 1
        Guid = "{" & Right("0000000" & Hex(qvGuidCount * 7919), 8) & "-1A2B-4C3D-8E9F-" & Right("00000000000" & Hex(qvGuidCount), 12) & "}"
    End Property
End Class
Class QvServer
    Public ScriptTimeout
    Public Function HTMLEncode(sText)
        HTMLEncode = Replace(Replace(Replace(Replace(sText, "&", "&amp;"), "<", "&lt;"), ">", "&gt;"), """", "&quot;")
    End Function
    Public Function URLEncode(sText)
        URLEncode = Replace(Replace(Replace(Replace(sText, "%", "%25"), "&", "%26"), "?", "%3F"), "=", "%3D")
    End Function
    Public Function CreateObject(sProgID)
        If sProgID = "Scriptlet.TypeLib" And qvHasGuids Then
            Set CreateObject = New QvTypeLib
        ElseIf sProgID = "ADODB.Connection" Then
            Set CreateObject = New QvConnection
        ElseIf sProgID = "ADODB.Command" Then
            Set CreateObject = New QvCommand
        ElseIf sProgID = "ADODB.Recordset" Then
            Set CreateObject = New QvRecordset
        Else
            Err.Raise 429
        End If
    End Function
End Class
Class QvSession
    Public Contents, SessionID, Timeout, LCID, CodePage
    Private Sub Class_Initialize()
        Set Contents = New QvBag
        SessionID = 1001
    End Sub
    Public Default Property Get Item(sKey)
        Item = Contents(sKey)
    End Property
    Public Property Let Item(sKey, vValue)
        Contents.Items(sKey) = vValue
    End Property
End Class
Class QvParameter
    Public Name, Type, Direction, Size, Value, Precision, NumericScale
End Class
Class QvParameters
    Public List, Count
    Private Sub Class_Initialize()
        Count = 0
        List = Array()
    End Sub
    Public Sub Append(oParam)
        ReDim Preserve List(Count)
        Set List(Count) = oParam
        Count = Count + 1
    End Sub
    Public Default Function Item(nIndex)
        Set Item = List(nIndex)
    End Function
End Class
Class QvCommand
    Public ActiveConnection, CommandType, CommandText, Parameters
    Private Sub Class_Initialize()
        Set Parameters = New QvParameters
    End Sub
    Public Function CreateParameter(sName, nType, nDirection, nSize, vValue)
        Dim oParam
        Set oParam = New QvParameter
        oParam.Name = sName
        oParam.Type = nType
        oParam.Direction = nDirection
        oParam.Size = nSize
        oParam.Value = vValue
        oParam.Precision = 0
        oParam.NumericScale = 0
        Set CreateParameter = oParam
    End Function
    Public Sub Execute(a, b, c)
        qvLog Me
    End Sub
End Class
Class QvConnection
    Public State
    Public Sub Open(sText)
        State = 1
    End Sub
    Public Sub Close()
        State = 0
    End Sub
End Class
Class QvRecordset
    Public CursorLocation, PageSize, Position, State
    Public Property Let AbsolutePage(nPage)
        Position = (nPage - 1) * PageSize + 1
    End Property
    Public Sub Open(oCmd, a, b, c)
        qvLog oCmd
        Position = 1
        State = 1
    End Sub
    Public Property Get EOF()
        EOF = Position > UBound(qvRows)
    End Property
    Public Property Get RecordCount()
        RecordCount = UBound(qvRows)
    End Property
    Public Property Get Fields()
        Set Fields = Me
    End Property
    Public Property Get Count()
        Count = UBound(qvRows(0)) + 1
    End Property
    Public Sub MoveNext()
        Position = Position + 1
    End Sub
    Public Sub Close()
        State = 0
    End Sub
    Public Default Function Item(vKey)
        Dim nColumn
        If VarType(vKey) = vbString Then
            For nColumn = 0 To UBound(qvRows(0))
                If LCase(qvRows(0)(nColumn)) = LCase(vKey) Then Item = qvRows(Position)(nColumn)
            Next
        Else
            Item = qvRows(Position)(vKey)
        End If
    End Function
End Class
' Every command the page runs, its SQL and the values bound, one line each.
Sub qvLog(oCmd)
    Dim nParam, oParam
    qvSqlLog = qvSqlLog & oCmd.CommandText
    For nParam = 0 To oCmd.Parameters.Count - 1
        Set oParam = oCmd.Parameters(nParam)
        qvSqlLog = qvSqlLog & " | " & oParam.Type & ":" & oParam.Value
        If oParam.Precision > 0 Then qvSqlLog = qvSqlLog & ":" & oParam.Precision & "," & oParam.NumericScale
    Next
    qvSqlLog = qvSqlLog & vbLf
End Sub
Dim Request, Response, Server, Session, Application, qvGuidCount, qvHasGuids, qvRows, qvSqlLog
Set Request = New QvRequest
Set Response = New QvResponse
Set Server = New QvServer
Set Session = New QvSession
Set Application = New QvBag
qvGuidCount = 0
qvHasGuids = True
qvSqlLog = ""
' The rows every query gives: the column names, then the records.
qvRows = Array(Array())
)vbs";

class SitePages : public DemoSiteTest {
protected:
    /// Loads a page with the server objects; `setup` (script statements) fills the request and
    /// the session first. The page runs to its end, its redirect or its error.
    void RunPage(const std::string& name, const std::string& setup) {
        std::vector<std::string> missing;
        std::string program = AspProgram(ExpandAspIncludes(mSite / name, mSite, missing));
        ASSERT_TRUE(missing.empty()) << name;
        const std::string marker = "Err.Raise 31999\r\n";
        const std::size_t at = program.find(marker);
        ASSERT_NE(at, std::string::npos);
        program.replace(at, marker.size(), std::string(ServerStubs) + "\r\n" + setup + "\r\n");
        mEngine.Reset();
        try {
            mEngine.AddCode(u"Global", FromUtf8(program));
        } catch (const automation::Error&) {
            const vbscript::ScriptError& error = mEngine.Error();
            ASSERT_EQ(error.number, PageEnded) << name << ": line " << error.line << ": "
                                               << ToUtf8(error.description) << ": " << ToUtf8(error.text);
        }
    }

    std::string Eval(const std::string& expression) {
        return ToUtf8(automation::ToString(mEngine.Eval(u"Global", FromUtf8(expression))));
    }

    void Regenerate() {
        std::filesystem::remove_all(mSite);
        std::filesystem::create_directories(mSite);
        GenScript();
        mPages = ReadSite();
    }

    /// The statements the last page ran, one "SQL | type:value..." line each.
    std::vector<std::string> Statements() {
        std::vector<std::string> lines;
        std::istringstream log(Eval("qvSqlLog"));
        for (std::string line; std::getline(log, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    /// SQLite's verdict on a statement's SQL (the part before the bound values) against the demo
    /// database: "" when it prepares.
    std::string PrepareError(const std::string& line) {
        const std::string sql = line.substr(0, line.find(" | "));
        sqlite3* db = nullptr;
        std::string error;
        if (sqlite3_open_v2((mTemp / "demo" / "shop.db").string().c_str(), &db, SQLITE_OPEN_READONLY,
                            nullptr) != SQLITE_OK) {
            error = "cannot open the demo database";
        } else {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
                error = sqlite3_errmsg(db);
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return error.empty() ? error : sql + ": " + error;
    }

    void ExpectStatementsPrepare() {
        for (const std::string& line : Statements()) {
            EXPECT_EQ(PrepareError(line), "");
        }
    }

    vbscript::ScriptControl mEngine;
};

// A row of the customers as the database gives it.
constexpr std::string_view CustomerRows =
    "qvRows = Array(Array(\"customer_id\", \"name\", \"email\", \"city\", \"joined\", \"vip\", \"notes\"), "
    "Array(4, \"=HYPERLINK(1)\", \"-dora@example.com\", \"Cork\", DateSerial(2024, 3, 9) + TimeSerial(8, 30, "
    "0), "
    "True, \"line\" & vbLf & \"two\"))";

TEST_F(SitePages, ASecurityTypeThePackageDoesNotKnowStopsTheRun) {
    mProject->SetSecType(u"Kerberos");
    Regenerate();
    EXPECT_NE(ProjErr().find("\"Kerberos\" is not supported"), std::string::npos) << ProjErr();
    // A user table that the database does not have stops it too, naming the table.
    mProject->SetSecType(u"Dynamic");
    mProject->SetSecTbl(u"staff");
    mProject->SetSecLoginIDFld(u"login");
    mProject->SetSecPasswdFld(u"secret");
    Regenerate();
    EXPECT_NE(ProjErr().find("\"staff\""), std::string::npos) << ProjErr();
}

// A fixed login guards every page: a visitor without it is sent to the login page, whatever
// he asked for; the right login and password (with characters that would end a script block
// or a literal) let him in with a fresh ticket; a wrong one does not say which part was wrong.
TEST_F(SitePages, AFixedLoginGuardsEveryPage) {
    mProject->SetSecType(u"Static");
    mProject->SetSecLoginID(u"admin");
    mProject->SetSecPasswd(u"pa\"ss%>word");
    Regenerate();
    ASSERT_EQ(ProjErr(), "");
    for (const std::string& failure : AspCompileFailures(mSite)) {
        ADD_FAILURE() << failure;
    }
    const std::string post = "Request.ServerVariables.Items(\"REQUEST_METHOD\") = \"POST\"\r\n";
    for (const char* page : {"customerslist.asp", "customersedit.asp", "products_picturepicture.asp",
                             "customersexport.asp", "default.asp"}) {
        RunPage(page, post +
                          "Request.QueryString.Items(\"k_customer_id\") = \"1\"\r\n"
                          "Request.ServerVariables.Items(\"SCRIPT_NAME\") = \"/shop/" +
                          std::string(page) + "\"");
        EXPECT_TRUE(Eval("Response.Redirected").starts_with("login.asp?return=" + std::string(page))) << page;
        EXPECT_EQ(Eval("Response.Output"), "") << page;
    }

    // A session that claims a user but lacks the browser's ticket is no login.
    RunPage("default.asp", "Session(\"qv_user\") = \"admin\"\r\nSession(\"qv_auth\") = \"T1\"");
    EXPECT_NE(Eval("Response.Redirected"), "");
    RunPage("default.asp", "Session(\"qv_user\") = \"admin\"\r\nSession(\"qv_auth\") = \"T1\"\r\n"
                           "Request.Cookies.Items(\"qv_auth\") = \"T1\"");
    EXPECT_EQ(Eval("Response.Redirected"), "");

    const std::string login = post +
                              "Session(\"qv_token\") = \"TOKEN\"\r\n"
                              "Request.Form.Items(\"qv_token\") = \"TOKEN\"\r\n"
                              "Request.QueryString.Items(\"return\") = \"ordersview.asp?k_order_id=2\"\r\n";
    RunPage("login.asp", login + "Request.Form.Items(\"qv_login\") = \"admin\"\r\n"
                                 "Request.Form.Items(\"qv_password\") = \"pa\"\"ss%>word\"");
    EXPECT_EQ(Eval("Response.Redirected"), "ordersview.asp?k_order_id=2");
    EXPECT_EQ(Eval("Session(\"qv_user\")"), "admin");
    EXPECT_EQ(Eval("Response.Cookies(\"qv_auth\")"), Eval("Session(\"qv_auth\")"));
    EXPECT_GE(Eval("Session(\"qv_auth\")").size(), 60u);
    EXPECT_NE(Eval("Session(\"qv_token\")"), "TOKEN");

    std::string failures[2];
    int index = 0;
    for (const char* tried : {"Request.Form.Items(\"qv_login\") = \"admin\"\r\n"
                              "Request.Form.Items(\"qv_password\") = \"wrong\"",
                              "Request.Form.Items(\"qv_login\") = \"root\"\r\n"
                              "Request.Form.Items(\"qv_password\") = \"pa\"\"ss%>word\""}) {
        RunPage("login.asp", login + tried);
        EXPECT_EQ(Eval("Response.Redirected"), "");
        EXPECT_EQ(Eval("Session(\"qv_user\")"), "");
        const std::string output = Eval("Response.Output");
        const std::size_t error = output.find("<p class=\"qv-error\">");
        ASSERT_NE(error, std::string::npos);
        failures[index++] = output.substr(error, output.find("</p>", error) - error);
    }
    EXPECT_EQ(failures[0], failures[1]);

    // Only a page of this site is a place to return to.
    RunPage("login.asp", login + "Request.QueryString.Items(\"return\") = \"http://evil.example/x.asp\"\r\n"
                                 "Request.Form.Items(\"qv_login\") = \"admin\"\r\n"
                                 "Request.Form.Items(\"qv_password\") = \"pa\"\"ss%>word\"");
    EXPECT_EQ(Eval("Response.Redirected"), "default.asp");
}

// The project's locale is the session's, so that numbers and dates read the same on every server.
TEST_F(SitePages, TheProjectLocaleIsTheSessions) {
    mProject->SetLCID(1031);
    Regenerate();
    ASSERT_EQ(ProjErr(), "");
    RunPage("default.asp", "Session.LCID = 1041");
    EXPECT_EQ(Eval("Session.LCID"), "1031");
}

// Every page sends the headers that keep it out of other sites' frames; the form token is long
// and random, and a server without a strong source of randomness refuses every form.
TEST_F(SitePages, HeadersAndFormTokens) {
    RunPage("default.asp", "");
    EXPECT_EQ(Eval("Response.Headers(\"X-Frame-Options\")"), "SAMEORIGIN");
    EXPECT_EQ(Eval("Response.Headers(\"X-Content-Type-Options\")"), "nosniff");
    const std::string token = Eval("qvToken()");
    EXPECT_TRUE(std::regex_match(token, std::regex("[0-9A-F]{64}"))) << token;
    EXPECT_EQ(Eval("qvToken()"), token);
    mEngine.ExecuteStatement(u"Global", u"Request.Form.Items(\"qv_token\") = \"" + FromUtf8(token) + u"\"");
    EXPECT_TRUE(automation::ToBoolean(mEngine.Eval(u"Global", u"qvTokenOk()")));

    RunPage("default.asp", "qvHasGuids = False");
    EXPECT_EQ(Eval("qvToken()"), "");
    EXPECT_FALSE(automation::ToBoolean(mEngine.Eval(u"Global", u"qvTokenOk()")));
}

// Date-time and time values reach their inputs whole and come back as the same values; a time
// shows without the day that stands for no date; an untouched input is no change.
TEST_F(SitePages, DateAndTimeValuesSurviveTheirInputs) {
    RunPage("default.asp", "Dim vValue");
    const std::string stamp = "DateSerial(2024, 3, 9) + TimeSerial(14, 5, 30)";
    EXPECT_EQ(Eval("qvInputText(" + stamp + ", \"datetime\")"), "2024-03-09T14:05:30");
    EXPECT_EQ(Eval("qvInputText(TimeSerial(7, 0, 5), \"time\")"), "07:00:05");
    EXPECT_EQ(Eval("qvInputText(DateSerial(2024, 3, 9), \"date\")"), "2024-03-09");
    for (const char* text : {"2024-03-09T14:05:30", "2024-03-09 14:05:30"}) {
        EXPECT_TRUE(automation::ToBoolean(
            mEngine.Eval(u"Global", FromUtf8("qvParseValue(\"" + std::string(text) +
                                             "\", \"datetime\", vValue) And vValue = " + stamp))))
            << text;
    }
    EXPECT_TRUE(automation::ToBoolean(mEngine.Eval(
        u"Global", u"qvParseValue(\"07:00:05\", \"time\", vValue) And vValue = TimeSerial(7, 0, 5)")));
    EXPECT_FALSE(
        automation::ToBoolean(mEngine.Eval(u"Global", u"qvParseValue(\"yesterday\", \"datetime\", vValue)")));
    EXPECT_EQ(Eval("qvFormatValue(TimeSerial(7, 0, 5), \"time\")").find("1899"), std::string::npos);
    EXPECT_NE(Eval("qvFormatValue(" + stamp + ", \"datetime\")").find(":05:30"), std::string::npos);

    mEngine.ExecuteStatement(u"Global", u"Request.Form.Items(\"x_a\") = \"2024-03-09T14:05:30\"");
    EXPECT_TRUE(automation::ToBoolean(
        mEngine.Eval(u"Global", FromUtf8("qvUnchanged(\"x_a\", " + stamp + ", \"datetime\")"))));
    mEngine.ExecuteStatement(u"Global", u"Request.Form.Items(\"x_a\") = \"2024-03-09T14:05:31\"");
    EXPECT_FALSE(automation::ToBoolean(
        mEngine.Eval(u"Global", FromUtf8("qvUnchanged(\"x_a\", " + stamp + ", \"datetime\")"))));
    // A text area sends its line breaks as CR LF.
    mEngine.ExecuteStatement(u"Global", u"Request.Form.Items(\"x_b\") = \"one\" & vbCrLf & \"two\"");
    EXPECT_TRUE(automation::ToBoolean(
        mEngine.Eval(u"Global", u"qvUnchanged(\"x_b\", \"one\" & vbLf & \"two\", \"memo\")")));
}

} // namespace
} // namespace qv::test::templates

namespace qv::test::templates {
namespace {

// Search values: the user's own wildcards are literal, and a value that is no date is named
// and finds nothing, instead of every record.
TEST_F(SitePages, SearchValuesAreLiteralOrSaidToBeWrong) {
    RunPage("customerslist.asp", "Request.QueryString.Items(\"z_name\") = \"50%_[x!\"");
    std::vector<std::string> statements = Statements();
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_NE(statements[0].find(R"(WHERE "customers"."name" LIKE ? ESCAPE '!')"), std::string::npos)
        << statements[0];
    EXPECT_NE(statements[0].find(":%50!%!_![x!!%"), std::string::npos) << statements[0];
    ExpectStatementsPrepare();

    RunPage("customerslist.asp", "Request.QueryString.Items(\"z_joined\") = \"31/31/2024\"");
    statements = Statements();
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_NE(statements[0].find("1 = 0"), std::string::npos) << statements[0];
    EXPECT_NE(Eval("Response.Output").find("Please enter a date for joined"), std::string::npos);
    ExpectStatementsPrepare();
}

// The export is the list's records, filtered and ordered as the list last showed them, as UTF-8
// CSV with a byte-order mark and nothing before the heading; a text a spreadsheet would run as a
// formula is neutralised, dates keep their time.
TEST_F(SitePages, ExportFollowsTheListAndNeutralisesFormulas) {
    RunPage("customerslist.asp", std::string(CustomerRows) +
                                     "\r\nRequest.QueryString.Items(\"z_city\") = \"Co\"\r\n"
                                     "Request.QueryString.Items(\"order\") = \"name\"\r\n"
                                     "Request.QueryString.Items(\"dir\") = \"desc\"");
    // What the list keeps in the session for the export: its filter, then each value's type,
    // size and value; the next page of the session gets it as it was.
    std::string kept = "Session(\"qv_export_customers\") = Array(";
    const int count = std::stoi(Eval("UBound(Session(\"qv_export_customers\")) + 1"));
    ASSERT_EQ(count, 4);
    for (int index = 0; index < count; ++index) {
        const std::string item = "Session(\"qv_export_customers\")(" + std::to_string(index) + ")";
        const bool text = Eval("VarType(" + item + ")") == "8";
        std::string value = Eval(item);
        if (text) {
            value = "\"" + std::regex_replace(value, std::regex("\""), "\"\"") + "\"";
        }
        kept += (index > 0 ? ", " : "") + value;
    }
    kept += ")";

    RunPage("customersexport.asp", std::string(CustomerRows) + "\r\n" + kept);
    const std::vector<std::string> statements = Statements();
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_NE(
        statements[0].find(
            R"(WHERE "customers"."city" LIKE ? ESCAPE '!' ORDER BY "customers"."name" DESC | 200:%Co%)"),
        std::string::npos)
        << statements[0];
    ExpectStatementsPrepare();
    EXPECT_EQ(Eval("Response.ContentType"), "text/csv");
    const std::string csv = Eval("Response.Output");
    ASSERT_TRUE(csv.starts_with("\xEF\xBB\xBF\"customer id\",\"name\","))
        << testing::PrintToString(csv.substr(0, 40));
    EXPECT_NE(csv.find("\r\n4,\"'=HYPERLINK(1)\",\"'-dora@example.com\",\"Cork\",2024-03-09 08:30:00,1,"),
              std::string::npos)
        << csv;
}

// An add leaves out what the user left blank, so that the database's defaults apply; with
// nothing to give, the record is all defaults.
TEST_F(SitePages, AddLeavesBlankFieldsToTheirDefaults) {
    const std::string post = "Request.ServerVariables.Items(\"REQUEST_METHOD\") = \"POST\"\r\n"
                             "Session(\"qv_token\") = \"T\"\r\nRequest.Form.Items(\"qv_token\") = \"T\"\r\n";
    RunPage("customersadd.asp", post + "Request.Form.Items(\"x_name\") = \"Eve\"\r\n"
                                       "Request.Form.Items(\"x_joined\") = \"2024-05-06\"");
    EXPECT_EQ(Eval("Response.Redirected"), "customerslist.asp");
    std::vector<std::string> statements = Statements();
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_TRUE(
        statements[0].starts_with(R"(INSERT INTO "customers" ("name", "joined", "vip") VALUES (?, ?, ?) | )"))
        << statements[0];
    ExpectStatementsPrepare();

    // An exact number carries its digits and decimals, which the database would otherwise cut.
    RunPage("productsadd.asp", post + "Request.Form.Items(\"x_name\") = \"Kettle\"\r\n"
                                      "Request.Form.Items(\"x_price\") = \"12.25\"");
    statements = Statements();
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_NE(statements[0].find(" | 131:12.25:4,2"), std::string::npos) << statements[0];
    ExpectStatementsPrepare();

    // A form without the token changes nothing.
    RunPage("customersadd.asp", "Request.ServerVariables.Items(\"REQUEST_METHOD\") = \"POST\"\r\n"
                                "Request.Form.Items(\"x_name\") = \"Eve\"");
    EXPECT_TRUE(Statements().empty());
    EXPECT_NE(Eval("Response.Output").find("The form has expired"), std::string::npos);

    // Nothing but the counter to fill.
    QelFields& fields = *mProject->db()->tables()->Find(u"customers")->Fields();
    for (QelField& field : fields) {
        field.SetFldAdd(false);
    }
    Regenerate();
    ASSERT_EQ(ProjErr(), "");
    RunPage("customersadd.asp", post);
    statements = Statements();
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_EQ(statements[0], R"(INSERT INTO "customers" DEFAULT VALUES)");
    ExpectStatementsPrepare();
}

// An edit shows the stored values and writes back only what the user changed: the time of day
// of an untouched date and the line breaks of an untouched note stay as they are.
TEST_F(SitePages, EditWritesOnlyWhatTheUserChanged) {
    RunPage("customersedit.asp",
            std::string(CustomerRows) + "\r\nRequest.QueryString.Items(\"k_customer_id\") = \"4\"");
    const std::string form = Eval("Response.Output");
    EXPECT_NE(form.find(R"(name="x_joined" value="2024-03-09")"), std::string::npos) << form;
    EXPECT_NE(form.find(R"(name="x_email" value="-dora@example.com")"), std::string::npos);
    ExpectStatementsPrepare();

    RunPage("customersedit.asp",
            std::string(CustomerRows) +
                "\r\nRequest.QueryString.Items(\"k_customer_id\") = \"4\"\r\n"
                "Request.ServerVariables.Items(\"REQUEST_METHOD\") = \"POST\"\r\n"
                "Session(\"qv_token\") = \"T\"\r\nRequest.Form.Items(\"qv_token\") = \"T\"\r\n"
                "Request.Form.Items(\"x_name\") = \"=HYPERLINK(1)\"\r\n"
                "Request.Form.Items(\"x_email\") = \"dora@example.org\"\r\n"
                "Request.Form.Items(\"x_city\") = \"Cork\"\r\n"
                "Request.Form.Items(\"x_joined\") = \"2024-03-09\"\r\n"
                "Request.Form.Items(\"x_vip\") = \"1\"\r\n"
                "Request.Form.Items(\"x_notes\") = \"line\" & vbCrLf & \"two\"");
    EXPECT_EQ(Eval("Response.Redirected"), "customerslist.asp");
    const std::vector<std::string> statements = Statements();
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_EQ(
        statements[1],
        R"(UPDATE "customers" SET "email" = ? WHERE "customers"."customer_id" = ? | 200:dora@example.org | 3:4)");
    ExpectStatementsPrepare();
}

} // namespace
} // namespace qv::test::templates
