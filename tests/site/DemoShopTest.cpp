#include "SiteFixture.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/ado/Constants.h"

#include "platform/automation/Text.h"

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace qv::test::site {
namespace {

using testdb::DatabaseKind;

/// The demo shop's site on each database: two products a page, the products' picture page,
/// the two master/detail pairs and the export extension.
class DemoShopTest : public SiteTest {
protected:
    std::string Script() const override { return "shop"; }
    void Configure(Qel& project) const override {
        project.SetRecPerPage(2);
        GenerateField(project, u"products", u"picture");
        AddMasterDetail(project, u"customers", u"orders", u"customer_id", u"customer_id");
        AddMasterDetail(project, u"orders", u"order_lines", u"order_id", u"order_id");
        // A report reads its source's columns, named after the source.
        project.LoadReport(automation::Variant(u"order_report"), automation::Variant(u"order_lines"));
        project.db()->tables()->Find(u"order_report")->Fields()->Find(u"order_id")->SetFldGroupBy(1);
    }

    /// The names in the product list's rows, in the order shown.
    static std::vector<std::string> Cells(const std::string& page, const std::string& pattern) {
        std::vector<std::string> cells;
        const std::regex cell(pattern);
        for (std::sregex_iterator match(page.begin(), page.end(), cell), end; match != end; ++match) {
            cells.push_back((*match)[1].str());
        }
        return cells;
    }
    static std::vector<std::string> ProductNames(const std::string& page) {
        return Cells(page, R"re(<td>((?:Green tea|Teapot|Cup set|Sugar cubes|Honey)[^<]*)</td>)re");
    }
};

// Every page of the site that needs no record runs clean, and so does every list with each of
// its columns sorted both ways: the heading links are the ones the page offers.
TEST_P(DemoShopTest, ListsRunAndSortByEveryColumnBothWays) {
    for (const char* page :
         {"default.asp", "customerslist.asp", "productslist.asp", "orderslist.asp", "order_lineslist.asp",
          "order_totalslist.asp", "customerssearch.asp", "productssearch.asp", "customersadd.asp",
          "productsadd.asp", "order_reportreport.asp"}) {
        const AspResponse response = Clean(page);
        EXPECT_EQ(response.StatusCode(), 200) << page;
    }
    const std::string list = Clean("productslist.asp").body;
    const std::vector<std::string> sortLinks = Cells(list, R"re(href="(productslist\.asp\?order=[^"]*)")re");
    ASSERT_GE(sortLinks.size(), 5u);
    for (std::string link : sortLinks) {
        link = std::regex_replace(link, std::regex("&amp;"), "&");
        for (const char* direction : {"asc", "desc"}) {
            const std::string url =
                std::regex_replace(link, std::regex("dir=[a-z]+"), std::string("dir=") + direction);
            const AspResponse sorted = Clean(url);
            EXPECT_EQ(ProductNames(sorted.body).size(), 2u) << url;
        }
    }
    // Prices ascending: the two cheapest first; descending: the two dearest.
    EXPECT_EQ(ProductNames(Clean("productslist.asp?order=price&dir=asc").body),
              (std::vector<std::string>{"Sugar cubes", "Green tea, 100 g"}));
    EXPECT_EQ(ProductNames(Clean("productslist.asp?order=price&dir=desc").body),
              (std::vector<std::string>{"Teapot", "Cup set"}));
}

// Paging shows each record once over the pages, and a page number outside the range, or none
// at all, shows a page within it.
TEST_P(DemoShopTest, PagingCoversEveryRecordAndClampsItsBounds) {
    std::vector<std::string> seen;
    for (int page = 1; page <= 3; ++page) {
        const std::vector<std::string> names = ProductNames(
            Clean("productslist.asp?order=product_id&dir=asc&page=" + std::to_string(page)).body);
        EXPECT_EQ(names.size(), page < 3 ? 2u : 1u) << page;
        seen.insert(seen.end(), names.begin(), names.end());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Green tea, 100 g", "Teapot", "Cup set", "Sugar cubes",
                                              "Honey, 250 g"}));
    for (const char* page : {"0", "-1", "4", "99999999999", "abc", "1.5", "%27"}) {
        EXPECT_EQ(
            ProductNames(Clean(std::string("productslist.asp?order=product_id&page=") + page).body).size(),
            2u)
            << page;
    }
}

// A search by a text field matches part of the text, by a number or a date the value itself;
// the master record's link filters the detail list to its records.
TEST_P(DemoShopTest, SearchAndMasterFilter) {
    const std::string lisbon = Clean("customerslist.asp?z_city=Lisb").body;
    EXPECT_TRUE(Holds(lisbon, "Ada Fernsby"));
    EXPECT_FALSE(Holds(lisbon, "Bruno Okafor"));
    const std::string stock = Clean("productslist.asp?z_stock=8").body;
    EXPECT_TRUE(Holds(stock, "Teapot"));
    EXPECT_FALSE(Holds(stock, "Cup set"));
    const std::string joined = Clean("customerslist.asp?z_joined=2024-01-20").body;
    EXPECT_TRUE(Holds(joined, "Chen Wei"));
    EXPECT_FALSE(Holds(joined, "Ada Fernsby"));

    const std::string vip = Clean("customerslist.asp?z_vip=1").body;
    EXPECT_TRUE(Holds(vip, "Ada Fernsby"));
    EXPECT_FALSE(Holds(vip, "Bruno Okafor"));

    const std::string orders = Clean("orderslist.asp?master=customers&fk_customer_id=1").body;
    EXPECT_TRUE(Holds(orders, "2024"));
    EXPECT_FALSE(Holds(orders, "Gift wrap")) << "an order of another customer";
    const std::string lines = Clean("order_lineslist.asp?master=orders&fk_order_id=2").body;
    EXPECT_TRUE(Holds(lines, "19"));
    EXPECT_FALSE(Holds(lines, "34.9"));
}

// A decimal is searched, saved and edited with its digits after the point.
TEST_P(DemoShopTest, DecimalsKeepTheirScale) {
    const std::string price = Clean("productslist.asp?z_price=34.9").body;
    EXPECT_TRUE(Holds(price, "Teapot"));
    EXPECT_FALSE(Holds(price, "Green tea"));
    const std::map<std::string, std::string> scales{
        {"x_name", "Scales"}, {"x_price", "12.25"}, {"x_stock", "2"}, {"x_discontinued", "0"}};
    EXPECT_EQ(CleanPost("productsadd.asp", FormFields(Clean("productsadd.asp").body, scales)).StatusCode(),
              302);
    const std::string id = Database().Scalar(u"SELECT product_id FROM products WHERE name = 'Scales'");
    const std::string edit = "productsedit.asp?k_product_id=" + id;
    EXPECT_EQ(CleanPost(edit, FormFields(Clean(edit).body, {{"x_stock", "3"}})).StatusCode(), 302);
    EXPECT_EQ(Database().Scalar(u"SELECT stock FROM products WHERE name = 'Scales'"), "3");
    EXPECT_EQ(std::stod(Database().Scalar(u"SELECT price FROM products WHERE name = 'Scales'")), 12.25);
    // The shop's five products are what the other tests count on.
    const std::string remove = "productsdelete.asp?k_product_id=" + id;
    EXPECT_EQ(CleanPost(remove, FormFields(Clean(remove).body)).StatusCode(), 302);
}

// A search value that is no value of its field says so instead of showing every record, and the
// wildcard characters of LIKE match only themselves.
TEST_P(DemoShopTest, SearchValuesAreTakenLiterally) {
    EXPECT_TRUE(ProductNames(Clean("productslist.asp?z_name=%25").body).empty());
    EXPECT_TRUE(ProductNames(Clean("productslist.asp?z_name=_").body).empty());
    EXPECT_TRUE(ProductNames(Clean("productslist.asp?z_stock=abc").body).empty());
}

// View, add, edit and delete a record the way a user does: the form carries its token, the
// record is written, changed and gone, and only the changed field changes.
TEST_P(DemoShopTest, AddEditViewAndDeleteARecord) {
    const std::string form = Clean("customersadd.asp").body;
    const std::string token = Token(form);
    ASSERT_NE(token, "");
    const AspResponse added = CleanPost("customersadd.asp", {{"qv_token", token},
                                                             {"x_name", "Eve <b>Ødegård</b> 'quoted'"},
                                                             {"x_email", "eve@example.com"},
                                                             {"x_city", "Bergen"},
                                                             {"x_joined", "2024-06-30"},
                                                             {"x_vip", "1"},
                                                             {"x_notes", "line one\nline two"}});
    EXPECT_EQ(added.StatusCode(), 302) << added.body;
    const std::string id =
        Database().Scalar(u"SELECT customer_id FROM customers WHERE email = 'eve@example.com'");
    ASSERT_NE(id, "<none>");
    EXPECT_EQ(
        Database().Scalar(u"SELECT name FROM customers WHERE customer_id = " + automation::FromUtf8(id)),
        "Eve <b>Ødegård</b> 'quoted'");

    const std::string view = Clean("customersview.asp?k_customer_id=" + id).body;
    EXPECT_TRUE(Holds(view, "Eve &lt;b&gt;")) << "the name is shown as text";
    EXPECT_FALSE(Holds(view, "<b>Ø"));

    const std::string editForm = Clean("customersedit.asp?k_customer_id=" + id).body;
    ASSERT_TRUE(Holds(editForm, "value=\"Bergen\""));
    // Post back what the form holds, with the city changed.
    std::vector<std::pair<std::string, std::string>> fields;
    const std::regex input(R"re(<input type="(?:text|date)" id="[^"]*" name="([^"]*)" value="([^"]*)")re");
    for (std::sregex_iterator match(editForm.begin(), editForm.end(), input), end; match != end; ++match) {
        std::string value = (*match)[2].str();
        for (const auto& [entity, character] :
             std::vector<std::pair<std::string, std::string>>{{"&lt;", "<"},
                                                              {"&gt;", ">"},
                                                              {"&quot;", "\""},
                                                              {"&#216;", "\xC3\x98"},
                                                              {"&#229;", "\xC3\xA5"},
                                                              {"&amp;", "&"}}) {
            value = std::regex_replace(value, std::regex(entity), character);
        }
        fields.emplace_back((*match)[1].str(), (*match)[1].str() == "x_city" ? "Tromsø" : value);
    }
    // A Boolean column has a check box, here set.
    EXPECT_TRUE(Holds(editForm, "type=\"checkbox\" id=\"x_vip\" name=\"x_vip\" value=\"1\" checked"))
        << editForm;
    fields.emplace_back("x_vip", "1");
    fields.emplace_back("x_notes", "line one\nline two");
    fields.emplace_back("qv_token", Token(editForm));
    const AspResponse edited = CleanPost("customersedit.asp?k_customer_id=" + id, fields);
    EXPECT_EQ(edited.StatusCode(), 302) << edited.body;
    const std::u16string where = u" FROM customers WHERE customer_id = " + automation::FromUtf8(id);
    EXPECT_EQ(Database().Scalar(u"SELECT city" + where), "Tromsø");
    EXPECT_EQ(Database().Scalar(u"SELECT name" + where), "Eve <b>Ødegård</b> 'quoted'");
    EXPECT_EQ(Database().Scalar(u"SELECT email" + where), "eve@example.com");

    const std::string deleteForm = Clean("customersdelete.asp?k_customer_id=" + id).body;
    const AspResponse deleted =
        CleanPost("customersdelete.asp?k_customer_id=" + id, {{"qv_token", Token(deleteForm)}});
    EXPECT_EQ(deleted.StatusCode(), 302) << deleted.body;
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*)" + where), "0");
}

// A value that is no number or no date is named with the message of its kind and saves
// nothing; a text or a check box cannot fail to parse, so its page holds no such message.
TEST_P(DemoShopTest, UnparsableValuesAreNamedByTheirKind) {
    const AspResponse product = CleanPost(
        "productsadd.asp", FormFields(Clean("productsadd.asp").body,
                                      {{"x_name", "Odd"}, {"x_price", "twelve"}, {"x_stock", "1.5"}}));
    EXPECT_EQ(product.StatusCode(), 200);
    EXPECT_TRUE(Holds(product.body, "Please enter a number for price")) << product.body;
    EXPECT_TRUE(Holds(product.body, "Please enter a number for stock")) << product.body;
    const AspResponse customer =
        CleanPost("customersadd.asp",
                  FormFields(Clean("customersadd.asp").body, {{"x_name", "Odd"}, {"x_joined", "soon"}}));
    EXPECT_TRUE(Holds(customer.body, "Please enter a date for joined")) << customer.body;
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM products WHERE name = 'Odd'"), "0");
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM customers WHERE name = 'Odd'"), "0");
    for (const char* page : {"customersadd.asp", "customersedit.asp"}) {
        const std::string source = ReadSiteFile(page);
        for (const char* field : {"name", "email", "notes", "vip"}) {
            EXPECT_FALSE(Holds(source, std::string("a number for ") + field)) << page << " " << field;
            EXPECT_FALSE(Holds(source, std::string("a date for ") + field)) << page << " " << field;
        }
    }
}

// A change the database refuses is told in the site's own words, never the driver's: a required
// value (naming only the blank field that has no default), a duplicate key and, where the
// database keeps its references, a record that others refer to. Before, the page showed the
// driver's whole message, or named every blank required field, defaults or not.
TEST_P(DemoShopTest, RefusedChangesAreToldInTheSitesOwnWords) {
    const auto expectOwnWords = [](const AspResponse& response, const std::string& words) {
        EXPECT_EQ(response.StatusCode(), 200);
        EXPECT_TRUE(Holds(response.body, words)) << response.body;
        for (const char* driver : {"constraint", "violates", "Failing row", "DETAIL", "uplicate", "UNIQUE",
                                   "SQLite", "MariaDB", "PostgreSQL", "psql", "order_lines_pkey"}) {
            EXPECT_FALSE(Holds(response.body, driver)) << driver << ": " << response.body;
        }
    };
    // The stock has a default, the price has none.
    const AspResponse product =
        CleanPost("productsadd.asp", FormFields(Clean("productsadd.asp").body,
                                                {{"x_name", "Kettle"}, {"x_price", ""}, {"x_stock", ""}}));
    expectOwnWords(product, "Please enter a value for price");
    EXPECT_FALSE(Holds(product.body, "for stock")) << product.body;
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM products WHERE name = 'Kettle'"), "0");

    const AspResponse line = CleanPost("order_linesadd.asp",
                                       FormFields(Clean("order_linesadd.asp").body, {{"x_order_id", "1"},
                                                                                     {"x_line_no", "1"},
                                                                                     {"x_product_id", "5"},
                                                                                     {"x_quantity", "9"},
                                                                                     {"x_unit_price", "1"}}));
    expectOwnWords(line, "The record could not be saved. Another record already has the same value.");
    EXPECT_EQ(Database().Scalar(u"SELECT quantity FROM order_lines WHERE order_id = 1 AND line_no = 1"), "2");

    // SQLite's driver leaves foreign keys unchecked.
    if (Kind() != DatabaseKind::SQLite) {
        Database().Run(u"INSERT INTO customers (name) VALUES ('Referred')");
        const std::u16string id = automation::FromUtf8(
            Database().Scalar(u"SELECT customer_id FROM customers WHERE name = 'Referred'"));
        Database().Run(u"INSERT INTO orders (customer_id, order_date) VALUES (" + id + u", '2024-06-01')");
        const std::string url = "customersdelete.asp?k_customer_id=" + automation::ToUtf8(id);
        expectOwnWords(CleanPost(url, {{"qv_token", Token(Clean(url).body)}}),
                       "The record could not be deleted. Other records refer to this record.");
        EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM customers WHERE name = 'Referred'"), "1");
    }
}

// A composite key finds its one record: deleting an order line leaves the order's other line.
TEST_P(DemoShopTest, DeletesByACompositeKey) {
    const std::string url = "order_linesdelete.asp?k_order_id=3&k_line_no=2";
    const std::string form = Clean(url).body;
    EXPECT_EQ(CleanPost(url, {{"qv_token", Token(form)}}).StatusCode(), 302);
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM order_lines WHERE order_id = 3"), "1");
    EXPECT_EQ(Database().Scalar(u"SELECT line_no FROM order_lines WHERE order_id = 3"), "1");
}

// A form posted without the session's token, or with another, changes nothing; a key that
// does not exist or is no number gives a clean page.
TEST_P(DemoShopTest, ForgedFormsAndMissingKeysChangeNothing) {
    Clean("customersdelete.asp?k_customer_id=2");
    for (const std::string& token :
         {std::string(), std::string("forged"), Token(Clean("customersadd.asp").body) + "x"}) {
        CleanPost("customersdelete.asp?k_customer_id=2", {{"qv_token", token}});
        CleanPost("customersedit.asp?k_customer_id=2", {{"qv_token", token}, {"x_name", "Mallory"}});
        CleanPost("customersadd.asp", {{"qv_token", token}, {"x_name", "Mallory"}});
    }
    // Another browser's token is not this one's.
    AspBrowser other(Site());
    const std::string foreign = Token(other.Get("customersadd.asp").body);
    CleanPost("customersdelete.asp?k_customer_id=2", {{"qv_token", foreign}});
    EXPECT_EQ(Database().Scalar(u"SELECT name FROM customers WHERE customer_id = 2"), "Bruno Okafor");
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM customers WHERE name = 'Mallory'"), "0");

    for (const char* url : {"customersview.asp?k_customer_id=999", "customersedit.asp?k_customer_id=999",
                            "customersdelete.asp?k_customer_id=999", "customersview.asp?k_customer_id=abc",
                            "customersview.asp", "order_linesview.asp?k_order_id=1"}) {
        const AspResponse response = Clean(url);
        EXPECT_TRUE(response.StatusCode() == 200 || response.StatusCode() == 302) << url;
    }
}

// A key beyond the range of its column's type is a key that does not exist, not a failure.
TEST_P(DemoShopTest, KeysOutOfRangeFindNothing) {
    for (const char* url :
         {"customersview.asp?k_customer_id=99999999999999999999",
          "customersedit.asp?k_customer_id=-99999999999", "orderslist.asp?z_customer_id=1e300",
          "orderslist.asp?master=customers&fk_customer_id=4294967296"}) {
        const AspResponse response = Clean(url);
        EXPECT_TRUE(response.StatusCode() == 200 || response.StatusCode() == 302) << url;
    }
}

// SQL and markup in the search and master filter parameters, which no link carries, are only
// values: nothing changes, nothing fails, and markup comes back as text.
TEST_P(DemoShopTest, HostileParametersHaveNoEffect) {
    const std::vector<std::string> attacks{"1' OR '1'='1", "name\" DESC; --", "<script>alert(1)</script>",
                                           "1) OR (1=1", "%00"};
    const std::vector<std::string> parameters{"z_name",        "z_city", "z_joined",      "z_vip",
                                              "z_customer_id", "master", "fk_customer_id"};
    for (const char* page : {"customerslist.asp", "orderslist.asp"}) {
        for (const std::string& parameter : parameters) {
            for (const std::string& attack : attacks) {
                const AspResponse response =
                    Clean(std::string(page) + "?" + parameter + "=" + UrlEncode(attack));
                EXPECT_FALSE(Holds(response.body, "<script>alert")) << page << " " << parameter;
            }
        }
    }
    EXPECT_EQ(Database().Scalar(u"SELECT COUNT(*) FROM customers WHERE customer_id <= 4"), "4");
}

// Every parameter of every page the site links to, given SQL, a quoted name or markup instead of
// its value, gives a clean page and changes nothing.
TEST_P(DemoShopTest, EveryParameterOfEveryLinkedPageResistsInjection) {
    const std::vector<std::string> attacks{"1' OR '1'='1' --", "x\" ; DROP TABLE customers; --",
                                           "\"><script>alert(1)</script>"};
    const std::u16string counts =
        u"SELECT (SELECT COUNT(*) FROM customers) + (SELECT COUNT(*) FROM orders) + "
        u"(SELECT COUNT(*) FROM products) + (SELECT COUNT(*) FROM order_lines)";
    const std::string before = Database().Scalar(counts);
    EXPECT_GT(TryInjections(Crawl("default.asp", 120), attacks), 15u);
    EXPECT_EQ(Database().Scalar(counts), before);
}

// The picture page sends the stored bytes as they are, and nothing for a record without them.
TEST_P(DemoShopTest, PicturePageSendsTheStoredBytes) {
    std::string bytes("\x89PNG\r\n\x1A\n\x00\xFF", 10);
    auto array = automation::MakeRef<automation::SafeArray>(
        automation::VarType::Byte,
        std::vector<automation::SafeArray::Bound>{{0, static_cast<std::int32_t>(bytes.size())}});
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        array->Elements()[index] = automation::Variant(static_cast<std::uint8_t>(bytes[index]));
    }
    Database().Run(u"UPDATE products SET picture = ? WHERE product_id = 2",
                   {ado::ParameterValue{ado::DataType::LongVarBinary, 10, 0, 0, automation::Variant(array)}});
    const AspResponse picture = Clean("products_picturepicture.asp?k_product_id=2");
    EXPECT_EQ(picture.StatusCode(), 200);
    EXPECT_EQ(picture.body, bytes);
    EXPECT_EQ(Clean("products_picturepicture.asp?k_product_id=3").StatusCode(), 404);
}

// The export sends every record as CSV, text quoted and quotes doubled.
TEST_P(DemoShopTest, ExportSendsTheRecordsAsCsv) {
    const AspResponse csv = Clean("productsexport.asp");
    EXPECT_EQ(csv.contentType, "text/csv");
    EXPECT_TRUE(Holds(csv.Header("Content-Disposition"), "attachment"));
    EXPECT_TRUE(Holds(csv.body, "\"Teapot\""));
    EXPECT_TRUE(Holds(csv.body, "34.9"));
    EXPECT_TRUE(Holds(Clean("customersexport.asp").body, "\"Dora \"\"Dee\"\" O'Neill\""));
}

// The file starts with its byte-order mark and header, numbers are numbers with a point, and a
// value that a spreadsheet would run as a formula is not one.
TEST_P(DemoShopTest, ExportIsASpreadsheetsSafeUtf8File) {
    Database().Run(u"UPDATE customers SET city = '=HYPERLINK(\"x\")' WHERE customer_id = 3");
    const AspResponse csv = Clean("productsexport.asp");
    EXPECT_TRUE(csv.body.starts_with("\xEF\xBB\xBF\""));
    EXPECT_EQ(std::count(csv.body.begin(), csv.body.end(), '\n'), 6) << csv.body;
    EXPECT_TRUE(Holds(csv.body, ",34.9,")) << csv.body;
    EXPECT_FALSE(Holds(Clean("customersexport.asp").body, ",\"=HYPERLINK"));
}

// The export of a filtered, sorted list holds the records the list shows, in its order.
TEST_P(DemoShopTest, ExportFollowsTheListsFilterAndOrder) {
    Clean("productslist.asp?z_name=t&order=price&dir=desc");
    const std::string csv = Clean("productsexport.asp").body;
    EXPECT_FALSE(Holds(csv, "Honey"));
    EXPECT_LT(csv.find("Teapot"), csv.find("Green tea"));
}

// Every statement the pages ran prepares against the live database.
TEST_P(DemoShopTest, EveryStatementOfThePagesPrepares) {
    for (const char* page :
         {"customerslist.asp?order=name&dir=desc&z_city=a&z_vip=1", "productslist.asp?z_stock=8",
          "orderslist.asp?master=customers&fk_customer_id=1", "order_lineslist.asp?page=2",
          "order_totalslist.asp", "customersview.asp?k_customer_id=1",
          "order_linesedit.asp?k_order_id=1&k_line_no=1", "productsdelete.asp?k_product_id=1",
          "productsexport.asp"}) {
        Clean(page);
    }
    // An add, an edit and a delete, posted from the pages' own forms.
    const std::map<std::string, std::string> buyer{{"x_name", "Kettle Buyer"},
                                                   {"x_email", "kettle@example.com"},
                                                   {"x_vip", "0"},
                                                   {"x_joined", "2024-07-01"}};
    EXPECT_EQ(CleanPost("customersadd.asp", FormFields(Clean("customersadd.asp").body, buyer)).StatusCode(),
              302);
    const std::string id =
        Database().Scalar(u"SELECT customer_id FROM customers WHERE email = 'kettle@example.com'");
    const std::string edit = "customersedit.asp?k_customer_id=" + id;
    EXPECT_EQ(CleanPost(edit, FormFields(Clean(edit).body, {{"x_city", "Faro"}})).StatusCode(), 302);
    EXPECT_EQ(Database().Scalar(u"SELECT city FROM customers WHERE email = 'kettle@example.com'"), "Faro");
    const std::string remove = "customersdelete.asp?k_customer_id=" + id;
    EXPECT_EQ(CleanPost(remove, FormFields(Clean(remove).body)).StatusCode(), 302);
    std::set<std::string> verbs;
    for (const ExecutedStatement& statement : StatementsOfThisTest()) {
        verbs.insert(automation::ToUtf8(statement.sql.substr(0, statement.sql.find(u' '))));
    }
    EXPECT_EQ(verbs, (std::set<std::string>{"DELETE", "INSERT", "SELECT", "UPDATE"}));
    for (const std::string& failure : PrepareFailures()) {
        ADD_FAILURE() << failure;
    }
    for (const ExecutedStatement& statement : StatementsOfThisTest()) {
        EXPECT_EQ(statement.error, u"") << automation::ToUtf8(statement.sql);
    }
}

// Every page the site links to runs clean, from the home page down to each record's pages.
TEST_P(DemoShopTest, EveryLinkedPageRunsClean) {
    EXPECT_GT(Crawl("default.asp", 120).size(), 60u);
    for (const ExecutedStatement& statement : StatementsOfThisTest()) {
        EXPECT_EQ(statement.error, u"") << automation::ToUtf8(statement.sql);
    }
}

// Pages forbid being framed by another site and being read as another type than they say.
TEST_P(DemoShopTest, PagesSendProtectiveHeaders) {
    for (const char* page : {"default.asp", "customerslist.asp", "customersview.asp?k_customer_id=1"}) {
        const AspResponse response = Clean(page);
        EXPECT_NE(response.Header("X-Frame-Options"), "") << page;
        EXPECT_EQ(response.Header("X-Content-Type-Options"), "nosniff") << page;
    }
}

// The site's configuration holds nothing the web server locks by default (its asp section
// fails every request with 500.19), and the script time-out is set by the pages.
TEST_P(DemoShopTest, WebConfigHoldsNoLockedSection) {
    std::ifstream stream(Site().Root() / "web.config", std::ios::binary);
    const std::string config(std::istreambuf_iterator<char>(stream), {});
    ASSERT_FALSE(config.empty());
    EXPECT_FALSE(Holds(config, "<asp"));
    EXPECT_TRUE(Holds(Clean("customerslist.asp").body + ReadSiteFile("qvcfg.asp"), "ScriptTimeout"));
}

// The form token is unguessable: long, and different for every session.
TEST_P(DemoShopTest, FormTokensAreUnguessable) {
    std::set<std::string> tokens;
    for (int browser = 0; browser < 5; ++browser) {
        AspBrowser other(Site());
        const std::string token = Token(other.Get("customersadd.asp").body);
        EXPECT_GE(token.size(), 32u) << token;
        tokens.insert(token);
    }
    EXPECT_EQ(tokens.size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Databases, DemoShopTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

} // namespace
} // namespace qv::test::site
