#include "DatabaseFixture.h"

#include "platform/ado/Command.h"
#include "platform/ado/ConnectionString.h"
#include "platform/ado/Constants.h"
#include "platform/ado/DataSources.h"

#include "platform/automation/Error.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace qv::ado::test {
namespace {

using automation::Variant;

class ConnectionTest : public DatabaseTest {
protected:
    /// Runs `call`, which must fail, and returns the raised error.
    template <class Call> automation::Error Failure(Call call) {
        try {
            call();
        } catch (const automation::Error& error) {
            return error;
        }
        ADD_FAILURE() << "no error raised";
        return automation::Error(0);
    }
};

TEST_P(ConnectionTest, ReportsTheDbmsAndTheDriver) {
    const char16_t* dbms[] = {u"SQLite", u"PostgreSQL", u"MariaDB"};
    const char16_t* quotes[] = {u"\"", u"\"", u"`"};
    std::size_t kind = static_cast<std::size_t>(Kind());
    EXPECT_EQ(mConnection.Property(u"DBMS Name"), dbms[kind]);
    EXPECT_FALSE(mConnection.Property(u"DBMS Version").value_or(u"").empty());
    EXPECT_FALSE(mConnection.Property(u"provider name").value_or(u"").empty());
    EXPECT_FALSE(mConnection.Property(u"Provider Version").value_or(u"").empty());
    EXPECT_FALSE(mConnection.Property(u"OLE DB Version"));
    EXPECT_EQ(mConnection.IdentifierQuote(), quotes[kind]);
    EXPECT_EQ(mConnection.ConnectionString(), mDatabase->ConnectionString());
    EXPECT_EQ(mConnection.State(), ObjectState::Open);
}

TEST_P(ConnectionTest, AFailedCallFillsErrorsAndTheNextClearsThem) {
    automation::Error error = Failure([&] { Recordset::Open(mConnection, u"SELECT * FROM no_such_table"); });
    const Errors& errors = *mConnection.Errors();
    ASSERT_GE(errors.Count(), 1);
    const ErrorRecord& first = *errors.Item(0);
    EXPECT_EQ(error.Number(), first.Number());
    EXPECT_EQ(error.Description(), first.Description());
    EXPECT_NE(first.Description().find(u"no_such_table"), std::u16string::npos) << Utf8(first.Description());
    EXPECT_EQ(first.SQLState().size(), 5u);
    // Scripts and the host read the same collection by name.
    Variant count = automation::CallByName(*mConnection.Errors(), u"Count", automation::InvokeRead);
    EXPECT_EQ(automation::ToLong(count), errors.Count());

    Schema(Schema::Tables);
    EXPECT_EQ(mConnection.Errors()->Count(), 0);
}

TEST_P(ConnectionTest, AClosedConnectionRefusesWork) {
    mConnection.Close();
    EXPECT_EQ(mConnection.State(), ObjectState::Closed);
    EXPECT_EQ(Failure([&] { Recordset::Open(mConnection, u"SELECT 1"); }).Number(),
              ErrorNumber::ObjectClosed);
    EXPECT_EQ(Failure([&] { Schema(Schema::Tables); }).Number(), ErrorNumber::ObjectClosed);
    mConnection.Close();
    mConnection.Open(mDatabase->ConnectionString());
    EXPECT_EQ(Failure([&] { mConnection.Open(mDatabase->ConnectionString()); }).Number(),
              ErrorNumber::ObjectOpen);
}

TEST_P(ConnectionTest, ALostConnectionGivesTheDriversError) {
    if (!IsServer()) {
        GTEST_SKIP() << "an SQLite connection has no server to lose";
    }
    bool postgres = Kind() == testdb::DatabaseKind::PostgreSQL;
    Recordset self = Recordset::Open(mConnection, postgres ? u"SELECT pg_backend_pid() AS id"
                                                           : u"SELECT CONNECTION_ID() AS id");
    std::u16string id = automation::ToString(self.Value(u"id"));
    EXPECT_FALSE(mConnection.Lost());
    if (postgres) {
        Connection other;
        other.Open(mDatabase->ConnectionString());
        Recordset::Open(other, u"SELECT pg_terminate_backend(" + id + u") AS done");
    } else {
        mDatabase->Execute(u"KILL " + id);
    }

    automation::Error lost = Failure([&] { Recordset::Open(mConnection, u"SELECT 1 AS one"); });
    EXPECT_FALSE(lost.Description().empty());
    ASSERT_GE(mConnection.Errors()->Count(), 1);
    EXPECT_EQ(mConnection.Errors()->Item(0)->Description(), lost.Description());
    // Readers stop on it rather than blame each object they read next.
    EXPECT_TRUE(mConnection.Lost());
    // Every later call fails the same way; none takes the process down.
    Failure([&] { Schema(Schema::Columns, {Variant(), Variant(), Variant(u"customers")}); });
    Failure([&] { Recordset::Describe(mConnection, u"SELECT * FROM customers"); });
    mConnection.Close();
    mConnection.Open(mDatabase->ConnectionString());
    EXPECT_FALSE(Schema(Schema::Tables).Eof());
}

TEST_P(ConnectionTest, UserAndPasswordAreQuotedNotConcatenated) {
    if (!IsServer()) {
        GTEST_SKIP() << "SQLite has no users";
    }
    ConnectionString withoutLogin = ConnectionString::Parse(mDatabase->ConnectionString());
    withoutLogin.Remove(u"UID");
    withoutLogin.Remove(u"PWD");
    // The test user's password holds ";", "}" and "=": it only works when brace-quoted.
    ASSERT_NE(mDatabase->Password().find(u';'), std::u16string::npos);
    Connection quoted;
    quoted.Open(withoutLogin.ToString(), mDatabase->User(), mDatabase->Password());
    EXPECT_EQ(quoted.State(), ObjectState::Open);

    Connection wrong;
    automation::Error error =
        Failure([&] { wrong.Open(withoutLogin.ToString(), mDatabase->User(), u"wrong;UID=root"); });
    EXPECT_EQ(error.Number(), ErrorNumber::AuthenticationFailed) << Utf8(error.Description());
    EXPECT_EQ(wrong.State(), ObjectState::Closed);
    ASSERT_GE(wrong.Errors()->Count(), 1);
    EXPECT_EQ(wrong.Errors()->Item(0)->Number(), ErrorNumber::AuthenticationFailed);
}

INSTANTIATE_TEST_SUITE_P(Databases, ConnectionTest, ::testing::ValuesIn(testdb::AllKinds()), KindTestName);

/// Points the driver manager's user data sources at a file of the test's own.
class UserDataSources {
public:
    explicit UserDataSources(const std::filesystem::path& file) {
        const char* previous = std::getenv("ODBCINI");
        if (previous != nullptr) {
            mPrevious = previous;
        }
        setenv("ODBCINI", file.c_str(), 1);
    }
    ~UserDataSources() {
        if (mPrevious) {
            setenv("ODBCINI", mPrevious->c_str(), 1);
        } else {
            unsetenv("ODBCINI");
        }
    }

private:
    std::optional<std::string> mPrevious;
};

/// A new SQLite database file holding one table: the connection that makes it allows creation.
void MakeSqliteDatabase(const std::filesystem::path& file) {
    Connection maker;
    maker.Open(u"Driver=SQLite3;NoCreat=0;Database=" + automation::FromUtf8(file.string()));
    ExecuteCommand(maker, u"CREATE TABLE t (x INTEGER)", {});
}

TEST(DataSources, AreFoundAndOpenedThroughTheDriverManager) {
    qv::test::TempDir folder;
    std::filesystem::path database = folder / "naïve ✓.db";
    MakeSqliteDatabase(database);
    std::filesystem::path ini = folder / "odbc.ini";
    std::ofstream(ini) << "[QvTestSource]\nDriver = SQLite3\nDatabase = " << database.string()
                       << "\nDescription = test\n";
    UserDataSources sources(ini);

    bool listed = false;
    for (const DataSource& source : DataSources()) {
        listed = listed || source.name == u"QvTestSource";
    }
    EXPECT_TRUE(listed);
    EXPECT_EQ(DataSourceValue(u"QvTestSource", u"Database"), automation::FromUtf8(database.string()));
    EXPECT_FALSE(DataSourceValue(u"QvTestSource", u"Server"));
    EXPECT_FALSE(DataSourceValue(u"NoSuchSource", u"Database"));

    // A bare name and the ODBC bridge provider reach the same source; the text stays as given.
    for (std::u16string given : {u"QvTestSource", u"Provider=MSDASQL.1;Data Source=QvTestSource"}) {
        SCOPED_TRACE(Utf8(given));
        Connection connection;
        connection.Open(given);
        EXPECT_EQ(connection.ConnectionString(), given);
        EXPECT_EQ(connection.Property(u"DBMS Name"), u"SQLite");
    }
    // The file name beyond Latin-1 reached the driver intact: it opened the file that exists, as
    // it creates none.
    EXPECT_TRUE(std::filesystem::exists(database));
}

// SQLite's driver opens any file; a file that is no database listed no tables and so passed
// for an empty one.
TEST(SqliteFiles, AFileThatIsNoDatabaseIsRefusedOnOpen) {
    qv::test::TempDir folder;
    const std::filesystem::path file = folder / "page.html";
    std::ofstream(file, std::ios::binary) << "<html><body>not a database</body></html>";
    Connection connection;
    try {
        connection.Open(u"Driver=SQLite3;Database=" + automation::FromUtf8(file.string()));
        ADD_FAILURE() << "opened";
    } catch (const automation::Error& error) {
        EXPECT_NE(error.Description().find(u"file is not a database"), std::u16string::npos)
            << Utf8(error.Description());
    }
    EXPECT_EQ(connection.State(), ObjectState::Closed);
    ASSERT_GE(connection.Errors()->Count(), 1);
    // The file is left as it was.
    std::ifstream stream(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stream), {}),
              "<html><body>not a database</body></html>");
}

// SQLite's driver creates a missing database file, empty: a project loaded from it found no
// tables, and a synchronisation would have dropped every one with its settings.
TEST(SqliteFiles, AMissingDatabaseIsNamedAndNeverCreated) {
    qv::test::TempDir folder;
    const std::filesystem::path missing = folder / "gone.db";
    const std::u16string missingText = automation::FromUtf8(missing.string());
    std::filesystem::create_directory(folder / "folder.db");
    std::ofstream(folder / "odbc.ini")
        << "[QvTestMissingSource]\nDriver = SQLite3\nDatabase = " << missing.string() << "\n";
    UserDataSources sources(folder / "odbc.ini");

    struct Case {
        const char* label;
        std::u16string text;
        std::u16string named;
    };
    const Case cases[] = {
        {"connection string", u"Driver=SQLite3;Database=" + missingText, missingText},
        {"explicitly refused creation", u"Driver=SQLite3;NoCreat=yes;Database=" + missingText, missingText},
        {"data source", u"DSN=QvTestMissingSource", missingText},
        {"folder in its place",
         u"Driver=SQLite3;Database=" + automation::FromUtf8((folder / "folder.db").string()),
         automation::FromUtf8((folder / "folder.db").string())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Connection connection;
        try {
            connection.Open(c.text);
            ADD_FAILURE() << "opened";
        } catch (const automation::Error& error) {
            EXPECT_NE(error.Description().find(u"\"" + c.named + u"\""), std::u16string::npos)
                << Utf8(error.Description());
        }
        EXPECT_EQ(connection.State(), ObjectState::Closed);
        ASSERT_EQ(connection.Errors()->Count(), 1);
        EXPECT_NE(connection.Errors()->Item(0)->Description().find(c.named), std::u16string::npos);
        EXPECT_FALSE(std::filesystem::exists(missing));
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder / "folder.db"));

    // An in-memory database has no file to miss, and a caller may still ask for a new file.
    Connection memory;
    memory.Open(u"Driver=SQLite3;Database=:memory:");
    EXPECT_EQ(memory.State(), ObjectState::Open);
    Connection created;
    created.Open(u"Driver=SQLite3;Database=" + missingText + u";NoCreat=0");
    EXPECT_TRUE(std::filesystem::exists(missing));
}

// SQLite's driver knows no braces: a user name "x;Database=/other.db" reached it as two
// attributes and the load opened (and created) the other file.
TEST(DataSources, AValueSqliteCannotReadWholeIsRefusedNotPassedOn) {
    qv::test::TempDir folder;
    std::filesystem::path database = folder / "data.db";
    std::filesystem::path other = folder / "other.db";
    std::filesystem::path ini = folder / "odbc.ini";
    // The driver manager keeps what it read of odbc.ini: a name of this test's own.
    std::ofstream(ini) << "[QvTestQuotingSource]\nDriver = SQLite3\nDatabase = " << database.string() << "\n";
    UserDataSources sources(ini);

    struct Case {
        const char* label;
        std::u16string text;
        std::u16string userId;
        std::u16string_view attribute;
    };
    const std::u16string otherText = automation::FromUtf8(other.string());
    const Case cases[] = {
        {"user of a data source",
         ConnectionString::ForDataSource(u"QvTestQuotingSource", u"x;Database=" + otherText, u""),
         {},
         u"UID"},
        {"user given to Open", u"DSN=QvTestQuotingSource", u"x;Database=" + otherText, u"UID"},
        {"braced database", u"Driver=SQLite3;Database={" + otherText + u";x}", {}, u"Database"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Connection connection;
        try {
            connection.Open(c.text, c.userId);
            ADD_FAILURE() << "opened";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), ErrorNumber::InvalidArgument);
            EXPECT_NE(error.Description().find(u"\"" + std::u16string(c.attribute) + u"\""),
                      std::u16string::npos)
                << Utf8(error.Description());
        }
        EXPECT_EQ(connection.State(), ObjectState::Closed);
        EXPECT_FALSE(std::filesystem::exists(other));
    }

    // A value that needs no braces still reaches the driver bare, "=" and all: the driver
    // creates no file, so only the file of that very name opens.
    std::filesystem::path equals = folder / "a=b.db";
    MakeSqliteDatabase(equals);
    Connection bare;
    bare.Open(u"Driver={SQLite3};Database={" + automation::FromUtf8(equals.string()) + u"}");
    EXPECT_EQ(bare.State(), ObjectState::Open);
}

} // namespace
} // namespace qv::ado::test
