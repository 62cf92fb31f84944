// Checking a project against its database through the project object. The unit program runs
// these bodies on SQLite; the db program (built with QV_TEST_SERVERS) on PostgreSQL and MariaDB.

#include "schema/SchemaProjectFixture.h"

#include "db/TestDatabases.h"

#include "project/Qel.h"

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"

#include "platform/ado/ConnectionString.h"
#include "platform/automation/Text.h"

#include <optional>

namespace qv {
namespace {

using automation::Variant;
using testdb::DatabaseKind;

class SchemaCheckTest : public test::DatabaseKindTest {};

TEST_P(SchemaCheckTest, CountsEachDifferenceOnce) {
    LoadDatabase();
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
    EXPECT_EQ(mProject->ProjErr(), u"");

    // A project whose tables are in another order than the schema's still agrees.
    Tables().Delete(u"customers");
    ASSERT_TRUE(Tables().Add(u"customers"));
    ASSERT_EQ(mProject->db()->LoadADODB(Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""),
                                        Variant(u""), Variant(mTestDatabase->ConnectionString()),
                                        Variant(u"customers"), Variant(u"")),
              0);
    EXPECT_EQ(CheckDB(), 0);

    // A column added: one added field and one changed table.
    mTestDatabase->Execute(u"ALTER TABLE order_lines ADD extra INTEGER");
    EXPECT_EQ(CheckDB(), 2);
    // A new table of two columns: the table and its fields.
    mTestDatabase->Execute(
        u"CREATE TABLE added_later (code VARCHAR(8) NOT NULL PRIMARY KEY, note VARCHAR(20))");
    EXPECT_EQ(CheckDB(), 5);
    // A vanished table: the table and its fields.
    const std::int32_t identityFields = Tables().Find(u"identity_keys")->Fields()->Count();
    mTestDatabase->Execute(u"DROP TABLE identity_keys");
    EXPECT_EQ(CheckDB(), 5 + 1 + identityFields);

    // A table whose fields were never loaded counts nothing, whatever its fields.
    QelTable* lines = Tables().Find(u"order_lines");
    ASSERT_NE(lines, nullptr);
    lines->SetTblLoaded(false);
    EXPECT_EQ(CheckDB(), 3 + 1 + identityFields);
    // A key that gains a field counts once.
    QelTable* customers = Tables().Find(u"customers");
    customers->SetTblKey(u"id\r\nname");
    EXPECT_EQ(CheckDB(), 4 + 1 + identityFields);
    customers->SetTblKey(u"id");
    // A field whose size no longer matches counts as changed, and its table with it.
    customers->Fields()->Find(u"name")->SetFldSize(7);
    EXPECT_EQ(CheckDB(), 5 + 1 + identityFields);
}

TEST_P(SchemaCheckTest, CustomViewsAreReadAgainAndReportsComparedWithTheirSource) {
    LoadDatabase();
    const std::u16string sql = u"SELECT id, name, city FROM customers";
    ASSERT_EQ(mProject->db()->LoadADOCustomView(Variant(mTestDatabase->ConnectionString()), Variant(u"cv"),
                                                Variant(sql)),
              0);
    QelTable* view = Tables().Find(u"cv");
    ASSERT_NE(view, nullptr);
    view->SetTblCustomError(u"stale");
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
    EXPECT_EQ(view->TblCustomError(), u"");

    // A column the SQL no longer gives is a difference of the view.
    view->SetTblCustomSQL(u"SELECT id, name FROM customers");
    EXPECT_EQ(CheckDB(), 1);

    // SQL that no longer reads counts nothing and says why; what is not a query is never run.
    const std::int32_t rows = RowCount(u"customers");
    view->SetTblCustomSQL(u"DELETE FROM customers");
    EXPECT_EQ(CheckDB(), 0);
    EXPECT_NE(view->TblCustomError(), u"");
    EXPECT_EQ(mProject->ProjErr(), u"") << "the view's error moved into the view";
    EXPECT_EQ(RowCount(u"customers"), rows);
    view->SetTblCustomSQL(sql);

    // A report whose source table is gone.
    ASSERT_TRUE(Tables().Add(u"rpt"));
    QelTable* report = Tables().Find(u"rpt");
    report->SetTblType(u"REPORT");
    report->SetTblRptSrc(u"no_such_table");
    EXPECT_EQ(CheckDB(), 0);
    EXPECT_EQ(report->TblCustomError(), u"Quorvane: Source Table not found");
    EXPECT_EQ(mProject->ProjErr(), u"");
}

TEST_P(SchemaCheckTest, ADatabaseThatCannotBeReadGivesMinusOne) {
    LoadDatabase();
    mProject->db()->SetDBConnstr(u"DRIVER={No Such Driver};");
    EXPECT_EQ(CheckDB(), -1);
    EXPECT_EQ(mProject->ProjErr().rfind(u"Quorvane: ", 0), 0u) << automation::ToUtf8(mProject->ProjErr());
}

// Regression: the check read the tables of every schema, so a table of one name in another
// schema changed the project's table, and any other schema's table counted as new.
TEST_P(SchemaCheckTest, TablesOfAnotherSchemaAreNotTheProjects) {
    if (Kind() != DatabaseKind::PostgreSQL) {
        GTEST_SKIP() << "only PostgreSQL has schemas within one database here";
    }
    mTestDatabase->Execute(u"CREATE SCHEMA audit;\nCREATE TABLE audit.customers (entry INTEGER PRIMARY KEY)");
    LoadDatabase();
    EXPECT_EQ(mProject->db()->DBSchema(), u"public");
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
    mTestDatabase->Execute(u"CREATE TABLE audit.added_later (code INTEGER, note VARCHAR(20))");
    EXPECT_EQ(CheckDB(), 0);
    // The project's own schema still counts: a new table and its two fields.
    mTestDatabase->Execute(u"CREATE TABLE public.added_later (code INTEGER, note VARCHAR(20))");
    EXPECT_EQ(CheckDB(), 3);
}

// A project that kept no schema was made from every schema: a sync that read only the search
// path's would drop the tables of the others, with every setting the user gave them.
TEST_P(SchemaCheckTest, AProjectWithoutItsSchemaKeepsTheTablesOfEverySchema) {
    if (Kind() != DatabaseKind::PostgreSQL) {
        GTEST_SKIP() << "only PostgreSQL has schemas within one database here";
    }
    mTestDatabase->Execute(
        u"CREATE SCHEMA app;\nCREATE TABLE app.things (id INTEGER PRIMARY KEY, label VARCHAR(9))");
    Call(*mProject, u"LoadDB",
         {Variant(u""), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(false),
          Variant(u""), Variant(u""), Variant(mTestDatabase->ConnectionString()), Variant(u"app")});
    ASSERT_EQ(mProject->ProjErr(), u"");
    ASSERT_NE(Tables().Find(u"things"), nullptr);
    Tables().Find(u"things")->SetTblCaption(u"My things");
    mProject->db()->SetDBSchema(u"");
    Call(*mProject, u"SynchronizeDB");
    EXPECT_EQ(mProject->ProjErr(), u"");
    ASSERT_NE(Tables().Find(u"things"), nullptr);
    EXPECT_EQ(Tables().Find(u"things")->TblCaption(), u"My things");
    EXPECT_EQ(Tables().Find(u"things")->Fields()->Count(), 2);
}

// Regression: a table or view whose columns could not be read (a lock that timed out, a view
// whose table is gone) was read as one without columns: the check counted every field as removed,
// and the synchronisation deleted them all and reported success.
TEST_P(SchemaCheckTest, ATableThatCannotBeReadStopsCheckSyncAndLoadWithTheDriversReason) {
    // One object of each pair stays loaded, the other is loaded on demand.
    std::u16string loaded = u"order_lines";
    std::u16string unloaded = u"customers";
    std::u16string reason = u"lock timeout";
    std::optional<testdb::HeldSession> other;
    if (Kind() == DatabaseKind::MariaDB) {
        // MariaDB describes a query past another session's table lock: its views lose their table.
        loaded = u"held_a";
        unloaded = u"held_b";
        reason = u"references invalid table";
        mTestDatabase->Execute(u"CREATE TABLE held (x INTEGER, y INTEGER);\n"
                               u"CREATE VIEW held_a AS SELECT x, y FROM held;\n"
                               u"CREATE VIEW held_b AS SELECT x FROM held");
    } else if (Kind() == DatabaseKind::SQLite) {
        GTEST_SKIP() << "the servers' cases stand for it";
    }
    LoadDatabase();
    Call(*mProject, u"UnLoadTable", {Variant(unloaded)});
    ASSERT_EQ(mProject->ProjErr(), u"");
    QelTable& kept = *Tables().Find(loaded);
    const std::int32_t fieldCount = kept.Fields()->Count();
    ASSERT_GT(fieldCount, 0);
    if (Kind() == DatabaseKind::PostgreSQL) {
        // The project's reads give up after 300 ms on what another session holds.
        ado::ConnectionString text = ado::ConnectionString::Parse(mTestDatabase->ConnectionString());
        text.Set(u"ConnSettings", u"SET lock_timeout = 300");
        mProject->db()->SetDBConnstr(text.ToString());
        other.emplace(*mTestDatabase);
        other->Execute(u"LOCK TABLE order_lines, customers IN ACCESS EXCLUSIVE MODE");
    } else {
        mTestDatabase->Execute(u"DROP TABLE held");
    }

    auto expectStoppedWithReason = [&](const char* operation) {
        SCOPED_TRACE(operation);
        const std::u16string error = mProject->ProjErr();
        EXPECT_TRUE(error.starts_with(u"Quorvane: Unable to read the ")) << automation::ToUtf8(error);
        EXPECT_NE(error.find(reason), std::u16string::npos)
            << "the driver's reason: " << automation::ToUtf8(error);
        EXPECT_EQ(kept.Fields()->Count(), fieldCount);
        EXPECT_TRUE(kept.TblLoaded());
        EXPECT_FALSE(Tables().Find(unloaded)->TblLoaded());
        EXPECT_EQ(Tables().Find(unloaded)->Fields()->Count(), 0);
    };
    EXPECT_EQ(CheckDB(), -1);
    expectStoppedWithReason("check");
    Call(*mProject, u"SynchronizeDB");
    expectStoppedWithReason("sync");
    Call(*mProject, u"LoadTable", {Variant(unloaded)});
    expectStoppedWithReason("load of one table");
    EXPECT_NE(mProject->ProjErr().find(u"\"" + unloaded + u"\""), std::u16string::npos);
}

TEST_P(SchemaCheckTest, AProjectWithoutADatabaseSaysSoAndGivesMinusOne) {
    EXPECT_EQ(CheckDB(), -1);
    EXPECT_EQ(mProject->ProjErr(), u"Quorvane: Database not loaded!");
}

QV_INSTANTIATE_FOR_TEST_DATABASES(SchemaCheckTest);

} // namespace
} // namespace qv
