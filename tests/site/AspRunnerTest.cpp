#include "asp/AspRunner.h"

#include "support/TempDir.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <fstream>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

class AspRunnerTest : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::string& text) {
        fs::create_directories((mTemp / name).parent_path());
        std::ofstream(mTemp / name, std::ios::binary) << text;
    }

    TempDir mTemp;
};

// Includes of both kinds are put in place (an include's byte-order mark dropped), text and
// <%= %> blocks are written in order, and the request's collections read what the browser sent.
TEST_F(AspRunnerTest, RunsAPageWithItsIncludesAndRequest) {
    Write("inc/lib.asp", "\xEF\xBB\xBF<% Function Twice(s)\r\nTwice = s & s\r\nEnd Function %>");
    Write("inc/head.asp", "<!--#include virtual=\"/inc/lib.asp\"-->");
    Write("page.asp",
          "<%@ Language=\"VBScript\" CodePage=\"65001\" %>\r\n"
          "<!--#include file=\"inc/head.asp\"-->"
          "<p><%= Twice(Request.QueryString(\"a\")) %>|<%= Request.Form(\"b\") %>|"
          "<%= IsEmpty(Request.QueryString(\"none\")) %>|<%= Request.ServerVariables(\"REQUEST_METHOD\") %>|"
          "<%= Server.HTMLEncode(\"<a href='x'>&\"\"é\") %>|<%= Server.URLEncode(\"a b&ü\") %></p>");
    AspSite site(mTemp.Path());
    AspBrowser browser(site);
    AspResponse response = browser.Post("page.asp?a=%C3%BC+1", {{"b", "x&y=z"}});
    EXPECT_EQ(response.error, "");
    EXPECT_EQ(response.StatusCode(), 200);
    EXPECT_EQ(response.body,
              "<p>\xC3\xBC 1\xC3\xBC 1|x&y=z|True|POST|&lt;a href='x'&gt;&amp;&quot;&#233;|a+b%26%C3%BC</p>");

    Write("missing.asp", "<!--#include file=\"nowhere.asp\"-->");
    EXPECT_EQ(browser.Get("missing.asp").StatusCode(), 500);
    EXPECT_EQ(browser.Get("absent.asp").StatusCode(), 404);
}

// Redirect and End stop the page even under On Error Resume Next; a buffered page's earlier
// output is dropped by a redirect; a script error gives 500 with its line.
TEST_F(AspRunnerTest, RedirectEndAndErrorsStopThePage) {
    Write(
        "go.asp",
        "before<% On Error Resume Next\r\nResponse.Redirect \"list.asp?x=1\"\r\nResponse.Write \"after\" %>");
    Write("end.asp", "one<% On Error Resume Next\r\nResponse.End\r\nResponse.Write \"two\" %>");
    Write("bad.asp", "<%\r\nDim a\r\na = 1 / 0\r\n%>");
    Write("headers.asp", "<% Response.Status = \"404 Not Found\"\r\nResponse.ContentType = \"text/csv\"\r\n"
                         "Response.AddHeader \"X-Test\", \"yes\"\r\nResponse.Cookies(\"c\") = \"v\"\r\n"
                         "Response.Write \"x\"\r\nResponse.Clear\r\nResponse.Write \"y\" %>");
    AspSite site(mTemp.Path());
    AspBrowser browser(site);
    AspResponse go = browser.Get("go.asp");
    EXPECT_EQ(go.StatusCode(), 302);
    EXPECT_EQ(go.redirect, "list.asp?x=1");
    EXPECT_EQ(go.body, "");
    AspResponse end = browser.Get("end.asp");
    EXPECT_EQ(end.body, "one");
    AspResponse bad = browser.Get("bad.asp");
    EXPECT_EQ(bad.StatusCode(), 500);
    EXPECT_NE(bad.error.find("line 3"), std::string::npos) << bad.error;
    AspResponse headers = browser.Get("headers.asp");
    EXPECT_EQ(headers.StatusCode(), 404);
    EXPECT_EQ(headers.contentType, "text/csv");
    EXPECT_EQ(headers.Header("x-test"), "yes");
    EXPECT_EQ(headers.cookies.at("c"), "v");
    EXPECT_EQ(headers.body, "y");
}

// The session lives between requests of one browser and not another's; Abandon starts a new
// one; the session's locale decides how the page reads numbers; MapPath stays inside the site.
TEST_F(AspRunnerTest, SessionsApplicationAndServer) {
    Write(
        "count.asp",
        "<% Session(\"n\") = Session(\"n\") + 1\r\nApplication(\"all\") = Application(\"all\") + 1\r\n"
        "Response.Write Session(\"n\") & \"/\" & Application(\"all\") & \"/\" & (Session.SessionID > 0) %>");
    Write("quit.asp", "<% Session.Abandon %>");
    Write("forget.asp", "<% Session(\"keep\") = 1\r\nSession.Contents.Remove \"n\"\r\n"
                        "Response.Write Session.Contents.Count & IsEmpty(Session(\"n\")) %>");
    Write("form.asp",
          "<% Dim k\r\nFor Each k In Request.Form\r\nResponse.Write k & \"=\" & Request.Form(k) & \";\"\r\n"
          "Next\r\nResponse.Write Request.Form.Count & \"|\" & Request.QueryString & \"|\" & "
          "Request.Form.Key(2) %>");
    Write("locale.asp", "<% Session.LCID = 1031\r\nResponse.Write CDbl(\"1,5\") * 2 %>");
    Write("sub/map.asp",
          "<% Response.Write Server.MapPath(\"x.txt\") & \"|\" & Server.MapPath(\"/y.txt\")\r\n"
          "Response.Write Server.MapPath(\"../../etc/passwd\") %>");
    AspSite site(mTemp.Path());
    AspBrowser first(site);
    AspBrowser second(site);
    EXPECT_EQ(first.Get("count.asp").body, "1/1/True");
    EXPECT_EQ(first.Get("count.asp").body, "2/2/True");
    EXPECT_EQ(second.Get("count.asp").body, "1/3/True");
    EXPECT_EQ(first.Get("forget.asp").body, "1True");
    first.Get("quit.asp");
    EXPECT_EQ(first.Get("count.asp").body, "1/4/True");
    // A name posted twice is one item holding both values.
    EXPECT_EQ(first.Post("form.asp?x=1&y", {{"a", "1"}, {"b", "2"}, {"a", "3"}}).body,
              "a=1, 3;b=2;2|x=1&y|b");
    EXPECT_EQ(first.Get("locale.asp").body, "3");
    EXPECT_EQ(first.SessionLcid(), 1031);
    AspResponse map = first.Get("sub/map.asp");
    EXPECT_EQ(map.StatusCode(), 500);
    EXPECT_EQ(map.body.substr(0, map.body.find("\r\n")),
              (mTemp / "sub" / "x.txt").string() + "|" + (mTemp / "y.txt").string());
}

// A recordset's field is an object whose value the inspection functions look through, as pages
// rely on: IsNull(rs("x")) of a NULL column is True, also in a function the field is passed to.
TEST_F(AspRunnerTest, FieldsAndRecordsetsBehaveAsTheProvidersDo) {
    // A new database: the connection string allows the driver to create it.
    Write("rs.asp",
          "<% Set rs = Server.CreateObject(\"ADODB.Recordset\")\r\n"
          "rs.CursorLocation = 3\r\n"
          "rs.Open \"SELECT NULL AS a, 'x' AS b UNION ALL SELECT 1, 'y'\", "
          "\"Driver=SQLite3;NoCreat=0;Database=" +
              (mTemp / "x.db").string() +
              "\"\r\n"
              "Function Show(v)\r\nShow = IsNull(v) & \"/\" & VarType(v)\r\nEnd Function\r\n"
              "Response.Write IsNull(rs(\"a\")) & \"|\" & Show(rs(\"a\")) & \"|\" & rs(1) & \"|\" & "
              "rs.Fields(\"B\").Name & \"|\" & rs.RecordCount & \"|\"\r\n"
              "rs.PageSize = 1\r\nrs.AbsolutePage = 2\r\nResponse.Write rs(\"b\") & \"|\" & rs.PageCount\r\n"
              "rs.MoveNext\r\nResponse.Write \"|\" & rs.EOF & \"|\" & IsEmpty(Request.QueryString(\"q\"))\r\n"
              "rs.Close %>");
    AspSite site(mTemp.Path());
    AspBrowser browser(site);
    AspResponse response = browser.Get("rs.asp");
    EXPECT_EQ(response.error, "");
    EXPECT_EQ(response.body, "True|True/1|x|b|2|y|2|True|True");
    ASSERT_EQ(site.Statements().size(), 1u);
    EXPECT_EQ(site.Statements()[0].error, u"");
}

// Commands bind their parameters by type; an exact number needs its precision, as a provider
// requires, and then keeps its digits after the point.
TEST_F(AspRunnerTest, CommandsBindTypedParameters) {
    const std::string connection = "Driver=SQLite3;NoCreat=0;Database=" + (mTemp / "p.db").string();
    Write("cmd.asp",
          "<% Set conn = Server.CreateObject(\"ADODB.Connection\")\r\nconn.Open \"" + connection +
              "\"\r\nconn.Execute \"CREATE TABLE t (n DECIMAL(10,2), s VARCHAR(10))\"\r\n"
              "Set cmd = Server.CreateObject(\"ADODB.Command\")\r\nSet cmd.ActiveConnection = conn\r\n"
              "cmd.CommandText = \"INSERT INTO t (n, s) VALUES (?, ?)\"\r\n"
              "Set p = cmd.CreateParameter(\"\", 131, 1, 0, 12.25)\r\ncmd.Parameters.Append p\r\n"
              "cmd.Parameters.Append cmd.CreateParameter(\"\", 202, 1, 10, \"x'y\")\r\n"
              "On Error Resume Next\r\ncmd.Execute , , 128\r\nResponse.Write Err.Number <> 0\r\nOn Error "
              "GoTo 0\r\n"
              "p.Precision = 10\r\np.NumericScale = 2\r\ncmd.Execute , , 128\r\n"
              "Set rs = conn.Execute(\"SELECT n, s FROM t\")\r\n"
              "Response.Write \"|\" & rs(0) & \"|\" & rs(\"s\") & \"|\" & cmd.Parameters.Count\r\nconn.Close "
              "%>");
    AspSite site(mTemp.Path());
    AspBrowser browser(site);
    AspResponse response = browser.Get("cmd.asp");
    EXPECT_EQ(response.error, "");
    EXPECT_EQ(response.body, "True|12.25|x'y|2");
    // The refused command never reached the database.
    ASSERT_EQ(site.Statements().size(), 3u);
    EXPECT_EQ(site.Statements()[1].parameterTypes, (std::vector<std::int32_t>{131, 202}));
    EXPECT_EQ(site.Statements()[1].error, u"");
}

} // namespace
} // namespace qv::test
