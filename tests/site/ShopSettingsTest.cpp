#include "SiteFixture.h"

#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Text.h"

namespace qv::test::site {
namespace {

/// The demo shop with a fixed login: the project names a user and a password, the password
/// holding a quote and the characters that end a script block.
class SecuredShopTest : public SiteTest {
protected:
    std::string Script() const override { return "shop"; }
    void Configure(Qel& project) const override {
        project.SetSecType(u"Static");
        project.SetSecLoginID(u"admin");
        project.SetSecPasswd(u"s3cret \"%>");
    }

    AspResponse LogIn(const std::string& login, const std::string& password) {
        const std::string form = Clean("login.asp?return=customerslist.asp").body;
        return CleanPost("login.asp?return=customerslist.asp",
                         {{"qv_token", Token(form)}, {"qv_login", login}, {"qv_password", password}});
    }
};

// With a fixed login every page asks for the login first, and only the project's user and
// password, exactly as typed, let the visitor in.
TEST_P(SecuredShopTest, PagesNeedTheLogin) {
    for (const char* page :
         {"customerslist.asp", "productsview.asp?k_product_id=1", "customersadd.asp", "productsexport.asp"}) {
        const AspResponse response = Clean(page);
        EXPECT_EQ(response.StatusCode(), 302) << page;
        EXPECT_TRUE(response.redirect.starts_with("login.asp")) << page << ": " << response.redirect;
        EXPECT_FALSE(Holds(response.body, "Teapot")) << page;
    }
    for (const auto& [login, password] : std::vector<std::pair<std::string, std::string>>{
             {"admin", "s3cret "}, {"admin", "s3cret \"%"}, {"Admin", "s3cret \"%>"}, {"", ""}}) {
        EXPECT_NE(LogIn(login, password).redirect, "customerslist.asp") << login << " / " << password;
    }
    EXPECT_TRUE(Clean("productslist.asp").redirect.starts_with("login.asp"));
    EXPECT_EQ(LogIn("admin", "s3cret \"%>").redirect, "customerslist.asp");
    EXPECT_TRUE(Holds(Clean("productslist.asp").body, "Teapot"));
}

/// The demo shop with settings a developer may well type: a name and a caption holding the
/// characters that end a script block and a quote, and a German locale.
class OddSettingsShopTest : public SiteTest {
protected:
    std::string Script() const override { return "shop"; }
    void Configure(Qel& project) const override {
        project.SetProjName(u"Shop \"%> 1");
        project.SetBodyTitle(u"Our <shop> %>");
        project.db()->tables()->Find(u"products")->SetTblCaption(u"Goods %> <b>");
        project.SetLCID(1031);
    }
};

// Text of the project in the pages is text: no setting ends a script block.
TEST_P(OddSettingsShopTest, SettingsWithScriptDelimitersKeepThePagesWhole) {
    Crawl("default.asp", 60);
    EXPECT_TRUE(Holds(Clean("productslist.asp").body, "Goods %&gt; &lt;b&gt;"));
}

// The site's title and heading are the project's title for its pages: before, the setting
// changed nothing.
TEST_P(OddSettingsShopTest, TheBodyTitleNamesTheSite) {
    const std::string home = Clean("default.asp").body;
    EXPECT_TRUE(Holds(home, "<title>Our &lt;shop&gt; %&gt;")) << home;
    EXPECT_TRUE(Holds(home, "class=\"qv-title\">Our &lt;shop&gt; %&gt;</a>")) << home;
    EXPECT_TRUE(Holds(home, "<h1>Our &lt;shop&gt; %&gt;</h1>")) << home;
}

// Backups of pages lie in the site (qvcfg.asp.bak holds the connection and its password): the
// server refuses them as it refuses the database files.
TEST_P(OddSettingsShopTest, TheServerRefusesBackups) {
    EXPECT_TRUE(Holds(ReadSiteFile("web.config"), "<add fileExtension=\".bak\" allowed=\"false\" />"));
}

// The project's locale is the session's, so that numbers and dates read the same on every
// server.
TEST_P(OddSettingsShopTest, TheProjectsLocaleIsTheSessions) {
    Clean("customerslist.asp");
    EXPECT_EQ(Browser().SessionLcid(), 1031);
    const std::string form = Clean("productsadd.asp").body;
    CleanPost("productsadd.asp",
              {{"qv_token", Token(form)}, {"x_name", "Scales"}, {"x_price", "12,5"}, {"x_stock", "1"}});
    EXPECT_EQ(Database().Scalar(u"SELECT price FROM products WHERE name = 'Scales'"), "12.5");
}

INSTANTIATE_TEST_SUITE_P(Databases, SecuredShopTest, ::testing::ValuesIn(SiteKinds()), KindTestName);
INSTANTIATE_TEST_SUITE_P(Databases, OddSettingsShopTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

} // namespace
} // namespace qv::test::site
