// Tables whose names differ only in letter case, which PostgreSQL and MariaDB (on a server that
// keeps names as given, the default on Linux) hold side by side: a project keys its tables without
// regard to case and can hold one of them. The db program runs these bodies on the servers;
// SQLite cannot hold such a pair.

#include "schema/SchemaProjectFixture.h"

#include "db/TestDatabases.h"

#include "project/Qel.h"

#include "model/LoadSettings.h"
#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"
#include "platform/host/ScriptedHost.h"

#include <string>
#include <vector>

namespace qv {
namespace {

using testdb::DatabaseKind;

class CaseTwinTablesTest : public test::DatabaseKindTest {
protected:
    /// The information messages the project gave since the last call, and no more of them.
    std::vector<std::u16string> TakeMessages() {
        std::vector<std::u16string> messages = mHost.Texts(host::HostCallKind::Message);
        mHost.ClearCalls();
        return messages;
    }

    /// Whether one of the messages names the table in double quotes.
    static bool Names(const std::vector<std::u16string>& messages, std::u16string_view table) {
        const std::u16string quoted = u"\"" + std::u16string(table) + u"\"";
        for (const std::u16string& message : messages) {
            if (message.find(quoted) != std::u16string::npos &&
                message.find(u"differs only in letter case") != std::u16string::npos) {
                return true;
            }
        }
        return false;
    }

    std::vector<std::u16string> FieldNames(std::u16string_view table) {
        std::vector<std::u16string> names;
        QelTable* held = Tables().Find(table);
        if (held == nullptr) {
            return names;
        }
        for (QelField& field : *held->Fields()) {
            names.push_back(field.FldName());
        }
        return names;
    }
};

// Regression: a project holding "parcel" read the database's "Parcel" in its place once someone
// added it: the check said "parcel: TABLE gone from the database", and a synchronisation
// replaced the table by "Parcel", its fields and settings lost. A new project kept one of the two
// and said nothing of the other.
TEST_P(CaseTwinTablesTest, AProjectTableKeepsItsOwnSpellingAndTheTwinIsNamed) {
    if (Kind() == DatabaseKind::SQLite) {
        GTEST_SKIP() << "SQLite takes names that differ only in letter case for one";
    }
    if (Kind() == DatabaseKind::MariaDB) {
        ado::Connection connection;
        connection.Open(mTestDatabase->ConnectionString());
        if (automation::ToLong(
                ado::Recordset::Open(connection, u"SELECT @@lower_case_table_names").Value(0)) != 0) {
            GTEST_SKIP() << "this MariaDB server folds table names to one letter case";
        }
    }
    const std::u16string quote = Kind() == DatabaseKind::MariaDB ? u"`" : u"\"";
    // Each spelling comes first in the catalogue once, whatever the server's collation: the
    // project holds the lower one of the first pair and the upper one of the second.
    mTestDatabase->Execute(u"CREATE TABLE parcel (id INTEGER PRIMARY KEY, weight INTEGER);\nCREATE TABLE " +
                           quote + u"Crate" + quote + u" (id INTEGER PRIMARY KEY, label VARCHAR(10))");
    LoadDatabase();
    const std::int32_t tableCount = Tables().Count();
    for (const std::u16string& name : {std::u16string(u"parcel"), std::u16string(u"Crate")}) {
        QelTable& table = *Tables().Find(name);
        table.SetTblCaption(name + u"!");
        table.Fields()->Find(u"id")->SetFldCaption(u"Number of " + name);
    }
    mTestDatabase->Execute(u"CREATE TABLE " + quote + u"Parcel" + quote +
                           u" (code VARCHAR(5));\nCREATE TABLE crate (n INTEGER)");
    TakeMessages();

    auto expectKept = [&](const char* operation) {
        SCOPED_TRACE(operation);
        EXPECT_EQ(mProject->ProjErr(), u"");
        EXPECT_EQ(Tables().Count(), tableCount);
        EXPECT_EQ(FieldNames(u"parcel"), (std::vector<std::u16string>{u"id", u"weight"}));
        EXPECT_EQ(FieldNames(u"Crate"), (std::vector<std::u16string>{u"id", u"label"}));
        if (QelTable* parcel = Tables().Find(u"parcel")) {
            EXPECT_EQ(parcel->TblCaption(), u"parcel!");
        }
        if (QelTable* crate = Tables().Find(u"Crate"); crate != nullptr && crate->Fields()->Find(u"id")) {
            EXPECT_EQ(crate->Fields()->Find(u"id")->FldCaption(), u"Number of Crate");
        }
        const std::vector<std::u16string> messages = TakeMessages();
        EXPECT_TRUE(Names(messages, u"Parcel")) << messages.size() << " messages";
        EXPECT_TRUE(Names(messages, u"crate")) << messages.size() << " messages";
    };
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
    expectKept("check");
    Call(*mProject, u"SynchronizeDB");
    expectKept("sync");
    EXPECT_EQ(CheckDB(), 0);
    TakeMessages();

    // A new project keeps one of each pair, and names the other.
    mProject = nullptr;
    MakeProject();
    LoadDatabase();
    const std::vector<std::u16string> messages = TakeMessages();
    for (const auto& [lower, upper] : {std::pair<std::u16string, std::u16string>(u"parcel", u"Parcel"),
                                       std::pair<std::u16string, std::u16string>(u"crate", u"Crate")}) {
        const bool lowerKept = Tables().Find(lower) != nullptr;
        EXPECT_NE(lowerKept, Tables().Find(upper) != nullptr);
        EXPECT_TRUE(Names(messages, lowerKept ? upper : lower)) << automation::ToUtf8(lower);
    }

    // Regression: a new project of chosen tables kept the catalogue's first of a pair, not the
    // one named. Named exactly, a spelling is kept; of two named, the first.
    mProject = nullptr;
    MakeProject();
    CurrentLoadSettings().neededTables = std::vector<std::u16string>{u"Parcel", u"crate", u"Crate"};
    LoadDatabase();
    CurrentLoadSettings().neededTables.reset();
    const std::vector<std::u16string> chosen = TakeMessages();
    EXPECT_EQ(FieldNames(u"Parcel"), (std::vector<std::u16string>{u"code"}));
    EXPECT_EQ(FieldNames(u"crate"), (std::vector<std::u16string>{u"n"}));
    EXPECT_EQ(Tables().Find(u"parcel"), nullptr);
    EXPECT_EQ(Tables().Find(u"Crate"), nullptr);
    EXPECT_TRUE(Names(chosen, u"parcel"));
    EXPECT_TRUE(Names(chosen, u"Crate"));

    // Regression: named with a field of it (TABLE.FIELD), the table named gave way to its twin.
    mProject = nullptr;
    MakeProject();
    CurrentLoadSettings().neededTables = std::vector<std::u16string>{u"Parcel.code", u"crate.n"};
    LoadDatabase();
    CurrentLoadSettings().neededTables.reset();
    EXPECT_EQ(FieldNames(u"Parcel"), (std::vector<std::u16string>{u"code"}));
    EXPECT_EQ(FieldNames(u"crate"), (std::vector<std::u16string>{u"n"}));
}

QV_INSTANTIATE_FOR_TEST_DATABASES(CaseTwinTablesTest);

} // namespace
} // namespace qv
