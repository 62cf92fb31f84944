// The demo shop's site with a login from its customers table: every page wants the login, the
// login checks the table on each database, and a wrong login or password gets one answer.

#include "SiteFixture.h"
#include "SiteProject.h"

#include "platform/automation/Conversion.h"

namespace qv::test::site {
namespace {

class SiteLoginTest : public SiteTest {
protected:
    std::string Script() const override { return "shop"; }
    void Configure(Qel& project) const override {
        project.SetSecType(u"Dynamic");
        project.SetSecTbl(u"customers");
        project.SetSecLoginIDFld(u"email");
        project.SetSecPasswdFld(u"city");
        GenerateField(project, u"products", u"picture");
    }

    AspResponse LogIn(const std::string& login, const std::string& password,
                      const std::string& returnTo = "orderslist.asp") {
        const std::string page = "login.asp?return=" + UrlEncode(returnTo);
        const std::string form = Clean(page).body;
        return CleanPost(page, {{"qv_token", Token(form)}, {"qv_login", login}, {"qv_password", password}});
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

INSTANTIATE_TEST_SUITE_P(Databases, SiteLoginTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

} // namespace
} // namespace qv::test::site
