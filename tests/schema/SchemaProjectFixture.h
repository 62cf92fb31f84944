#pragma once

#include "project/ProjectFixture.h"

#include "schema/SchemaServices.h"

#include "db/TestDatabases.h"

#include "project/Qel.h"

#include "model/table/QelDatabase.h"
#include "model/table/QelTables.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qv::test {

/// A project object in a fresh apartment with the schema layer's services registered, so that
/// checking, synchronising and loading custom tables answer; its messages are the English ones.
class SchemaProjectTest : public ProjectTest {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        MakeProject();
    }
    void TearDown() override {
        mProject = nullptr;
        ProjectTest::TearDown();
    }

    void MakeProject() {
        WriteUserText(GeneralKey, u"Language", u"");
        RegisterSchemaServices();
        mProject = automation::MakeRef<Qel>();
    }

    std::int16_t CheckDB() { return automation::ToInteger(Call(*mProject, u"CheckDB")); }
    QelTables& Tables() { return *mProject->db()->tables(); }

    automation::Ref<Qel> mProject;
};

/// The same beside a test database, which the project loads by its connection string. A kind
/// the program cannot reach skips the test.
class DatabaseProjectTest : public SchemaProjectTest {
protected:
    /// The kind of database the test runs on.
    virtual testdb::DatabaseKind Kind() const { return testdb::DatabaseKind::SQLite; }

    void SetUp() override {
        // Past SchemaProjectTest::SetUp on purpose: the database must exist before the project.
        ProjectTest::SetUp(); // NOLINT(bugprone-parent-virtual-call)
        if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(Kind())) {
            GTEST_SKIP() << *reason;
        }
        mTestDatabase = std::make_unique<testdb::TestDatabase>(Kind());
        MakeProject();
    }
    void TearDown() override {
        SchemaProjectTest::TearDown();
        mTestDatabase.reset();
    }

    void LoadDatabase(Qel& project) {
        Call(project, u"LoadDB",
             {automation::Variant(u""), automation::Variant(u"CONNECTIONSTRING"), automation::Variant(u""),
              automation::Variant(u""), automation::Variant(false), automation::Variant(u""),
              automation::Variant(u""), automation::Variant(mTestDatabase->ConnectionString()),
              automation::Variant(u"")});
        ASSERT_EQ(project.ProjErr(), u"");
    }
    void LoadDatabase() { LoadDatabase(*mProject); }

    /// The rows of a table, counted on a connection of its own.
    std::int32_t RowCount(std::u16string_view table) {
        ado::Connection connection;
        connection.Open(mTestDatabase->ConnectionString());
        return automation::ToLong(
            ado::Recordset::Open(connection, u"SELECT COUNT(*) FROM " + std::u16string(table)).Value(0));
    }

    std::unique_ptr<testdb::TestDatabase> mTestDatabase;
};

/// One run for each kind of database the suite is instantiated with.
class DatabaseKindTest : public DatabaseProjectTest,
                         public ::testing::WithParamInterface<testdb::DatabaseKind> {
protected:
    testdb::DatabaseKind Kind() const override { return GetParam(); }
};

} // namespace qv::test
