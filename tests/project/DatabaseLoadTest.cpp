// Loading and unloading the project's database and single tables, and the key bookkeeping over a
// loaded schema. The unit program runs the bodies on SQLite; the db program (built with
// QV_TEST_SERVERS) runs them on PostgreSQL and MariaDB.

#include "ProjectFixture.h"

#include "db/TestDatabases.h"

#include "project/Qel.h"
#include "project/QelExtension.h"
#include "project/QelExtensions.h"

#include "model/LoadSettings.h"
#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"
#include "core/QoProperties.h"

#include "platform/automation/Text.h"
#include "platform/host/ScriptedHost.h"
#include "platform/system/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace qv::test {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using testdb::DatabaseKind;

class ProjectDatabase : public ProjectTest, public ::testing::WithParamInterface<DatabaseKind> {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(GetParam())) {
            GTEST_SKIP() << *reason;
        }
        mTestDatabase = std::make_unique<testdb::TestDatabase>(GetParam());
        WriteUserText(GeneralKey, u"Language", u"");
        mProject = MakeRef<Qel>();
    }

    void TearDown() override {
        mProject = nullptr;
        ProjectTest::TearDown();
        mTestDatabase.reset();
    }

    /// LoadDB late-bound, as the host calls it.
    void LoadDB(const Variant& name, const Variant& type, const Variant& physicalPath,
                const Variant& connection) {
        Call(*mProject, u"LoadDB",
             {name, type, Variant(u""), physicalPath, Variant(false), Variant(mTestDatabase->User()),
              Variant(mTestDatabase->Password()), connection, Variant(u"")});
    }
    void LoadTestDatabase() {
        LoadDB(Variant(u"ignored"), Variant(u"CONNECTIONSTRING"), Variant(),
               Variant(mTestDatabase->ConnectionString()));
        ASSERT_EQ(ProjErr(), "");
    }

    std::string ProjErr() const { return automation::ToUtf8(State().gProjErr); }
    QelTable& Table(std::u16string_view name) {
        QelTable* table = mProject->db()->tables()->Find(name);
        EXPECT_NE(table, nullptr) << automation::ToUtf8(name);
        return *table;
    }

    std::unique_ptr<testdb::TestDatabase> mTestDatabase;
    Ref<Qel> mProject;
};

TEST_P(ProjectDatabase, LoadDBRefusesMissingArgumentsWithItsMessages) {
    struct Case {
        Variant name;
        Variant type;
        Variant physicalPath;
        Variant connection;
        const char* message;
    };
    const Case cases[] = {
        {Variant(u"x"), Variant(u"ACCESS"), Variant(u""), Variant(u""), "invalid database path!"},
        {Variant(u"x"), Variant(u"ACCESS"), Variant(), Variant(u""), "invalid database path!"},
        {Variant(u""), Variant(u"ODBC"), Variant(u""), Variant(u""), "invalid DBName specified!"},
        {Variant(u"x"), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""),
         "invalid connection string specified!"},
        // Another type would load nothing and still report success.
        {Variant(u"x"), Variant(u"access"), Variant(u"shop.mdb"), Variant(u""),
         "invalid database type specified!"},
        {Variant(u"x"), Variant(u"SQLITE"), Variant(u""), Variant(u"x"), "invalid database type specified!"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.message);
        LoadDB(row.name, row.type, row.physicalPath, row.connection);
        EXPECT_EQ(ProjErr(), row.message);
        EXPECT_EQ(mProject->DBCnt(), 0);
    }
    EXPECT_EQ(mHost.Count(host::HostCallKind::ShowProgress), 0u);
}

TEST_P(ProjectDatabase, AnAccessDatabaseStandsUnderItsFileName) {
    // A failed load keeps the key it chose.
    LoadDB(Variant(u"x"), Variant(u"ACCESS"), Variant(u"C:\\data\\missing.mdb"), Variant(u""));
    EXPECT_EQ(mProject->DatabaseKey(), u"missing.mdb");
    EXPECT_NE(ProjErr(), "");
    EXPECT_EQ(mProject->DBCnt(), 0);
    LoadDB(Variant(u"x"), Variant(u"ACCESS"), Variant(u"gone.mdb"), Variant(u""));
    EXPECT_EQ(mProject->DatabaseKey(), u"gone.mdb");

    // The Access sample needs no server: the embedded run loads it.
    const std::filesystem::path fixture = std::filesystem::path(QV_FIXTURES_DIR) / "access" / "nwind.mdb";
    if (GetParam() != DatabaseKind::SQLite || !std::filesystem::exists(fixture)) {
        GTEST_SKIP() << "no Access sample at " << fixture;
    }
    const std::filesystem::path copy = mTemp / "nwind.mdb";
    std::filesystem::copy_file(fixture, copy);
    mProject->SetDynamicLoadDB(true);
    LoadDB(Variant(u"x"), Variant(u"ACCESS"), Variant(system::FromNativePath(copy)), Variant(u""));
    ASSERT_EQ(ProjErr(), "");
    EXPECT_EQ(mProject->DatabaseKey(), u"nwind.mdb");
    EXPECT_FALSE(Table(u"Orders").TblLoaded());
    Call(*mProject, u"LoadTable", {Variant(u"Orders")});
    EXPECT_EQ(ProjErr(), "");
    EXPECT_TRUE(Table(u"Orders").TblLoaded());
    EXPECT_EQ(Table(u"Orders").TblKey(), u"OrderID");
    EXPECT_EQ(automation::ToString(mProject->CustomViewConnStr()),
              u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + system::FromNativePath(copy) + u";");
}

TEST_P(ProjectDatabase, LoadDBLoadsUnderItsKeyAndRefusesASecondDatabase) {
    mProject->SetSQLQuote(u"By database");
    mProject->SetRepeatColumns(3);
    LoadTestDatabase();
    EXPECT_EQ(mProject->DBCnt(), 1);
    EXPECT_EQ(mProject->DatabaseKey(), u"DB");
    EXPECT_EQ(mProject->db()->DBName(), u"DB");
    EXPECT_TRUE(Table(u"customers").TblLoaded());
    EXPECT_GT(Table(u"customers").Fields()->Count(), 10);
    EXPECT_EQ(State().gSqlQuote, u"By database");
    EXPECT_EQ(CurrentLoadSettings().repeatColumns, 3);
    ASSERT_EQ(mHost.Count(host::HostCallKind::ShowProgress), 1u);
    EXPECT_EQ(mHost.Texts(host::HostCallKind::ShowProgress)[0], u"Quorvane - Loading Database...");
    EXPECT_EQ(mHost.Count(host::HostCallKind::CloseProgress), 1u);

    LoadDB(Variant(u"x"), Variant(u"CONNECTIONSTRING"), Variant(),
           Variant(mTestDatabase->ConnectionString()));
    EXPECT_EQ(ProjErr(), "database already loaded!");
    EXPECT_EQ(mProject->DBCnt(), 1);
}

TEST_P(ProjectDatabase, FailedLoadLeavesNoDatabaseAndAcceptsTheNextLoad) {
    LoadDB(Variant(u"x"), Variant(u"CONNECTIONSTRING"), Variant(),
           Variant(u"Driver={No Such Driver};Database=nowhere"));
    EXPECT_NE(ProjErr(), "");
    EXPECT_EQ(mProject->DBCnt(), 0);
    EXPECT_FALSE(mProject->db());
    EXPECT_EQ(mHost.Count(host::HostCallKind::ShowProgress), mHost.Count(host::HostCallKind::CloseProgress));
    LoadTestDatabase();
    EXPECT_EQ(mProject->DBCnt(), 1);
}

TEST_P(ProjectDatabase, ASuccessfulLoadAddsTheRegisteredExtensions) {
    WriteUserText(ExtensionsKey, u"Charts", u"charts.zip");
    WriteUserText(ExtensionsKey, u"Audit", u"audit.zip");
    EXPECT_TRUE(mProject->AddExtension(u"Charts", u"old.zip"));
    LoadDB(Variant(u"x"), Variant(u"CONNECTIONSTRING"), Variant(), Variant(u"Driver={No Such Driver}"));
    EXPECT_EQ(GetExtensions().Count(), 1);

    LoadTestDatabase();
    QelExtensions& extensions = GetExtensions();
    ASSERT_EQ(extensions.Count(), 2);
    EXPECT_EQ(extensions.Seq(1)->Name(), u"Charts");
    EXPECT_EQ(extensions.Seq(1)->Template(), u"charts.zip");
    EXPECT_EQ(extensions.Seq(2)->Name(), u"Audit");
}

TEST_P(ProjectDatabase, TablesLoadOnDemandAndUnloadAgain) {
    mProject->SetDynamicLoadDB(true);
    LoadTestDatabase();
    QelTable& lines = Table(u"order_lines");
    EXPECT_FALSE(lines.TblLoaded());
    EXPECT_EQ(lines.Fields()->Count(), 0);

    Call(*mProject, u"LoadTable", {Variant(u"order_lines")});
    EXPECT_EQ(ProjErr(), "");
    EXPECT_TRUE(lines.TblLoaded());
    EXPECT_EQ(lines.Fields()->Count(), 4);
    // The first load of a table known by name only derives its page defaults.
    EXPECT_EQ(lines.TblVar(), u"order_lines");
    EXPECT_TRUE(lines.TblAdd());
    EXPECT_FALSE(lines.TblCaption().empty());

    Call(*mProject, u"LoadTable", {Variant(u"order_lines")});
    EXPECT_EQ(ProjErr(), "Quorvane: Table order_lines already loaded!");
    // Names are compared exactly.
    Call(*mProject, u"LoadTable", {Variant(u"Order_Lines")});
    EXPECT_EQ(ProjErr(), "Quorvane: Table Order_Lines not found!");

    // A field renamed through its setting still goes.
    lines.Fields()->Item(Variant(u"product"))->SetFldName(u"article");
    Call(*mProject, u"UnLoadTable", {Variant(u"order_lines")});
    EXPECT_EQ(ProjErr(), "");
    EXPECT_EQ(lines.Fields()->Count(), 0);
    EXPECT_FALSE(lines.TblLoaded());
    EXPECT_FALSE(lines.TblGen());
    EXPECT_EQ(mHost.Texts(host::HostCallKind::ShowProgress).back(), u"Quorvane - Unloading order_lines...");
    Call(*mProject, u"UnLoadTable", {Variant(u"order_lines")});
    EXPECT_EQ(ProjErr(), "Quorvane: Table order_lines not loaded!");

    // What the user set on the table survives the unload and the reload; the fields come back
    // from the schema with their defaults.
    lines.SetTblCaption(u"Lines of an order");
    lines.SetTblAdd(false);
    lines.SetTblSrchType(u"NONE");
    Call(*mProject, u"LoadTable", {Variant(u"order_lines")});
    EXPECT_EQ(ProjErr(), "");
    EXPECT_EQ(lines.Fields()->Count(), 4);
    EXPECT_TRUE(lines.TblLoaded());
    EXPECT_TRUE(lines.TblGen());
    EXPECT_EQ(lines.TblCaption(), u"Lines of an order");
    EXPECT_FALSE(lines.TblAdd());
    EXPECT_EQ(lines.TblSrchType(), u"NONE");
    EXPECT_TRUE(lines.Fields()->Item(Variant(u"product")));
}

TEST_P(ProjectDatabase, ATableLoadedWithTheDatabaseKeepsItsSettingsThroughAReload) {
    LoadTestDatabase();
    QelTable& customers = Table(u"customers");
    const std::u16string key = customers.TblKey();
    customers.SetTblCaption(u"Our customers");
    customers.SetTblDelete(false);
    Call(*mProject, u"UnLoadTable", {Variant(u"customers")});
    ASSERT_EQ(ProjErr(), "");
    Call(*mProject, u"LoadTable", {Variant(u"customers")});
    ASSERT_EQ(ProjErr(), "");
    EXPECT_EQ(customers.TblCaption(), u"Our customers");
    EXPECT_FALSE(customers.TblDelete());
    EXPECT_EQ(customers.TblKey(), key);
    EXPECT_GT(customers.Fields()->Count(), 10);
}

TEST_P(ProjectDatabase, UnloadingTheDatabaseEmptiesTheProjectsReferencesToIt) {
    Call(*mProject, u"LoadTable", {Variant(u"customers")});
    EXPECT_EQ(ProjErr(), "Quorvane: Database not loaded!");
    Call(*mProject, u"UnLoadTable", {Variant(u"customers")});
    EXPECT_EQ(ProjErr(), "Quorvane: Database not loaded!");
    // Without a database there is nothing to report.
    Call(*mProject, u"UnLoadDB");
    EXPECT_EQ(ProjErr(), "Quorvane: Database not loaded!");

    LoadTestDatabase();
    mProject->SetSecTbl(u"customers");
    mProject->SetSecLoginIDFld(u"name");
    mProject->SetSecPasswdFld(u"code");
    mProject->SetSecEmailFld(u"email");
    Call(*mProject, u"UnLoadDB");
    EXPECT_EQ(ProjErr(), "");
    EXPECT_EQ(mProject->DBCnt(), 0);
    EXPECT_EQ(mProject->SecTbl(), u"");
    EXPECT_EQ(mProject->SecLoginIDFld(), u"");
    EXPECT_EQ(mProject->SecPasswdFld(), u"");
    EXPECT_EQ(mProject->SecEmailFld(), u"email");
    LoadTestDatabase();
    EXPECT_EQ(mProject->DBCnt(), 1);
}

TEST_P(ProjectDatabase, DeleteProjRemovesTheDatabaseWhateverItsName) {
    LoadTestDatabase();
    mProject->SetProjName(u"Shop");
    // The name no longer matches the key it stands under.
    mProject->db()->SetDBName(u"");
    Call(*mProject, u"DeleteProj");
    EXPECT_EQ(mProject->DBCnt(), 0);
    EXPECT_EQ(mProject->DatabaseKey(), u"");
    EXPECT_FALSE(mProject->ProjInit());
    ASSERT_EQ(mProject->Properties()->Count(), 110);
    for (QoProperty& setting : *mProject->Properties()) {
        EXPECT_TRUE(setting.Value().IsEmpty()) << automation::ToUtf8(setting.Name());
    }
    EXPECT_EQ(mProject->ProjName(), u"");
    EXPECT_EQ(mProject->defaultDateFormat(), 0);
    LoadTestDatabase();
}

TEST_P(ProjectDatabase, KeyListsFollowTheKeyFlagsAndBack) {
    LoadTestDatabase();
    QelTable& lines = Table(u"order_lines");
    lines.SetTblKey(u"");
    mProject->BuildTableKeys();
    EXPECT_EQ(lines.TblKey(), u"line_no\r\norder_id");
    EXPECT_EQ(Table(u"orderXlines").TblKey(), u"");

    // Quoted names of a key list still find their fields; letter case must match.
    lines.SetTblKey(u"\"product\"\r\n[quantity]\r\nORDER_ID");
    Qel::ApplyTableKeyToFields(lines);
    QelFields& fields = *lines.Fields();
    EXPECT_TRUE(fields.Item(Variant(u"product"))->FldIsPrimaryKey());
    EXPECT_TRUE(fields.Item(Variant(u"quantity"))->FldIsPrimaryKey());
    EXPECT_FALSE(fields.Item(Variant(u"order_id"))->FldIsPrimaryKey());
    EXPECT_FALSE(fields.Item(Variant(u"line_no"))->FldIsPrimaryKey());

    lines.SetTblKey(u"");
    Qel::ApplyTableKeyToFields(lines);
    for (const QelField& field : fields) {
        EXPECT_FALSE(field.FldIsPrimaryKey());
    }
}

TEST_P(ProjectDatabase, CustomViewConnectionStringsByDatabaseType) {
    LoadTestDatabase();
    EXPECT_EQ(automation::ToString(Call(*mProject, u"CustomViewConnStr")), mTestDatabase->ConnectionString());
    QelDatabase& database = *mProject->db();
    database.SetDBType(u"ACCESS");
    database.SetDBPhyPath(u"C:\\data\\shop.mdb");
    database.SetDBPwd(u"");
    EXPECT_EQ(automation::ToString(mProject->CustomViewConnStr()),
              u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\data\\shop.mdb;");
    database.SetDBPwd(u"pw");
    EXPECT_EQ(
        automation::ToString(mProject->CustomViewConnStr()),
        u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\data\\shop.mdb;Jet OLEDB:Database Password=pw;");
    database.SetDBType(u"ODBC");
    database.SetDBName(u"shop");
    database.SetDBUID(u"");
    database.SetDBPwd(u"");
    EXPECT_EQ(automation::ToString(mProject->CustomViewConnStr()), u"dsn=shop;uid=;pwd=");
    database.SetDBType(u"odbc");
    EXPECT_EQ(automation::ToString(mProject->CustomViewConnStr()), u"");
}

QV_INSTANTIATE_FOR_TEST_DATABASES(ProjectDatabase);

} // namespace
} // namespace qv::test
