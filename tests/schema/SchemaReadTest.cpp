// The schema reader against real databases. The unit program runs these bodies on SQLite; the
// db program (built with QV_TEST_SERVERS) runs the same bodies on PostgreSQL and MariaDB.

#include "schema/SchemaFixture.h"

#include "db/TestDatabases.h"

#include "core/Apartment.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"

#include <memory>
#include <optional>

namespace qv {
namespace {

using automation::Variant;
using testdb::DatabaseKind;

class SchemaReadTest : public test::SchemaTest, public ::testing::WithParamInterface<DatabaseKind> {
protected:
    void SetUp() override {
        test::SchemaTest::SetUp();
        if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(GetParam())) {
            GTEST_SKIP() << *reason;
        }
        mTestDatabase = std::make_unique<testdb::TestDatabase>(GetParam());
    }
    void TearDown() override {
        test::SchemaTest::TearDown();
        mTestDatabase.reset();
    }

    const std::u16string& ConnectionString() const { return mTestDatabase->ConnectionString(); }

    std::int16_t LoadModel() {
        return mDatabase->LoadADODB(Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(u""),
                                    Variant(ConnectionString()), Variant(u""), Variant(u""));
    }

    bool ReadSchema(QelSchema& schema) {
        Variant name(u"");
        return schema.LoadDB(name, Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(false),
                             Variant(u""), Variant(u""), Variant(ConnectionString()), Variant(u""));
    }

    std::int32_t RowCount(std::u16string_view table) {
        ado::Connection connection;
        connection.Open(ConnectionString());
        return automation::ToLong(
            ado::Recordset::Open(connection, u"SELECT COUNT(*) FROM " + std::u16string(table)).Value(0));
    }

    std::unique_ptr<testdb::TestDatabase> mTestDatabase;
};

TEST_P(SchemaReadTest, RecordsAgreeWithWhatTheModelLoads) {
    ASSERT_EQ(LoadModel(), 0) << test::Utf8(State().gProjErr);
    ASSERT_TRUE(ReadSchema(*mSchema)) << test::Utf8(State().gProjErr);
    EXPECT_EQ(State().gProjErr, u"");
    ExpectAllAgree();
    EXPECT_EQ(mSchema->tblcnt(), Tables().Count());
    EXPECT_EQ(mSchema->SchemaDB().DBDBMSName, mDatabase->DBDBMSName());
    EXPECT_EQ(mSchema->SchemaDB().DBType, u"ODBC");

    // What the check leans on, spelled out once: keys, uniqueness, auto-increment, nullability.
    const QoSchemaTable* customers = Record(u"customers");
    ASSERT_NE(customers, nullptr);
    EXPECT_EQ(customers->TblKey, u"id");
    const QoSchemaTable* lines = Record(u"order_lines");
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(lines->TblKey, u"line_no\r\norder_id");
    auto column = [](const QoSchemaTable& table, std::u16string_view name) -> const QoSchemaField& {
        for (std::int16_t j = 1; j <= table.TblFldCnt; ++j) {
            if (table.Field(j)->FldName == name) {
                return *table.Field(j);
            }
        }
        ADD_FAILURE() << "no column " << test::Utf8(name);
        return table.TblFields.fld.front();
    };
    EXPECT_TRUE(column(*customers, u"id").FldAutoIncrement);
    EXPECT_TRUE(column(*customers, u"id").FldIsPrimaryKey);
    EXPECT_TRUE(column(*customers, u"email").FldUniqueIdx);
    EXPECT_FALSE(column(*customers, u"name").FldAutoIncrement);
    EXPECT_TRUE(column(*customers, u"name").FldReq);
    // A unique index over two columns makes neither unique.
    EXPECT_FALSE(column(*lines, u"product").FldUniqueIdx);
    const QoSchemaTable* view = Record(u"customer_names");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->TblType, u"VIEW");
    EXPECT_EQ(view->TblKey, u"");
    EXPECT_TRUE(view->TblUpdatable);
}

TEST_P(SchemaReadTest, AChangedDatabaseIsReadAsItIsNow) {
    mTestDatabase->Execute(
        u"CREATE TABLE added_later (code VARCHAR(8) NOT NULL PRIMARY KEY, note VARCHAR(20));\n"
        u"DROP TABLE identity_keys;");
    ASSERT_TRUE(ReadSchema(*mSchema)) << test::Utf8(State().gProjErr);
    ASSERT_NE(Record(u"added_later"), nullptr);
    EXPECT_EQ(Record(u"added_later")->TblKey, u"code");
    EXPECT_EQ(Record(u"added_later")->TblFldCnt, 2);
    EXPECT_EQ(Record(u"identity_keys"), nullptr);

    // One reading per reader: a second one is refused and leaves the records as they were.
    const std::int16_t count = mSchema->tblcnt();
    EXPECT_FALSE(ReadSchema(*mSchema));
    EXPECT_EQ(State().gProjErr, u"database already loaded!");
    EXPECT_EQ(mSchema->tblcnt(), count);
    ASSERT_NE(Record(u"added_later"), nullptr);
}

TEST_P(SchemaReadTest, CustomViewColumnsAreDescribedAndAgreeWithTheModel) {
    const std::u16string sql = u"SELECT c.id, c.name, c.balance, o.quantity FROM customers c "
                               u"JOIN order_lines o ON o.order_id = c.id";
    ASSERT_EQ(mDatabase->LoadADOCustomView(Variant(ConnectionString()), Variant(u"cv"), Variant(sql)), 0)
        << test::Utf8(State().gProjErr);
    ASSERT_EQ(mSchema->LoadADOCustomView(Variant(ConnectionString()), Variant(u"cv"), Variant(sql)), 0)
        << test::Utf8(State().gProjErr);
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_EQ(mSchema->tblcnt(), 1);
    const QoSchemaTable& record = mSchema->Table(1);
    EXPECT_EQ(record.TblType, u"CUSTOMVIEW");
    EXPECT_TRUE(record.TblUpdatable);
    QelTable* table = Table(u"cv");
    ASSERT_NE(table, nullptr);
    ExpectAgrees(record, *table);
    EXPECT_THROW(mSchema->Table(2), automation::Error);
}

// Regression: the reader ran the view's SQL on every reading, so a stored DELETE emptied the
// table each time the project was checked. Now it is described only, and what is not one query
// is refused.
TEST_P(SchemaReadTest, ACustomViewIsNeverRun) {
    const std::int32_t before = RowCount(u"customers");
    for (std::u16string_view sql :
         {u"DELETE FROM customers", u"SELECT id FROM customers; DELETE FROM customers",
          u"UPDATE customers SET name = 'x'"}) {
        SCOPED_TRACE(test::Utf8(sql));
        EXPECT_EQ(mSchema->LoadADOCustomView(Variant(ConnectionString()), Variant(u"cv"), Variant(sql)), 1);
        EXPECT_EQ(State().gProjErr.rfind(u"Quorvane: ", 0), 0u) << test::Utf8(State().gProjErr);
        EXPECT_FALSE(mSchema->Table(1).TblGen);
        EXPECT_EQ(mSchema->Table(1).TblFldCnt, 0);
    }
    EXPECT_EQ(RowCount(u"customers"), before);
    // A statement that does not prepare is refused the same way.
    EXPECT_EQ(mSchema->LoadADOCustomView(Variant(ConnectionString()), Variant(u"cv"),
                                         Variant(u"SELECT no_such_column FROM customers")),
              1);
    EXPECT_NE(State().gProjErr, u"");
}

// Regression: the reader compared column names with regard to case while the model does not, so
// a view of "id" and "ID" was complete for the check and incomplete in the project.
TEST_P(SchemaReadTest, ColumnNamesThatDifferOnlyInCaseAreOneColumn) {
    const std::u16string sql = u"SELECT id, name AS ID, city FROM customers";
    ASSERT_EQ(mSchema->LoadADOCustomView(Variant(ConnectionString()), Variant(u"cv"), Variant(sql)), 0);
    const QoSchemaTable& record = mSchema->Table(1);
    EXPECT_FALSE(record.TblGen);
    ASSERT_EQ(record.TblFldCnt, 2);
    EXPECT_EQ(record.Field(1)->FldName, u"id");
    EXPECT_EQ(record.Field(2)->FldName, u"city");
    EXPECT_EQ(record.Field(2)->FldSeq, 2);

    mDatabase->LoadADOCustomView(Variant(ConnectionString()), Variant(u"cv"), Variant(sql));
    QelTable* table = Table(u"cv");
    ASSERT_NE(table, nullptr);
    ExpectAgrees(record, *table);
}

TEST_P(SchemaReadTest, AConnectionThatFailsLeavesNoRecords) {
    Variant name(u"");
    EXPECT_FALSE(mSchema->LoadDB(name, Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""),
                                 Variant(false), Variant(u""), Variant(u""),
                                 Variant(u"DRIVER={No Such Driver};"), Variant(u"")));
    EXPECT_EQ(State().gProjErr.rfind(u"Quorvane: ", 0), 0u) << test::Utf8(State().gProjErr);
    EXPECT_EQ(mSchema->tblcnt(), 0);
    EXPECT_THROW(mSchema->Table(1), automation::Error);
    EXPECT_EQ(automation::ToString(name), u"DB");
    // A failed reading leaves the reader free for another.
    EXPECT_TRUE(ReadSchema(*mSchema)) << test::Utf8(State().gProjErr);
    EXPECT_GT(mSchema->tblcnt(), 0);
}

QV_INSTANTIATE_FOR_TEST_DATABASES(SchemaReadTest);

} // namespace
} // namespace qv
