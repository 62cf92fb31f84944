// What a reading of the database needs: a new project of chosen tables those tables, a check and
// a synchronisation the tables the project loads. An object outside that which cannot be read is
// named and left as it is; one inside it stops the reading. The unit program runs these bodies on
// SQLite; the db program on the servers.

#include "schema/SchemaProjectFixture.h"

#include "db/TestDatabases.h"

#include "project/Qel.h"

#include "model/LoadSettings.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Text.h"
#include "platform/host/ScriptedHost.h"

#include <string>
#include <vector>

namespace qv {
namespace {

using automation::Variant;
using testdb::DatabaseKind;

class ReadScopeTest : public test::DatabaseKindTest {
protected:
    /// Whether one message given since the last call names the view as left out, and no more of
    /// them.
    bool NamedAsLeftOut(std::u16string_view view) {
        const std::vector<std::u16string> messages = mHost.Texts(host::HostCallKind::Message);
        mHost.ClearCalls();
        for (const std::u16string& message : messages) {
            if (message.starts_with(u"Quorvane: Unable to read the view \"" + std::u16string(view) +
                                    u"\"!") &&
                message.find(u"left out and left as it is") != std::u16string::npos) {
                return true;
            }
        }
        return false;
    }
};

// Regression: a new project of two tables failed for a view it never asked for, whose table had
// been dropped; so did every check and synchronisation of a project that does not load the view,
// and one that met such a view new in the database.
TEST_P(ReadScopeTest, ABrokenViewOutsideWhatIsReadIsNamedAndLeftAsItIs) {
    if (Kind() == DatabaseKind::PostgreSQL) {
        GTEST_SKIP() << "PostgreSQL keeps no view whose table is gone";
    }
    mTestDatabase->Execute(u"CREATE TABLE scope_gone (x INTEGER);\n"
                           u"CREATE VIEW scope_broken AS SELECT x FROM scope_gone;\nDROP TABLE scope_gone");
    CurrentLoadSettings().neededTables = std::vector<std::u16string>{u"customers", u"order_lines"};
    LoadDatabase();
    CurrentLoadSettings().neededTables.reset();
    if (HasFatalFailure()) {
        return;
    }
    EXPECT_TRUE(NamedAsLeftOut(u"scope_broken"));
    QelTable* broken = Tables().Find(u"scope_broken");
    ASSERT_NE(broken, nullptr);
    EXPECT_FALSE(broken->TblLoaded());
    EXPECT_TRUE(Tables().Find(u"customers")->TblLoaded());
    const std::int32_t customerFields = Tables().Find(u"customers")->Fields()->Count();

    // The project does not load the view: it is named, and the project stays as it is.
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
    EXPECT_TRUE(NamedAsLeftOut(u"scope_broken"));
    // A broken view new in the database is one difference; a synchronisation adds it unloaded.
    mTestDatabase->Execute(u"CREATE TABLE scope_gone (x INTEGER);\n"
                           u"CREATE VIEW scope_new AS SELECT x FROM scope_gone;\nDROP TABLE scope_gone");
    EXPECT_EQ(CheckDB(), 1) << automation::ToUtf8(mProject->ProjErr());
    EXPECT_TRUE(NamedAsLeftOut(u"scope_new"));
    Call(*mProject, u"SynchronizeDB");
    EXPECT_EQ(mProject->ProjErr(), u"");
    EXPECT_TRUE(NamedAsLeftOut(u"scope_new"));
    ASSERT_NE(Tables().Find(u"scope_new"), nullptr);
    EXPECT_FALSE(Tables().Find(u"scope_new")->TblLoaded());
    EXPECT_FALSE(Tables().Find(u"scope_broken")->TblLoaded());
    EXPECT_EQ(Tables().Find(u"customers")->Fields()->Count(), customerFields);
    EXPECT_EQ(CheckDB(), 0);
    mHost.ClearCalls();

    // Asked for, the view stops the load with what to do about it.
    Call(*mProject, u"LoadTable", {Variant(u"scope_broken")});
    const std::u16string error = mProject->ProjErr();
    EXPECT_TRUE(error.starts_with(u"Quorvane: Unable to read the view \"scope_broken\"!"))
        << automation::ToUtf8(error);
    EXPECT_TRUE(error.ends_with(u"\r\nRepair the view or drop it, or grant the right to read it."))
        << automation::ToUtf8(error);
    EXPECT_FALSE(Tables().Find(u"scope_broken")->TblLoaded());
}

QV_INSTANTIATE_FOR_TEST_DATABASES(ReadScopeTest);

} // namespace
} // namespace qv
