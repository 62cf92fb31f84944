// Fields loaded from the columns that real databases describe: whatever type, size and flags
// the driver or the Access file reports, the field's settings follow the same rules.

#include "FieldAuditExpectation.h"
#include "ModelFixture.h"

#include "db/TestDatabases.h"
#include "model/LoadSettings.h"
#include "model/field/QelField.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Text.h"
#include "platform/dao/AccessFixture.h"
#include "platform/dao/Database.h"

#include <map>
#include <string>

namespace qv {
namespace {

using automation::Ref;

class FieldColumnsAuditTest : public test::ModelTest {};

TEST_F(FieldColumnsAuditTest, SqliteColumnsThroughTheAdoLoader) {
    if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(testdb::DatabaseKind::SQLite)) {
        GTEST_SKIP() << *reason;
    }
    const testdb::TestDatabase database(testdb::DatabaseKind::SQLite);
    ado::Connection connection;
    connection.Open(database.ConnectionString());
    const ado::Recordset columns = ado::Recordset::Describe(connection, u"SELECT * FROM customers");
    CurrentLoadSettings().dbmsName = u"SQLite";
    CurrentLoadSettings().defaultDateFormat = 6;

    std::map<std::u16string, Ref<QelField>> fields;
    for (const ado::Field& column : columns.Fields()) {
        SCOPED_TRACE(automation::ToUtf8(column.Name()) + " type " + std::to_string(column.Type()));
        const Ref<QelField> field = automation::MakeRef<QelField>();
        field->LoadFld_ADO(column);
        test::ColumnFacts facts;
        facts.name = column.Name();
        facts.type = column.Type();
        facts.supported = test::ExpectedAdoTyping(column.Type(), 5).supported;
        facts.autoIncrement = column.IsAutoIncrement();
        facts.attributes = column.Attributes();
        facts.size = column.DefinedSize();
        facts.dateFormat = 6;
        EXPECT_EQ(field->FldType(), column.Type());
        EXPECT_EQ(field->FldSupport(), facts.supported);
        EXPECT_EQ(field->FldSize(), column.DefinedSize());
        EXPECT_EQ(field->FldAttribute(), column.Attributes());
        test::ExpectFieldDefaults(*field, facts);
        fields.emplace(column.Name(), field);
    }
    ASSERT_EQ(fields.size(), 16U);
    // What the plainly typed columns of the sample table come out as, in the pages' terms (how
    // the driver describes DECIMAL and BLOB columns is its own affair, checked above by rule).
    struct Pinned {
        std::u16string_view name;
        std::u16string_view htmlTag;
        std::u16string_view quote;
        std::u16string_view searchOperator;
    };
    const Pinned pinned[] = {
        {u"id", u"NO", u"", u"="},
        {u"name", u"TEXT", u"'", u"LIKE"},
        {u"notes", u"TEXTAREA", u"'", u"LIKE"},
        {u"active", u"CHECKBOX", u"", u"="},
        {u"born", u"TEXT", u"'", u"="},
        {u"big_count", u"TEXT", u"", u"="},
    };
    for (const Pinned& row : pinned) {
        SCOPED_TRACE(automation::ToUtf8(row.name));
        const QelField& field = *fields.at(std::u16string(row.name));
        EXPECT_EQ(field.FldHtmlTag(), row.htmlTag);
        EXPECT_EQ(field.FldQuoteS(), row.quote);
        EXPECT_EQ(field.FldSrchOpr(), row.searchOperator);
    }
    EXPECT_EQ(fields.at(u"name")->FldTagMaxLength(), 50);
    EXPECT_EQ(fields.at(u"active")->FldTagValues(), u"\"1\",\"Yes\"\r\n\"0\",\"No\"");
    EXPECT_EQ(fields.at(u"born")->FldValidate(), u"USDATE");
    EXPECT_EQ(fields.at(u"born")->FldDtFormat(), 6);
    EXPECT_EQ(fields.at(u"small_count")->FldValidate(), u"INTEGER");
    EXPECT_FALSE(fields.at(u"id")->FldAdd());
}

TEST_F(FieldColumnsAuditTest, AccessColumnsThroughTheDaoLoader) {
    CurrentLoadSettings().dbmsName = u"ACCESS";
    CurrentLoadSettings().defaultDateFormat = 5;
    for (const char* sample : {"nwind.mdb", "ASampleDatabase.accdb", "DateTestDatabase.mdb"}) {
        SCOPED_TRACE(sample);
        const dao::Database database =
            dao::Database::Open(dao::test::PathText(dao::test::CopyFixture(mTemp, sample)));
        int fieldCount = 0;
        for (const dao::TableDef& table : database.TableDefs()) {
            for (const dao::Field& column : table.fields) {
                SCOPED_TRACE(automation::ToUtf8(table.name) + "." + automation::ToUtf8(column.name) +
                             " DAO type " + std::to_string(column.type));
                const Ref<QelField> field = automation::MakeRef<QelField>();
                field->LoadFld_DAO(column);
                const test::DaoTyping typing = test::ExpectedDaoTyping(column.type);
                test::ColumnFacts facts;
                facts.name = column.name;
                facts.type = typing.type;
                facts.supported = typing.supported;
                facts.autoIncrement = column.IsAutoIncrement();
                facts.size = column.size;
                facts.required = column.required;
                facts.kind = 1;
                facts.dateFormat = 5;
                EXPECT_EQ(field->FldType(), typing.type);
                EXPECT_EQ(field->FldSupport(), typing.supported);
                EXPECT_EQ(field->FldQuoteS(), typing.quote.value_or(u""));
                EXPECT_EQ(field->FldReq(), column.required);
                EXPECT_EQ(field->FldZeroLen(), column.allowZeroLength);
                EXPECT_EQ(field->FldDefault().StringValue(), column.defaultValue);
                const std::optional<std::u16string> caption = column.Caption();
                if (caption && !caption->empty()) {
                    EXPECT_EQ(field->FldCaption(), *caption);
                }
                test::ExpectFieldDefaults(*field, facts);
                ++fieldCount;
            }
        }
        EXPECT_GT(fieldCount, 0);
    }
}

} // namespace
} // namespace qv
