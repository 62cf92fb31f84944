#include "DatabaseFixture.h"

#include "platform/ado/Constants.h"

#include "platform/automation/Error.h"

#include <algorithm>
#include <map>
#include <set>

namespace qv::ado::test {
namespace {

using automation::Variant;

class SchemaRowsetTest : public DatabaseTest {
protected:
    struct Index {
        bool unique = false;
        bool primary = false;
        std::vector<std::u16string> columns;
    };

    /// The indexes of a table by name, each with its columns in rowset order; checks on the way
    /// that an index's rows are adjacent, which the schema readers rely on.
    std::map<std::u16string, Index> Indexes(std::u16string_view table) {
        Recordset rows =
            Schema(Schema::Indexes, {Variant(), Variant(), Variant(), Variant(), Variant(table)});
        std::map<std::u16string, Index> indexes;
        std::u16string previous;
        for (; !rows.Eof(); rows.MoveNext()) {
            std::u16string name = automation::ToString(rows.Value(u"index_name"));
            EXPECT_TRUE(name == previous || !indexes.contains(name))
                << "rows of " << Utf8(name) << " are apart";
            previous = name;
            Index& index = indexes[name];
            index.unique = automation::ToBoolean(rows.Value(u"UNIQUE"));
            index.primary = automation::ToBoolean(rows.Value(u"PRIMARY_KEY"));
            index.columns.push_back(automation::ToString(rows.Value(u"COLUMN_NAME")));
        }
        return indexes;
    }

    /// The one index over exactly these columns.
    static const Index* IndexOver(const std::map<std::u16string, Index>& indexes,
                                  std::vector<std::u16string> columns) {
        const Index* found = nullptr;
        for (const auto& [name, index] : indexes) {
            if (index.columns == columns) {
                EXPECT_EQ(found, nullptr) << "two indexes over the same columns";
                found = &index;
            }
        }
        return found;
    }
};

TEST_P(SchemaRowsetTest, TablesAreThisDatabasesTablesAndViews) {
    Recordset rows = Schema(Schema::Tables);
    std::set<std::u16string> tables;
    std::set<std::u16string> views;
    for (; !rows.Eof(); rows.MoveNext()) {
        std::u16string type = automation::ToString(rows.Value(u"TABLE_TYPE"));
        std::u16string name = automation::ToString(rows.Value(u"TABLE_NAME"));
        if (type == u"TABLE") {
            tables.insert(name);
        } else if (type == u"VIEW") {
            views.insert(name);
        }
    }
    // No other database's tables, and no SQLite bookkeeping table (sqlite_sequence) as a table.
    std::set<std::u16string> expected{u"customers",     u"order_lines",   u"orderXlines",
                                      u"Order Details", QuoteTableName(), u"identity_keys"};
    EXPECT_EQ(tables, expected);
    EXPECT_EQ(views, std::set<std::u16string>{u"customer_names"});

    Recordset onlyViews = Schema(Schema::Tables, {Variant(), Variant(), Variant(), Variant(u"VIEW")});
    EXPECT_EQ(Column(onlyViews, u"TABLE_NAME"), std::vector<std::u16string>{u"customer_names"});
}

TEST_P(SchemaRowsetTest, NameRestrictionsMatchOnlyThatName) {
    // "_" is a wildcard of catalog patterns: unescaped, "order_lines" would also match
    // "orderXlines" and mix its column, key and index rows in.
    Recordset tables = Schema(Schema::Tables, {Variant(), Variant(), Variant(u"order_lines")});
    EXPECT_EQ(Column(tables, u"TABLE_NAME"), std::vector<std::u16string>{u"order_lines"});

    Recordset columns = Schema(Schema::Columns, {Variant(), Variant(), Variant(u"order_lines")});
    EXPECT_EQ(Column(columns, u"COLUMN_NAME"),
              (std::vector<std::u16string>{u"order_id", u"line_no", u"product", u"quantity"}));

    Recordset oneColumn =
        Schema(Schema::Columns, {Variant(), Variant(), Variant(u"order_lines"), Variant(u"line_no")});
    EXPECT_EQ(Column(oneColumn, u"COLUMN_NAME"), std::vector<std::u16string>{u"line_no"});

    Recordset other =
        Schema(Schema::Indexes, {Variant(), Variant(), Variant(), Variant(), Variant(u"orderXlines")});
    EXPECT_TRUE(other.Eof());
}

TEST_P(SchemaRowsetTest, ColumnsTellTypeSizeAndNullability) {
    struct Expected {
        std::u16string column;
        std::set<std::int32_t> types; // drivers differ in which of the equivalent codes they use
        bool nullable;
        std::int32_t maximumLength; // 0: Null
    };
    const std::set<std::int32_t> text{DataType::VarChar, DataType::VarWChar};
    const Expected expected[] = {
        {u"id", {DataType::Integer}, false, 0},
        {u"name", text, false, 50},
        {u"email", text, true, 100},
        {u"active", {DataType::Boolean, DataType::TinyInt}, false, 0},
        {u"score", {DataType::Double}, true, 0},
        {u"born", {DataType::DBDate}, true, 0},
        {u"created", {DataType::DBTimeStamp}, true, 0},
        {u"notes", {DataType::LongVarChar, DataType::LongVarWChar}, true, -1},
        {u"small_count", {DataType::SmallInt}, true, 0},
        {u"big_count", {DataType::BigInt}, true, 0},
        // An exact number, whatever text type a driver may say it is.
        {u"balance", {DataType::Numeric, DataType::Decimal}, true, 0},
    };
    Recordset rows = Schema(Schema::Columns, {Variant(), Variant(), Variant(u"customers")});
    std::map<std::u16string, std::size_t> rowOf;
    std::int32_t ordinal = 0;
    for (std::size_t row = 0; !rows.Eof(); rows.MoveNext(), ++row) {
        rowOf[automation::ToString(rows.Value(u"COLUMN_NAME"))] = row;
        EXPECT_EQ(automation::ToLong(rows.Value(u"ORDINAL_POSITION")), ++ordinal);
    }
    EXPECT_EQ(ordinal, 16);
    for (const Expected& column : expected) {
        SCOPED_TRACE(Utf8(column.column));
        ASSERT_TRUE(rowOf.contains(column.column));
        rows.MoveFirst();
        for (std::size_t skip = 0; skip < rowOf[column.column]; ++skip) {
            rows.MoveNext();
        }
        const Variant& isNullable = rows.Value(u"IS_NULLABLE");
        ASSERT_EQ(isNullable.Type(), automation::VarType::Boolean);
        // SQLite's and MariaDB's drivers call an auto-increment key nullable (an insert may
        // give it Null to have it generated); PostgreSQL's reports the constraint.
        if (column.column != u"id" || Kind() == testdb::DatabaseKind::PostgreSQL) {
            EXPECT_EQ(isNullable.BooleanValue(), column.nullable);
        }
        EXPECT_TRUE(column.types.contains(automation::ToLong(rows.Value(u"DATA_TYPE"))))
            << automation::ToLong(rows.Value(u"DATA_TYPE"));
        const Variant& length = rows.Value(u"CHARACTER_MAXIMUM_LENGTH");
        if (column.maximumLength == 0) {
            EXPECT_TRUE(length.IsNull());
        } else if (column.maximumLength > 0) {
            EXPECT_EQ(automation::ToLong(length), column.maximumLength);
        } else {
            EXPECT_GT(automation::ToLong(length), 255);
        }
    }
}

TEST_P(SchemaRowsetTest, PrimaryKeysInKeyOrder) {
    struct Expected {
        std::u16string table;
        std::vector<std::u16string> columns;
    };
    const Expected expected[] = {
        {u"order_lines", {u"order_id", u"line_no"}},
        {u"customers", {u"id"}},
        {u"Order Details", {u"Order ID"}},
        {u"orderXlines", {}},
        {u"customer_names", {}},
    };
    for (const Expected& table : expected) {
        SCOPED_TRACE(Utf8(table.table));
        Recordset rows = Schema(Schema::PrimaryKeys, {Variant(), Variant(), Variant(table.table)});
        EXPECT_EQ(Column(rows, u"COLUMN_NAME"), table.columns);
        std::vector<std::u16string> ordinals;
        for (std::size_t position = 1; position <= table.columns.size(); ++position) {
            ordinals.push_back(automation::FromUtf8(std::to_string(position)));
        }
        EXPECT_EQ(Column(rows, u"ORDINAL"), ordinals);
        for (const std::u16string& name : Column(rows, u"TABLE_NAME")) {
            EXPECT_EQ(name, table.table);
        }
    }
}

TEST_P(SchemaRowsetTest, IndexesTellUniqueAndPrimary) {
    std::map<std::u16string, Index> customers = Indexes(u"customers");
    const Index* key = IndexOver(customers, {u"id"});
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->primary);
    EXPECT_TRUE(key->unique);
    const Index* email = IndexOver(customers, {u"email"});
    ASSERT_NE(email, nullptr);
    EXPECT_TRUE(email->unique);
    EXPECT_FALSE(email->primary);
    const Index* city = IndexOver(customers, {u"city"});
    ASSERT_NE(city, nullptr);
    EXPECT_FALSE(city->unique);
    EXPECT_NE(customers.find(u"customers_city"), customers.end());

    std::map<std::u16string, Index> lines = Indexes(u"order_lines");
    const Index* compositeKey = IndexOver(lines, {u"order_id", u"line_no"});
    ASSERT_NE(compositeKey, nullptr);
    EXPECT_TRUE(compositeKey->primary);
    const Index* uniquePair = IndexOver(lines, {u"order_id", u"product"});
    ASSERT_NE(uniquePair, nullptr);
    EXPECT_TRUE(uniquePair->unique);
    EXPECT_FALSE(uniquePair->primary);
    const Index* quantity = IndexOver(lines, {u"quantity"});
    ASSERT_NE(quantity, nullptr);
    EXPECT_FALSE(quantity->unique);

    Recordset byName = Schema(Schema::Indexes, {Variant(), Variant(), Variant(u"customers_city"), Variant(),
                                                Variant(u"customers")});
    EXPECT_EQ(Column(byName, u"COLUMN_NAME"), std::vector<std::u16string>{u"city"});
}

TEST_P(SchemaRowsetTest, NamesWithBlanksQuotesAndLetterCase) {
    struct Expected {
        std::u16string table;
        std::vector<std::u16string> columns;
    };
    const std::u16string quote = mConnection.IdentifierQuote();
    const Expected expected[] = {
        {u"Order Details", {u"Order ID", u"Unit Price", u"MixedCase"}},
        {QuoteTableName(), {u"it's", u"quote" + quote + u"column", u"naïve ✓"}},
    };
    for (const Expected& table : expected) {
        SCOPED_TRACE(Utf8(table.table));
        Recordset columns = Schema(Schema::Columns, {Variant(), Variant(), Variant(table.table)});
        EXPECT_EQ(Column(columns, u"COLUMN_NAME"), table.columns);

        // The column query the schema readers run, with the name quoted by the driver's rules.
        Recordset empty = Recordset::Open(
            mConnection, u"SELECT * FROM " + mConnection.QuoteIdentifier(table.table) + u" WHERE 0=1");
        EXPECT_TRUE(empty.Eof());
        std::vector<std::u16string> names;
        for (const Field& field : empty.Fields()) {
            names.push_back(field.Name());
        }
        EXPECT_EQ(names, table.columns);
    }
}

/// Every value of every row, as text, for comparing two rowsets whole.
std::vector<std::u16string> Dump(Recordset rows) {
    std::vector<std::u16string> values;
    for (; !rows.Eof(); rows.MoveNext()) {
        for (const Field& field : rows.Fields()) {
            const Variant& value = rows.Value(field.Name());
            values.push_back(field.Name() + u"=" +
                             (value.IsNull() ? u"<null>" : automation::ToString(value)));
        }
    }
    return values;
}

// A snapshot answers one table's rowsets from listings of the whole catalogue: they must be the
// rowsets that the driver gives for that table alone, row for row, names of every kind included.
TEST_P(SchemaRowsetTest, ASnapshotAnswersEveryRowsetAsTheDriverDoes) {
    std::vector<std::u16string> tables = {u"customers",      u"order_lines",   u"orderXlines",
                                          u"Order Details",  QuoteTableName(), u"identity_keys",
                                          u"customer_names", u"CUSTOMERS",     u"no_such_table"};
    if (Kind() != testdb::DatabaseKind::PostgreSQL) {
        // A view whose table is gone can make a driver refuse to list all columns at once.
        mDatabase->Execute(u"CREATE TABLE gone (x INTEGER);\nCREATE VIEW broken_view AS SELECT x FROM gone;\n"
                           u"DROP TABLE gone;");
        tables.push_back(u"broken_view");
    }
    // A rowset the driver refuses counts as its error number.
    auto dump = [&](std::int32_t schema, std::vector<Variant> restrictions) {
        try {
            return Dump(Schema(schema, std::move(restrictions)));
        } catch (const automation::Error& error) {
            return std::vector<std::u16string>{u"error " + automation::ToString(Variant(error.Number()))};
        }
    };
    auto all = [&] {
        std::vector<std::vector<std::u16string>> dumps;
        dumps.push_back(dump(Schema::Tables, {}));
        for (const std::u16string& table : tables) {
            const Variant name(table);
            dumps.push_back(dump(Schema::Tables, {Variant(), Variant(), name}));
            dumps.push_back(dump(Schema::Columns, {Variant(), Variant(), name}));
            dumps.push_back(dump(Schema::PrimaryKeys, {Variant(), Variant(), name}));
            dumps.push_back(dump(Schema::Indexes, {Variant(), Variant(), Variant(), Variant(), name}));
        }
        dumps.push_back(
            dump(Schema::Columns, {Variant(), Variant(), Variant(u"customers"), Variant(u"city")}));
        dumps.push_back(dump(Schema::Columns, {Variant(), Variant(), Variant(), Variant(u"city")}));
        for (const std::u16string_view schema : {u"public", u"PUBLIC", u"main"}) {
            dumps.push_back(dump(Schema::Tables, {Variant(), Variant(schema)}));
        }
        return dumps;
    };
    const std::vector<std::vector<std::u16string>> direct = all();
    std::vector<std::vector<std::u16string>> snapshot;
    {
        CatalogSnapshot open(mConnection);
        snapshot = all();
    }
    ASSERT_EQ(direct.size(), snapshot.size());
    for (std::size_t rowset = 0; rowset < direct.size(); ++rowset) {
        SCOPED_TRACE("rowset " + std::to_string(rowset));
        EXPECT_EQ(direct[rowset], snapshot[rowset]);
    }
}

TEST_P(SchemaRowsetTest, ASnapshotSeesChangesOnceItEnds) {
    auto lists = [&](std::u16string_view table) {
        Recordset rows = Schema(Schema::Tables);
        const std::vector<std::u16string> names = Column(rows, u"TABLE_NAME");
        return std::find(names.begin(), names.end(), table) != names.end();
    };
    {
        CatalogSnapshot open(mConnection);
        ASSERT_TRUE(lists(u"customers"));
        mDatabase->Execute(u"CREATE TABLE late_table (late_id INTEGER PRIMARY KEY)");
        EXPECT_FALSE(lists(u"late_table")) << "the snapshot lists the tables once";
        // A name the listing does not hold is asked of the driver all the same.
        Recordset keys = Schema(Schema::PrimaryKeys, {Variant(), Variant(), Variant(u"late_table")});
        EXPECT_EQ(Column(keys, u"COLUMN_NAME"), std::vector<std::u16string>{u"late_id"});
        { CatalogSnapshot nested(mConnection); }
        EXPECT_FALSE(lists(u"late_table")) << "the nested snapshot ended the outer one";
    }
    EXPECT_TRUE(lists(u"late_table"));

    // Closing forgets too: the connection opened next may reach another database.
    CatalogSnapshot open(mConnection);
    ASSERT_FALSE(lists(u"later_table"));
    mDatabase->Execute(u"CREATE TABLE later_table (later_id INTEGER PRIMARY KEY)");
    mConnection.Close();
    mConnection.Open(mDatabase->ConnectionString());
    EXPECT_TRUE(lists(u"later_table"));
}

INSTANTIATE_TEST_SUITE_P(Databases, SchemaRowsetTest, ::testing::ValuesIn(testdb::AllKinds()), KindTestName);

} // namespace
} // namespace qv::ado::test
