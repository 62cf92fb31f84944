#include "db/TestDatabases.h"

#include "platform/ado/ConnectionString.h"
#include "platform/automation/Text.h"

#include <sql.h>
#include <sqlext.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace qv::testdb {

using automation::FromUtf8;
using automation::ToUtf8;

namespace {

const char* ServerVariable(DatabaseKind kind) {
    switch (kind) {
    case DatabaseKind::SQLite:
        return nullptr;
    case DatabaseKind::PostgreSQL:
        return "QV_PG_CONNECTION";
    case DatabaseKind::MariaDB:
        return "QV_MARIADB_CONNECTION";
    }
    return nullptr;
}

std::vector<SQLWCHAR> Wide(std::u16string_view text) {
    std::vector<SQLWCHAR> units(text.begin(), text.end());
    units.push_back(0);
    return units;
}

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string text;
    SQLCHAR state[6];
    SQLCHAR message[1024];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT record = 1; SQL_SUCCEEDED(
             SQLGetDiagRec(type, handle, record, state, &native, message, sizeof(message), &length));
         ++record) {
        text += reinterpret_cast<const char*>(state);
        text += " ";
        text += reinterpret_cast<const char*>(message);
        text += "\n";
    }
    return text;
}

} // namespace

/// One ODBC session for set-up statements. SQLite's driver mangles text beyond Latin-1 that
/// comes through the wide functions, so for it the text goes as UTF-8 through the narrow ones.
/// A session `inTransaction` runs its statements in one transaction, rolled back when it ends.
class Session {
public:
    Session(std::u16string_view connectionString, DatabaseKind kind, bool inTransaction = false)
        : mNarrow(kind == DatabaseKind::SQLite) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &mEnvironment);
        SQLSetEnvAttr(mEnvironment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, mEnvironment, &mConnection);
        std::vector<SQLWCHAR> text = Wide(connectionString);
        std::string narrow = ToUtf8(connectionString);
        SQLRETURN rc = mNarrow
                           ? SQLDriverConnect(mConnection, nullptr, reinterpret_cast<SQLCHAR*>(narrow.data()),
                                              SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)
                           : SQLDriverConnectW(mConnection, nullptr, text.data(), SQL_NTS, nullptr, 0,
                                               nullptr, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            std::string message = Diagnostics(SQL_HANDLE_DBC, mConnection);
            Release();
            throw std::runtime_error("cannot connect to the test database: " + message);
        }
        mConnected = true;
        if (inTransaction) {
            SQLSetConnectAttr(mConnection, SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
            mInTransaction = true;
        }
    }
    ~Session() { Release(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Execute(std::u16string_view sql) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, mConnection, &statement);
        std::vector<SQLWCHAR> text = Wide(sql);
        std::string narrow = ToUtf8(sql);
        SQLRETURN rc = mNarrow ? SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(narrow.data()), SQL_NTS)
                               : SQLExecDirectW(statement, text.data(), SQL_NTS);
        std::string message =
            SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? "" : Diagnostics(SQL_HANDLE_STMT, statement);
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        if (!message.empty()) {
            throw std::runtime_error("test set-up statement failed: " + ToUtf8(sql) + "\n" + message);
        }
    }

private:
    void Release() {
        if (mInTransaction) {
            SQLEndTran(SQL_HANDLE_DBC, mConnection, SQL_ROLLBACK);
            mInTransaction = false;
        }
        if (mConnected) {
            SQLDisconnect(mConnection);
            mConnected = false;
        }
        if (mConnection != SQL_NULL_HDBC) {
            SQLFreeHandle(SQL_HANDLE_DBC, mConnection);
            mConnection = SQL_NULL_HDBC;
        }
        if (mEnvironment != SQL_NULL_HENV) {
            SQLFreeHandle(SQL_HANDLE_ENV, mEnvironment);
            mEnvironment = SQL_NULL_HENV;
        }
    }

    bool mNarrow;
    SQLHENV mEnvironment = SQL_NULL_HENV;
    SQLHDBC mConnection = SQL_NULL_HDBC;
    bool mConnected = false;
    bool mInTransaction = false;
};

namespace {

/// The statements of a script: each ends with ";" at the end of a line; "--" lines are notes.
std::vector<std::u16string> SplitStatements(std::u16string_view script) {
    std::vector<std::u16string> statements;
    std::u16string current;
    std::size_t position = 0;
    while (position < script.size()) {
        std::size_t end = script.find(u'\n', position);
        std::u16string_view line = script.substr(
            position, end == std::u16string_view::npos ? std::u16string_view::npos : end - position);
        position = end == std::u16string_view::npos ? script.size() : end + 1;
        while (!line.empty() && (line.back() == u' ' || line.back() == u'\r')) {
            line.remove_suffix(1);
        }
        if (line.starts_with(u"--") || line.empty()) {
            continue;
        }
        if (line.back() == u';') {
            current += line.substr(0, line.size() - 1);
            statements.push_back(std::move(current));
            current.clear();
            continue;
        }
        current += line;
        current += u'\n';
    }
    if (!current.empty()) {
        statements.push_back(std::move(current));
    }
    return statements;
}

std::u16string ReadScript(DatabaseKind kind) {
    std::string name = kind == DatabaseKind::SQLite       ? "sqlite.sql"
                       : kind == DatabaseKind::PostgreSQL ? "postgresql.sql"
                                                          : "mariadb.sql";
    std::ifstream file(std::string(QV_TEST_DB_SCRIPTS) + "/" + name, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read the test schema " + name);
    }
    std::stringstream content;
    content << file.rdbuf();
    return FromUtf8(content.str());
}

std::u16string UniqueName() {
    static std::atomic<int> counter{0};
    return FromUtf8("qv_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
}

} // namespace

std::vector<DatabaseKind> AllKinds() {
    return {DatabaseKind::SQLite, DatabaseKind::PostgreSQL, DatabaseKind::MariaDB};
}

std::string KindName(DatabaseKind kind) {
    switch (kind) {
    case DatabaseKind::SQLite:
        return "SQLite";
    case DatabaseKind::PostgreSQL:
        return "PostgreSQL";
    case DatabaseKind::MariaDB:
        return "MariaDB";
    }
    return "Unknown";
}

void PrintTo(DatabaseKind kind, std::ostream* stream) {
    *stream << KindName(kind);
}

std::optional<std::string> TestDatabase::Unavailable(DatabaseKind kind) {
    const char* variable = ServerVariable(kind);
    if (variable == nullptr) {
        return std::nullopt;
    }
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') {
        return std::string(variable) + " is not set: start the servers with scripts/db-servers.sh " +
               "(scripts/run-tests.sh does)";
    }
    return std::nullopt;
}

TestDatabase::TestDatabase(DatabaseKind kind) : mKind(kind) {
    if (std::optional<std::string> reason = Unavailable(kind)) {
        throw std::runtime_error(*reason);
    }
    if (kind == DatabaseKind::SQLite) {
        mFolder = std::make_unique<test::TempDir>();
        ado::ConnectionString text;
        text.Set(u"Driver", u"SQLite3");
        text.Set(u"Database", FromUtf8((*mFolder / "test.db").string()));
        mConnectionString = text.ToString();
    } else {
        mServerConnectionString = FromUtf8(std::getenv(ServerVariable(kind)));
        mName = UniqueName();
        Session(mServerConnectionString, kind).Execute(u"CREATE DATABASE " + mName);
        ado::ConnectionString text = ado::ConnectionString::Parse(mServerConnectionString);
        text.Set(u"Database", mName);
        mConnectionString = text.ToString();
    }
    Session session(mConnectionString, kind);
    for (const std::u16string& statement : SplitStatements(ReadScript(kind))) {
        session.Execute(statement);
    }
}

TestDatabase::~TestDatabase() {
    if (mName.empty()) {
        return;
    }
    std::u16string drop = u"DROP DATABASE IF EXISTS " + mName;
    if (mKind == DatabaseKind::PostgreSQL) {
        // Sessions a test left behind (a killed one, say) must not keep the database alive.
        drop += u" WITH (FORCE)";
    }
    // A process the drop may not end (a server's own worker, busy there for a moment on a
    // loaded machine) fails it: tried again for a while. Should it still fail, the server goes
    // away with its data folder at the end of the run anyway.
    constexpr int attempts = 60;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        try {
            Session(mServerConnectionString, mKind).Execute(drop);
            return;
        } catch (const std::runtime_error&) {
            if (attempt < attempts) {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            }
        }
    }
}

std::u16string TestDatabase::User() const {
    return ado::ConnectionString::Parse(mServerConnectionString).Get(u"UID").value_or(u"");
}

std::u16string TestDatabase::Password() const {
    return ado::ConnectionString::Parse(mServerConnectionString).Get(u"PWD").value_or(u"");
}

void TestDatabase::Execute(std::u16string_view sql) const {
    Session session(mConnectionString, mKind);
    for (const std::u16string& statement : SplitStatements(sql)) {
        session.Execute(statement);
    }
}

HeldSession::HeldSession(const TestDatabase& database)
    : mSession(
          std::make_unique<Session>(database.ConnectionString(), database.Kind(), /*inTransaction=*/true)) {}

HeldSession::~HeldSession() = default;

void HeldSession::Execute(std::u16string_view sql) {
    for (const std::u16string& statement : SplitStatements(sql)) {
        mSession->Execute(statement);
    }
}

} // namespace qv::testdb
