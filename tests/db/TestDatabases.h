#pragma once

#include "support/TempDir.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qv::testdb {

/// The kinds of real database the tests run against.
enum class DatabaseKind { SQLite, PostgreSQL, MariaDB };

/// Every kind, for parameterised tests, and a name fit for a test's name.
std::vector<DatabaseKind> AllKinds();
std::string KindName(DatabaseKind kind);
/// Prints the kind by name in test output.
void PrintTo(DatabaseKind kind, std::ostream* stream);

class Session;

/// A fresh database of one kind, holding the shared test schema (tests/db/<kind>.sql), and
/// dropped again when the object goes: an SQLite file in a temporary folder, or a new database
/// on the PostgreSQL or MariaDB server that scripts/db-servers.sh started. Each test program
/// gets databases of its own, so tests may change them and may run in parallel.
class TestDatabase {
public:
    /// Why the kind cannot be used on this machine (its server's variable is not set), or
    /// nullopt. Tests skip with this reason; CI always has the servers.
    static std::optional<std::string> Unavailable(DatabaseKind kind);

    /// Creates the database and runs the schema script; throws std::runtime_error with the
    /// driver's message when that fails.
    explicit TestDatabase(DatabaseKind kind);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    DatabaseKind Kind() const { return mKind; }
    /// The ODBC connection string of the test database.
    const std::u16string& ConnectionString() const { return mConnectionString; }
    /// The server's connection string without a database of ours (empty for SQLite), for
    /// connecting as a second session.
    const std::u16string& ServerConnectionString() const { return mServerConnectionString; }
    /// The user and password of the server's test user (empty for SQLite).
    std::u16string User() const;
    std::u16string Password() const;

    /// Runs statements that change the database, one after the other (";" at a line's end
    /// separates them), straight through ODBC: test set-up, not the code under test.
    void Execute(std::u16string_view sql) const;

private:
    DatabaseKind mKind;
    std::unique_ptr<test::TempDir> mFolder;
    std::u16string mName;
    std::u16string mConnectionString;
    std::u16string mServerConnectionString;
};

/// A second session on a test database, open while the object lives, whose statements form one
/// transaction that is rolled back when it goes: what another user holds (a table lock, say)
/// while the code under test reads the database.
class HeldSession {
public:
    explicit HeldSession(const TestDatabase& database);
    ~HeldSession();
    HeldSession(const HeldSession&) = delete;
    HeldSession& operator=(const HeldSession&) = delete;

    /// Runs statements in the session, as TestDatabase::Execute does; throws std::runtime_error
    /// with the driver's message when one fails.
    void Execute(std::u16string_view sql);

private:
    std::unique_ptr<Session> mSession;
};

} // namespace qv::testdb

// Instantiates a test suite parameterised by DatabaseKind over the kinds its program runs: the
// two servers in the programs built with QV_TEST_SERVERS, SQLite in the others.
#define QV_TESTDB_KIND_NAME [](const auto& info) { return ::qv::testdb::KindName(info.param); }
#ifdef QV_TEST_SERVERS
#define QV_INSTANTIATE_FOR_TEST_DATABASES(suite)                                                             \
    INSTANTIATE_TEST_SUITE_P(                                                                                \
        Servers, suite,                                                                                      \
        ::testing::Values(::qv::testdb::DatabaseKind::PostgreSQL, ::qv::testdb::DatabaseKind::MariaDB),      \
        QV_TESTDB_KIND_NAME)
#else
#define QV_INSTANTIATE_FOR_TEST_DATABASES(suite)                                                             \
    INSTANTIATE_TEST_SUITE_P(Embedded, suite, ::testing::Values(::qv::testdb::DatabaseKind::SQLite),         \
                             QV_TESTDB_KIND_NAME)
#endif
