#include "platform/dao/Database.h"

#include "AccessFixture.h"

#include "platform/sql/AccessQueryAnalyzer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qv::dao {
namespace {

using test::Utf8;

struct ExpectedField {
    std::u16string_view name;
    std::int16_t type;
    std::int32_t size;
    std::int32_t attributes;
    std::u16string_view defaultValue = {};
    std::u16string_view caption = {}; // "" when the field has none
    bool required = false;
    bool allowZeroLength = false;
};

struct FixtureCase {
    const char* file;
    FileFormat format;
    std::u16string_view version;
    std::u16string_view table;                     // a user table
    std::vector<std::u16string_view> primaryKey;   // its "PrimaryKey" index, in key order
    std::vector<ExpectedField> fields;             // some of its fields
    std::u16string_view uniqueField;               // one-column unique index, "" for none
    std::vector<std::u16string_view> systemTables; // tables flagged as system objects
    std::vector<std::u16string_view> hiddenTables; // tables flagged hidden
    std::vector<std::u16string_view> views;        // exactly what the catalogue lists as views
};

// Text sizes are characters: Jet 4 and later files store them in bytes.
const FixtureCase Fixtures[] = {
    {"nwind.mdb",
     FileFormat::Jet3,
     u"3.0",
     u"Order Details",
     {u"OrderID", u"ProductID"},
     {{u"OrderID", DataType::Long, 4, FieldAttribute::FixedField, u"", u"Order ID"},
      {u"UnitPrice", DataType::Currency, 8, FieldAttribute::FixedField, u"0", u"Unit Price", true},
      {u"Quantity", DataType::Integer, 2, FieldAttribute::FixedField, u"1", u"", true},
      {u"Discount", DataType::Single, 4, FieldAttribute::FixedField, u"0", u"", true}},
     u"",
     {u"MSysObjects", u"MSysQueries", u"MSysIMEXSpecs"},
     {},
     {u"Alphabetical List of Products", u"Catalog", u"Category Sales for 1995", u"Current Product List",
      u"Customers and Suppliers by City", u"Invoices", u"Order Details Extended", u"Order Subtotals",
      u"Orders Qry", u"Product Sales for 1995", u"Products Above Average Price", u"Products by Category",
      u"Quarterly Orders", u"Quarterly Orders by Product", u"Sales by Category", u"Sales Totals by Amount",
      u"Summary of Sales by Quarter", u"Summary of Sales by Year", u"Ten Most Expensive Products"}},
    {"DateTestDatabase.mdb",
     FileFormat::Jet4,
     u"4.0",
     u"DateTest",
     {},
     {{u"IDCol", DataType::Long, 4, FieldAttribute::FixedField, u"0"},
      {u"DateTimeCol", DataType::Date, 8, FieldAttribute::FixedField},
      {u"LongTextCol", DataType::Memo, 0, FieldAttribute::VariableField, u"", u"", false, true},
      {u"ShortTextCol", DataType::Text, 255, FieldAttribute::VariableField, u"", u"", false, true}},
     u"",
     {u"MSysObjects", u"MSysAccessStorage", u"f_75A72A8786B149369D90EB962DAB8A2C_Data"},
     {u"MSysAccessStorage", u"MSysNavPaneGroups"},
     {}},
    {"ASampleDatabase.accdb",
     FileFormat::Ace12,
     u"12.0",
     u"Asset Items",
     {u"Asset No"},
     {{u"Asset No", DataType::Text, 5, FieldAttribute::VariableField},
      {u"Acquired", DataType::Date, 8, FieldAttribute::FixedField},
      {u"Cost", DataType::Currency, 8, FieldAttribute::FixedField, u"0"},
      {u"Warranty", DataType::Long, 4, FieldAttribute::FixedField, u"0"},
      {u"Comments", DataType::Memo, 0, FieldAttribute::VariableField}},
     u"Asset No",
     {u"MSysObjects", u"MSysComplexColumns", u"MSysAccessStorage"},
     {u"MSysAccessStorage"},
     {u"qryComputerHardwareInOwnerOrder", u"qryCostsSummedByOwner", u"qryGSTCalculations"}},
};

class AccessFile : public ::testing::TestWithParam<FixtureCase> {
protected:
    Database Open() { return Database::Open(test::PathText(test::CopyFixture(mFolder, GetParam().file))); }

    qv::test::TempDir mFolder;
};

TEST_P(AccessFile, ReportsFormatAndName) {
    const auto path = test::CopyFixture(mFolder, GetParam().file);
    const Database database = Database::Open(test::PathText(path));
    EXPECT_EQ(database.Name(), test::PathText(path));
    EXPECT_EQ(database.Format(), GetParam().format);
    EXPECT_EQ(Utf8(database.Version()), Utf8(GetParam().version));
}

TEST_P(AccessFile, ReadsFieldsWithTheirProperties) {
    const Database database = Open();
    const TableDef* table = database.FindTableDef(GetParam().table);
    ASSERT_NE(table, nullptr);
    EXPECT_FALSE(table->IsSystem());
    EXPECT_FALSE(table->IsHidden());
    for (const ExpectedField& expected : GetParam().fields) {
        SCOPED_TRACE(Utf8(expected.name));
        const Field* field = table->FindField(expected.name);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->type, expected.type);
        EXPECT_EQ(field->size, expected.size);
        EXPECT_EQ(field->attributes, expected.attributes);
        EXPECT_EQ(Utf8(field->defaultValue), Utf8(expected.defaultValue));
        EXPECT_EQ(Utf8(field->Caption().value_or(u"")), Utf8(expected.caption));
        EXPECT_EQ(field->required, expected.required);
        EXPECT_EQ(field->allowZeroLength, expected.allowZeroLength);
        EXPECT_EQ(Utf8(field->sourceTable), Utf8(table->name));
        EXPECT_EQ(&table->fields[static_cast<std::size_t>(field->ordinalPosition)], field);
    }
}

TEST_P(AccessFile, ReadsPrimaryAndUniqueKeys) {
    const Database database = Open();
    const TableDef* table = database.FindTableDef(GetParam().table);
    ASSERT_NE(table, nullptr);
    const Index* primary = table->FindIndex(u"PrimaryKey");
    if (GetParam().primaryKey.empty()) {
        EXPECT_EQ(primary, nullptr);
    } else {
        ASSERT_NE(primary, nullptr);
        EXPECT_TRUE(primary->primary);
        EXPECT_TRUE(primary->unique);
        ASSERT_EQ(primary->fields.size(), GetParam().primaryKey.size());
        for (std::size_t index = 0; index < primary->fields.size(); ++index) {
            EXPECT_EQ(Utf8(primary->fields[index].name), Utf8(GetParam().primaryKey[index]));
        }
    }
    for (const Index& index : table->indexes) {
        SCOPED_TRACE(Utf8(index.name));
        EXPECT_FALSE(index.fields.empty());
        EXPECT_EQ(index.primary, index.name == u"PrimaryKey");
        for (const IndexField& field : index.fields) {
            EXPECT_NE(table->FindField(field.name), nullptr);
        }
    }
    if (!GetParam().uniqueField.empty()) {
        const bool found = std::any_of(table->indexes.begin(), table->indexes.end(), [&](const Index& index) {
            return index.unique && index.fields.size() == 1 && index.fields[0].name == GetParam().uniqueField;
        });
        EXPECT_TRUE(found);
    }
}

TEST_P(AccessFile, TellsSystemAndHiddenTablesApart) {
    const Database database = Open();
    for (std::u16string_view name : GetParam().systemTables) {
        SCOPED_TRACE(Utf8(name));
        const TableDef* table = database.FindTableDef(name);
        ASSERT_NE(table, nullptr);
        EXPECT_TRUE(table->IsSystem());
    }
    for (std::u16string_view name : GetParam().hiddenTables) {
        SCOPED_TRACE(Utf8(name));
        const TableDef* table = database.FindTableDef(name);
        ASSERT_NE(table, nullptr);
        EXPECT_TRUE(table->IsHidden());
    }
    // DAO's order: by name, ignoring case.
    const auto& tables = database.TableDefs();
    EXPECT_TRUE(std::is_sorted(tables.begin(), tables.end(), [](const TableDef& a, const TableDef& b) {
        return automation::CompareNoCase(a.name, b.name) < 0;
    }));
}

TEST_P(AccessFile, ListsTheViewsAndTheirSqlReadsBack) {
    const Database database = Open();
    const std::vector<std::u16string> views = database.ViewNames();
    ASSERT_EQ(views.size(), GetParam().views.size());
    for (std::size_t index = 0; index < views.size(); ++index) {
        EXPECT_EQ(Utf8(views[index]), Utf8(GetParam().views[index]));
    }
    for (const QueryDef& query : database.QueryDefs()) {
        SCOPED_TRACE(Utf8(query.name));
        EXPECT_FALSE(query.sql.empty());
        EXPECT_TRUE(query.sql.ends_with(u";\r\n"));
        if (query.IsView()) {
            EXPECT_FALSE(query.fields.empty());
        }
        // Every select query's SQL can be read back to the tables it names.
        if (query.type == QueryType::Select) {
            sql::AccessQueryAnalyzer analyzer;
            analyzer.SetSql(query.sql);
            EXPECT_TRUE(analyzer.Outline().complete);
            EXPECT_FALSE(analyzer.Outline().sources.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, AccessFile, ::testing::ValuesIn(Fixtures),
    [](const ::testing::TestParamInfo<FixtureCase>& info) {
        std::string name = info.param.file;
        name.erase(std::remove_if(name.begin(), name.end(),
                                  [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
                   name.end());
        return name;
    });

// The queries of the Jet 3 sample, whose meaning is known, rebuilt from the catalogue.
class Northwind : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qv::test::TempDir folder;
        sDatabase = std::make_unique<Database>(
            Database::Open(test::PathText(test::CopyFixture(folder, "nwind.mdb"))));
    }
    static void TearDownTestSuite() { sDatabase.reset(); }

    static const QueryDef& Query(std::u16string_view name) {
        const QueryDef* query = sDatabase->FindQueryDef(name);
        EXPECT_NE(query, nullptr) << Utf8(name);
        return *query;
    }

    static std::unique_ptr<Database> sDatabase;
};

std::unique_ptr<Database> Northwind::sDatabase;

TEST_F(Northwind, RebuildsSelectQueriesWithTheirJoinsAndClauses) {
    struct Case {
        std::u16string_view query;
        std::u16string_view sql;
    };
    const Case cases[] = {
        {u"Alphabetical List of Products",
         u"SELECT DISTINCTROW Products.*, Categories.CategoryName\r\n"
         u"FROM Categories INNER JOIN Products ON Categories.CategoryID = Products.CategoryID\r\n"
         u"WHERE (((Products.Discontinued)=No));\r\n"},
        {u"Current Product List", u"SELECT [Product List].ProductID, [Product List].ProductName\r\n"
                                  u"FROM Products AS [Product List]\r\n"
                                  u"WHERE ((([Product List].Discontinued)=No))\r\n"
                                  u"ORDER BY [Product List].ProductName;\r\n"},
        {u"Ten Most Expensive Products",
         u"SELECT DISTINCTROW TOP 10 Products.ProductName AS TenMostExpensiveProducts, Products.UnitPrice\r\n"
         u"FROM Products\r\n"
         u"ORDER BY Products.UnitPrice DESC;\r\n"},
        {u"Quarterly Orders",
         u"SELECT DISTINCTROW Customers.CustomerID, Customers.CompanyName, Customers.City, "
         u"Customers.Country\r\n"
         u"FROM Customers RIGHT JOIN Orders ON Customers.CustomerID = Orders.CustomerID\r\n"
         u"WHERE (((Orders.OrderDate) Between #1/1/95# And #12/31/95#));\r\n"},
        {u"Order Subtotals", u"SELECT DISTINCTROW [Order Details].OrderID, "
                             u"Sum(CCur([UnitPrice]*[Quantity]*(1-[Discount])/100)*100) AS "
                             u"Subtotal\r\n"
                             u"FROM [Order Details]\r\n"
                             u"GROUP BY [Order Details].OrderID;\r\n"},
        // Joins nest as Access nests them: the second join takes the first as its left side.
        {u"Product Sales for 1995",
         u"SELECT DISTINCTROW Categories.CategoryName, Products.ProductName, "
         u"Sum(CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount])/100)*100) AS ProductSales\r\n"
         u"FROM (Categories INNER JOIN Products ON Categories.CategoryID = Products.CategoryID) INNER JOIN "
         u"(Orders INNER JOIN [Order Details] ON Orders.OrderID = [Order Details].OrderID) ON "
         u"Products.ProductID = "
         u"[Order Details].ProductID\r\n"
         u"WHERE (((Orders.ShippedDate) Between #1/1/95# And #12/31/95#))\r\n"
         u"GROUP BY Categories.CategoryName, Products.ProductName;\r\n"},
        {u"Employee Sales by Country",
         u"PARAMETERS [Beginning Date] DateTime, [Ending Date] DateTime;\r\n"
         u"SELECT DISTINCTROW Employees.Country, Employees.LastName, Employees.FirstName, "
         u"Orders.ShippedDate, "
         u"Orders.OrderID, [Order Subtotals].Subtotal AS SaleAmount\r\n"
         u"FROM Employees INNER JOIN (Orders INNER JOIN [Order Subtotals] ON Orders.OrderID = [Order "
         u"Subtotals].OrderID) ON Employees.EmployeeID = Orders.EmployeeID\r\n"
         u"WHERE (((Orders.ShippedDate) Between [Beginning Date] And [Ending Date]));\r\n"},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(Utf8(expected.query));
        const QueryDef& query = Query(expected.query);
        EXPECT_EQ(query.type, QueryType::Select);
        EXPECT_EQ(Utf8(query.sql), Utf8(expected.sql));
    }
}

TEST_F(Northwind, RebuildsUnionAndCrosstabQueries) {
    const QueryDef& byCity = Query(u"Customers and Suppliers by City");
    EXPECT_EQ(byCity.type, QueryType::SetOperation);
    EXPECT_EQ(Utf8(byCity.sql), "SELECT City, CompanyName, ContactName, \"Customers\" AS [Relationship] \r\n"
                                "FROM Customers\r\n"
                                "UNION SELECT City, CompanyName, ContactName, \"Suppliers\"\r\n"
                                "FROM Suppliers\r\n"
                                "ORDER BY City, CompanyName;\r\n");
    ASSERT_EQ(byCity.fields.size(), 4u);
    EXPECT_EQ(Utf8(byCity.fields[3].name), "Relationship");
    EXPECT_EQ(byCity.fields[3].type, DataType::Text);

    const QueryDef& quarterly = Query(u"Quarterly Orders by Product");
    EXPECT_EQ(quarterly.type, QueryType::Crosstab);
    EXPECT_TRUE(quarterly.sql.starts_with(u"TRANSFORM Sum(CCur("));
    EXPECT_NE(
        quarterly.sql.find(u"\r\nGROUP BY Products.ProductName, Orders.CustomerID, Year([OrderDate])\r\n"
                           u"PIVOT \"Qtr \" & DatePart(\"q\",[OrderDate],1,0) In (\"Qtr 1\",\"Qtr 2\",\"Qtr "
                           u"3\",\"Qtr 4\");\r\n"),
        std::u16string::npos);
    // Row headings, then one column per fixed heading, typed as the value.
    std::vector<std::string> names;
    for (const Field& field : quarterly.fields) {
        names.push_back(Utf8(field.name));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"ProductName", "CustomerID", "OrderYear", "Qtr 1", "Qtr 2",
                                               "Qtr 3", "Qtr 4"}));
    EXPECT_EQ(quarterly.fields[2].type, DataType::Integer);
    EXPECT_EQ(quarterly.fields[3].type, DataType::Currency);
}

TEST_F(Northwind, ResolvesQueryFieldsAgainstTablesAndQueries) {
    const QueryDef& invoices = Query(u"Invoices");
    const Field* salesperson = nullptr;
    const Field* extendedPrice = nullptr;
    std::vector<std::string> companyNames;
    for (const Field& field : invoices.fields) {
        if (field.name == u"Salesperson") {
            salesperson = &field;
        } else if (field.name == u"ExtendedPrice") {
            extendedPrice = &field;
        } else if (field.name.ends_with(u"CompanyName")) {
            companyNames.push_back(Utf8(field.name));
        }
    }
    ASSERT_NE(salesperson, nullptr);
    EXPECT_EQ(salesperson->type, DataType::Text);
    EXPECT_TRUE(salesperson->sourceTable.empty());
    ASSERT_NE(extendedPrice, nullptr);
    EXPECT_EQ(extendedPrice->type, DataType::Currency);
    EXPECT_EQ(Utf8(extendedPrice->Caption().value_or(u"")), "Extended Price"); // the query column's own
    // Two columns of one name are told apart by their tables, as the engine names them.
    EXPECT_EQ(companyNames, (std::vector<std::string>{"Customers.CompanyName", "Shippers.CompanyName"}));

    // A column read through another query keeps the base table's description.
    const QueryDef& categorySales = Query(u"Category Sales for 1995");
    ASSERT_EQ(categorySales.fields.size(), 2u);
    EXPECT_EQ(Utf8(categorySales.fields[0].sourceTable), "Categories");
    EXPECT_EQ(categorySales.fields[0].size, 15);
    EXPECT_EQ(Utf8(categorySales.fields[0].Caption().value_or(u"")), "Category Name");
    EXPECT_EQ(categorySales.fields[1].type, DataType::Currency);

    // "Products.*" expands to every column of the table, auto-number attributes included.
    const QueryDef& alphabetical = Query(u"Alphabetical List of Products");
    ASSERT_EQ(alphabetical.fields.size(), 11u);
    EXPECT_EQ(Utf8(alphabetical.fields[0].name), "ProductID");
    EXPECT_TRUE(alphabetical.fields[0].IsAutoIncrement());
    EXPECT_EQ(Utf8(alphabetical.fields[10].name), "CategoryName");
    EXPECT_TRUE(alphabetical.hidden);
}

TEST_F(Northwind, FindsDeclaredAndImpliedParameters) {
    const QueryDef& filter = Query(u"Invoices Filter");
    ASSERT_EQ(filter.parameters.size(), 1u);
    EXPECT_EQ(Utf8(filter.parameters[0].name), "Forms!Orders!OrderID");
    EXPECT_FALSE(filter.IsView());

    const QueryDef& byYear = Query(u"Sales by Year");
    ASSERT_EQ(byYear.parameters.size(), 2u); // the declared ones, not again as implied
    EXPECT_EQ(byYear.parameters[0].type, DataType::Date);

    EXPECT_TRUE(Query(u"Products Above Average Price").parameters.empty()); // names in a subquery are its own
}

TEST_F(Northwind, ReadsNamesBeyondAscii) {
    const TableDef* sales = sDatabase->FindTableDef(u"Umsätze");
    ASSERT_NE(sales, nullptr);
    EXPECT_EQ(sales->fields.size(), 14u);
}

TEST_F(Northwind, ViewSqlGivesTheAnalyserWhatTheKeyDerivationNeeds) {
    sql::AccessQueryAnalyzer analyzer;
    analyzer.SetSql(Query(u"Orders Qry").sql);
    EXPECT_TRUE(analyzer.IsUpdatable());
    ASSERT_EQ(analyzer.JoinCount(), 1);
    analyzer.FirstJoin();
    EXPECT_EQ(Utf8(analyzer.JoinLeftTable()), "Customers");
    EXPECT_EQ(Utf8(analyzer.JoinLeftColumn()), "CustomerID");
    EXPECT_EQ(Utf8(analyzer.JoinRightTable()), "Orders");
    EXPECT_EQ(Utf8(analyzer.JoinType()), "INNER");

    analyzer.SetSql(Query(u"Current Product List").sql);
    EXPECT_TRUE(analyzer.IsUpdatable());
    EXPECT_EQ(Utf8(analyzer.BaseTable()), "Products");

    for (std::u16string_view readOnly : {u"Order Subtotals", u"Customers and Suppliers by City",
                                         u"Quarterly Orders by Product", u"Category Sales for 1995"}) {
        SCOPED_TRACE(Utf8(readOnly));
        analyzer.SetSql(Query(readOnly).sql);
        EXPECT_FALSE(analyzer.IsUpdatable());
    }
}

} // namespace
} // namespace qv::dao
