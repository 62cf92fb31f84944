// The demo shop's site with a login from its customers table: every page wants the login, the
// login checks the table on each database, and a wrong login or password gets one answer.

#include "SiteFixture.h"
#include "SiteProject.h"

#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <filesystem>
#include <regex>
#include <set>

namespace qv::test::site {
namespace {

class SiteLoginTest : public SiteTest {
protected:
    std::string Script() const override { return "shop"; }
    void Configure(Qel& project) const override {
        SetDynamicLogin(project, u"customers", u"email", u"city");
        GenerateField(project, u"products", u"picture");
    }

    AspResponse LogIn(const std::string& login, const std::string& password,
                      const std::string& returnTo = "orderslist.asp") {
        const std::string page = "login.asp?return=" + UrlEncode(returnTo);
        const std::string form = Clean(page).body;
        return CleanPost(page, {{"qv_token", Token(form)}, {"qv_login", login}, {"qv_password", password}});
    }

    /// The fields of a page's record form, with `changes`; the menu's log-out form is left out.
    static std::vector<std::pair<std::string, std::string>>
    RecordForm(const std::string& page, const std::map<std::string, std::string>& changes) {
        return FormFields(page.substr(page.find("<form method=\"post\" action=\"customers")), changes);
    }
};

TEST_P(SiteLoginTest, TheUserTableGuardsEveryPage) {
    // Before the login every page, posted forms included, leads to the login page only.
    for (const char* page : {"default.asp", "customerslist.asp?z_name=a", "productsview.asp?k_product_id=1",
                             "productslist.asp?export=csv", "products_picturepicture.asp?k_product_id=1"}) {
        const AspResponse response = Clean(page);
        EXPECT_TRUE(response.redirect.starts_with("login.asp?return=")) << page << ": " << response.redirect;
        EXPECT_FALSE(Holds(response.body, "Teapot")) << page;
    }
    EXPECT_EQ(CleanPost("customersdelete.asp?k_customer_id=2", {{"qv_token", ""}}).redirect.substr(0, 10),
              "login.asp?");
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM customers WHERE customer_id = 2"), "1");

    // A wrong password and an unknown login get the same answer.
    const std::string wrongPassword = LogIn("ada@example.com", "Lagos").body;
    const std::string unknownLogin = LogIn("nobody@example.com", "Lisbon").body;
    EXPECT_TRUE(Holds(wrongPassword, "The login ID or the password is not correct."));
    EXPECT_TRUE(Holds(unknownLogin, "The login ID or the password is not correct."));
    // A driver may end a value at a NUL: before, "ada@example.com" and a NUL logged in as Ada.
    using namespace std::string_literals;
    for (const auto& [login, password] :
         {std::pair{"ada@example.com\0"s, "Lisbon"s}, {"ada@example.com"s, "Lisbon\0"s}}) {
        const AspResponse refused = LogIn(login, password);
        EXPECT_EQ(refused.redirect, "");
        EXPECT_TRUE(Holds(refused.body, "The login ID or the password is not correct.")) << refused.body;
    }
    EXPECT_TRUE(Browser().SessionItem(u"qv_user").IsEmpty() ||
                automation::ToString(Browser().SessionItem(u"qv_user")).empty());

    const AspResponse in = LogIn("ada@example.com", "Lisbon");
    EXPECT_EQ(in.redirect, "orderslist.asp");
    EXPECT_TRUE(in.cookies.contains("qv_auth"));
    EXPECT_TRUE(Holds(Clean("productslist.asp").body, "Teapot"));

    // Logging out ends it.
    const std::string menu = Clean("default.asp").body;
    EXPECT_EQ(CleanPost("login.asp", {{"qv_token", Token(menu)}, {"qv_logout", "1"}}).redirect, "login.asp");
    EXPECT_TRUE(Clean("productslist.asp").redirect.starts_with("login.asp?"));

    for (const std::string& failure : PrepareFailures()) {
        ADD_FAILURE() << failure;
    }
}

// The return address keeps its query, encoded: before, a quote and brackets in it went into the
// redirect as they came.
TEST_P(SiteLoginTest, TheReturnAddressIsEncoded) {
    EXPECT_EQ(LogIn("ada@example.com", "Lisbon", "orderslist.asp?x=\"><script>&page=2").redirect,
              "orderslist.asp?x=%22%3E%3Cscript%3E&page=2");
}

// A driver may end a value at a NUL: before, a search for "Fernsby", a NUL and more found Ada
// Fernsby, and an edit stored the text before the NUL alone.
TEST_P(SiteLoginTest, ANulNeverShortensAValue) {
    using namespace std::string_literals;
    ASSERT_EQ(LogIn("ada@example.com", "Lisbon").redirect, "orderslist.asp");
    EXPECT_FALSE(Holds(Clean("customerslist.asp?z_name=Fernsby%00zzz").body, "Ada Fernsby"));
    const std::string edit = "customersedit.asp?k_customer_id=1";
    const AspResponse refused = CleanPost(edit, RecordForm(Clean(edit).body, {{"x_notes", "kept\0secret"s}}));
    EXPECT_TRUE(Holds(refused.body, "Please enter text without a NUL character for")) << refused.body;
    EXPECT_EQ(
        Database().Scalar(u"SELECT COUNT(*) FROM customers WHERE customer_id = 1 AND notes LIKE 'kept%'"),
        "0");
}

// The user table's password column is never written into a page, a search or an export: before,
// it was listed, shown, sortable, searchable, exported and put into the edit form.
TEST_P(SiteLoginTest, ThePasswordColumnIsNeverWritten) {
    ASSERT_EQ(LogIn("ada@example.com", "Lisbon").redirect, "orderslist.asp");
    const std::string list = Clean("customerslist.asp").body;
    EXPECT_TRUE(Holds(list, "Ada Fernsby"));
    EXPECT_FALSE(Holds(list, "Lisbon") || Holds(list, "order=city")) << list;
    // A search by the password finds nothing out: the value is not a filter.
    EXPECT_TRUE(Holds(Clean("customerslist.asp?z_city=Lagos").body, "Ada Fernsby"));
    EXPECT_FALSE(Holds(Clean("customerssearch.asp").body, "z_city"));
    for (const char* page : {"customersview.asp?k_customer_id=1", "customersdelete.asp?k_customer_id=1",
                             "customersedit.asp?k_customer_id=1", "customersexport.asp"}) {
        EXPECT_FALSE(Holds(Clean(page).body, "Lisbon")) << page;
    }
    EXPECT_FALSE(Holds(Clean("customersexport.asp").body, "city"));

    // A new user's password goes in through a password input; an edit that leaves it empty keeps
    // it, one that fills it in changes it.
    const std::string addForm = Clean("customersadd.asp").body;
    EXPECT_TRUE(Holds(addForm, "type=\"password\" id=\"x_city\" name=\"x_city\" value=\"\""));
    const AspResponse added = CleanPost(
        "customersadd.asp",
        RecordForm(addForm, {{"x_name", "Grace"}, {"x_email", "grace@example.com"}, {"x_city", "Oslo"}}));
    EXPECT_EQ(added.StatusCode(), 302) << added.body;
    const std::string id = Database().Scalar(u"SELECT customer_id FROM customers WHERE name = 'Grace'");
    ASSERT_NE(id, "<none>");
    const std::string edit = "customersedit.asp?k_customer_id=" + id;
    const std::string editForm = Clean(edit).body;
    EXPECT_FALSE(Holds(editForm, "Oslo")) << editForm;
    EXPECT_EQ(CleanPost(edit, RecordForm(editForm, {{"x_notes", "kept"}})).StatusCode(), 302);
    const std::u16string city = u"SELECT city FROM customers WHERE name = 'Grace'";
    EXPECT_EQ(Database().Scalar(city), "Oslo");
    EXPECT_EQ(CleanPost(edit, RecordForm(Clean(edit).body, {{"x_city", "Bergen"}})).StatusCode(), 302);
    EXPECT_EQ(Database().Scalar(city), "Bergen");
    EXPECT_EQ(LogIn("grace@example.com", "Bergen").redirect, "orderslist.asp");
}

// The files every page includes answered a request of their own: the header with status 500
// ("Type mismatch") before anyone logged in, and web.config hid only qvcfg.asp.
TEST_P(SiteLoginTest, IncludedFilesAreNoPagesOfTheirOwn) {
    const std::string config = ReadSiteFile("web.config");
    const std::regex include(R"re(<!--#include \w+="([^"]+)"-->)re");
    std::set<std::string> included;
    for (const auto& entry : std::filesystem::directory_iterator(Site().Root())) {
        if (entry.path().extension() != ".asp") {
            continue;
        }
        const std::string page = ReadSiteFile(entry.path().filename().string());
        for (auto match = std::sregex_iterator(page.begin(), page.end(), include);
             match != std::sregex_iterator(); ++match) {
            included.insert((*match)[1]);
        }
    }
    EXPECT_GE(included.size(), 4u);
    for (const std::string& file : included) {
        EXPECT_TRUE(Holds(config, "<add segment=\"" + file + "\" />")) << file << "\n" << config;
        const AspResponse alone = Browser().Get(file);
        EXPECT_LT(alone.StatusCode(), 500) << file << ": " << alone.error;
        EXPECT_FALSE(Holds(alone.body, "<html")) << file;
    }
}

// A site generated before its login was set kept the picture page of the binary column that
// became the password: it sent every user's password to anyone who asked, whatever the
// switches said.
TEST_P(SiteLoginTest, APasswordPageLeftFromBeforeTheLoginIsRemoved) {
    const TempDir temp;
    const SiteDatabase database(Kind(), "binlogin", temp.Path());
    const std::filesystem::path root = temp / "site";
    const auto generate = [&](bool login) {
        // Each run with a work folder of its own, as a new version of the program would have.
        return GenerateSite(database.ConnectionString(), temp / (login ? "work-login" : "work"), root,
                            [login](Qel& project) {
                                GenerateField(project, u"members", u"password");
                                if (login) {
                                    project.SetSecType(u"Dynamic");
                                    project.SetSecTbl(u"members");
                                    project.SetSecLoginIDFld(u"login");
                                    project.SetSecPasswdFld(u"password");
                                    project.SetOtherOverwrite(false);
                                    project.db()->tables()->Find(u"members")->SetTblOverwrite(false);
                                }
                            });
    };
    ASSERT_EQ(generate(false), "");
    {
        AspSite before(root);
        ASSERT_EQ(AspBrowser(before).Get("members_passwordpicture.asp?k_member_id=1").body, "Lisbon");
    }
    ASSERT_EQ(generate(true), "");
    AspSite site(root);
    const AspResponse picture = AspBrowser(site).Get("members_passwordpicture.asp?k_member_id=1");
    EXPECT_EQ(picture.StatusCode(), 404);
    EXPECT_FALSE(Holds(picture.body, "Lisbon"));
}

INSTANTIATE_TEST_SUITE_P(Databases, SiteLoginTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

/// The user table of a login alone; its one test changes the table's columns, as a user does who
/// changes the database and does not generate the site again.
class ChangedColumnsTest : public SiteTest {
protected:
    std::string Script() const override { return "acct"; }
    void Configure(Qel& project) const override { SetDynamicLogin(project, u"acct", u"login", u"pw"); }

    /// A login through `browser`; nothing of the database's own messages may show.
    static AspResponse LogIn(AspBrowser& browser, const std::string& login, const std::string& password) {
        const std::string form = browser.Get("login.asp").body;
        AspResponse response =
            browser.Post("login.asp?return=acctlist.asp",
                         {{"qv_token", Token(form)}, {"qv_login", login}, {"qv_password", password}});
        ExpectNoDriverText(response, "login of " + login);
        return response;
    }

    /// A page that fails does so in the site's words, never the driver's.
    static void ExpectNoDriverText(const AspResponse& response, const std::string& what) {
        EXPECT_EQ(response.error, "") << what;
        for (const char* text : {"no such column", "does not exist", "Unknown column", "ODBC", "SQLite]"}) {
            EXPECT_FALSE(Holds(response.body, text)) << what << ": " << response.body;
        }
        if (response.StatusCode() >= 500) {
            EXPECT_TRUE(Holds(response.body, "could not be read")) << what << ": " << response.body;
        }
    }

    /// Every statement from the `from`th of this test on that names `column` failed: none of
    /// them read the name as a text.
    void ExpectFailedFrom(std::size_t from, std::u16string_view column) {
        const std::u16string q = Kind() == testdb::DatabaseKind::MariaDB ? u"`" : u"\"";
        std::u16string quoted = q;
        quoted.append(column).append(q);
        const std::vector<ExecutedStatement> statements = StatementsOfThisTest();
        std::size_t naming = 0;
        for (std::size_t index = from; index < statements.size(); ++index) {
            if (statements[index].sql.find(quoted) != std::u16string::npos) {
                ++naming;
                EXPECT_NE(statements[index].error, u"") << automation::ToUtf8(statements[index].sql);
            }
        }
        EXPECT_GT(naming, 0u);
    }
};

// SQLite reads a quoted name that names no column as a text: once the password column was renamed,
// the login compared each password with "pw", so that alice was refused with her password and bob
// logged in with "pw"; once the login column was, the list, the view, the edit form and the
// export showed "login" in every row, and a search compared the text. A statement that names a
// column the table lacks fails, and the page says so in its own words.
TEST_P(ChangedColumnsTest, AColumnTheTableLacksIsNeverAText) {
    AspBrowser& alice = Browser();
    ASSERT_EQ(LogIn(alice, "alice", "Secr3t-alice").redirect, "acctlist.asp");
    std::vector<std::string> pages = Crawl("acctlist.asp", 40);
    for (const char* page :
         {"acctlist.asp?z_login=bob", "acctlist.asp?order=login&dir=desc", "acctexport.asp"}) {
        pages.emplace_back(page);
    }
    EXPECT_GE(pages.size(), 8u);

    std::size_t from = StatementsOfThisTest().size();
    Database().Run(u"ALTER TABLE acct RENAME COLUMN pw TO passwd");
    AspBrowser other(Site());
    for (const auto& [login, password] : {std::pair{"alice", "Secr3t-alice"}, {"bob", "pw"}, {"pw", "pw"}}) {
        EXPECT_EQ(LogIn(other, login, password).redirect, "") << login << " / " << password;
        EXPECT_TRUE(other.SessionItem(u"qv_user").IsEmpty() ||
                    automation::ToString(other.SessionItem(u"qv_user")).empty());
    }
    ExpectFailedFrom(from, u"pw");

    from = StatementsOfThisTest().size();
    Database().Run(u"ALTER TABLE acct RENAME COLUMN login TO user_name");
    for (const std::string& page : pages) {
        const AspResponse response = alice.Get(page);
        ExpectNoDriverText(response, page);
        for (const char* value : {"<td>login</td>", "value=\"login\"", "1,\"login\""}) {
            EXPECT_FALSE(Holds(response.body, value)) << page << ": " << response.body;
        }
    }
    ExpectFailedFrom(from, u"login");

    // A binary login column compared with literals of the typed ID's bytes: once it was renamed,
    // the ID "login" matched every row, and any user's password let it in.
    const TempDir temp;
    SiteDatabase database(Kind(), "binlogin", temp.Path());
    ASSERT_EQ(
        GenerateSite(database.ConnectionString(), temp / "work", temp / "site",
                     [](Qel& project) { SetDynamicLogin(project, u"keyholders", u"login", u"password"); }),
        "");
    database.Run(u"ALTER TABLE keyholders RENAME COLUMN login TO login_id");
    AspSite keyholders(temp / "site");
    AspBrowser visitor(keyholders);
    for (const char* login : {"login", "ada@example.com"}) {
        EXPECT_EQ(LogIn(visitor, login, "Lisbon").redirect, "") << login;
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, ChangedColumnsTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

} // namespace
} // namespace qv::test::site
