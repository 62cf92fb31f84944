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

#include "platform/ado/ConnectionString.h"
#include "platform/automation/Text.h"
#include "platform/host/ScriptedHost.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace qv {
namespace {

using automation::Variant;
using testdb::DatabaseKind;

class ReadScopeTest : public test::DatabaseKindTest {
protected:
    /// Whether one message given since the last call names the views as left out, and no more of
    /// them: one message for all (a message box each held the user at every one).
    bool NamedAsLeftOut(std::initializer_list<std::u16string_view> views) {
        const std::vector<std::u16string> messages = mHost.Texts(host::HostCallKind::Message);
        mHost.ClearCalls();
        std::vector<std::u16string> leftOut;
        std::copy_if(messages.begin(), messages.end(), std::back_inserter(leftOut),
                     [](const std::u16string& text) {
                         return text.find(u"left out and left as it is") != std::u16string::npos;
                     });
        return leftOut.size() == 1 && std::all_of(views.begin(), views.end(), [&](std::u16string_view view) {
                   return leftOut.front().find(u"Unable to read the view \"" + std::u16string(view) +
                                               u"\"!") != std::u16string::npos;
               });
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
    EXPECT_TRUE(NamedAsLeftOut({u"scope_broken"}));
    QelTable* broken = Tables().Find(u"scope_broken");
    ASSERT_NE(broken, nullptr);
    EXPECT_FALSE(broken->TblLoaded());
    EXPECT_TRUE(Tables().Find(u"customers")->TblLoaded());
    const std::int32_t customerFields = Tables().Find(u"customers")->Fields()->Count();

    // The project does not load the view: it is named, and the project stays as it is.
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
    EXPECT_TRUE(NamedAsLeftOut({u"scope_broken"}));
    // A broken view new in the database is one difference; a synchronisation adds it unloaded.
    mTestDatabase->Execute(u"CREATE TABLE scope_gone (x INTEGER);\n"
                           u"CREATE VIEW scope_new AS SELECT x FROM scope_gone;\nDROP TABLE scope_gone");
    EXPECT_EQ(CheckDB(), 1) << automation::ToUtf8(mProject->ProjErr());
    EXPECT_TRUE(NamedAsLeftOut({u"scope_broken", u"scope_new"}));
    Call(*mProject, u"SynchronizeDB");
    EXPECT_EQ(mProject->ProjErr(), u"");
    EXPECT_TRUE(NamedAsLeftOut({u"scope_broken", u"scope_new"}));
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

// Regression: a connection lost while the reading went through objects it did not need had each
// of them named as one that could not be read ("Grant the right to read the table, ..."), and the
// check and the new project went on with what had been read.
TEST_P(ReadScopeTest, AConnectionLostOnAnObjectNotNeededEndsTheReadingOnce) {
    if (Kind() != DatabaseKind::PostgreSQL) {
        GTEST_SKIP() << "a PostgreSQL session waits for another's table lock, where it can be ended";
    }
    LoadDatabase();
    std::vector<std::u16string> names;
    for (QelTable& table : Tables()) {
        names.push_back(table.TblName());
    }
    for (const std::u16string& name : names) {
        Call(*mProject, u"UnLoadTable", {Variant(name)});
    }
    // The reading waits for a table another session holds until its connection is ended; the
    // timeout only keeps a reading that is never ended from waiting for ever.
    ado::ConnectionString text = ado::ConnectionString::Parse(mTestDatabase->ConnectionString());
    text.Set(u"ConnSettings", u"SET lock_timeout = 120000");
    mProject->db()->SetDBConnstr(text.ToString());
    testdb::HeldSession holder(*mTestDatabase);
    holder.Execute(u"LOCK TABLE customers IN ACCESS EXCLUSIVE MODE");
    auto expectEndedOnce = [&](const char* reading, const std::function<void()>& read) {
        SCOPED_TRACE(reading);
        mHost.ClearCalls();
        std::atomic<bool> done = false;
        // The session is opened here, not in the thread: the driver's connect changes the
        // process's locale, and two connects at once read each other's freed locale names.
        testdb::HeldSession enderSession(*mTestDatabase);
        std::thread ender([&] {
            while (!done) {
                try {
                    enderSession.Execute(u"SELECT pg_terminate_backend(pid) FROM pg_locks "
                                         u"WHERE NOT granted AND relation = 'customers'::regclass");
                } catch (const std::exception&) {
                    // Tried again on the next round.
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        read();
        done = true;
        ender.join();
        const std::u16string error = mProject->ProjErr();
        EXPECT_TRUE(error.starts_with(u"Quorvane: Unable to read the ")) << automation::ToUtf8(error);
        EXPECT_NE(error.find(u"connection to the database was lost"), std::u16string::npos)
            << automation::ToUtf8(error);
        for (const std::u16string& message : mHost.Texts(host::HostCallKind::Message)) {
            EXPECT_EQ(message.find(u"Unable to read"), std::u16string::npos) << automation::ToUtf8(message);
        }
    };
    expectEndedOnce("check", [&] { EXPECT_EQ(CheckDB(), -1); });
    // A new project that needs none of the tables.
    mProject = nullptr;
    MakeProject();
    CurrentLoadSettings().neededTables.emplace();
    expectEndedOnce("new project", [&] {
        Call(*mProject, u"LoadDB",
             {Variant(u""), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(false),
              Variant(u""), Variant(u""), Variant(text.ToString()), Variant(u"")});
    });
    CurrentLoadSettings().neededTables.reset();
}

QV_INSTANTIATE_FOR_TEST_DATABASES(ReadScopeTest);

} // namespace
} // namespace qv
