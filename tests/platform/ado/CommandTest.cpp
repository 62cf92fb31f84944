#include "DatabaseFixture.h"

#include "platform/ado/Command.h"
#include "platform/ado/Constants.h"

#include "platform/automation/Error.h"

namespace qv::ado::test {
namespace {

using automation::Variant;

ParameterValue Param(std::int32_t type, Variant value, std::int32_t size = 0, std::uint8_t precision = 0,
                     std::uint8_t scale = 0) {
    return ParameterValue{type, size, precision, scale, std::move(value)};
}

class CommandTest : public DatabaseTest {
protected:
    Recordset Select(std::u16string_view sql, std::vector<ParameterValue> parameters = {}) {
        CommandResult result = ExecuteCommand(mConnection, sql, parameters);
        EXPECT_EQ(result.rows.State(), ObjectState::Open);
        return std::move(result.rows);
    }
};

// Every kind of value goes to the driver with its own type and comes back as it went: a date
// keeps its time of day, a decimal its scale, text its quotes and characters beyond Latin-1,
// binary its bytes; Null and Empty write NULL.
TEST_P(CommandTest, InsertsEveryKindOfValueAndReadsItBack) {
    auto bytes = automation::MakeRef<automation::SafeArray>(
        automation::VarType::Byte, std::vector<automation::SafeArray::Bound>{{0, 3}});
    bytes->Elements()[0] = Variant(std::uint8_t(0));
    bytes->Elements()[1] = Variant(std::uint8_t(0xFF));
    bytes->Elements()[2] = Variant(std::uint8_t(0x27));
    const double created = *automation::DateFromParts(2021, 3, 4) + automation::TimeFromParts(13, 14, 15);
    std::vector<ParameterValue> values{
        Param(DataType::VarWChar, Variant(u"Ødegård \"O'Brien\" ✓"), 50),
        Param(DataType::Numeric, Variant(1234.5), 0, 10, 2),
        Param(DataType::Boolean, Variant(false)),
        Param(DataType::DBDate, Variant::FromDate(*automation::DateFromParts(1999, 12, 31))),
        Param(DataType::DBTimeStamp, Variant::FromDate(created)),
        Param(DataType::DBTime, Variant::FromDate(automation::TimeFromParts(6, 7, 8))),
        Param(DataType::LongVarBinary, Variant(bytes)),
        Param(DataType::BigInt, Variant(5e9)),
        Param(DataType::Double, Variant(0.125)),
        Param(DataType::VarWChar, Variant()),
        Param(DataType::Integer, Variant::Null()),
    };
    CommandResult inserted = ExecuteCommand(
        mConnection,
        u"INSERT INTO customers (name, balance, active, born, created, wakes, photo, big_count, score, city, "
        u"small_count) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        values);
    EXPECT_EQ(inserted.recordsAffected, 1);
    EXPECT_EQ(inserted.rows.State(), ObjectState::Closed);

    Recordset row = Select(u"SELECT * FROM customers WHERE balance = ?",
                           {Param(DataType::Numeric, Variant(1234.5), 0, 10, 2)});
    ASSERT_FALSE(row.Eof());
    // Every character arrives, also after those beyond ASCII (MariaDB's driver once had the last
    // one cut off).
    EXPECT_EQ(automation::ToUtf8(automation::ToString(row.Value(u"name"))), "Ødegård \"O'Brien\" ✓");
    Recordset literal = Select(u"SELECT name FROM customers WHERE name LIKE '%O''Brien%'");
    EXPECT_EQ(automation::ToUtf8(automation::ToString(literal.Value(0))), "Ødegård \"O'Brien\" ✓");
    EXPECT_EQ(automation::ToDouble(row.Value(u"balance")), 1234.5);
    EXPECT_FALSE(automation::ToBoolean(row.Value(u"active")));
    EXPECT_EQ(automation::ToDate(row.Value(u"born")), *automation::DateFromParts(1999, 12, 31));
    EXPECT_NEAR(automation::ToDate(row.Value(u"created")), created, 1e-6);
    EXPECT_NEAR(automation::ToDate(row.Value(u"wakes")), automation::TimeFromParts(6, 7, 8), 1e-6);
    EXPECT_EQ(automation::ToDouble(row.Value(u"big_count")), 5e9);
    EXPECT_EQ(automation::ToDouble(row.Value(u"score")), 0.125);
    EXPECT_TRUE(row.Value(u"city").IsNull());
    EXPECT_TRUE(row.Value(u"small_count").IsNull());
    const Variant& photo = row.Value(u"photo");
    ASSERT_TRUE(photo.IsArray());
    ASSERT_EQ(photo.ArrayValue()->ElementCount(), 3u);
    EXPECT_EQ(automation::ToLong(photo.ArrayValue()->Elements()[1]), 0xFF);
    EXPECT_EQ(automation::ToLong(photo.ArrayValue()->Elements()[2]), 0x27);
    row.MoveNext();
    EXPECT_TRUE(row.Eof());
}

// An injection attempt in a value is only text: it matches nothing and drops nothing.
TEST_P(CommandTest, ValuesAreNeverPartOfTheStatement) {
    Recordset none = Select(u"SELECT id FROM customers WHERE name = ?",
                            {Param(DataType::VarWChar, Variant(u"x' OR '1'='1"), 10)});
    EXPECT_TRUE(none.Eof());
    CommandResult deleted =
        ExecuteCommand(mConnection, u"DELETE FROM customers WHERE name = ?",
                       std::vector{Param(DataType::VarWChar, Variant(u"'; DROP TABLE customers; --"))});
    // A searched DELETE that finds nothing changes nothing and is no failure.
    EXPECT_EQ(deleted.recordsAffected, 0);
    EXPECT_EQ(automation::ToLong(Select(u"SELECT COUNT(*) FROM customers").Value(0)), 2);

    CommandResult updated = ExecuteCommand(mConnection, u"UPDATE customers SET city = ? WHERE active = ?",
                                           std::vector{Param(DataType::VarWChar, Variant(u"Rome"), 40),
                                                       Param(DataType::Boolean, Variant(true))});
    EXPECT_EQ(updated.recordsAffected, 1);
}

// A value that is no value of its parameter's type stops the command before the driver runs it;
// a statement the database refuses fills Errors.
TEST_P(CommandTest, BadValuesAndStatementsRaise) {
    try {
        ExecuteCommand(mConnection, u"DELETE FROM customers WHERE id = ?",
                       std::vector{Param(DataType::Integer, Variant(u"1 OR 1=1"))});
        FAIL() << "no error";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ErrorNumber::TypeMismatch);
    }
    try {
        ExecuteCommand(mConnection, u"SELECT nothing FROM no_such_table", {});
        FAIL() << "no error";
    } catch (const automation::Error&) {
        EXPECT_GT(mConnection.Errors()->Count(), 0);
    }
    EXPECT_EQ(automation::ToLong(Select(u"SELECT COUNT(*) FROM customers").Value(0)), 2);
}

INSTANTIATE_TEST_SUITE_P(Databases, CommandTest, ::testing::ValuesIn(testdb::AllKinds()), KindTestName);

} // namespace
} // namespace qv::ado::test
