#include "platform/sql/CustomViewAnalyzer.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

namespace qv::sql {
namespace {

using automation::ToUtf8;

struct Expected {
    std::u16string column;
    bool isAlias;
    std::u16string sourceName;
    std::u16string sourceTable;
    std::u16string sourceField;
};

struct Case {
    std::int16_t dialect;
    std::u16string sql;
    std::vector<Expected> columns;
};

TEST(CustomViewAnalyzer, TracesColumnsToTheirTables) {
    const Case cases[] = {
        {2,
         u"SELECT o.OrderID, c.CompanyName AS Customer, o.Freight * 2 AS [Double Freight], [Order Date] "
         u"FROM dbo.Orders o INNER JOIN Customers AS c ON o.CustomerID = c.CustomerID WHERE o.Freight > 0",
         {
             {u"OrderID", false, u"o.OrderID", u"Orders", u"OrderID"},
             {u"customer", true, u"c.CompanyName", u"Customers", u"CompanyName"},
             {u"Double Freight", true, u"o.Freight * 2", u"", u""},
             // Unqualified over a join: which table holds it is not in the text.
             {u"Order Date", false, u"[Order Date]", u"", u"Order Date"},
         }},
        {1,
         u"SELECT DISTINCTROW [Order Details].[Unit Price], Orders!ShipName, Sum(Quantity) AS Total "
         u"FROM (Orders INNER JOIN [Order Details] ON Orders.OrderID = [Order Details].OrderID) "
         u"INNER JOIN Products ON Products.ID = [Order Details].ProductID WHERE Orders.Placed > #1/1/95# "
         u"GROUP BY [Order Details].[Unit Price], Orders!ShipName",
         {
             {u"Unit Price", false, u"[Order Details].[Unit Price]", u"Order Details", u"Unit Price"},
             {u"ShipName", false, u"Orders!ShipName", u"Orders", u"ShipName"},
             {u"Total", true, u"Sum(Quantity)", u"", u""},
         }},
        {3,
         u"SELECT `c`.`name` customer_name, t.* FROM `shop`.`customers` `c` JOIN towns t ON t.id = c.town_id "
         u"WHERE c.note <> 'it\\'s, FROM here' # a comment\n LIMIT 5",
         {
             {u"customer_name", true, u"`c`.`name`", u"customers", u"name"},
             {u"population", false, u"population", u"towns", u"population"},
         }},
        {4,
         u"SELECT \"Name\", e.salary sal, 'x' AS \"Kind\" FROM hr.employees e WHERE ROWNUM < 10",
         {
             {u"Name", false, u"\"Name\"", u"employees", u"Name"},
             {u"SAL", true, u"e.salary", u"employees", u"salary"},
             {u"Kind", true, u"'x'", u"", u""},
         }},
        {2,
         u"SELECT TOP 10 PERCENT WITH TIES * FROM Products ORDER BY Price",
         {
             {u"Price", false, u"Price", u"Products", u"Price"},
         }},
        {5, // another kind reads as Access
         u"SELECT p.[Unit Price] FROM [Product List] AS p",
         {
             {u"Unit Price", false, u"p.[Unit Price]", u"Product List", u"Unit Price"},
         }},
        {2,
         u"WITH recent AS (SELECT * FROM Orders) SELECT r.ID, x.Total, Payments.Amount "
         u"FROM recent r, (SELECT SUM(Amount) AS Total FROM Payments) AS x, Payments",
         {
             // Neither a WITH name nor a derived table is a table of the database.
             {u"ID", false, u"r.ID", u"", u"ID"},
             {u"Total", false, u"x.Total", u"", u"Total"},
             {u"Amount", false, u"Payments.Amount", u"Payments", u"Amount"},
         }},
        {3,
         u"SELECT a.*, b.* FROM a, b",
         {
             {u"anything", false, u"anything", u"", u""},
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.sql));
        CustomViewAnalyzer analyzer;
        ASSERT_TRUE(analyzer.AnalyzeSql(c.sql, c.dialect));
        for (const Expected& column : c.columns) {
            SCOPED_TRACE(ToUtf8(column.column));
            std::u16string name = u"stale";
            std::u16string table = u"stale";
            std::u16string field = u"stale";
            EXPECT_EQ(analyzer.GetColumnSource(column.column, name, table, field), column.isAlias);
            EXPECT_EQ(ToUtf8(name), ToUtf8(column.sourceName));
            EXPECT_EQ(ToUtf8(table), ToUtf8(column.sourceTable));
            EXPECT_EQ(ToUtf8(field), ToUtf8(column.sourceField));
        }
    }
}

TEST(CustomViewAnalyzer, AnUnknownColumnLeavesNothingOfTheLastOne) {
    // The caller passes the same three texts for every field; a column the statement does not
    // name must not inherit the previous column's source.
    CustomViewAnalyzer analyzer;
    ASSERT_TRUE(analyzer.AnalyzeSql(u"SELECT c.Name FROM Customers c", 2));
    std::u16string name;
    std::u16string table;
    std::u16string field;
    analyzer.GetColumnSource(u"Name", name, table, field);
    EXPECT_EQ(table, u"Customers");
    EXPECT_FALSE(analyzer.GetColumnSource(u"Missing", name, table, field));
    EXPECT_EQ(name, u"");
    EXPECT_EQ(table, u"");
    EXPECT_EQ(field, u"");
    EXPECT_FALSE(analyzer.FindColumn(u"Missing"));
}

TEST(CustomViewAnalyzer, ReadsEachDialectsLiteralsAndTableSuffixes) {
    const Case cases[] = {
        // Access's IN 'database' after a table is no alias.
        {1,
         u"SELECT Orders.* FROM Orders IN 'c:\\data\\other.mdb'",
         {{u"ShipName", false, u"ShipName", u"Orders", u"ShipName"}}},
        // A date right after a word still opens a date.
        {1,
         u"SELECT o.ID FROM Orders o WHERE o.Placed Between#1/1/95# And#12/31/95#",
         {{u"ID", false, u"o.ID", u"Orders", u"ID"}}},
        // 0x1F is one number, not 0 aliased as x1F.
        {2,
         u"SELECT 0x1F, 1E+3 AS e FROM t",
         {{u"0x1F", false, u"0x1F", u"", u""}, {u"e", true, u"1E+3", u"", u""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.sql));
        CustomViewAnalyzer analyzer;
        ASSERT_TRUE(analyzer.AnalyzeSql(c.sql, c.dialect));
        for (const Expected& column : c.columns) {
            SCOPED_TRACE(ToUtf8(column.column));
            std::optional<ColumnSource> source = analyzer.FindColumn(column.column);
            ASSERT_TRUE(source);
            EXPECT_EQ(source->isAlias, column.isAlias);
            EXPECT_EQ(ToUtf8(source->sourceName), ToUtf8(column.sourceName));
            EXPECT_EQ(ToUtf8(source->sourceTable), ToUtf8(column.sourceTable));
            EXPECT_EQ(ToUtf8(source->sourceField), ToUtf8(column.sourceField));
        }
    }
}

TEST(CustomViewAnalyzer, ATopAtTheEndIsRefusedWithoutReadingPastTheStatement) {
    // TOP n read the token after the last one; with eight tokens that was past the list.
    for (std::u16string_view sql : {u"SELECT TOP", u"WITH x AS () SELECT TOP"}) {
        SCOPED_TRACE(ToUtf8(sql));
        CustomViewAnalyzer analyzer;
        EXPECT_FALSE(analyzer.AnalyzeSql(sql, 2));
    }
}

TEST(CustomViewAnalyzer, RefusesWhatIsNotAReadableSelect) {
    const std::u16string refused[] = {
        u"",
        u"DELETE FROM Customers",
        u"SELECT (Name FROM Customers",
        u"SELECT Name FROM Customers WHERE Note = 'open",
        u"TRANSFORM Sum(Amount) SELECT Region FROM Sales GROUP BY Region PIVOT Year",
    };
    for (const std::u16string& sql : refused) {
        SCOPED_TRACE(ToUtf8(sql));
        CustomViewAnalyzer analyzer;
        EXPECT_FALSE(analyzer.AnalyzeSql(sql, 1));
        EXPECT_FALSE(analyzer.FindColumn(u"Name"));
    }
    // A new statement replaces everything the analyser knew of the old one.
    CustomViewAnalyzer analyzer;
    ASSERT_TRUE(analyzer.AnalyzeSql(u"SELECT Name FROM Customers", 1));
    EXPECT_FALSE(analyzer.AnalyzeSql(u"UPDATE Customers SET Name = 'x'", 1));
    EXPECT_FALSE(analyzer.FindColumn(u"Name"));
}

} // namespace
} // namespace qv::sql
