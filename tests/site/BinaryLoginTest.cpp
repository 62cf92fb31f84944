// Sites whose login comes from a user table with a binary column: the password ("members") or
// the login ID ("keyholders") is stored as the bytes of its UTF-8 text. The login finds the
// user and compares the password as on text columns, and every failed login looks the same.

#include "SiteFixture.h"
#include "SiteProject.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <filesystem>

namespace qv::test::site {
namespace {

using testdb::DatabaseKind;

class BinaryLoginTest : public SiteTest {
protected:
    std::string Script() const override { return "binlogin"; }

    AspResponse LogIn(const std::string& login, const std::string& password) {
        const std::string page = "login.asp?return=default.asp";
        const std::string form = Clean(page).body;
        return CleanPost(page, {{"qv_token", Token(form)}, {"qv_login", login}, {"qv_password", password}});
    }

    /// A failed login's answer with the login ID the form shows again taken out: what is left
    /// must not tell one failure from another.
    std::pair<int, std::string> Refusal(const std::string& login, const std::string& password) {
        const AspResponse response = LogIn(login, password);
        EXPECT_EQ(response.redirect, "") << login << " / " << password;
        EXPECT_TRUE(Holds(response.body, "The login ID or the password is not correct."))
            << login << " / " << password << ": " << response.body;
        std::string body = response.body;
        const std::string shown = "value=\"" + login + "\"";
        if (const std::size_t at = body.find(shown); at != std::string::npos) {
            body.replace(at, shown.size(), "value=\"\"");
        }
        return {response.StatusCode(), body};
    }

    /// The query plan of the last statement of this test that names `table`, with `hex` bound to
    /// its placeholder, as one text.
    std::string Plan(const std::u16string& table, const std::u16string& hex) {
        std::u16string query;
        for (const ExecutedStatement& statement : StatementsOfThisTest()) {
            if (statement.sql.find(table) != std::u16string::npos) {
                query = statement.sql;
            }
        }
        std::vector<ado::ParameterValue> values;
        if (query.find(u'?') != std::u16string::npos) {
            values.push_back(TextValue(hex));
        }
        if (Kind() == DatabaseKind::PostgreSQL) {
            // A few rows are read faster without an index: the planner is told to use one it can.
            Database().Run(u"SET enable_seqscan = off");
        }
        ado::CommandResult plan = Database().Run(
            (Kind() == DatabaseKind::SQLite ? u"EXPLAIN QUERY PLAN " : u"EXPLAIN ") + query, values);
        std::string text = automation::ToUtf8(query) + "\n";
        for (; !plan.rows.Eof(); plan.rows.MoveNext()) {
            for (std::int32_t column = 0; column < plan.rows.Fields().Count(); ++column) {
                if (!plan.rows.Value(column).IsNull()) {
                    text += automation::ToUtf8(automation::ToString(plan.rows.Value(column))) + " ";
                }
            }
        }
        return text;
    }

    /// Logs in with each pair, which must succeed, then out again; then each refused pair must
    /// get the same answer as the first.
    void ExpectLogins(const std::vector<std::pair<std::string, std::string>>& accepted,
                      const std::vector<std::pair<std::string, std::string>>& refused) {
        for (const auto& [login, password] : accepted) {
            const AspResponse in = LogIn(login, password);
            EXPECT_EQ(in.redirect, "default.asp") << login << " / " << password << ": " << in.body;
            const std::string menu = Clean("default.asp").body;
            EXPECT_EQ(CleanPost("login.asp", {{"qv_token", Token(menu)}, {"qv_logout", "1"}}).redirect,
                      "login.asp");
        }
        ASSERT_FALSE(refused.empty());
        const std::pair<int, std::string> first = Refusal(refused[0].first, refused[0].second);
        EXPECT_EQ(first.first, 200);
        for (const auto& [login, password] : refused) {
            EXPECT_EQ(Refusal(login, password), first) << login << " / " << password;
        }
        EXPECT_TRUE(Clean("default.asp").redirect.starts_with("login.asp?"));
        for (const std::string& failure : PrepareFailures()) {
            ADD_FAILURE() << failure;
        }
    }
};

class BinaryPasswordTest : public BinaryLoginTest {
protected:
    void Configure(Qel& project) const override {
        project.SetSecType(u"Dynamic");
        project.SetSecTbl(u"members");
        project.SetSecLoginIDFld(u"login");
        project.SetSecPasswdFld(u"password");
        // A binary column's picture page is the one way its bytes leave the database.
        GenerateField(project, u"members", u"password");
        GenerateField(project, u"members", u"badge");
    }
};

// Before, every login ID that exists answered status 500 "Type mismatch" (the stored bytes were
// taken for text), and one that does not answered the refusal: nobody could log in, and the
// difference told a visitor which IDs exist.
TEST_P(BinaryPasswordTest, TheStoredBytesAreComparedAsTheirText) {
    // On SQLite Bob's password is stored as text in the binary column.
    ExpectLogins({{"ada@example.com", "Lisbon"}, {"zoe@example.com", "Zoë"}, {"bob@example.com", "Paris"}},
                 {{"ada@example.com", "Lagos"},
                  {"bob@example.com", "paris"},
                  {"nobody@example.com", "Lisbon"},
                  {"ada@example.com", "lisbon"},
                  {"ada@example.com", "Lisbo"},
                  {"ada@example.com", "Lisbon "},
                  {"zoe@example.com", "Zoe"},
                  {"nopass@example.com", "x"}});
}

// The password column is the user table's secret whatever its type: before, a binary one got a
// picture page that sent its bytes, linked from the view page; then a page that answered "not
// found" was still written under the column's name. Another binary column of the same table
// keeps its picture page.
TEST_P(BinaryPasswordTest, ThePasswordBytesAreNeverSent) {
    // No page reads the column to send it, nor links to a page that would; no page is written
    // for it at all.
    for (const std::string& file : {std::string("membersview.asp"), std::string("memberslist.asp")}) {
        EXPECT_FALSE(Holds(ReadSiteFile(file), "passwordpicture")) << file;
    }
    EXPECT_FALSE(std::filesystem::exists(Site().Root() / "members_passwordpicture.asp"));
    EXPECT_TRUE(std::filesystem::exists(Site().Root() / "members_badgepicture.asp"));

    EXPECT_EQ(LogIn("ada@example.com", "Lisbon").redirect, "default.asp");
    const std::string view = Clean("membersview.asp?k_member_id=1").body;
    EXPECT_TRUE(Holds(view, "Ada Fernsby")) << view;
    EXPECT_FALSE(Holds(view, "<img src=\"members_password")) << view;
    EXPECT_TRUE(Holds(view, "<img src=\"members_badgepicture.asp?")) << view;
    for (const std::string& link : Links(view)) {
        EXPECT_FALSE(Holds(link, "password")) << link;
    }
    for (const char* page : {"memberslist.asp", "membersedit.asp?k_member_id=1", "memberssearch.asp",
                             "membersdelete.asp?k_member_id=1", "membersexport.asp"}) {
        const std::string body = Clean(page).body;
        EXPECT_FALSE(Holds(body, "Lisbon")) << page;
        EXPECT_FALSE(Holds(body, "members_passwordpicture.asp")) << page;
    }
    // No page of the site sends the stored bytes, even asked for them by name; the badge's are
    // sent.
    const AspResponse picture = Browser().Get("members_passwordpicture.asp?k_member_id=1");
    EXPECT_EQ(picture.StatusCode(), 404) << picture.body;
    EXPECT_FALSE(Holds(picture.body, "Lisbon"));
    EXPECT_EQ(Clean("members_badgepicture.asp?k_member_id=1").body, "ADA-BADGE");
}

INSTANTIATE_TEST_SUITE_P(Databases, BinaryPasswordTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

class BinaryLoginIdTest : public BinaryLoginTest {
protected:
    void Configure(Qel& project) const override {
        project.SetSecType(u"Dynamic");
        project.SetSecTbl(u"keyholders");
        project.SetSecLoginIDFld(u"login");
        project.SetSecPasswdFld(u"password");
        GenerateField(project, u"badges", u"code");
        AddMasterDetail(project, u"badges", u"awards", u"code", u"badge");
    }
};

// Before, the typed login ID was bound as a binary parameter, which matched no row: nobody
// could log in. Then on SQLite an ID stored as text (Bob's) was refused: the page compared the
// column with bytes alone, and SQLite keeps a value's own type in any column.
TEST_P(BinaryLoginIdTest, TheTypedIdFindsTheBytesOfItsText) {
    ExpectLogins({{"ada@example.com", "Lisbon"}, {"zoë@example.com", "Oslo"}, {"bob@example.com", "Paris"}},
                 {{"ada@example.com", "Lagos"},
                  {"nobody@example.com", "Lisbon"},
                  {"ADA@example.com", "Lisbon"},
                  {"zoe@example.com", "Oslo"},
                  // Typed text is never taken for hexadecimal digits, nor refused for not being any.
                  {"616461406578616D706C652E636F6D", "Lisbon"},
                  {"zz'", "Lisbon"}});
}

// Before, the login compared the column's hexadecimal text with the typed ID's, which no index
// holds: every login read the whole table. So did every page that finds a record by a binary
// key, except on SQLite, which has no function to make bytes of hexadecimal text before 3.41.
TEST_P(BinaryLoginIdTest, TheColumnsIndexFindsTheUserAndTheRecord) {
    // Bob's ID is stored as text on SQLite.
    ASSERT_EQ(LogIn("bob@example.com", "Paris").redirect, "default.asp");
    const std::string text = Plan(u"keyholders", u"626F62406578616D706C652E636F6D");
    EXPECT_TRUE(Holds(text, "keyholders_login")) << text;
    ASSERT_EQ(LogIn("ada@example.com", "Lisbon").redirect, "default.asp");
    EXPECT_TRUE(Holds(Clean("badgesview.asp?k_code=414441").body, "Gold badge"));
    if (Kind() != DatabaseKind::SQLite) {
        const std::string view = Plan(u"badges", u"414441");
        EXPECT_TRUE(Holds(view, Kind() == DatabaseKind::MariaDB ? "PRIMARY" : "badges_pkey")) << view;
    }
}

// A binary key is found whatever SQLite keeps in its column: bytes, or text (Bob's and Zoë's
// badges there). Each page that finds a record by its key finds these: the list's links, the
// view, the picture of the key's bytes, the edit that changes the record and the delete.
TEST_P(BinaryLoginIdTest, KeysStoredAsTextFindTheirRecords) {
    ASSERT_EQ(LogIn("ada@example.com", "Lisbon").redirect, "default.asp");
    const std::string list = Clean("badgeslist.asp").body;
    for (const std::string key : {"414441", "424F42", "5A4FC38B"}) {
        SCOPED_TRACE(key);
        EXPECT_TRUE(Holds(list, "badgesview.asp?k_code=" + key)) << list;
        EXPECT_TRUE(Holds(Clean("badgesview.asp?k_code=" + key).body, " badge")) << key;
    }
    EXPECT_TRUE(Holds(Clean("badgesview.asp?k_code=424F42").body, "Text badge"));
    std::string details;
    for (const std::string& link : Links(Clean("badgesview.asp?k_code=424F42").body)) {
        if (link.starts_with("awardslist.asp?")) {
            details = link;
        }
    }
    const std::string awards = Clean(details).body;
    EXPECT_TRUE(Holds(awards, "Award of Bob") && Holds(awards, "Second award of Bob") &&
                !Holds(awards, "Ada"))
        << details << ": " << awards;
    const std::string edit = "badgesedit.asp?k_code=424F42";
    // The header's log-out form is on the page too: only the edit form's fields are posted.
    const AspResponse edited =
        CleanPost(edit, {{"qv_token", Token(Clean(edit).body)}, {"x_label", "Bronze badge"}});
    EXPECT_EQ(edited.StatusCode(), 302) << edited.body;
    EXPECT_TRUE(Holds(Clean("badgesview.asp?k_code=424F42").body, "Bronze badge"));
    EXPECT_EQ(Clean("badges_codepicture.asp?k_code=424F42").body, "BOB");
    const std::string remove = "badgesdelete.asp?k_code=5A4FC38B";
    const std::string form = Clean(remove).body;
    EXPECT_TRUE(Holds(form, "Zinc badge")) << form;
    EXPECT_EQ(CleanPost(remove, {{"qv_token", Token(form)}}).StatusCode(), 302);
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM badges WHERE label = 'Zinc badge'"), "0");
    for (const std::string& failure : PrepareFailures()) {
        ADD_FAILURE() << failure;
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, BinaryLoginIdTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

} // namespace
} // namespace qv::test::site
