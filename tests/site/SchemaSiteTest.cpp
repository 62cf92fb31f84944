// The demo shop made in a schema of its own, with a login from its customers table: the site's
// connection searches the database's default schema, which holds none of the tables.

#include "SiteFixture.h"

#include "platform/automation/Text.h"

namespace qv::test::site {
namespace {

class SchemaSiteTest : public SiteTest {
protected:
    std::string Script() const override { return "shop"; }
    // A name that needs its quotes.
    std::string Schema() const override { return "Shop App"; }
    void Configure(Qel& project) const override {
        project.SetSecType(u"Dynamic");
        project.SetSecTbl(u"customers");
        project.SetSecLoginIDFld(u"email");
        project.SetSecPasswdFld(u"city");
    }
    void SetUp() override {
        if (Kind() != testdb::DatabaseKind::PostgreSQL) {
            GTEST_SKIP() << "a schema apart from the search path is PostgreSQL's";
        }
        SiteTest::SetUp();
    }
};

// Every page names the project's schema: before, each failed with "relation ... does not exist",
// the login first.
TEST_P(SchemaSiteTest, EveryPageFindsTheTablesOfTheProjectsSchema) {
    const std::string login = Clean("login.asp?return=customerslist.asp").body;
    ASSERT_EQ(
        CleanPost("login.asp?return=customerslist.asp",
                  {{"qv_token", Token(login)}, {"qv_login", "ada@example.com"}, {"qv_password", "Lisbon"}})
            .redirect,
        "customerslist.asp");
    EXPECT_GT(Crawl("default.asp", 60).size(), 20u);

    // A record added, found, edited and deleted (the menu's log-out form is not posted with it).
    const auto recordForm = [this](const std::string& url,
                                   const std::map<std::string, std::string>& changes) {
        const std::string page = Clean(url).body;
        return FormFields(page.substr(page.find("<form method=\"post\" action=\"products")), changes);
    };
    const AspResponse added =
        CleanPost("productsadd.asp",
                  recordForm("productsadd.asp", {{"x_name", "Kettle"}, {"x_price", "25"}, {"x_stock", "3"}}));
    EXPECT_EQ(added.StatusCode(), 302) << added.body;
    const std::string id = Database().Scalar(u"SELECT product_id FROM products WHERE name = 'Kettle'");
    ASSERT_NE(id, "<none>");
    EXPECT_TRUE(Holds(Clean("productslist.asp?z_name=Kettl").body, "Kettle"));
    const std::string edit = "productsedit.asp?k_product_id=" + id;
    EXPECT_EQ(CleanPost(edit, recordForm(edit, {{"x_stock", "4"}})).StatusCode(), 302);
    EXPECT_EQ(Database().Scalar(u"SELECT stock FROM products WHERE product_id = " + automation::FromUtf8(id)),
              "4");
    const std::string remove = "productsdelete.asp?k_product_id=" + id;
    EXPECT_EQ(CleanPost(remove, {{"qv_token", Token(Clean(remove).body)}}).StatusCode(), 302);
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM products WHERE name = 'Kettle'"), "0");

    for (const ExecutedStatement& statement : StatementsOfThisTest()) {
        EXPECT_EQ(statement.error, u"") << automation::ToUtf8(statement.sql);
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, SchemaSiteTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

// A table in a schema of its own whose key's default names its sequence without the schema. The
// schema's name holds a line break.
class SchemaSearchPathTest : public SiteTest {
protected:
    std::string Script() const override { return "sequence"; }
    std::string Schema() const override { return "My\nApp"; }
    void Configure(Qel&) const override {}
    void SetUp() override {
        if (Kind() != testdb::DatabaseKind::PostgreSQL) {
            GTEST_SKIP() << "a schema apart from the search path is PostgreSQL's";
        }
        SiteTest::SetUp();
    }

    /// A user added through the add page (its key from the schema's sequence) is listed; no
    /// statement fails.
    void AddsAUserAndListsIt() {
        const std::string form = Clean("usersadd.asp").body;
        const AspResponse added =
            CleanPost("usersadd.asp",
                      FormFields(form.substr(form.find("<form method=\"post\"")), {{"x_name", "Grace"}}));
        EXPECT_EQ(added.StatusCode(), 302) << added.body;
        EXPECT_EQ(Database().Scalar(u"SELECT user_id FROM users WHERE name = 'Grace'"), "2");
        EXPECT_TRUE(Holds(Clean("userslist.asp").body, "Grace"));
        for (const ExecutedStatement& statement : StatementsOfThisTest()) {
            EXPECT_EQ(statement.error, u"") << automation::ToUtf8(statement.sql);
        }
    }
};

// The site's connection searches the project's schema first, as the database's own applications
// do: before, a record could not be added ("relation "users_seq" does not exist"), since the
// default's sequence was looked for in the server's search path only. The line break in its name
// broke every page, whose SQL names the schema in a string literal, and was dropped from the
// search path.
TEST_P(SchemaSearchPathTest, DefaultsFindTheirSequenceInTheProjectsSchema) {
    AddsAUserAndListsIt();
}

INSTANTIATE_TEST_SUITE_P(Databases, SchemaSearchPathTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

// The same table in a schema whose name ends in a backslash.
class BackslashSchemaTest : public SchemaSearchPathTest {
protected:
    std::string Schema() const override { return "end\\"; }
};

// The reader of SQL text took the backslash for an escape of the name's closing quote, so that
// not one table of the schema loaded.
TEST_P(BackslashSchemaTest, ItsTablesLoadAndTheirPagesRun) {
    AddsAUserAndListsIt();
}

INSTANTIATE_TEST_SUITE_P(Databases, BackslashSchemaTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

// The same table in a schema whose name is SQL once a backslash escapes its quote.
class HostileSchemaTest : public SchemaSearchPathTest {
protected:
    std::string Schema() const override {
        return "b\\' || chr(34), false); CREATE TABLE public.pwned(x int); --";
    }
};

// The statement that puts the schema first in the search path wrote its name as a plain string:
// a server that reads backslashes in one (standard_conforming_strings off) ended it early and ran
// the rest of the name when a page opened. The name is SQL under neither setting.
TEST_P(HostileSchemaTest, TheSchemasNameIsNeverSql) {
    const std::u16string database = automation::FromUtf8(Database().Scalar(u"SELECT current_database()"));
    for (const char16_t* setting : {u"off", u"on"}) {
        Database().Run(u"ALTER DATABASE " + database + u" SET standard_conforming_strings = " + setting);
        EXPECT_EQ(CleanPost("usersadd.asp", FormFields(Clean("usersadd.asp").body, {{"x_name", "Grace"}}))
                      .StatusCode(),
                  302);
        EXPECT_TRUE(Holds(Clean("userslist.asp").body, "Grace"));
        EXPECT_EQ(Database().Scalar(u"SELECT to_regclass('public.pwned')"), "<null>");
    }
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM users WHERE name = 'Grace'"), "2");
    for (const ExecutedStatement& statement : StatementsOfThisTest()) {
        EXPECT_EQ(statement.error, u"") << automation::ToUtf8(statement.sql);
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, HostileSchemaTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

} // namespace
} // namespace qv::test::site
