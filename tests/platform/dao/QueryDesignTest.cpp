#include "platform/dao/internal/QueryDesign.h"
#include "platform/dao/internal/QueryFields.h"

#include "AccessFixture.h"

#include <gtest/gtest.h>

namespace qv::dao::internal {
namespace {

using test::Utf8;

// Design rows as the catalogue keeps them: attribute, name1, name2, expression, flag.
QueryRow Row(std::uint8_t attribute, std::u16string name1, std::u16string name2, std::u16string expression,
             std::int16_t flag = 0) {
    return QueryRow{attribute, std::move(name1), std::move(name2), std::move(expression), flag};
}

TEST(QueryDesign, RebuildsEveryKindOfQuery) {
    struct Case {
        const char* what;
        std::int16_t type;
        std::vector<QueryRow> rows;
        std::u16string_view sql;
    };
    const Case cases[] = {
        {"outer joins keep their sides; two conditions on one pair form one join",
         QueryType::Select,
         {Row(5, u"Orders", u"", u""), Row(5, u"Order Details", u"d", u""), Row(5, u"Customers", u"", u""),
          Row(6, u"", u"", u"Orders.OrderID"), Row(6, u"Total", u"", u"d.Qty*2"),
          Row(7, u"Orders", u"d", u"Orders.OrderID = d.OrderID", 2),
          Row(7, u"Orders", u"d", u"Orders.Shop = d.Shop", 2),
          Row(7, u"Customers", u"Orders", u"Customers.ID = Orders.CustomerID", 3)},
         u"SELECT Orders.OrderID, d.Qty*2 AS Total\r\n"
         u"FROM Customers RIGHT JOIN (Orders LEFT JOIN [Order Details] AS d ON (Orders.OrderID = d.OrderID) "
         u"AND "
         u"(Orders.Shop = d.Shop)) ON Customers.ID = Orders.CustomerID;\r\n"},
        {"distinct, percent and owner access",
         QueryType::Select,
         {Row(3, u"25", u"", u"", 0x02 | 0x10 | 0x20 | 0x04), Row(5, u"T", u"", u""),
          Row(6, u"", u"", u"T.a"), Row(11, u"D", u"", u"T.a"), Row(11, u"", u"", u"T.b")},
         u"SELECT DISTINCT TOP 25 PERCENT T.a\r\nFROM T\r\nORDER BY T.a DESC, T.b\r\nWITH OWNERACCESS "
         u"OPTION;\r\n"},
        {"parameter names with form references",
         QueryType::Select,
         {Row(2, u"Forms!Sales Dialog!Start", u"", u"", 8), Row(2, u"Who", u"", u"", 10),
          Row(3, u"", u"", u"", 1), Row(5, u"T", u"", u"")},
         u"PARAMETERS [Forms]![Sales Dialog]![Start] DateTime, [Who] Text ( 255 );\r\nSELECT *\r\nFROM "
         u"T;\r\n"},
        {"union all without the distinct flag",
         QueryType::SetOperation,
         {Row(3, u"", u"", u"", 0), Row(5, u"", u"X7YZ_____1", u"SELECT a FROM T\r\n"),
          Row(5, u"", u"X7YZ_____2", u"SELECT b FROM U;")},
         u"SELECT a FROM T\r\nUNION ALL SELECT b FROM U;\r\n"},
        {"make-table into another database",
         QueryType::MakeTable,
         {Row(1, u"Archive", u"C:\\old.mdb", u"", 2), Row(5, u"Orders", u"", u""),
          Row(6, u"", u"", u"Orders.*"), Row(8, u"", u"", u"Orders.OrderDate<#1/1/95#")},
         u"SELECT Orders.* INTO Archive IN 'C:\\old.mdb'\r\nFROM Orders\r\nWHERE "
         u"Orders.OrderDate<#1/1/95#;\r\n"},
        {"append with target columns",
         QueryType::Append,
         {Row(1, u"Log Book", u"", u"", 3), Row(5, u"Orders", u"", u""),
          Row(6, u"", u"Order No", u"Orders.OrderID"), Row(6, u"", u"Order", u"Now()")},
         u"INSERT INTO [Log Book] ([Order No], [Order])\r\nSELECT Orders.OrderID, Now()\r\nFROM Orders;\r\n"},
        {"append of values",
         QueryType::Append,
         {Row(1, u"Log", u"", u"", 3), Row(6, u"", u"Note", u"'x'")},
         u"INSERT INTO Log (Note)\r\nVALUES ('x');\r\n"},
        {"update through a join",
         QueryType::Update,
         {Row(5, u"Orders", u"", u""), Row(5, u"Customers", u"", u""), Row(6, u"", u"Orders.Freight", u"0"),
          Row(7, u"Customers", u"Orders", u"Customers.ID = Orders.CustomerID", 1),
          Row(8, u"", u"", u"Customers.Country='UK'")},
         u"UPDATE Customers INNER JOIN Orders ON Customers.ID = Orders.CustomerID\r\nSET Orders.Freight = "
         u"0\r\n"
         u"WHERE Customers.Country='UK';\r\n"},
        {"delete",
         QueryType::Delete,
         {Row(3, u"", u"", u"", 0x08), Row(5, u"Orders", u"", u""), Row(6, u"", u"", u"Orders.*"),
          Row(8, u"", u"", u"Orders.Freight=0")},
         u"DELETE DISTINCTROW Orders.*\r\nFROM Orders\r\nWHERE Orders.Freight=0;\r\n"},
        {"a crosstab without fixed headings",
         QueryType::Crosstab,
         {Row(5, u"T", u"", u""), Row(6, u"", u"", u"T.Region", 2), Row(6, u"", u"", u"T.Year", 1),
          Row(6, u"Amount", u"", u"Sum(T.Amount)", 0), Row(9, u"", u"", u"T.Region", 2),
          Row(9, u"", u"", u"T.Year", 1)},
         u"TRANSFORM Sum(T.Amount) AS Amount\r\nSELECT T.Region\r\nFROM T\r\nGROUP BY T.Region\r\nPIVOT "
         u"T.Year;\r\n"},
        {"pass-through keeps its own text",
         QueryType::SQLPassThrough,
         {Row(1, u"", u"", u"EXEC sp_who", 8)},
         u"EXEC sp_who"},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.what);
        const QueryDesign design = BuildQueryDesign(expected.type, expected.rows);
        EXPECT_EQ(Utf8(design.sql), Utf8(expected.sql));
    }
}

TEST(QueryDesign, TypeComesFromTheTypeRowOrElseTheObjectFlags) {
    EXPECT_EQ(QueryTypeOf({Row(1, u"", u"", u"", 6)}, 0), QueryType::Crosstab);
    // Access 2007 and later write no type row for a select query.
    EXPECT_EQ(QueryTypeOf({Row(3, u"", u"", u"", 9)}, 3), QueryType::Select);
    EXPECT_EQ(QueryTypeOf({}, 0x80 | 0x8), QueryType::SetOperation);
    EXPECT_EQ(QueryTypeOf({}, 0xF0), QueryType::Select); // unknown flags: the harmless reading
}

class QueryFieldTypes : public ::testing::Test {
protected:
    QueryFieldTypes() {
        TableDef table;
        table.name = u"T";
        auto add = [&](std::u16string name, std::int16_t type, std::int32_t size) {
            Field field;
            field.name = std::move(name);
            field.type = type;
            field.size = size;
            field.sourceTable = u"T";
            field.properties = {Property{u"Caption", field.name + u" caption"}};
            table.fields.push_back(std::move(field));
        };
        add(u"Price", DataType::Currency, 8);
        add(u"Qty", DataType::Integer, 2);
        add(u"Name", DataType::Text, 30);
        add(u"When", DataType::Date, 8);
        add(u"Big", DataType::Long, 4);
        mTables.push_back(std::move(table));
    }

    // The single output column of "SELECT <expression> FROM T".
    Field Column(std::u16string expression, std::u16string alias = {}) {
        PendingQuery query;
        query.name = u"Q";
        query.design.sources.push_back(QuerySource{u"T", u""});
        query.design.columns.push_back(QueryColumn{expression, alias});
        query.design.expressions.push_back(expression);
        auto resolved = QueryResolver(mTables, {query}).ResolveAll();
        EXPECT_EQ(resolved[0].fields.size(), 1u);
        return resolved[0].fields.at(0);
    }

    std::vector<TableDef> mTables;
};

TEST_F(QueryFieldTypes, ComputedColumnsGetTheTypeTheirExpressionYields) {
    struct Case {
        std::u16string_view expression;
        std::int16_t type;
    };
    const Case cases[] = {
        {u"[Name] & \" \" & [Name]", DataType::Text},
        {u"T.Price*2", DataType::Currency},
        {u"[Price]*1.5", DataType::Double}, // currency with a floating-point number is floating-point
        {u"[Qty]*[Big]", DataType::Long},
        {u"[Qty]/2", DataType::Double},
        {u"[Qty]\\2", DataType::Integer},
        {u"-[Qty]^2", DataType::Double},
        {u"[When]+1", DataType::Date},
        {u"[When]-[When]", DataType::Double},
        {u"Year([When])", DataType::Integer},
        {u"Count(*)", DataType::Long},
        {u"Sum([Qty])", DataType::Double},
        {u"Sum([Price])", DataType::Currency},
        {u"Avg([Price])", DataType::Currency},
        {u"Max([When])", DataType::Date},
        {u"CCur([Qty]*[Price]/100)*100", DataType::Currency},
        {u"IIf([Qty]>0,[Name],\"none\")", DataType::Text},
        {u"ucase([Name])", DataType::Text},
        {u"CVDate(\"1/1/95\")", DataType::Date},
        {u"Rnd()", DataType::Single},
        {u"Yes", DataType::Boolean},
        {u"(SELECT Max(Qty) FROM T)+1", DataType::Double},
        {u"[Qty] Between 1 And 5", DataType::Boolean},
        {u"Not [Qty] In (1, 2)", DataType::Boolean},
        {u"#1/1/95#", DataType::Date},
        {u"(12)", DataType::Integer},
        {u"100000", DataType::Long},
        {u"MyVbaFunction([Qty])", DataType::Text}, // unknown: text, which can show anything
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(Utf8(expected.expression));
        const Field field = Column(std::u16string(expected.expression));
        EXPECT_EQ(field.type, expected.type);
        EXPECT_EQ(Utf8(field.name), "Expr1000");
        EXPECT_TRUE(field.sourceTable.empty());
    }
}

TEST_F(QueryFieldTypes, ColumnsReadFromASourceKeepItsDescription) {
    const Field plain = Column(u"T.Name");
    EXPECT_EQ(Utf8(plain.name), "Name");
    EXPECT_EQ(plain.size, 30);
    EXPECT_EQ(Utf8(plain.Caption().value_or(u"")), "Name caption");

    const Field renamed = Column(u"[Price]", u"Cost");
    EXPECT_EQ(Utf8(renamed.name), "Cost");
    EXPECT_EQ(renamed.type, DataType::Currency);
    EXPECT_EQ(Utf8(renamed.sourceTable), "T");
}

TEST_F(QueryFieldTypes, NamesNoSourceSuppliesAreParameters) {
    PendingQuery query;
    query.name = u"Q";
    query.design.sources.push_back(QuerySource{u"T", u"x"});
    query.design.columns.push_back(QueryColumn{u"x.Name", u""});
    query.design.parameters.push_back(Parameter{u"Declared", DataType::Long});
    query.design.expressions = {u"x.Name", u"x.Qty > [Declared] And x.Price < [Forms]![Prices]![Top]",
                                u"x.When = [Start Date] Or [start date] Is Null", u"T.Qty = 1",
                                u"x.Qty In (SELECT [Hidden] FROM T) And [After]"};
    const auto resolved = QueryResolver(mTables, {query}).ResolveAll();
    std::vector<std::string> names;
    for (const Parameter& parameter : resolved[0].impliedParameters) {
        names.push_back(Utf8(parameter.name));
    }
    // Once an alias is given, the table's own name no longer names it.
    EXPECT_EQ(names, (std::vector<std::string>{"Forms!Prices!Top", "Start Date", "T.Qty", "After"}));
}

TEST_F(QueryFieldTypes, QueriesThatReadEachOtherInACircleStillResolve) {
    PendingQuery first;
    first.name = u"A";
    first.design.sources.push_back(QuerySource{u"B", u""});
    first.design.columns.push_back(QueryColumn{u"B.x", u""});
    first.design.expressions.push_back(u"B.x");
    PendingQuery second = first;
    second.name = u"B";
    second.design.sources[0].name = u"A";
    second.design.columns[0].expression = u"A.x";
    second.design.expressions[0] = u"A.x";
    const auto resolved = QueryResolver(mTables, {first, second}).ResolveAll();
    ASSERT_EQ(resolved.size(), 2u);
    EXPECT_EQ(resolved[0].fields.size(), 1u);
    EXPECT_EQ(resolved[1].fields.size(), 1u);
    // B met A while A waited for B: a source it cannot see proves no name unknown.
    EXPECT_TRUE(resolved[1].impliedParameters.empty());
    EXPECT_TRUE(resolved[0].impliedParameters.empty());
}

} // namespace
} // namespace qv::dao::internal
