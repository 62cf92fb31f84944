// Loading a database schema into the model (LoadADODB) against a bare walk of the same catalog
// calls through the connection layer, in the same run, on SQLite databases of 1,000 and 2,000
// tables of 12 columns. Prints two ratios: load / bare walk (what the model adds to the catalog
// reads; the goal is at most 1.5) and load of 2,000 tables / load of 1,000 (the goal is at most
// 2.2: a load must grow linearly with the schema), and the same doubling for the bare walk and
// for the model's own part (the load minus the walk), which tell where growth comes from.
//
// With QV_PG_CONNECTION or QV_MARIADB_CONNECTION set (scripts/db-servers.sh), the same on that
// server, in databases of the bench's own of a quarter as many tables: a server answers each
// catalog call with a round trip, so there the ratio to the bare walk shows calls that the load
// makes and the walk does not (the goal is at most 1.2).
//
//   schema_load_bench [tables] [repetitions]
//
// Each figure is the median of the repetitions, after one warm-up round; the runs of a round
// take turns.

#include "model/table/QelDatabase.h"

#include "core/Apartment.h"

#include "platform/ado/Connection.h"
#include "platform/ado/ConnectionString.h"
#include "platform/ado/Constants.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Text.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using qv::automation::FromUtf8;
using qv::automation::Variant;

/// Runs statements straight through ODBC on its own connection.
class DirectConnection {
public:
    explicit DirectConnection(const std::string& text) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &mEnvironment);
        SQLSetEnvAttr(mEnvironment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, mEnvironment, &mConnection);
        std::string copy = text;
        if (!SQL_SUCCEEDED(SQLDriverConnect(mConnection, nullptr, reinterpret_cast<SQLCHAR*>(copy.data()),
                                            SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
            SQLFreeHandle(SQL_HANDLE_DBC, mConnection);
            SQLFreeHandle(SQL_HANDLE_ENV, mEnvironment);
            throw std::runtime_error("cannot connect to create the database");
        }
    }
    ~DirectConnection() {
        SQLDisconnect(mConnection);
        SQLFreeHandle(SQL_HANDLE_DBC, mConnection);
        SQLFreeHandle(SQL_HANDLE_ENV, mEnvironment);
    }
    DirectConnection(const DirectConnection&) = delete;
    DirectConnection& operator=(const DirectConnection&) = delete;

    void Execute(std::string sql) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, mConnection, &statement);
        const SQLRETURN rc = SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            throw std::runtime_error("failed: " + sql);
        }
    }

private:
    SQLHENV mEnvironment = SQL_NULL_HENV;
    SQLHDBC mConnection = SQL_NULL_HDBC;
};

/// How a database spells the two columns whose types differ between them.
struct Dialect {
    const char* key;
    const char* binary;
};
constexpr Dialect SQLiteDialect{"id INTEGER PRIMARY KEY AUTOINCREMENT", "BLOB"};

/// The same twelve columns and one index in every table; `prefix` qualifies the table names.
void CreateTables(DirectConnection& connection, const std::string& prefix, int tables,
                  const Dialect& dialect) {
    // Everything but the name, appended to it.
    std::string columns = " (";
    columns += dialect.key;
    columns += ", name VARCHAR(50) NOT NULL, code CHAR(5) UNIQUE, amount DECIMAL(10,2), quantity INTEGER, "
               "price REAL, created TIMESTAMP, born DATE, notes TEXT, active BOOLEAN NOT NULL, ref INTEGER, "
               "photo ";
    columns += dialect.binary;
    columns += ")";
    connection.Execute("BEGIN");
    for (int table = 0; table < tables; ++table) {
        const std::string name = "table_" + std::to_string(table);
        std::string create = "CREATE TABLE ";
        create += prefix;
        create += name;
        create += columns;
        connection.Execute(std::move(create));
        std::string index = "CREATE INDEX ";
        index += name;
        index += "_ref ON ";
        index += prefix;
        index += name;
        index += " (ref)";
        connection.Execute(std::move(index));
    }
    connection.Execute("COMMIT");
}

/// Builds the SQLite database straight through ODBC, in one transaction.
void CreateDatabase(const std::filesystem::path& file, int tables) {
    std::filesystem::remove(file);
    DirectConnection connection("Driver=SQLite3;Database=" + file.string());
    CreateTables(connection, "", tables, SQLiteDialect);
}

std::u16string ConnectionText(const std::filesystem::path& file) {
    qv::ado::ConnectionString text;
    text.Set(u"Driver", u"SQLite3");
    text.Set(u"Database", FromUtf8(file.string()));
    return text.ToString();
}

/// The whole load as the project's database load runs it, of one schema where `schema` names
/// one. The database is handed back, so that unloading it (timed by nobody here) falls outside
/// the figure.
qv::automation::Ref<qv::QelDatabase> LoadThroughModel(const std::u16string& connection,
                                                      const std::u16string& schema) {
    auto database = qv::automation::MakeRef<qv::QelDatabase>();
    const std::int16_t result =
        database->LoadADODB(Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(u""),
                            Variant(connection), Variant(u""), Variant(schema));
    if (result != 0) {
        throw std::runtime_error("load failed: " + qv::automation::ToUtf8(qv::State().gProjErr));
    }
    return database;
}

/// The same catalog calls and column queries, with nothing built from them: like the load, the
/// walk reads the catalogue inside one snapshot, so both make the same calls. Where `schema`
/// names one, only its tables are walked, and each call is restricted to it.
std::size_t WalkCatalog(const std::u16string& connection, const std::u16string& schema) {
    qv::ado::Connection cnn;
    cnn.Open(connection);
    const qv::ado::CatalogSnapshot snapshot(cnn);
    qv::ado::Recordset tables = cnn.OpenSchema(qv::ado::Schema::Tables);
    const Variant schemaRestriction = schema.empty() ? Variant() : Variant(schema);
    const std::u16string qualifier = schema.empty() ? u"" : cnn.QuoteIdentifier(schema) + u".";
    std::size_t seen = 0;
    for (; !tables.Eof(); tables.MoveNext()) {
        if (qv::automation::ToString(tables.Value(u"TABLE_TYPE")) != u"TABLE" ||
            (!schema.empty() && qv::automation::ToString(tables.Value(u"TABLE_SCHEMA")) != schema)) {
            continue;
        }
        const std::u16string name = qv::automation::ToString(tables.Value(u"TABLE_NAME"));
        qv::ado::Recordset columns = qv::ado::Recordset::Describe(
            cnn, u"SELECT * FROM " + qualifier + cnn.QuoteIdentifier(name) + u" WHERE 0=1");
        seen += static_cast<std::size_t>(columns.Fields().Count());
        const Variant table(name);
        const Variant byTable[] = {Variant(), schemaRestriction, table};
        const Variant byIndexTable[] = {Variant(), schemaRestriction, Variant(), Variant(), table};
        for (qv::ado::Recordset rowset : {cnn.OpenSchema(qv::ado::Schema::PrimaryKeys, byTable),
                                          cnn.OpenSchema(qv::ado::Schema::Columns, byTable),
                                          cnn.OpenSchema(qv::ado::Schema::Indexes, byIndexTable)}) {
            for (; !rowset.Eof(); rowset.MoveNext()) {
                ++seen;
            }
        }
    }
    if (seen == 0) {
        throw std::runtime_error("the walk saw nothing");
    }
    return seen;
}

/// The time of one run, in seconds. What the run returns is released after its time is taken.
template <class Run> double TimeOnce(const Run& run) {
    const auto start = std::chrono::steady_clock::now();
    [[maybe_unused]] auto result = run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

/// One database of `tables` tables and one of twice as many, as connection text and schema.
struct Databases {
    std::u16string small, large;
    std::u16string smallSchema, largeSchema;
};

/// Times loads and walks of both databases and prints the ratios, each line behind `label`.
void Compare(const char* label, const Databases& databases, int tables, int repetitions, const char* goal) {
    // The four runs take turns, so that a burst of other work on the machine falls on all
    // of them alike rather than on one figure of a ratio; round 0 warms up.
    std::vector<double> loads, walks, loadsLarge, walksLarge;
    for (int round = 0; round <= repetitions; ++round) {
        const double times[] = {
            TimeOnce([&] { return LoadThroughModel(databases.small, databases.smallSchema); }),
            TimeOnce([&] { return WalkCatalog(databases.small, databases.smallSchema); }),
            TimeOnce([&] { return LoadThroughModel(databases.large, databases.largeSchema); }),
            TimeOnce([&] { return WalkCatalog(databases.large, databases.largeSchema); })};
        if (round == 0) {
            continue;
        }
        loads.push_back(times[0]);
        walks.push_back(times[1]);
        loadsLarge.push_back(times[2]);
        walksLarge.push_back(times[3]);
    }
    const double load = Median(loads);
    const double walk = Median(walks);
    const double loadLarge = Median(loadsLarge);
    const double walkLarge = Median(walksLarge);

    std::printf("%s: tables %d x 12 columns, median of %d runs\n", label, tables, repetitions);
    std::printf("%s: load / bare catalog walk, %d tables:  %.2f (goal <= %s)\n", label, tables, load / walk,
                goal);
    std::printf("%s: load / bare catalog walk, %d tables:  %.2f\n", label, 2 * tables, loadLarge / walkLarge);
    std::printf("%s: load of %d tables / load of %d:       %.2f (goal <= 2.2)\n", label, 2 * tables, tables,
                loadLarge / load);
    std::printf("%s: bare walk of %d tables / walk of %d:  %.2f\n", label, 2 * tables, tables,
                walkLarge / walk);
    // What the model adds (load minus walk), for the same doubling.
    std::printf("%s: model's part of %d tables / of %d:    %.2f\n", label, 2 * tables, tables,
                (loadLarge - walkLarge) / (load - walk));
}

/// The servers the bench also runs on, when their connection text is in the environment.
struct Server {
    const char* label;
    const char* variable; ///< the environment variable with the server's connection text
    Dialect dialect;
    const char* schema; ///< where a load's tables are, for the walk's restrictions
};
constexpr Server Servers[] = {
    {"PostgreSQL", "QV_PG_CONNECTION", {"id SERIAL PRIMARY KEY", "BYTEA"}, "public"},
    {"MariaDB", "QV_MARIADB_CONNECTION", {"id INTEGER PRIMARY KEY AUTO_INCREMENT", "BLOB"}, ""},
};

std::string DatabaseName(bool large) {
    return large ? "qv_schema_load_bench_large" : "qv_schema_load_bench_small";
}

/// Connection text for a database of the bench's own on the server.
std::u16string DatabaseText(const std::string& serverText, bool large) {
    qv::ado::ConnectionString text = qv::ado::ConnectionString::Parse(FromUtf8(serverText));
    text.Set(u"Database", FromUtf8(DatabaseName(large)));
    return text.ToString();
}

/// The server's two databases, made anew: `tables` tables and twice as many.
Databases CreateServerDatabases(const Server& server, const std::string& serverText, int tables) {
    {
        DirectConnection connection(serverText);
        for (const bool large : {false, true}) {
            connection.Execute("DROP DATABASE IF EXISTS " + DatabaseName(large));
            connection.Execute("CREATE DATABASE " + DatabaseName(large));
        }
    }
    Databases databases{DatabaseText(serverText, false), DatabaseText(serverText, true),
                        FromUtf8(server.schema), FromUtf8(server.schema)};
    for (const bool large : {false, true}) {
        DirectConnection connection(qv::automation::ToUtf8(large ? databases.large : databases.small));
        CreateTables(connection, "", large ? 2 * tables : tables, server.dialect);
    }
    return databases;
}

void DropServerDatabases(const std::string& serverText) {
    DirectConnection connection(serverText);
    for (const bool large : {false, true}) {
        connection.Execute("DROP DATABASE IF EXISTS " + DatabaseName(large));
    }
}

} // namespace

int main(int argc, char** argv) {
    const int tables = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int repetitions = std::max(1, argc > 2 ? std::atoi(argv[2]) : 5);
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "qv-schema-load-bench";
    std::filesystem::create_directories(folder);
    // Registry defaults come from hives of the bench's own, not the user's.
    setenv("QUORVANE_USER_HIVE", (folder / "user.reg").c_str(), 1);
    setenv("QUORVANE_MACHINE_HIVE", (folder / "machine.reg").c_str(), 1);
    qv::ModuleState& state = qv::State();
    state.gProductName = u"Quorvane";
    state.gMsgPrefix = u"Quorvane";

    try {
        const std::filesystem::path small = folder / "small.db";
        const std::filesystem::path large = folder / "large.db";
        CreateDatabase(small, tables);
        CreateDatabase(large, 2 * tables);
        Compare("SQLite", {ConnectionText(small), ConnectionText(large), u"", u""}, tables, repetitions,
                "1.5");
        // A server answers each catalog call with a round trip: a quarter as many tables tell
        // as much there.
        const int serverTables = std::max(1, tables / 4);
        for (const Server& server : Servers) {
            const char* text = std::getenv(server.variable);
            if (text == nullptr || *text == '\0') {
                std::printf("%s: skipped (%s is not set)\n", server.label, server.variable);
                continue;
            }
            Compare(server.label, CreateServerDatabases(server, text, serverTables), serverTables,
                    repetitions, "1.2");
            DropServerDatabases(text);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "schema_load_bench: %s\n", error.what());
        return 1;
    }
    std::filesystem::remove_all(folder);
    return 0;
}
