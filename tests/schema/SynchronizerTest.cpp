// Synchronising a project with a database whose schema the test changes, through the project
// object, with the user's answers scripted. The unit program runs these bodies on SQLite; the db
// program (built with QV_TEST_SERVERS) on PostgreSQL and MariaDB.

#include "schema/SchemaProjectFixture.h"

#include "schema/SchemaCheck.h"

#include "db/TestDatabases.h"

#include "project/Qel.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"

#include "platform/automation/Text.h"
#include "platform/host/ScriptedHost.h"

#include <map>
#include <optional>
#include <random>
#include <set>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using testdb::DatabaseKind;

/// Answers the name-mapping dialog by name (new name to the old one the user picks), so that a
/// test does not depend on the order in which a database lists its tables; every other question
/// comes from the script.
class MappingHost final : public host::ScriptedHost {
public:
    std::map<std::u16string, std::u16string> renames;
    std::vector<host::NameMapQuestion> questions;

    host::NameMapAnswer MapNames(const host::NameMapQuestion& question) override {
        questions.push_back(question);
        host::NameMapAnswer answer;
        answer.confirmed = true;
        for (const std::u16string& name : question.newNames) {
            const auto found = renames.find(name);
            answer.oldNames.push_back(found == renames.end() ? std::u16string() : found->second);
        }
        return answer;
    }
};

class SynchronizerTest : public test::DatabaseKindTest {
protected:
    void SetUp() override {
        test::DatabaseKindTest::SetUp();
        mMapping.SetFailureHandler([](const std::string& failure) { ADD_FAILURE() << failure; });
        SetCurrentHost(&mMapping);
    }

    /// An identifier quoted for the database, so that letter case is kept.
    std::u16string Q(std::u16string_view name) const {
        const std::u16string text(name);
        return GetParam() == DatabaseKind::MariaDB ? u"`" + text + u"`" : u"\"" + text + u"\"";
    }
    void Run(std::u16string_view sql) const { mTestDatabase->Execute(sql); }
    void Recreate(std::u16string_view table, std::u16string_view columns) const {
        Run(u"DROP TABLE IF EXISTS " + Q(table));
        Run(u"CREATE TABLE " + Q(table) + u" (" + std::u16string(columns) + u")");
    }

    void Synchronize() { Call(*mProject, u"SynchronizeDB"); }

    QelTable& Table(std::u16string_view name) {
        QelTable* table = Tables().Find(name);
        if (table == nullptr) {
            ADD_FAILURE() << "no table " << automation::ToUtf8(std::u16string(name));
            static_cast<void>(Tables().Add(u"__missing__"));
            return *Tables().Find(u"__missing__");
        }
        return *table;
    }
    std::vector<std::u16string> FieldNames(std::u16string_view table) {
        std::vector<std::u16string> names;
        for (QelField& field : *Table(table).Fields()) {
            names.push_back(field.FldName());
        }
        return names;
    }
    std::u16string Caption(std::u16string_view table, std::u16string_view field) {
        QelField* found = Table(table).Fields()->Find(field);
        return found == nullptr ? u"<none>" : found->FldCaption();
    }

    /// The progress window is closed at the end of every operation.
    void ExpectWindowClosed() {
        std::optional<host::HostCallKind> last;
        for (const host::HostCall& call : mMapping.Calls()) {
            if (call.kind == host::HostCallKind::ShowProgress ||
                call.kind == host::HostCallKind::CloseProgress) {
                last = call.kind;
            }
        }
        EXPECT_TRUE(!last || *last == host::HostCallKind::CloseProgress);
    }

    /// The schema every test starts from, beside the shared tables.
    void CreateStartSchema() {
        Recreate(u"sync_people", u"id INTEGER NOT NULL PRIMARY KEY, label VARCHAR(10), name VARCHAR(30), "
                                 u"city VARCHAR(20), age INTEGER, note VARCHAR(10)");
        Recreate(u"sync_orders", u"order_no INTEGER NOT NULL, person_id INTEGER NOT NULL, amount INTEGER, "
                                 u"PRIMARY KEY (order_no)");
        Recreate(u"sync_old", u"k INTEGER NOT NULL PRIMARY KEY, v VARCHAR(5)");
        Recreate(u"sync_gone", u"x INTEGER");
        Run(u"CREATE VIEW sync_v AS SELECT id, name FROM sync_people");
    }

    MappingHost mMapping;
};

TEST_P(SynchronizerTest, KeepsEverySettingOfWhatSurvivesAChangedSchema) {
    CreateStartSchema();
    LoadDatabase(*mProject);
    for (QelField& field : *Table(u"sync_people").Fields()) {
        field.SetFldCaption(u"user " + field.FldName());
    }
    Table(u"sync_people").SetTblCaption(u"People!");
    Table(u"sync_old").SetTblCaption(u"Old table!");
    Table(u"sync_v").Fields()->Find(u"name")->SetFldCaption(u"view name");
    Table(u"sync_people").Fields()->Find(u"city")->SetFldDefault(Variant(u"Oslo"));
    Table(u"sync_orders").Fields()->Find(u"amount")->SetFldCaption(u"user amount");

    QelMasterDetails& pairs = mProject->MasterDetails();
    ASSERT_TRUE(pairs.Add(u"sync_people", u"sync_orders"));
    ASSERT_TRUE(pairs.Item(u"sync_people", u"sync_orders")->AddRelation(u"id", u"person_id"));
    ASSERT_TRUE(pairs.Add(u"sync_old", u"sync_people"));
    ASSERT_TRUE(pairs.Item(u"sync_old", u"sync_people")->AddRelation(u"v", u"city"));
    ASSERT_TRUE(pairs.Add(u"sync_people", u"sync_gone"));
    ASSERT_TRUE(pairs.Item(u"sync_people", u"sync_gone")->AddRelation(u"id", u"x"));
    ASSERT_TRUE(pairs.Add(u"sync_orders", u"sync_people"));
    ASSERT_TRUE(pairs.Item(u"sync_orders", u"sync_people")->AddRelation(u"person_id", u"note"));

    Call(*mProject, u"LoadCustomView",
         {Variant(u"cv"), Variant(u"SELECT id, name FROM sync_people"), Variant(true)});
    ASSERT_EQ(mProject->ProjErr(), u"");
    // The view's columns took the settings of the fields they come from.
    EXPECT_EQ(Caption(u"cv", u"name"), u"user name");
    Table(u"cv").Fields()->Find(u"name")->SetFldCaption(u"cv name");
    Call(*mProject, u"LoadCustomView",
         {Variant(u"cv_note"), Variant(u"SELECT note FROM sync_people"), Variant(false)});
    ASSERT_EQ(mProject->ProjErr(), u"");
    // A view whose SQL the library refuses to read, as a project file may hold it.
    Call(*mProject, u"LoadCustomView",
         {Variant(u"cv_refused"), Variant(u"SELECT id FROM sync_people"), Variant(false)});
    ASSERT_EQ(mProject->ProjErr(), u"");
    const std::u16string refusedSql = u"SELECT id FROM sync_people; DELETE FROM sync_people";
    Table(u"cv_refused").SetTblCustomSQL(refusedSql);
    ASSERT_TRUE(
        automation::ToBoolean(Call(*mProject, u"LoadReport", {Variant(u"rpt"), Variant(u"sync_people")})));
    Table(u"rpt").Fields()->Find(u"name")->SetFldCaption(u"report name");
    Table(u"rpt").Fields()->Find(u"age")->SetFldCaption(u"report age");
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());

    // Columns added, dropped, renamed (one only in letter case), retyped and resized; a table
    // renamed, one dropped, one added; a primary key changed; a view changed.
    Run(u"DROP VIEW sync_v");
    Recreate(u"sync_people", u"id INTEGER NOT NULL PRIMARY KEY, " + Q(u"Label") +
                                 u" VARCHAR(10), name VARCHAR(60), town VARCHAR(20), age VARCHAR(3), "
                                 u"email VARCHAR(40)");
    Recreate(u"sync_orders", u"order_no INTEGER NOT NULL, person_id INTEGER NOT NULL, amount INTEGER, "
                             u"PRIMARY KEY (order_no, person_id)");
    Run(u"DROP TABLE sync_old");
    Recreate(u"sync_renamed", u"k INTEGER NOT NULL PRIMARY KEY, v VARCHAR(5)");
    Run(u"DROP TABLE sync_gone");
    Recreate(u"sync_added", u"a INTEGER, b VARCHAR(7)");
    Run(u"CREATE VIEW sync_v AS SELECT id, name, age FROM sync_people");
    EXPECT_GT(CheckDB(), 0);
    // Regression: the check named no pair that a sync would take away. It knows no renames.
    std::vector<PairToRemove> toRemove;
    std::vector<SchemaDifference> notCompared;
    EXPECT_GT(SchemaCheck(*mProject, nullptr, &toRemove, &notCompared).CheckDB(), 0);
    // Regression: nor the custom views it could not compare, counted 0 and said nowhere.
    std::set<std::u16string> unread;
    for (const SchemaDifference& view : notCompared) {
        EXPECT_FALSE(view.what.empty()) << automation::ToUtf8(view.table);
        unread.insert(view.table);
    }
    EXPECT_EQ(unread, (std::set<std::u16string>{u"cv_note", u"cv_refused"}));
    std::set<std::u16string> named;
    for (const PairToRemove& pair : toRemove) {
        named.insert(pair.master + u"/" + pair.detail + u": " + pair.why);
    }
    EXPECT_EQ(named,
              (std::set<std::u16string>{
                  u"sync_old/sync_people: the table \"sync_old\" is gone",
                  u"sync_people/sync_gone: the table \"sync_gone\" is gone",
                  u"sync_orders/sync_people: the field \"note\" of the table \"sync_people\" is gone"}));
    mMapping.ClearCalls();

    mMapping.renames = {{u"sync_renamed", u"sync_old"}, {u"town", u"city"}};
    mMapping.Answer(host::SyncChoice::Update);
    Synchronize();
    EXPECT_EQ(mProject->ProjErr(), u"");
    EXPECT_EQ(mMapping.PendingAnswers(), 0u);
    ExpectWindowClosed();

    // The table dialog offered only the tables of its kind; the field dialog the fields left
    // after the letter-case rename.
    ASSERT_EQ(mMapping.questions.size(), 2u);
    EXPECT_EQ(mMapping.questions[0].title, u"New table found in schema");
    EXPECT_EQ(std::set<std::u16string>(mMapping.questions[0].oldNames.begin(),
                                       mMapping.questions[0].oldNames.end()),
              (std::set<std::u16string>{u"sync_old", u"sync_gone"}));
    EXPECT_EQ(mMapping.questions[1].title, u"Table: sync_people - New fields found in schema");
    EXPECT_EQ(mMapping.questions[1].newNames, (std::vector<std::u16string>{u"town", u"email"}));
    EXPECT_EQ(mMapping.questions[1].oldNames, (std::vector<std::u16string>{u"city", u"note"}));

    // Survivors keep their places and settings; the retyped field is rebuilt in place.
    EXPECT_EQ(FieldNames(u"sync_people"),
              (std::vector<std::u16string>{u"id", u"Label", u"name", u"town", u"age", u"email"}));
    EXPECT_EQ(Table(u"sync_people").TblCaption(), u"People!");
    EXPECT_EQ(Caption(u"sync_people", u"Label"), u"user label");
    EXPECT_EQ(Caption(u"sync_people", u"name"), u"user name");
    EXPECT_EQ(Table(u"sync_people").Fields()->Find(u"name")->FldSize(), 60);
    EXPECT_EQ(Caption(u"sync_people", u"town"), u"user city");
    EXPECT_EQ(automation::ToString(Table(u"sync_people").Fields()->Find(u"town")->FldDefault()), u"Oslo");
    EXPECT_NE(Caption(u"sync_people", u"age"), u"user age");
    EXPECT_EQ(Table(u"sync_renamed").TblCaption(), u"Old table!");
    EXPECT_EQ(Tables().Find(u"sync_old"), nullptr);
    EXPECT_EQ(Tables().Find(u"sync_gone"), nullptr);
    EXPECT_EQ(FieldNames(u"sync_added"), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(Table(u"sync_orders").TblKey(), u"order_no\r\nperson_id");
    EXPECT_TRUE(Table(u"sync_orders").Fields()->Find(u"person_id")->FldIsPrimaryKey());
    EXPECT_EQ(Caption(u"sync_orders", u"amount"), u"user amount");
    EXPECT_EQ(FieldNames(u"sync_v"), (std::vector<std::u16string>{u"id", u"name", u"age"}));
    EXPECT_EQ(Caption(u"sync_v", u"name"), u"view name");

    // Custom views and reports follow; one whose SQL no longer reads keeps its fields and says why.
    EXPECT_EQ(Caption(u"cv", u"name"), u"cv name");
    EXPECT_EQ(Table(u"cv").TblCustomError(), u"");
    EXPECT_NE(Table(u"cv_note").TblCustomError(), u"");
    EXPECT_EQ(FieldNames(u"cv_note"), (std::vector<std::u16string>{u"note"}));
    EXPECT_EQ(Table(u"cv_refused").TblCustomSQL(), refusedSql);
    EXPECT_EQ(FieldNames(u"cv_refused"), (std::vector<std::u16string>{u"id"}));
    EXPECT_EQ(FieldNames(u"rpt"),
              (std::vector<std::u16string>{u"id", u"Label", u"name", u"age", u"town", u"email"}));
    EXPECT_EQ(Caption(u"rpt", u"name"), u"report name");
    // A report field whose source changed its type is rebuilt where it stood.
    EXPECT_NE(Caption(u"rpt", u"age"), u"report age");
    EXPECT_EQ(Table(u"rpt").Fields()->Find(u"age")->FldType(),
              Table(u"sync_people").Fields()->Find(u"age")->FldType());

    // Pairs follow the renames; a pair whose table vanished goes whole.
    EXPECT_TRUE(pairs.MasterDetailExist(u"sync_people", u"sync_orders"));
    ASSERT_TRUE(pairs.MasterDetailExist(u"sync_renamed", u"sync_people"));
    EXPECT_EQ(pairs.Item(u"sync_renamed", u"sync_people")->DetailField(1), u"town");
    EXPECT_FALSE(pairs.MasterDetailExist(u"sync_people", u"sync_gone"));
    EXPECT_FALSE(pairs.MasterDetailExist(u"sync_orders", u"sync_people"));
    EXPECT_EQ(pairs.Count(), 2);
    // Regression: they went without a word, then with a message each; the custom views kept as
    // they were went without one.
    std::vector<std::u16string> told;
    for (const std::u16string& message : mMapping.Texts(host::HostCallKind::Message)) {
        if (message.find(u"master/detail") != std::u16string::npos ||
            message.find(u"custom view") != std::u16string::npos) {
            told.push_back(message);
        }
    }
    ASSERT_EQ(told.size(), 2u);
    for (const std::u16string_view piece :
         {u"Quorvane: 2 master/detail pairs are removed:\r\n",
          u"\"sync_people\"/\"sync_gone\": the table "
          u"\"sync_gone\" is gone.",
          u"\"sync_orders\"/\"sync_people\": the field \"note\" of the table \"sync_people\" is gone."}) {
        EXPECT_NE(told[1].find(piece), std::u16string::npos) << automation::ToUtf8(told[1]);
    }
    for (const std::u16string_view piece :
         {u"Quorvane: 2 custom views and reports could not be synchronised and are kept as they were:",
          u"\r\ncustom view \"cv_note\": ", u"\r\ncustom view \"cv_refused\": "}) {
        EXPECT_NE(told[0].find(piece), std::u16string::npos) << automation::ToUtf8(told[0]);
    }

    // The custom view that no longer reads counts nothing.
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
}

TEST_P(SynchronizerTest, FailuresChangeNothingAndLeaveNoWindowOpen) {
    Synchronize();
    EXPECT_EQ(mProject->ProjErr(), u"Quorvane: Database not loaded!");
    Call(*mProject, u"SyncCustom", {Variant(u"cv")});
    EXPECT_NE(mProject->ProjErr(), u"");

    CreateStartSchema();
    LoadDatabase(*mProject);
    const std::int32_t tableCount = Tables().Count();
    Run(u"DROP TABLE sync_gone");
    const std::u16string connection = mProject->db()->DBConnstr();
    mProject->db()->SetDBConnstr(u"DRIVER={No Such Driver};");
    Synchronize();
    EXPECT_NE(mProject->ProjErr(), u"");
    EXPECT_EQ(Tables().Count(), tableCount);
    EXPECT_NE(Tables().Find(u"sync_gone"), nullptr);
    mProject->db()->SetDBConnstr(connection);
    ExpectWindowClosed();
}

TEST_P(SynchronizerTest, ARenameOntoACustomViewOrAnotherCaseTakesItsPlace) {
    CreateStartSchema();
    Recreate(u"sync_case", u"c INTEGER");
    LoadDatabase(*mProject);
    Table(u"sync_old").SetTblCaption(u"Old table!");
    Table(u"sync_case").SetTblCaption(u"Case table!");
    Table(u"sync_case").Fields()->Find(u"c")->SetFldCaption(u"user c");
    Call(*mProject, u"LoadCustomView",
         {Variant(u"sync_fresh"), Variant(u"SELECT id FROM sync_people"), Variant(false)});
    Call(*mProject, u"LoadCustomView",
         {Variant(u"SYNC_CV"), Variant(u"SELECT name FROM sync_people"), Variant(false)});
    ASSERT_EQ(mProject->ProjErr(), u"");

    Run(u"DROP TABLE sync_old");
    Recreate(u"sync_fresh", u"k INTEGER NOT NULL PRIMARY KEY, v VARCHAR(5)");
    Recreate(u"sync_cv", u"z INTEGER");
    Run(u"DROP TABLE sync_case");
    Recreate(u"Sync_Case", u"c INTEGER");
    Recreate(u"sync_orders", u"order_no INTEGER NOT NULL, person_id INTEGER NOT NULL, amount INTEGER, "
                             u"PRIMARY KEY (order_no, person_id)");
    mMapping.renames = {{u"sync_fresh", u"sync_old"}};
    // The key question closed without an answer takes the database's key.
    mMapping.Answer(host::SyncChoice::Closed);
    Synchronize();
    EXPECT_EQ(mProject->ProjErr(), u"");
    ExpectWindowClosed();

    EXPECT_EQ(Table(u"sync_fresh").TblType(), u"TABLE");
    EXPECT_EQ(Table(u"sync_fresh").TblCaption(), u"Old table!");
    EXPECT_EQ(FieldNames(u"sync_fresh"), (std::vector<std::u16string>{u"k", u"v"}));
    EXPECT_EQ(Table(u"sync_cv").TblType(), u"TABLE");
    EXPECT_EQ(FieldNames(u"sync_cv"), (std::vector<std::u16string>{u"z"}));
    EXPECT_EQ(Tables().Find(u"SYNC_CV"), nullptr);
    // A table renamed only in letter case is the same table (a server that folds names keeps it).
    QelTable* renamed = Tables().Find(u"Sync_Case");
    if (renamed == nullptr) {
        renamed = Tables().Find(u"sync_case");
    }
    ASSERT_NE(renamed, nullptr);
    EXPECT_EQ(renamed->TblCaption(), u"Case table!");
    EXPECT_EQ(Caption(renamed->TblName(), u"c"), u"user c");
    EXPECT_EQ(Table(u"sync_orders").TblKey(), u"order_no\r\nperson_id");
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
}

TEST_P(SynchronizerTest, OnlyOfferedOldNamesAreTakenEachOnce) {
    CreateStartSchema();
    LoadDatabase(*mProject);
    Table(u"sync_old").SetTblCaption(u"Old table!");
    Table(u"customers").SetTblCaption(u"Customers!");
    Run(u"DROP TABLE sync_old");
    Recreate(u"sync_a", u"k INTEGER NOT NULL PRIMARY KEY, v VARCHAR(5)");
    Recreate(u"sync_b", u"k INTEGER NOT NULL PRIMARY KEY, v VARCHAR(5)");
    Recreate(u"sync_c", u"k INTEGER NOT NULL PRIMARY KEY, v VARCHAR(5)");
    // Two new names given the same old one, and an old name the dialog never offered.
    mMapping.renames = {{u"sync_a", u"sync_old"}, {u"sync_b", u"sync_old"}, {u"sync_c", u"customers"}};
    Synchronize();
    EXPECT_EQ(mProject->ProjErr(), u"");
    EXPECT_EQ(Table(u"sync_a").TblCaption(), u"Old table!");
    EXPECT_NE(Table(u"sync_b").TblCaption(), u"Old table!");
    EXPECT_NE(Table(u"sync_c").TblCaption(), u"Customers!");
    EXPECT_EQ(Table(u"customers").TblCaption(), u"Customers!");
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
}

TEST_P(SynchronizerTest, LoadingAProjectOffersToUpdateItsDefinition) {
    CreateStartSchema();
    LoadDatabase(*mProject);
    Table(u"sync_people").Fields()->Find(u"name")->SetFldCaption(u"user name");
    mProject->SetAutoSync(true);
    const std::u16string file = TempPath("sync.qvp");
    Call(*mProject, u"Save", {Variant(file)});

    Run(u"DROP VIEW sync_v");
    Recreate(u"sync_people", u"id INTEGER NOT NULL PRIMARY KEY, label VARCHAR(10), name VARCHAR(30), "
                             u"city VARCHAR(20), age INTEGER, note VARCHAR(10), email VARCHAR(40)");
    Run(u"CREATE VIEW sync_v AS SELECT id, name FROM sync_people");
    Run(u"DROP TABLE sync_gone");

    // Closed without an answer: the project stays as the file has it.
    mMapping.Answer(host::SyncChoice::Closed);
    Ref<Qel> kept = MakeRef<Qel>();
    Call(*kept, u"Load", {Variant(file)});
    EXPECT_EQ(kept->ProjErr(), u"");
    EXPECT_NE(kept->db()->tables()->Find(u"sync_gone"), nullptr);
    const std::vector<std::u16string> questions = mMapping.Texts(host::HostCallKind::KeepOrUpdate);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0],
              u"Database has been modified since last change. Do you want to keep old definition or "
              u"update to new definition?");
    kept = nullptr;

    mMapping.Answer(host::SyncChoice::Update);
    mProject = MakeRef<Qel>();
    Call(*mProject, u"Load", {Variant(file)});
    EXPECT_EQ(mProject->ProjErr(), u"");
    EXPECT_EQ(Tables().Find(u"sync_gone"), nullptr);
    EXPECT_EQ(FieldNames(u"sync_people").back(), u"email");
    EXPECT_EQ(Caption(u"sync_people", u"name"), u"user name");
    EXPECT_EQ(CheckDB(), 0);
    ExpectWindowClosed();

    // In step: no question at all.
    const std::u16string inStep = TempPath("in-step.qvp");
    Call(*mProject, u"Save", {Variant(inStep)});
    mMapping.ClearCalls();
    Ref<Qel> again = MakeRef<Qel>();
    Call(*again, u"Load", {Variant(inStep)});
    EXPECT_EQ(again->ProjErr(), u"");
    EXPECT_EQ(mMapping.Count(host::HostCallKind::KeepOrUpdate), 0u);
    again = nullptr;

    // A database that cannot be read is said once, and its reason stays.
    mProject->db()->SetDBConnstr(u"DRIVER={No Such Driver};");
    const std::u16string unreadable = TempPath("unreadable.qvp");
    Call(*mProject, u"Save", {Variant(unreadable)});
    mMapping.Answer(host::MessageAnswer::Ok);
    Ref<Qel> failed = MakeRef<Qel>();
    Call(*failed, u"Load", {Variant(unreadable)});
    EXPECT_NE(failed->ProjErr(), u"");
    const std::vector<std::u16string> messages = mMapping.Texts(host::HostCallKind::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind(u"Unable to load database information! Reason: ", 0), 0u);
    EXPECT_NE(failed->db()->tables()->Find(u"sync_people"), nullptr);
}

/// One column of a randomly changed table as the test planned it.
struct PlannedColumn {
    std::u16string name;    ///< before the change
    std::u16string newName; ///< after it; "" when dropped
    bool isText = false;
    int size = 0;
    bool keepsSettings = true; ///< what the user set on it must survive the sync
};

TEST_P(SynchronizerTest, RandomChangesNeverLoseWhatTheUserSetOnASurvivor) {
    std::mt19937 random(20261207);
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    auto columnType = [](bool isText, int size) {
        return isText ? u"VARCHAR(" + automation::ToString(Variant(static_cast<std::int32_t>(size))) + u")"
                      : std::u16string(u"INTEGER");
    };
    auto number = [](std::size_t value) {
        return automation::ToString(Variant(static_cast<std::int32_t>(value)));
    };
    // Bounded in time; 25 rounds pass as well when run by hand.
    constexpr std::size_t Rounds = 4;
    constexpr std::size_t TableCount = 4;

    for (std::size_t round = 0; round < Rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        struct PlannedTable {
            std::u16string name;
            std::u16string newName; ///< "" when dropped
            bool keepsSettings = true;
            std::vector<PlannedColumn> columns;
        };
        std::vector<PlannedTable> plan(TableCount);
        for (std::size_t t = 0; t < TableCount; ++t) {
            PlannedTable& table = plan[t];
            table.name = u"rnd" + number(round) + u"_" + number(t);
            std::u16string columns = u"id INTEGER NOT NULL PRIMARY KEY";
            const std::size_t columnCount = 2 + random() % 4;
            for (std::size_t k = 0; k < columnCount; ++k) {
                PlannedColumn column;
                column.name = u"c" + number(k);
                column.isText = chance(50);
                column.size = 5 + static_cast<int>(random() % 30);
                columns += u", " + Q(column.name) + u" " + columnType(column.isText, column.size);
                table.columns.push_back(column);
            }
            Recreate(table.name, columns);
        }
        mProject = MakeRef<Qel>();
        LoadDatabase(*mProject);
        for (const PlannedTable& table : plan) {
            Table(table.name).SetTblCaption(u"m:" + table.name);
            for (const PlannedColumn& column : table.columns) {
                Table(table.name)
                    .Fields()
                    ->Find(column.name)
                    ->SetFldCaption(u"m:" + table.name + u"." + column.name);
            }
        }

        mMapping.renames.clear();
        for (PlannedTable& table : plan) {
            Run(u"DROP TABLE " + Q(table.name));
            if (chance(15)) {
                table.keepsSettings = false;
                continue;
            }
            table.newName = table.name;
            if (chance(25)) {
                table.newName = table.name + u"_renamed";
                table.keepsSettings = chance(60);
                if (table.keepsSettings) {
                    mMapping.renames[table.newName] = table.name;
                }
            }
            std::u16string columns = u"id INTEGER NOT NULL PRIMARY KEY";
            for (PlannedColumn& column : table.columns) {
                const int operation = static_cast<int>(random() % 100);
                column.newName = column.name;
                if (operation < 10) {
                    column.newName.clear();
                    continue;
                }
                if (operation < 25) {
                    column.newName = table.newName + u"_" + column.name + u"_new";
                    column.keepsSettings = chance(60);
                    if (column.keepsSettings) {
                        mMapping.renames[column.newName] = column.name;
                    }
                } else if (operation < 32) {
                    column.newName = u"C" + column.name.substr(1);
                } else if (operation < 42) {
                    column.isText = !column.isText;
                    column.keepsSettings = false;
                } else if (operation < 52) {
                    column.size += 1 + static_cast<int>(random() % 20);
                }
                columns += u", " + Q(column.newName) + u" " + columnType(column.isText, column.size);
            }
            const std::size_t added = random() % 3;
            for (std::size_t k = 0; k < added; ++k) {
                columns += u", " + Q(u"n" + number(k)) + u" INTEGER";
            }
            Run(u"CREATE TABLE " + Q(table.newName) + u" (" + columns + u")");
        }

        Synchronize();
        EXPECT_EQ(mProject->ProjErr(), u"");
        for (const PlannedTable& table : plan) {
            SCOPED_TRACE(automation::ToUtf8(table.name));
            if (table.newName.empty()) {
                EXPECT_EQ(Tables().Find(table.name), nullptr);
                continue;
            }
            QelTable* synced = Tables().Find(table.newName);
            ASSERT_NE(synced, nullptr);
            EXPECT_EQ(synced->TblCaption() == u"m:" + table.name, table.keepsSettings);
            for (const PlannedColumn& column : table.columns) {
                if (column.newName.empty()) {
                    continue;
                }
                SCOPED_TRACE(automation::ToUtf8(column.name + u" -> " + column.newName));
                QelField* field = synced->Fields()->Find(column.newName);
                ASSERT_NE(field, nullptr);
                EXPECT_EQ(field->FldCaption() == u"m:" + table.name + u"." + column.name,
                          table.keepsSettings && column.keepsSettings);
            }
        }
        EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
        for (const PlannedTable& table : plan) {
            if (!table.newName.empty()) {
                Run(u"DROP TABLE " + Q(table.newName));
            }
        }
    }
    // The seed gives renames the user mapped, so the dialogs were part of the runs.
    EXPECT_FALSE(mMapping.questions.empty());
}

QV_INSTANTIATE_FOR_TEST_DATABASES(SynchronizerTest);

} // namespace
} // namespace qv
