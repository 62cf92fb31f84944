// The demo shop's site for a German project: the pages read and show numbers and dates in the
// project's locale whatever the server's, and the export still writes numbers with a dot and
// holds what the list showed.

#include "SiteFixture.h"

#include <algorithm>

namespace qv::test::site {
namespace {

class SiteLocaleTest : public SiteTest {
protected:
    std::string Script() const override { return "shop"; }
    void Configure(Qel& project) const override { project.SetLCID(1031); }
};

TEST_P(SiteLocaleTest, NumbersFollowTheProjectsLocaleAndTheExportTheDot) {
    const std::string list = Clean("productslist.asp?order=product_id").body;
    EXPECT_EQ(Browser().SessionLcid(), 1031);
    EXPECT_TRUE(Holds(list, "34,9")) << list;

    const std::string csv = Clean("productsexport.asp").body;
    EXPECT_TRUE(Holds(csv, ",34.9,")) << csv;
    EXPECT_FALSE(Holds(csv, "34,9"));

    // A price typed the German way is that price, in a search, an add and an edit.
    EXPECT_TRUE(Holds(Clean("productslist.asp?z_price=6%2C5").body, "Green tea"));
    const std::string form = Clean("productsadd.asp").body;
    EXPECT_EQ(CleanPost("productsadd.asp", {{"qv_token", Token(form)},
                                            {"x_name", "Kettle"},
                                            {"x_price", "12,25"},
                                            {"x_stock", "3"},
                                            {"x_weight_kg", "0,75"}})
                  .StatusCode(),
              302);
    EXPECT_EQ(Database().Scalar(u"SELECT price * 100 FROM products WHERE name = 'Kettle'").substr(0, 4),
              "1225");
    EXPECT_EQ(CleanPost("productsedit.asp?k_product_id=5", {{"qv_token", Token(form)},
                                                            {"x_name", "Honey, 250 g"},
                                                            {"x_price", "7,95"},
                                                            {"x_stock", "40"},
                                                            {"x_weight_kg", "0,3"},
                                                            {"x_discontinued", "0"}})
                  .StatusCode(),
              302);
    EXPECT_EQ(Database().Scalar(u"SELECT price * 100 FROM products WHERE product_id = 5").substr(0, 3),
              "795");
    for (const std::string& failure : PrepareFailures()) {
        ADD_FAILURE() << failure;
    }
}

// The export holds what the list last showed, in its order: the search and the sort of the list
// apply, and a list shown again without them exports everything.
TEST_P(SiteLocaleTest, TheExportHoldsWhatTheListShowed) {
    Clean("productslist.asp?z_name=ea&order=name&dir=desc");
    const std::string found = Clean("productsexport.asp").body;
    EXPECT_TRUE(Holds(found, "\"Teapot\"")) << found;
    EXPECT_TRUE(Holds(found, "\"Green tea, 100 g\""));
    EXPECT_LT(found.find("\"Teapot\""), found.find("\"Green tea, 100 g\""));
    EXPECT_FALSE(Holds(found, "\"Cup set\""));
    // A list searched by a number.
    Clean("order_lineslist.asp?z_order_id=2");
    const std::string lines = Clean("order_linesexport.asp").body;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;

    Clean("productslist.asp");
    EXPECT_TRUE(Holds(Clean("productsexport.asp").body, "\"Cup set\""));
    for (const std::string& failure : PrepareFailures()) {
        ADD_FAILURE() << failure;
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, SiteLocaleTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

} // namespace
} // namespace qv::test::site
