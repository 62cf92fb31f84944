// What a synchronisation and a check make of changed columns: fields a sync adds, columns that
// change size, and columns the project cannot hold beside another of the same name. The unit
// program runs these bodies on SQLite; the db program (built with QV_TEST_SERVERS) on PostgreSQL
// and MariaDB.

#include "schema/SchemaProjectFixture.h"

#include "db/TestDatabases.h"

#include "project/Qel.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"

#include "platform/automation/Text.h"

#include <stdexcept>

namespace qv {
namespace {

using automation::Variant;
using testdb::DatabaseKind;

class SyncColumnsTest : public test::DatabaseKindTest {
protected:
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
    void Synchronize() {
        Call(*mProject, u"SynchronizeDB");
        EXPECT_EQ(mProject->ProjErr(), u"");
    }
    QelField& Field(std::u16string_view table, std::u16string_view field) {
        QelTable* found = Tables().Find(table);
        if (found == nullptr || found->Fields()->Find(field) == nullptr) {
            throw std::runtime_error("no field " + automation::ToUtf8(field));
        }
        return *found->Fields()->Find(field);
    }
};

// Regression: a field a sync added got repeat columns 0, where a loaded field gets the
// project's value.
TEST_P(SyncColumnsTest, AFieldASyncAddsIsSetUpAsALoadedOne) {
    Recreate(u"sync_cols", u"id INTEGER NOT NULL PRIMARY KEY, label VARCHAR(10)");
    mProject->SetRepeatColumns(3);
    LoadDatabase();
    EXPECT_EQ(Field(u"sync_cols", u"label").FldRepeatColumns(), 3);
    // Reopened, the project has its own value and the loader's copy of an earlier one is gone.
    mProject->SetRepeatColumns(5);
    // A custom view loaded now takes it too.
    Call(*mProject, u"LoadCustomView",
         {Variant(u"cv"), Variant(u"SELECT id, label FROM sync_cols"), Variant(false)});
    ASSERT_EQ(mProject->ProjErr(), u"");
    EXPECT_EQ(Field(u"cv", u"label").FldRepeatColumns(), 5);
    Run(u"ALTER TABLE sync_cols ADD extra VARCHAR(12)");
    Synchronize();
    const QelField& added = Field(u"sync_cols", u"extra");
    EXPECT_EQ(added.FldRepeatColumns(), 5);
    EXPECT_EQ(added.FldTagMaxLength(), 12);
    EXPECT_EQ(Field(u"sync_cols", u"label").FldRepeatColumns(), 3);
}

// Regression: a widened column kept its old input length, so the generated form refused what the
// column now takes.
TEST_P(SyncColumnsTest, AnInputLengthThatFollowedTheSizeFollowsItStill) {
    Recreate(u"sync_sizes", u"id INTEGER NOT NULL PRIMARY KEY, code VARCHAR(10), note VARCHAR(10), "
                            u"title VARCHAR(30)");
    LoadDatabase();
    ASSERT_EQ(Field(u"sync_sizes", u"code").FldTagMaxLength(), 10);
    Field(u"sync_sizes", u"note").SetFldTagMaxLength(6);
    Field(u"sync_sizes", u"title").SetFldCaption(u"Title!");

    Recreate(u"sync_sizes", u"id INTEGER NOT NULL PRIMARY KEY, code VARCHAR(40), note VARCHAR(40), "
                            u"title VARCHAR(20)");
    EXPECT_GT(CheckDB(), 0);
    Synchronize();
    EXPECT_EQ(Field(u"sync_sizes", u"code").FldSize(), 40);
    EXPECT_EQ(Field(u"sync_sizes", u"code").FldTagMaxLength(), 40);
    // The user's own length stays; a narrowed column takes no more than it holds.
    EXPECT_EQ(Field(u"sync_sizes", u"note").FldTagMaxLength(), 6);
    EXPECT_EQ(Field(u"sync_sizes", u"title").FldTagMaxLength(), 20);
    EXPECT_EQ(Field(u"sync_sizes", u"title").FldCaption(), u"Title!");
    EXPECT_EQ(CheckDB(), 0);
}

// Regression: a column named like another but for letter case was left out without a word, and
// the check reported the project in step.
TEST_P(SyncColumnsTest, AColumnTheProjectCannotHoldIsCountedAndMarksItsTable) {
    LoadDatabase();
    const std::u16string sql = u"SELECT id, name, city AS NAME FROM customers";
    ASSERT_EQ(mProject->db()->LoadADOCustomView(Variant(mTestDatabase->ConnectionString()), Variant(u"cv"),
                                                Variant(sql)),
              0);
    // The view's field "NAME" is missing: one difference, however often the check runs.
    EXPECT_EQ(CheckDB(), 1) << automation::ToUtf8(mProject->ProjErr());
    EXPECT_EQ(CheckDB(), 1);

    if (Kind() != DatabaseKind::PostgreSQL) {
        return; // the other servers refuse two such columns in one table
    }
    EXPECT_EQ(Tables().Find(u"customers")->TblError(), u"");
    Run(u"ALTER TABLE customers ADD \"Name\" INTEGER");
    // The column left out and its table.
    EXPECT_EQ(CheckDB(), 1 + 2);
    const std::int32_t fields = Tables().Find(u"customers")->Fields()->Count();
    Synchronize();
    QelTable& customers = *Tables().Find(u"customers");
    EXPECT_FALSE(customers.TblGen());
    EXPECT_NE(customers.TblError().find(u"Duplicate Column Name - Name"), std::u16string::npos)
        << automation::ToUtf8(customers.TblError());
    EXPECT_EQ(customers.Fields()->Count(), fields);
    EXPECT_EQ(Field(u"customers", u"name").FldType(), Field(u"customers", u"city").FldType());
    // The project still cannot hold it, and the check still says so.
    EXPECT_EQ(CheckDB(), 1 + 2);
}

QV_INSTANTIATE_FOR_TEST_DATABASES(SyncColumnsTest);

} // namespace
} // namespace qv
