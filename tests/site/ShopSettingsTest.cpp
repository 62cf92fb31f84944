#include "SiteFixture.h"

#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Text.h"

namespace qv::test::site {
namespace {

/// The demo shop with a fixed login: the project names a user and a password.
class SecuredShopTest : public SiteTest {
protected:
    std::string Script() const override { return "shop"; }
    bool GenerationMayStop() const override { return true; }
    void Configure(Qel& project) const override {
        project.SetSecType(u"Fixed");
        project.SetSecLoginID(u"admin");
        project.SetSecPasswd(u"s3cret \"%>");
    }
};

// A project with login settings never gives an open site: either the run stops naming the
// security type it does not support, or every page asks for the login first and lets in only
// the right user and password.
TEST_P(SecuredShopTest, PagesNeedTheLogin) {
    if (!GenerationFailure().empty()) {
        EXPECT_TRUE(Holds(GenerationFailure(), "Fixed")) << GenerationFailure();
        return;
    }
    for (const char* page :
         {"customerslist.asp", "productsview.asp?k_product_id=1", "customersadd.asp", "productsexport.asp"}) {
        const AspResponse response = Browser().Get(page);
        EXPECT_EQ(response.StatusCode(), 302) << page;
        EXPECT_FALSE(Holds(response.body, "Teapot")) << page;
    }
}

/// The demo shop with settings a developer may well type: a name and a caption holding the
/// characters that end a script block and a quote, and a German locale.
class OddSettingsShopTest : public SiteTest {
protected:
    std::string Script() const override { return "shop"; }
    void Configure(Qel& project) const override {
        project.SetProjName(u"Shop \"%> 1");
        project.db()->tables()->Find(u"products")->SetTblCaption(u"Goods %> <b>");
        project.SetLCID(1031);
    }
};

// Text of the project in the pages is text: no setting ends a script block.
TEST_P(OddSettingsShopTest, SettingsWithScriptDelimitersKeepThePagesWhole) {
    Crawl("default.asp", 60);
    EXPECT_TRUE(Holds(Clean("productslist.asp").body, "Goods %&gt; &lt;b&gt;"));
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
