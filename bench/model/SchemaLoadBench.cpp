// Loading a database schema into the model (LoadADODB) against a bare walk of the same catalog
// calls through the connection layer, in the same run, on SQLite databases of 1,000 and 2,000
// tables of 12 columns. Prints two ratios: load / bare walk (what the model adds to the catalog
// reads; the goal is at most 1.5) and load of 2,000 tables / load of 1,000 (the goal is at most
// 2.2: a load must grow linearly with the schema), and the same doubling for the bare walk and
// for the model's own part (the load minus the walk), which tell where growth comes from.
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
#include <vector>

namespace {

using qv::automation::FromUtf8;
using qv::automation::Variant;

/// Builds the database straight through ODBC, in one transaction.
void CreateDatabase(const std::filesystem::path& file, int tables) {
    std::filesystem::remove(file);
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment);
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection);
    std::string text = "Driver=SQLite3;Database=" + file.string();
    if (!SQL_SUCCEEDED(SQLDriverConnect(connection, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                                        nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
        throw std::runtime_error("cannot create " + file.string());
    }
    auto execute = [&](std::string sql) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement);
        const SQLRETURN rc = SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            throw std::runtime_error("failed: " + sql);
        }
    };
    execute("BEGIN");
    for (int table = 0; table < tables; ++table) {
        const std::string name = "table_" + std::to_string(table);
        execute(
            "CREATE TABLE " + name +
            " (id INTEGER PRIMARY KEY AUTOINCREMENT, name VARCHAR(50) NOT NULL, code CHAR(5) UNIQUE, "
            "amount DECIMAL(10,2), quantity INTEGER, price REAL, created TIMESTAMP, born DATE, notes TEXT, "
            "active BOOLEAN NOT NULL, ref INTEGER, photo BLOB)");
        execute("CREATE INDEX " + name + "_ref ON " + name + " (ref)");
    }
    execute("COMMIT");
    SQLDisconnect(connection);
    SQLFreeHandle(SQL_HANDLE_DBC, connection);
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
}

std::u16string ConnectionText(const std::filesystem::path& file) {
    qv::ado::ConnectionString text;
    text.Set(u"Driver", u"SQLite3");
    text.Set(u"Database", FromUtf8(file.string()));
    return text.ToString();
}

/// The whole load as the project's database load runs it. The database is handed back, so
/// that unloading it (timed by nobody here) falls outside the figure.
qv::automation::Ref<qv::QelDatabase> LoadThroughModel(const std::u16string& connection) {
    auto database = qv::automation::MakeRef<qv::QelDatabase>();
    const std::int16_t result =
        database->LoadADODB(Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(u""),
                            Variant(connection), Variant(u""), Variant(u""));
    if (result != 0) {
        throw std::runtime_error("load failed: " + qv::automation::ToUtf8(qv::State().gProjErr));
    }
    return database;
}

/// The same catalog calls and column queries, with nothing built from them: like the load, the
/// walk reads the catalogue inside one snapshot, so both make the same calls.
std::size_t WalkCatalog(const std::u16string& connection) {
    qv::ado::Connection cnn;
    cnn.Open(connection);
    const qv::ado::CatalogSnapshot snapshot(cnn);
    qv::ado::Recordset tables = cnn.OpenSchema(qv::ado::Schema::Tables);
    std::size_t seen = 0;
    for (; !tables.Eof(); tables.MoveNext()) {
        if (qv::automation::ToString(tables.Value(u"TABLE_TYPE")) != u"TABLE") {
            continue;
        }
        const std::u16string name = qv::automation::ToString(tables.Value(u"TABLE_NAME"));
        qv::ado::Recordset columns =
            qv::ado::Recordset::Describe(cnn, u"SELECT * FROM " + cnn.QuoteIdentifier(name) + u" WHERE 0=1");
        seen += static_cast<std::size_t>(columns.Fields().Count());
        const Variant table(name);
        const Variant byTable[] = {Variant(), Variant(), table};
        const Variant byIndexTable[] = {Variant(), Variant(), Variant(), Variant(), table};
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
        const std::u16string smallText = ConnectionText(small);
        const std::u16string largeText = ConnectionText(large);

        // The four runs take turns, so that a burst of other work on the machine falls on all
        // of them alike rather than on one figure of a ratio; round 0 warms up.
        std::vector<double> loads, walks, loadsLarge, walksLarge;
        for (int round = 0; round <= repetitions; ++round) {
            const double times[] = {TimeOnce([&] { return LoadThroughModel(smallText); }),
                                    TimeOnce([&] { return WalkCatalog(smallText); }),
                                    TimeOnce([&] { return LoadThroughModel(largeText); }),
                                    TimeOnce([&] { return WalkCatalog(largeText); })};
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

        std::printf("tables %d x 12 columns, median of %d runs\n", tables, repetitions);
        std::printf("load / bare catalog walk, %d tables:  %.2f (goal <= 1.5)\n", tables, load / walk);
        std::printf("load / bare catalog walk, %d tables:  %.2f\n", 2 * tables, loadLarge / walkLarge);
        std::printf("load of %d tables / load of %d:       %.2f (goal <= 2.2)\n", 2 * tables, tables,
                    loadLarge / load);
        std::printf("bare walk of %d tables / walk of %d:  %.2f\n", 2 * tables, tables, walkLarge / walk);
        // What the model adds (load minus walk), for the same doubling.
        std::printf("model's part of %d tables / of %d:    %.2f\n", 2 * tables, tables,
                    (loadLarge - walkLarge) / (load - walk));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "schema_load_bench: %s\n", error.what());
        return 1;
    }
    std::filesystem::remove_all(folder);
    return 0;
}
