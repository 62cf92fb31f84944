#include "platform/sql/AccessQueryAnalyzer.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

namespace qv::sql {
namespace {

std::string Utf8(std::u16string_view text) {
    return automation::ToUtf8(text);
}

struct Expectation {
    std::u16string_view sql;
    bool updatable;
    int joins;
    std::u16string_view baseTable;
    // First join, when there is one.
    std::u16string_view leftTable = {};
    std::u16string_view leftColumn = {};
    std::u16string_view rightTable = {};
    std::u16string_view rightColumn = {};
    std::u16string_view joinType = {};
};

TEST(AccessQueryAnalyzer, AnswersForTheQueriesAccessStores) {
    const Expectation cases[] = {
        {u"SELECT Products.ProductID, Products.ProductName\r\nFROM Products\r\nORDER BY "
         u"Products.ProductName;\r\n",
         true, 0, u"Products"},
        {u"SELECT [Product List].ProductID FROM Products AS [Product List] WHERE [Product "
         u"List].Discontinued=No",
         true, 0, u"Products"},
        {u"SELECT DISTINCTROW TOP 10 Products.ProductName FROM Products ORDER BY Products.UnitPrice DESC;",
         true, 0, u"Products"},
        {u"PARAMETERS [Start] DateTime;\r\nSELECT * FROM Orders WHERE OrderDate > [Start];", true, 0,
         u"Orders"},
        {u"SELECT DISTINCTROW Orders.OrderID, Customers.CompanyName\r\nFROM Customers INNER JOIN Orders ON "
         u"Customers.CustomerID = Orders.CustomerID;\r\n",
         true, 1, u"", u"Customers", u"CustomerID", u"Orders", u"CustomerID", u"INNER"},
        // The condition names the right table first; the sides still follow the FROM clause.
        {u"SELECT * FROM [Order Details] AS d LEFT OUTER JOIN Products AS p ON p.ProductID = d.[Product ID]",
         true, 1, u"", u"Order Details", u"Product ID", u"Products", u"ProductID", u"LEFT"},
        {u"SELECT * FROM (Customers RIGHT JOIN Orders ON (Customers.CustomerID = Orders.CustomerID))", true,
         1, u"", u"Customers", u"CustomerID", u"Orders", u"CustomerID", u"RIGHT"},
        {u"SELECT * FROM (A INNER JOIN B ON A.x = B.x) INNER JOIN C ON B.y = C.y", true, 2, u"", u"A", u"x",
         u"B", u"x", u"INNER"},
        // What Access itself will not update.
        {u"SELECT DISTINCT City FROM Customers", false, 0, u"Customers"},
        {u"SELECT OrderID, Sum(Qty) AS Total FROM [Order Details] GROUP BY OrderID", false, 0,
         u"Order Details"},
        {u"SELECT Count(*) FROM Orders", false, 0, u"Orders"},
        {u"SELECT City FROM Customers UNION SELECT City FROM Suppliers", false, 0, u"Customers"},
        {u"SELECT * INTO Archive FROM Orders", false, 0, u"Orders"},
        {u"SELECT Customers.City, Orders.OrderID FROM Customers, Orders", false, 0, u""},
        {u"SELECT x.a FROM (SELECT a FROM T) AS x", false, 0, u""},
        {u"SELECT OrderID, (SELECT Max(Qty) FROM [Order Details]) AS Most FROM Orders", false, 0, u"Orders"},
        {u"TRANSFORM Sum(Qty) SELECT ProductID FROM [Order Details] GROUP BY ProductID PIVOT OrderID", false,
         0, u""},
        {u"UPDATE Orders SET Freight = 0", false, 0, u""},
        {u"DELETE * FROM Orders", false, 0, u""},
        {u"SELECT FROM WHERE", false, 0, u""},
        {u"", false, 0, u""},
    };
    for (const Expectation& expected : cases) {
        SCOPED_TRACE(Utf8(expected.sql));
        AccessQueryAnalyzer analyzer;
        analyzer.SetSql(expected.sql);
        EXPECT_EQ(analyzer.IsUpdatable(), expected.updatable);
        EXPECT_EQ(analyzer.JoinCount(), expected.joins);
        EXPECT_EQ(Utf8(analyzer.BaseTable()), Utf8(expected.baseTable));
        analyzer.FirstJoin();
        EXPECT_EQ(Utf8(analyzer.JoinLeftTable()), Utf8(expected.leftTable));
        EXPECT_EQ(Utf8(analyzer.JoinLeftColumn()), Utf8(expected.leftColumn));
        EXPECT_EQ(Utf8(analyzer.JoinRightTable()), Utf8(expected.rightTable));
        EXPECT_EQ(Utf8(analyzer.JoinRightColumn()), Utf8(expected.rightColumn));
        EXPECT_EQ(Utf8(analyzer.JoinType()), Utf8(expected.joinType));
    }
}

TEST(AccessQueryAnalyzer, WalksTheJoinsInOrderAndStartsOverWithNewSql) {
    AccessQueryAnalyzer analyzer;
    analyzer.SetSql(u"SELECT * FROM (A INNER JOIN B ON A.x = B.x) LEFT JOIN C ON C.y = B.y");
    EXPECT_EQ(Utf8(analyzer.JoinLeftTable()), ""); // nothing selected before FirstJoin
    analyzer.FirstJoin();
    ASSERT_TRUE(analyzer.NextJoin());
    EXPECT_EQ(Utf8(analyzer.JoinLeftTable()), "B");
    EXPECT_EQ(Utf8(analyzer.JoinRightTable()), "C");
    EXPECT_EQ(Utf8(analyzer.JoinType()), "LEFT");
    EXPECT_FALSE(analyzer.NextJoin());

    analyzer.SetSql(u"SELECT * FROM T");
    EXPECT_EQ(analyzer.JoinCount(), 0);
    EXPECT_EQ(Utf8(analyzer.JoinLeftTable()), "");
    EXPECT_EQ(Utf8(analyzer.BaseTable()), "T");
}

TEST(AccessQueryOutline, ReadsBackquotedNamesAndBangQualifiedColumns) {
    const auto outline = OutlineAccessQuery(u"SELECT d.Qty FROM `Order Details` AS d INNER JOIN Orders ON "
                                            u"d!OrderID = Orders!OrderID");
    EXPECT_TRUE(outline.complete);
    ASSERT_EQ(outline.sources.size(), 2u);
    EXPECT_EQ(Utf8(outline.sources[0].name), "Order Details");
    ASSERT_EQ(outline.joins.size(), 1u);
    EXPECT_EQ(outline.joins[0].leftSource, 0u);
    EXPECT_EQ(outline.joins[0].rightSource, 1u);
    EXPECT_EQ(Utf8(outline.joins[0].leftColumn), "OrderID");
    EXPECT_EQ(Utf8(outline.joins[0].rightColumn), "OrderID");
}

TEST(AccessQueryOutline, KeepsColumnsAndAliasesAsWritten) {
    const auto outline =
        OutlineAccessQuery(u"SELECT City, [FirstName] & \" \" & [LastName] AS Salesperson, \"Customers\" AS "
                           u"[Relationship]\r\nFROM Customers\r\nUNION SELECT City, x, y FROM Suppliers");
    ASSERT_EQ(outline.columns.size(), 3u);
    EXPECT_EQ(Utf8(outline.columns[1].expression), "[FirstName] & \" \" & [LastName]");
    EXPECT_EQ(Utf8(outline.columns[1].alias), "Salesperson");
    EXPECT_EQ(Utf8(outline.columns[2].alias), "Relationship");
    ASSERT_EQ(outline.sources.size(), 1u);
    EXPECT_EQ(Utf8(outline.sources[0].name), "Customers");
    EXPECT_TRUE(outline.hasUnion);
}

} // namespace
} // namespace qv::sql
