#include "DatabaseFixture.h"
#include "TrickyQueries.h"

#include "platform/ado/Constants.h"

#include "platform/automation/Error.h"

namespace qv::ado::test {
namespace {

using automation::Variant;

class RecordsetTest : public DatabaseTest {
protected:
    std::int32_t CustomerCount() {
        Recordset count = Recordset::Open(mConnection, u"SELECT COUNT(*) AS n FROM customers");
        return automation::ToLong(count.Value(u"n"));
    }
};

TEST_P(RecordsetTest, FieldsDescribeTheColumns) {
    Recordset empty = Recordset::Open(mConnection, u"SELECT * FROM customers WHERE 0=1");
    EXPECT_TRUE(empty.Eof());
    const Fields& fields = empty.Fields();
    ASSERT_EQ(fields.Count(), 16);

    // Only the key generates its values; the property is there (and Boolean) for every field.
    for (const Field& field : fields) {
        SCOPED_TRACE(Utf8(field.Name()));
        std::optional<Variant> property = field.Property(u"IsAutoIncrement");
        ASSERT_TRUE(property);
        ASSERT_EQ(property->Type(), automation::VarType::Boolean);
        EXPECT_EQ(property->BooleanValue(), field.Name() == u"id");
    }
    EXPECT_FALSE(fields.Item(0).Property(u"NoSuchProperty"));

    const Field& name = fields.Item(u"NAME");
    EXPECT_TRUE(name.Type() == DataType::VarChar || name.Type() == DataType::VarWChar) << name.Type();
    EXPECT_EQ(name.DefinedSize(), 50);
    EXPECT_EQ(name.Attributes() & FieldAttribute::Long, 0);
    if (IsServer()) {
        // SQLite's driver does not report NOT NULL in a result's description.
        EXPECT_EQ(name.Attributes() & (FieldAttribute::IsNullable | FieldAttribute::MayBeNull), 0);
    }
    EXPECT_NE(fields.Item(u"email").Attributes() & FieldAttribute::MayBeNull, 0);

    const Field& id = fields.Item(u"id");
    EXPECT_EQ(id.Type(), DataType::Integer);
    EXPECT_EQ(id.DefinedSize(), 4);
    EXPECT_EQ(id.Precision(), 10);
    EXPECT_NE(id.Attributes() & FieldAttribute::Fixed, 0);
    // The database fills the key: it is never updatable.
    EXPECT_EQ(id.Attributes() & FieldAttribute::Updatable, 0);

    const Field& notes = fields.Item(u"notes");
    EXPECT_TRUE(notes.Type() == DataType::LongVarChar || notes.Type() == DataType::LongVarWChar)
        << notes.Type();
    EXPECT_NE(notes.Attributes() & FieldAttribute::Long, 0);

    EXPECT_EQ(fields.Item(u"big_count").Type(), DataType::BigInt);
    EXPECT_EQ(fields.Item(u"created").Type(), DataType::DBTimeStamp);
    // SQLite's driver calls a DECIMAL column text; its declared type makes it an exact number.
    const Field& balance = fields.Item(u"balance");
    EXPECT_EQ(balance.Type(), DataType::Numeric);
    EXPECT_EQ(balance.Precision(), 10);
    EXPECT_EQ(balance.NumericScale(), 2);
    // Identity columns (PostgreSQL's GENERATED ... AS IDENTITY) are auto-increment as well.
    Recordset identity = Recordset::Open(mConnection, u"SELECT * FROM identity_keys WHERE 0=1");
    EXPECT_TRUE(identity.Fields().Item(u"id").IsAutoIncrement());
    EXPECT_FALSE(identity.Fields().Item(u"label").IsAutoIncrement());
    try {
        fields.Item(u"missing");
        FAIL() << "no error";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), ErrorNumber::ItemNotFound);
    }
}

TEST_P(RecordsetTest, ValuesReadAsVariants) {
    Recordset rows = Recordset::Open(mConnection, u"SELECT * FROM customers ORDER BY id");
    ASSERT_EQ(rows.RecordCount(), 2);
    EXPECT_EQ(automation::ToLong(rows.Value(u"id")), 1);
    EXPECT_EQ(rows.Value(u"name").StringValue(), u"Ann");
    EXPECT_EQ(rows.Value(u"notes").StringValue(), u"Ünïcode ✓");
    EXPECT_TRUE(automation::ToBoolean(rows.Value(u"active")));
    EXPECT_DOUBLE_EQ(automation::ToDouble(rows.Value(u"balance")), 12.5);
    EXPECT_DOUBLE_EQ(automation::ToDouble(rows.Value(u"score")), 2.25);
    EXPECT_DOUBLE_EQ(automation::ToDouble(rows.Value(u"big_count")), 5000000000.0);
    EXPECT_EQ(automation::ToLong(rows.Value(u"small_count")), 7);

    const Variant& born = rows.Value(u"born");
    ASSERT_EQ(born.Type(), automation::VarType::Date);
    EXPECT_EQ(born.DateValue(), automation::DateFromParts(1980, 2, 29).value());
    const Variant& created = rows.Value(u"created");
    ASSERT_EQ(created.Type(), automation::VarType::Date);
    EXPECT_NEAR(created.DateValue(),
                automation::DateFromParts(2020, 1, 2).value() + automation::TimeFromParts(3, 4, 5), 1e-9);

    const Variant& photo = rows.Value(u"photo");
    ASSERT_TRUE(photo.IsArray());
    ASSERT_EQ(photo.ArrayValue()->ElementCount(), 3u);
    EXPECT_EQ(photo.ArrayValue()->Elements()[1].ByteValue(), 0xFF);

    rows.MoveNext();
    EXPECT_EQ(rows.Value(u"name").StringValue(), u"Bob");
    EXPECT_TRUE(rows.Value(u"email").IsNull());
    EXPECT_TRUE(rows.Value(u"born").IsNull());
    EXPECT_FALSE(automation::ToBoolean(rows.Value(u"active")));
    rows.MoveNext();
    EXPECT_TRUE(rows.Eof());
    EXPECT_THROW(rows.Value(u"name"), automation::Error);
    EXPECT_THROW(rows.MoveNext(), automation::Error);
    rows.MoveFirst();
    EXPECT_EQ(rows.Value(u"name").StringValue(), u"Ann");
}

TEST_P(RecordsetTest, DescribingAQueryNeverRunsIt) {
    Recordset described =
        Recordset::Describe(mConnection, u"SELECT c.name, c.city AS town, c.id FROM customers c");
    EXPECT_TRUE(described.Eof());
    EXPECT_EQ(described.RecordCount(), 0);
    ASSERT_EQ(described.Fields().Count(), 3);
    EXPECT_EQ(described.Fields().Item(1).Name(), u"town");
    EXPECT_EQ(described.Fields().Item(1).DefinedSize(), 40);

    if (!IsServer()) {
        return;
    }
    // A query with a side effect: describing it must leave the sequence where it was.
    std::u16string next = Kind() == testdb::DatabaseKind::PostgreSQL ? u"SELECT nextval('counter_seq') AS n"
                                                                     : u"SELECT NEXTVAL(counter_seq) AS n";
    Recordset::Describe(mConnection, next);
    Recordset::Describe(mConnection, next);
    EXPECT_EQ(automation::ToLong(Recordset::Open(mConnection, next).Value(u"n")), 1);
}

TEST_P(RecordsetTest, RefusesStatementsThatChangeData) {
    const std::u16string refused[] = {
        u"DELETE FROM customers",
        u"UPDATE customers SET name = 'Eve'",
        u"SELECT 1; DELETE FROM customers",
        u"WITH gone AS (DELETE FROM customers RETURNING id) SELECT * FROM gone",
        u"SELECT * INTO customers_copy FROM customers",
        u"DROP TABLE customers",
        // PostgreSQL reads an E-string after a name ending in a backslash, and nested comments,
        // as its own; a subscript's "]" in a string hid a data-changing expression from the
        // readings that take brackets for quotes.
        u"SELECT 'a' AS \"x\\\", E'\\'' ; DELETE FROM customers ; -- '",
        u"SELECT 1 /* /* */ ' */ ; DELETE FROM customers ; -- '",
        u"WITH k AS (SELECT a['x]y'] FROM t), d AS (DELETE FROM customers RETURNING id) SELECT 1 -- '",
    };
    for (const std::u16string& sql : refused) {
        SCOPED_TRACE(Utf8(sql));
        for (bool describe : {true, false}) {
            try {
                describe ? Recordset::Describe(mConnection, sql) : Recordset::Open(mConnection, sql);
                ADD_FAILURE() << "not refused";
            } catch (const automation::Error& error) {
                EXPECT_EQ(error.Number(), ErrorNumber::InvalidArgument);
                EXPECT_NE(error.Description().find(u"single SELECT"), std::u16string::npos);
            }
        }
    }
    EXPECT_EQ(CustomerCount(), 2);
    Recordset names = Recordset::Open(mConnection, u"SELECT name FROM customers ORDER BY id");
    EXPECT_EQ(Column(names, u"name"), (std::vector<std::u16string>{u"Ann", u"Bob"}));
}

// Texts made to hide a change of the customers from some reading of SQL: each that the check lets
// through is described and opened on the server as the server, its settings and its driver read
// it, and changes nothing. PostgreSQL also without standard strings; MariaDB also with several
// statements allowed, ANSI_QUOTES and NO_BACKSLASH_ESCAPES. (SqlTextTest checks SQLite's reading
// with its own parser.)
TEST_P(RecordsetTest, WhatTheCheckLetsThroughChangesNothingOnTheServer) {
    if (!IsServer()) {
        GTEST_SKIP() << "SQLite's own parser reads the texts in SqlTextTest";
    }
    struct Setup {
        std::u16string connection; // added to the connection string
        std::u16string database;   // a setting of the database, made first
    };
    std::vector<Setup> setups{{}};
    if (Kind() == testdb::DatabaseKind::MariaDB) {
        setups.push_back({u";OPTION=67108864", u""});
        setups.push_back(
            {u";OPTION=67108864;INITSTMT={SET SESSION sql_mode='ANSI_QUOTES,NO_BACKSLASH_ESCAPES'}", u""});
    } else {
        setups.push_back({u"", u"DO $$ BEGIN EXECUTE format('ALTER DATABASE %I SET "
                               u"standard_conforming_strings = off', current_database()); END $$"});
    }
    const std::vector<std::u16string> texts = TrickyQueries(20000);
    for (const Setup& setup : setups) {
        SCOPED_TRACE(Utf8(setup.connection + setup.database));
        if (!setup.database.empty()) {
            mDatabase->Execute(setup.database);
        }
        Connection connection;
        connection.Open(mDatabase->ConnectionString() + setup.connection);
        std::size_t run = 0;
        for (const std::u16string& text : texts) {
            bool refused = false;
            for (bool describe : {true, false}) {
                try {
                    describe ? Recordset::Describe(connection, text) : Recordset::Open(connection, text);
                } catch (const automation::Error& error) {
                    refused = refused || error.Description().find(u"single SELECT") != std::u16string::npos;
                }
            }
            if (refused) {
                continue;
            }
            ++run;
            if (CustomerCount() != 2) {
                ADD_FAILURE() << "the customers changed: " << Utf8(text);
                return;
            }
        }
        EXPECT_GT(run, 100u);
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, RecordsetTest, ::testing::ValuesIn(testdb::AllKinds()), KindTestName);

} // namespace
} // namespace qv::ado::test
