// A whole database loaded into the model, every setting of the database, its tables and their
// fields, against golden/load-sqlite.txt (the shared test schema through ODBC) and
// golden/load-access.txt (the Access samples). What differs between machines (the folders the
// files lie in, driver versions) is replaced by a name in angle brackets.

#include "ModelFixture.h"
#include "ModelGolden.h"

#include "db/TestDatabases.h"
#include "model/LoadSettings.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Text.h"
#include "platform/dao/AccessFixture.h"

#include <string>

namespace qv {
namespace {

using automation::Ref;
using automation::Variant;

class LoadGoldenTest : public test::ModelTest {
protected:
    void SetUp() override {
        test::ModelTest::SetUp();
        mDatabase = automation::MakeRef<QelDatabase>();
    }

    void TearDown() override {
        mDatabase = {};
        test::ModelTest::TearDown();
    }

    /// The database, its tables and their fields; values listed in `machine` are shown by the
    /// setting's name instead.
    std::string Describe(const std::vector<std::pair<std::u16string_view, std::string>>& machine) const {
        auto normalised = [&](test::SettingEntries entries) {
            for (auto& [name, value] : entries) {
                for (const auto& [machineName, placeholder] : machine) {
                    if (name == machineName) {
                        value = placeholder;
                    }
                }
            }
            return entries;
        };
        test::GroupedEntries entities;
        entities.Add("database", "", normalised(test::ChangedSettings(*mDatabase)));
        for (const QelTable& table : *mDatabase->tables()) {
            entities.Add("tables", automation::ToUtf8(table.TblName()),
                         normalised(test::ChangedSettings(table)));
        }
        for (const QelTable& table : *mDatabase->tables()) {
            for (const QelField& field : *table.Fields()) {
                entities.Add("fields", automation::ToUtf8(table.TblName() + u"." + field.FldName()),
                             normalised(test::ChangedSettings(field)));
            }
        }
        std::string text;
        entities.WriteTo(text);
        return text;
    }

    Ref<QelDatabase> mDatabase;
};

TEST_F(LoadGoldenTest, SqliteDatabaseThroughOdbc) {
    if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(testdb::DatabaseKind::SQLite)) {
        GTEST_SKIP() << *reason;
    }
    const testdb::TestDatabase database(testdb::DatabaseKind::SQLite);
    CurrentLoadSettings().defaultDateFormat = 6;
    ASSERT_EQ(mDatabase->LoadADODB(Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(u""),
                                   Variant(database.ConnectionString()), Variant(u""), Variant(u"")),
              0)
        << automation::ToUtf8(State().gProjErr);
    test::ExpectGolden("load-sqlite.txt", Describe({{u"DBConnstr", "<connection string>"},
                                                    {u"DBDBMSVer", "<driver version>"},
                                                    {u"DBProviderVer", "<driver version>"}}));
}

TEST_F(LoadGoldenTest, AccessSamplesThroughDao) {
    CurrentLoadSettings().defaultDateFormat = 5;
    std::string text;
    for (const char* sample : {"nwind.mdb", "ASampleDatabase.accdb", "DateTestDatabase.mdb"}) {
        mDatabase = automation::MakeRef<QelDatabase>();
        const std::filesystem::path file = dao::test::CopyFixture(mTemp, sample);
        ASSERT_EQ(mDatabase->LoadDAODB(Variant(u"data\\sample.mdb"), Variant(dao::test::PathText(file)),
                                       Variant(true), Variant(u"admin"), Variant(u""), Variant(u"")),
                  0)
            << sample << ": " << automation::ToUtf8(State().gProjErr);
        text += std::string("[") + sample + "]\n" + Describe({{u"DBPhyPath", "<copy of the sample>"}});
    }
    test::ExpectGolden("load-access.txt", text);
}

} // namespace
} // namespace qv
