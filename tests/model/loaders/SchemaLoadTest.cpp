// The database loaders against real databases. The unit program runs these bodies on SQLite;
// the db program (built with QV_TEST_SERVERS) runs the same bodies on PostgreSQL and MariaDB.

#include "model/LoadSettings.h"
#include "model/loaders/LoaderFixture.h"

#include "db/TestDatabases.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"

#include "platform/ado/Connection.h"
#include "platform/ado/ConnectionString.h"
#include "platform/ado/Constants.h"
#include "platform/ado/Recordset.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>

namespace qv {
namespace {

using automation::Variant;
using testdb::DatabaseKind;

constexpr std::u16string_view NoSchema = u"";

class SchemaLoadTest : public test::LoaderTest, public ::testing::WithParamInterface<DatabaseKind> {
protected:
    void SetUp() override {
        test::LoaderTest::SetUp();
        if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(GetParam())) {
            GTEST_SKIP() << *reason;
        }
        mTestDatabase = std::make_unique<testdb::TestDatabase>(GetParam());
    }

    void TearDown() override {
        test::LoaderTest::TearDown();
        mTestDatabase.reset();
    }

    DatabaseKind Kind() const { return GetParam(); }
    const std::u16string& ConnectionString() const { return mTestDatabase->ConnectionString(); }

    /// LoadADODB with a connection string: the whole database, or one table.
    std::int16_t Load(std::u16string_view tableName = u"", std::u16string_view connection = {}) {
        const std::u16string text(connection.empty() ? std::u16string_view(ConnectionString()) : connection);
        return mDatabase->LoadADODB(Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(u""),
                                    Variant(text), Variant(tableName), Variant(NoSchema));
    }

    std::int16_t LoadView(std::u16string_view name, std::u16string_view sql) {
        return mDatabase->LoadADOCustomView(Variant(ConnectionString()), Variant(name), Variant(sql));
    }

    /// The character the kind's driver quotes names with, as the shared schema uses it.
    std::u16string DriverQuote() const { return Kind() == DatabaseKind::MariaDB ? u"`" : u"\""; }

    /// The names of the tables loaded, sorted.
    std::vector<std::u16string> SortedTableNames() {
        std::vector<std::u16string> names;
        for (QelTable& table : Tables()) {
            names.push_back(table.TblName());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::int32_t RowCount(std::u16string_view table) {
        ado::Connection connection;
        connection.Open(ConnectionString());
        ado::Recordset rows =
            ado::Recordset::Open(connection, u"SELECT COUNT(*) FROM " + std::u16string(table));
        return automation::ToLong(rows.Value(0));
    }

    std::unique_ptr<testdb::TestDatabase> mTestDatabase;
};

TEST_P(SchemaLoadTest, LoadsEveryTableAndViewWithColumnsKeysAndIndexes) {
    ASSERT_EQ(Load(), 0) << test::Utf8(State().gProjErr);
    EXPECT_EQ(State().gProjErr, u"");

    const std::u16string quoteTable = u"quote" + DriverQuote() + u"table";
    std::vector<std::u16string> expected{u"Order Details", u"customer_names", u"customers", u"identity_keys",
                                         u"orderXlines",   u"order_lines",    quoteTable};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SortedTableNames(), expected);

    // What the database said of itself. A MariaDB server is of the MySQL kind and gets its quotes;
    // the others the standard's double quote.
    const std::u16string_view dbms = Kind() == DatabaseKind::SQLite       ? u"SQLite"
                                     : Kind() == DatabaseKind::PostgreSQL ? u"PostgreSQL"
                                                                          : u"MariaDB";
    EXPECT_EQ(mDatabase->DBDBMSName(), dbms);
    EXPECT_EQ(CurrentLoadSettings().dbmsName, dbms);
    EXPECT_EQ(mDatabase->DBType(), u"CONNECTIONSTRING");
    EXPECT_EQ(mDatabase->DBConnstr(), ConnectionString());
    EXPECT_EQ(mDatabase->DBUID(), u"");
    EXPECT_EQ(mDatabase->DBADOVer(), u"2.8");
    EXPECT_FALSE(mDatabase->DBProviderName().empty());
    const std::u16string_view quote = Kind() == DatabaseKind::MariaDB ? u"`" : u"\"";
    EXPECT_EQ(mDatabase->DBQuoteS(), quote);
    EXPECT_EQ(mDatabase->DBQuoteE(), quote);

    for (QelTable& table : Tables()) {
        SCOPED_TRACE(test::Utf8(table.TblName()));
        EXPECT_TRUE(table.TblGen());
        EXPECT_TRUE(table.TblLoaded());
        EXPECT_EQ(table.TblError(), u"");
        EXPECT_FALSE(table.Fields()->Count() == 0);
    }

    struct Expected {
        std::u16string_view table;
        std::u16string_view field;
        bool primaryKey;
        bool unique;
        bool autoIncrement;
        std::u16string_view valueQuote;
        std::u16string_view htmlTag;
    };
    const Expected fields[] = {
        {u"customers", u"id", true, true, true, u"", u"NO"},
        {u"customers", u"name", false, false, false, u"'", u"TEXT"},
        {u"customers", u"email", false, true, false, u"'", u"TEXT"},
        {u"customers", u"city", false, false, false, u"'", u"TEXT"}, // a plain index
        {u"customers", u"notes", false, false, false, u"'", u"TEXTAREA"},
        {u"order_lines", u"order_id", true, false, false, u"", u"TEXT"}, // half of a two-column key
        {u"order_lines", u"line_no", true, false, false, u"", u"TEXT"},
        {u"order_lines", u"product", false, false, false, u"'", u"TEXT"}, // in a two-column unique index
        {u"Order Details", u"Order ID", true, true, false, u"", u"TEXT"},
        {u"identity_keys", u"id", true, true, true, u"", u"NO"},
        {u"customer_names", u"customer_name", false, false, false, u"'", u"TEXT"},
    };
    for (const Expected& row : fields) {
        SCOPED_TRACE(test::Utf8(row.table) + "." + test::Utf8(row.field));
        QelField* field = Field(row.table, row.field);
        if (field == nullptr) {
            continue;
        }
        EXPECT_EQ(field->FldIsPrimaryKey(), row.primaryKey);
        EXPECT_EQ(field->FldUniqueIdx(), row.unique);
        EXPECT_EQ(field->FldAutoIncrement(), row.autoIncrement);
        EXPECT_EQ(field->FldQuoteS(), row.valueQuote);
        EXPECT_EQ(field->FldHtmlTag(), row.htmlTag);
        EXPECT_TRUE(field->FldSupport());
        EXPECT_TRUE(field->FldZeroLen());
    }

    // NOT NULL columns of tables, and nothing of the sort for views.
    for (std::u16string_view name : {u"name", u"active"}) {
        QelField* field = Field(u"customers", name);
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(field->FldReq() && field->FldRequired()) << test::Utf8(name);
    }
    EXPECT_FALSE(Field(u"customers", u"city")->FldReq());
    EXPECT_FALSE(Field(u"customer_names", u"customer_name")->FldReq());

    EXPECT_EQ(Table(u"customers")->TblKey(), u"id");
    EXPECT_EQ(Table(u"order_lines")->TblKey(), u"line_no\r\norder_id");
    EXPECT_EQ(Table(u"orderXlines")->TblKey(), u"");
    EXPECT_EQ(Table(u"Order Details")->TblKey(), u"Order ID");
    EXPECT_EQ(Table(u"customer_names")->TblType(), u"VIEW");
    EXPECT_EQ(Table(u"customer_names")->TblKey(), u"");
    EXPECT_FALSE(Table(u"customer_names")->TblAdd());
    EXPECT_TRUE(Table(u"customers")->TblAdd());

    // Names with blanks, letter case and quote characters load their columns and get
    // identifiers and captions of their own.
    EXPECT_EQ(
        FieldNames(quoteTable),
        (std::vector<std::u16string>{u"it's", u"quote" + DriverQuote() + u"column", u"na\u00efve \u2713"}));
    EXPECT_EQ(Table(u"Order Details")->TblVar(), u"Order_Details");
    EXPECT_EQ(Table(u"Order Details")->TblCaption(), u"Order Details");
    EXPECT_EQ(Field(u"Order Details", u"MixedCase")->FldCaption(), u"Mixed Case");
    EXPECT_EQ(Field(u"customers", u"small_count")->FldVar(), u"x_small_count");
    EXPECT_EQ(Field(u"customers", u"name")->FldSrchOpr(), u"LIKE");
}

TEST_P(SchemaLoadTest, ProgressNamesEachTableAndEndsAtTheWhole) {
    GetStatus().ShowStatus(1, FrameText(u"Quorvane - Loading Database..."));
    ASSERT_EQ(Load(), 0) << test::Utf8(State().gProjErr);
    const std::vector<std::u16string> lines = ProgressLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], u"Connecting to Data Source...");
    EXPECT_EQ(lines[1], u"Loading Database Tables/Views...");
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"Loading TABLE customers..."), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"Loading VIEW customer_names..."), lines.end());
    const std::vector<host::HostCall> percents = mHost.Calls(host::HostCallKind::ProgressPercent);
    ASSERT_EQ(percents.size(), 7u); // once per table and view
    EXPECT_EQ(percents.back().percent, 100);
}

TEST_P(SchemaLoadTest, DynamicModeLoadsNamesFirstAndEachTableWhenAskedFor) {
    CurrentLoadSettings().dynamicLoadDB = true;
    ASSERT_EQ(Load(), 0) << test::Utf8(State().gProjErr);
    for (QelTable& table : Tables()) {
        SCOPED_TRACE(test::Utf8(table.TblName()));
        EXPECT_FALSE(table.TblGen());
        EXPECT_FALSE(table.TblLoaded());
        EXPECT_EQ(table.Fields()->Count(), 0);
        EXPECT_EQ(table.TblCaption(), u""); // no defaults yet
    }
    EXPECT_EQ(Table(u"customer_names")->TblType(), u"VIEW");

    GetStatus().ShowStatus(1, FrameText(u"Quorvane - Loading Table..."));
    ASSERT_EQ(Load(u"order_lines"), 0) << test::Utf8(State().gProjErr);
    EXPECT_TRUE(ProgressLines().empty()); // a single table shows no progress
    QelTable* loaded = Table(u"order_lines");
    EXPECT_TRUE(loaded->TblGen());
    EXPECT_TRUE(loaded->TblLoaded());
    EXPECT_EQ(loaded->TblKey(), u"line_no\r\norder_id");
    EXPECT_EQ(FieldNames(u"order_lines"),
              (std::vector<std::u16string>{u"order_id", u"line_no", u"product", u"quantity"}));
    EXPECT_FALSE(Table(u"customers")->TblLoaded());

    // A name the project does not hold loads nothing and is no failure, even when the
    // database has that table.
    EXPECT_EQ(Load(u"no_such_table"), 0);
    EXPECT_FALSE(Tables().TableExist(Variant(u"no_such_table")));
    ASSERT_TRUE(Tables().Delete(u"customers"));
    EXPECT_EQ(Load(u"customers"), 0);
    EXPECT_FALSE(Tables().TableExist(Variant(u"customers")));
}

// A table or view whose columns cannot be described ends the load with the driver's reason and
// its name: kept without its fields, it would be saved so, and a later sync would take its fields
// for removed.
TEST_P(SchemaLoadTest, AViewThatNoLongerOpensStopsTheLoadNamingIt) {
    if (Kind() == DatabaseKind::PostgreSQL) {
        GTEST_SKIP() << "PostgreSQL keeps no view whose table is gone";
    }
    mTestDatabase->Execute(u"CREATE TABLE gone (x INTEGER);\nCREATE VIEW broken_view AS SELECT x FROM gone;\n"
                           u"DROP TABLE gone;");
    EXPECT_EQ(Load(), 3);
    const std::u16string error = State().gProjErr;
    EXPECT_TRUE(error.starts_with(u"Quorvane: Unable to read the view \"broken_view\"!\r\nError #1:"))
        << test::Utf8(error);
    EXPECT_NE(error.find(u"\r\n   Description  "), std::u16string::npos) << test::Utf8(error);

    // Loaded alone, the view stays as it was.
    mDatabase = automation::MakeRef<QelDatabase>();
    ASSERT_TRUE(Tables().Add(u"broken_view"));
    Table(u"broken_view")->SetTblLoaded(false);
    EXPECT_EQ(Load(u"broken_view"), 3);
    EXPECT_FALSE(Table(u"broken_view")->TblLoaded());
    EXPECT_EQ(Table(u"broken_view")->Fields()->Count(), 0);
}

TEST_P(SchemaLoadTest, TablesTheProjectsQuotesCannotNameStopTheLoadWithTheDriversReason) {
    if (Kind() == DatabaseKind::SQLite) {
        GTEST_SKIP() << "SQLite reads names in brackets";
    }
    // Quotes the database does not take make every table unreadable: a project of tables without
    // fields would pass for what the database holds.
    State().gSqlQuote = u"Square Bracket";
    EXPECT_EQ(Load(), 3);
    const std::u16string error = State().gProjErr;
    EXPECT_TRUE(error.starts_with(u"Quorvane: Unable to read the table \"")) << test::Utf8(error);
    EXPECT_NE(error.find(u"\r\n   Description  "), std::u16string::npos) << test::Utf8(error);
    EXPECT_EQ(mDatabase->DBQuoteS(), u"[");
}

// What a custom view keeps of its load: the provider's own words when the statement does not
// open, and no message of an earlier load when it does.
TEST_P(SchemaLoadTest, ACustomViewKeepsTheProvidersWordsOrNoMessage) {
    ado::Connection cnn;
    cnn.Open(ConnectionString());
    const automation::Ref<QelTable> broken = automation::MakeRef<QelTable>();
    broken->SetTblCustomError(u"earlier");
    EXPECT_FALSE(broken->Load_ADOCustomView(cnn, u"Broken View", u"SELECT no_such_column FROM customers"));
    const std::u16string reason = broken->TblCustomError();
    EXPECT_NE(reason, u"");
    EXPECT_NE(reason, u"earlier");
    EXPECT_EQ(reason.find(u"Quorvane"), std::u16string::npos) << "no product prefix";
    EXPECT_FALSE(broken->TblGen());
    EXPECT_TRUE(broken->TblLoaded());
    EXPECT_EQ(broken->Fields()->Count(), 0);
    EXPECT_EQ(broken->TblCaption(), u"Broken View");

    // Through the database, the reason becomes the error text and the view goes again; a stale
    // error text is no failure of the next view.
    EXPECT_EQ(LoadView(u"Broken View", u"SELECT no_such_column FROM customers"), 1);
    EXPECT_EQ(State().gProjErr, reason);
    EXPECT_EQ(mDatabase->tables()->Find(u"Broken View"), nullptr);
    EXPECT_EQ(LoadView(u"Names", u"SELECT id, name FROM customers"), 0);
    EXPECT_NE(mDatabase->tables()->Find(u"Names"), nullptr);

    State().gProjErr.clear();
    const automation::Ref<QelTable> view = automation::MakeRef<QelTable>();
    view->SetTblCustomError(u"earlier");
    EXPECT_TRUE(view->Load_ADOCustomView(cnn, u"Names", u"SELECT id, name FROM customers"));
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_EQ(view->TblCustomError(), u"");
    EXPECT_TRUE(view->TblGen());
    EXPECT_EQ(view->Fields()->Count(), 2);
    EXPECT_EQ(view->TblSQL(), u"") << "kept as it was: a custom view's SQL is TblCustomSQL";
    EXPECT_EQ(view->TblCustomSQL(), u"SELECT id, name FROM customers");
}

TEST_P(SchemaLoadTest, CustomViewsAreDescribedNeverRun) {
    ASSERT_EQ(Load(), 0) << test::Utf8(State().gProjErr);

    ASSERT_EQ(LoadView(u"Top Names", u"SELECT name, id + 1 AS next_id FROM customers"), 0)
        << test::Utf8(State().gProjErr);
    QelTable* view = Table(u"Top Names");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->TblType(), u"CUSTOMVIEW");
    EXPECT_EQ(view->TblCustomSQL(), u"SELECT name, id + 1 AS next_id FROM customers");
    EXPECT_TRUE(view->TblGen());
    EXPECT_TRUE(view->TblLoaded());
    EXPECT_EQ(view->TblCustomError(), u"");
    EXPECT_EQ(view->TblCaption(), u"Top Names");
    EXPECT_EQ(FieldNames(u"Top Names"), (std::vector<std::u16string>{u"name", u"next_id"}));
    QelField* name = Field(u"Top Names", u"name");
    EXPECT_EQ(name->FldSourceTable(), u"customers");
    EXPECT_EQ(name->FldSourceField(), u"name");
    // Regression: a column the analyser cannot trace took the sources of the column before it.
    QelField* computed = Field(u"Top Names", u"next_id");
    EXPECT_EQ(computed->FldSourceTable(), u"");
    EXPECT_EQ(computed->FldSourceField(), u"");

    // Names of a dot or more: SQLite's driver gave a part of each, the view a field no query
    // names (and an alias "x.a.b" of a column "a.b" one of the same part).
    const std::u16string q = DriverQuote();
    ASSERT_EQ(LoadView(u"Dotted", u"SELECT name AS " + q + u"a.b.c" + q + u", id AS " + q + u"p.q.r.s.t" + q +
                                      u", city AS " + q + u"x.y" + q + u" FROM customers"),
              0)
        << test::Utf8(State().gProjErr);
    EXPECT_EQ(FieldNames(u"Dotted"), (std::vector<std::u16string>{u"a.b.c", u"p.q.r.s.t", u"x.y"}));

    // Text that is not one query is refused, and the data stays as it was.
    const std::int32_t rowsBefore = RowCount(u"order_lines");
    for (std::u16string_view sql : {u"DELETE FROM order_lines", u"SELECT 1; DELETE FROM order_lines",
                                    u"UPDATE order_lines SET quantity = 0"}) {
        SCOPED_TRACE(test::Utf8(sql));
        State().gProjErr.clear();
        EXPECT_EQ(LoadView(u"Changer", sql), 1);
        EXPECT_NE(State().gProjErr, u"");
        EXPECT_FALSE(Tables().TableExist(Variant(u"Changer")));
    }
    EXPECT_EQ(RowCount(u"order_lines"), rowsBefore);

    // A statement the database refuses: its message, unprefixed, and no table left behind.
    State().gProjErr.clear();
    EXPECT_EQ(LoadView(u"Broken", u"SELECT no_such_column FROM customers"), 1);
    EXPECT_NE(State().gProjErr, u"");
    EXPECT_NE(State().gProjErr.substr(0, 10), u"Quorvane: ");
    EXPECT_FALSE(Tables().TableExist(Variant(u"Broken")));

    // Repeated names, also in another letter case: the first stays, the view is not generated.
    State().gProjErr.clear();
    ASSERT_EQ(LoadView(u"Twice", u"SELECT id, name, name AS " + DriverQuote() + u"NAME" + DriverQuote() +
                                     u" FROM customers"),
              0);
    QelTable* twice = Table(u"Twice");
    EXPECT_EQ(FieldNames(u"Twice"), (std::vector<std::u16string>{u"id", u"name"}));
    EXPECT_FALSE(twice->TblGen());
    EXPECT_EQ(twice->TblCustomError(),
              u"Quorvane: Duplicate Column Name - NAME found! ASP scripts may not be "
              u"generated correctly! Please rename duplicated field names to ensure "
              u"correct generation!");

    // A name already in the project is refused.
    EXPECT_EQ(LoadView(u"customers", u"SELECT id FROM customers"), 1);
}

TEST_P(SchemaLoadTest, ConnectionFailuresBecomeTheErrorText) {
    EXPECT_EQ(Load(u"", u"Driver={No Such Driver};Database=nothing"), 3);
    const std::u16string& text = State().gProjErr;
    EXPECT_EQ(text.substr(0, 35), u"Quorvane: \r\nError #1:\r\n   ADO Error");
    EXPECT_NE(text.find(u"\r\n   Description  "), std::u16string::npos) << test::Utf8(text);
    EXPECT_NE(text.find(u"\r\n   Source       "), std::u16string::npos) << test::Utf8(text);
    EXPECT_EQ(Tables().Count(), 0);

    State().gProjErr.clear();
    EXPECT_EQ(mDatabase->LoadADOCustomView(Variant(u"Driver={No Such Driver}"), Variant(u"v"),
                                           Variant(u"SELECT 1")),
              3);
    EXPECT_EQ(State().gProjErr.substr(0, 24), u"Quorvane: \r\n   ADO Error");

    // A provider without an equivalent here raises without a driver's diagnostics.
    State().gProjErr.clear();
    EXPECT_EQ(Load(u"", u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"), 3);
    EXPECT_EQ(State().gProjErr.substr(0, 31), u"Quorvane: ADO Connection Error ");
}

// SQLite opens any file: a load of one that is no database reported success with no tables.
TEST_P(SchemaLoadTest, AFileThatIsNoSqliteDatabaseIsRefusedWithTheDriversReason) {
    if (Kind() != DatabaseKind::SQLite) {
        GTEST_SKIP() << "a file database";
    }
    const std::filesystem::path file = mTemp / "notes.db";
    std::ofstream(file, std::ios::binary) << "These are notes, not a database.\n";
    const std::u16string connection = u"Driver=SQLite3;Database=" + automation::FromUtf8(file.string());
    EXPECT_EQ(Load(u"", connection), 3);
    EXPECT_NE(State().gProjErr.find(u"file is not a database"), std::u16string::npos)
        << test::Utf8(State().gProjErr);
    EXPECT_EQ(Tables().Count(), 0);
    EXPECT_EQ(mDatabase->DBConnstr(), u"");

    // An empty file is what SQLite would make of a missing one; it is no project's database
    // either, and is refused for the same reason.
    std::ofstream(file, std::ios::binary | std::ios::trunc).flush();
    State().gProjErr.clear();
    EXPECT_EQ(Load(u"", connection), 3);
    EXPECT_NE(State().gProjErr.find(u"file is not a database"), std::u16string::npos)
        << test::Utf8(State().gProjErr);
    EXPECT_EQ(Tables().Count(), 0);
}

#ifdef QV_TEST_SERVERS

TEST_P(SchemaLoadTest, AWrongPasswordIsReportedAsSuch) {
    ado::ConnectionString wrong = ado::ConnectionString::Parse(ConnectionString());
    wrong.Set(u"PWD", u"wrong");
    EXPECT_EQ(Load(u"", wrong.ToString()), 3);
    EXPECT_EQ(State().gProjErr, u"Quorvane: Unable to connect to Data Source! User ID / Password not valid!");
}

TEST_P(SchemaLoadTest, ADataSourceConnectsWithAPasswordHoldingSeparators) {
    // The test user's password holds ";", "}" and "=": joined into the connection text as it
    // is, it would cut the password short and add an attribute of its own.
    ASSERT_NE(mTestDatabase->Password().find(u';'), std::u16string::npos);
    const ado::ConnectionString odbc = ado::ConnectionString::Parse(ConnectionString());
    // The driver manager keeps what it read of odbc.ini, so each kind has a name of its own.
    const std::string dataSource = "qv_loader_" + testdb::KindName(Kind());
    std::string contents = "[" + dataSource + "]\n";
    const bool postgres = Kind() == DatabaseKind::PostgreSQL;
    for (std::u16string_view key : {u"Driver", u"Server", u"Port", u"Database"}) {
        if (std::optional<std::u16string> value = odbc.Get(key)) {
            // PostgreSQL's driver names the server "Servername" in a data source.
            contents += (postgres && key == u"Server" ? "Servername" : test::Utf8(key)) + "=" +
                        test::Utf8(*value) + "\n";
        }
    }
    std::ofstream(mTemp / "odbc.ini") << contents;
    mEnvironment.Set("ODBCINI", (mTemp / "odbc.ini").string());

    const std::int16_t result = mDatabase->LoadADODB(
        Variant(u"ODBC"), Variant(automation::FromUtf8(dataSource)), Variant(mTestDatabase->User()),
        Variant(mTestDatabase->Password()), Variant(u""), Variant(u""), Variant(NoSchema));
    ASSERT_EQ(result, 0) << test::Utf8(State().gProjErr);
    EXPECT_TRUE(Tables().TableExist(Variant(u"customers")));
    // The stored values are the user's, as typed.
    EXPECT_EQ(mDatabase->DBType(), u"ODBC");
    EXPECT_EQ(mDatabase->DBUID(), mTestDatabase->User());
    EXPECT_EQ(mDatabase->DBPwd(), mTestDatabase->Password());
    EXPECT_EQ(mDatabase->DBConnstr(), u"");
}

// SQLite's driver reads no braces: the user name "x;Database=<file>" of a data-source load
// reached it as an attribute of its own, and the load opened (and created) that file.
TEST_P(SchemaLoadTest, ADataSourceLoadRefusesAValueTheDriverWouldSplit) {
    if (Kind() != DatabaseKind::SQLite) {
        GTEST_SKIP() << "only SQLite's driver reads no braces";
    }
    const ado::ConnectionString odbc = ado::ConnectionString::Parse(ConnectionString());
    std::ofstream(mTemp / "odbc.ini")
        << "[qv_loader_quoting]\nDriver=" << test::Utf8(odbc.Get(u"Driver").value())
        << "\nDatabase=" << test::Utf8(odbc.Get(u"Database").value()) << "\n";
    mEnvironment.Set("ODBCINI", (mTemp / "odbc.ini").string());
    const std::filesystem::path other = mTemp / "other.db";

    const std::int16_t result =
        mDatabase->LoadADODB(Variant(u"ODBC"), Variant(u"qv_loader_quoting"),
                             Variant(u"x;Database=" + automation::FromUtf8(other.string())), Variant(u""),
                             Variant(u""), Variant(u""), Variant(NoSchema));
    EXPECT_EQ(result, 3);
    EXPECT_NE(State().gProjErr.find(u"\"UID\""), std::u16string::npos) << test::Utf8(State().gProjErr);
    EXPECT_FALSE(std::filesystem::exists(other));
    EXPECT_EQ(Tables().Count(), 0);
}

TEST_P(SchemaLoadTest, NamesDifferingOnlyInLetterCaseDoNotFailTheLoad) {
    const std::u16string q = DriverQuote();
    mTestDatabase->Execute(u"CREATE TABLE " + q + u"Tally" + q + u" (n INTEGER);\nCREATE TABLE " + q +
                           u"tally" + q + u" (m INTEGER);");
    if (Kind() == DatabaseKind::PostgreSQL) {
        mTestDatabase->Execute(u"CREATE TABLE casing (\"Id\" INTEGER, \"id\" INTEGER, label VARCHAR(5));");
    }
    ASSERT_EQ(Load(), 0) << test::Utf8(State().gProjErr);

    // One of the two tables is held, marked as clashing with the other; the rest load as ever.
    const bool upperHeld = Tables().TableExist(Variant(u"Tally"));
    ASSERT_NE(upperHeld, Tables().TableExist(Variant(u"tally")));
    QelTable* held = Table(upperHeld ? u"Tally" : u"tally");
    EXPECT_FALSE(held->TblGen());
    EXPECT_NE(
        held->TblError().find(std::u16string(u"Duplicate Table Name - ") + (upperHeld ? u"tally" : u"Tally")),
        std::u16string::npos)
        << test::Utf8(held->TblError());
    EXPECT_TRUE(Table(u"customers")->TblLoaded());

    if (Kind() == DatabaseKind::PostgreSQL) {
        QelTable* casing = Table(u"casing");
        EXPECT_EQ(FieldNames(u"casing"), (std::vector<std::u16string>{u"Id", u"label"}));
        EXPECT_FALSE(casing->TblGen());
        EXPECT_NE(casing->TblError().find(u"Duplicate Column Name - id found!"), std::u16string::npos);
    }
}

// Regression: the tables of one name in two schemas were loaded into one table, its fields and
// keys a mixture of both.
TEST_P(SchemaLoadTest, OneSchemaIsLoadedTheSearchPathsUnlessOneIsNamed) {
    if (Kind() != DatabaseKind::PostgreSQL) {
        GTEST_SKIP() << "only PostgreSQL has schemas within one database here";
    }
    mTestDatabase->Execute(
        u"CREATE SCHEMA audit;\nCREATE TABLE audit.order_lines (entry INTEGER PRIMARY KEY, "
        u"note VARCHAR(10) NOT NULL UNIQUE);\nCREATE VIEW audit.recent AS SELECT entry FROM "
        u"audit.order_lines;");
    ASSERT_EQ(Load(), 0) << test::Utf8(State().gProjErr);
    EXPECT_EQ(mDatabase->DBSchema(), u"public");
    EXPECT_EQ(Table(u"order_lines")->TblKey(), u"line_no\r\norder_id");
    EXPECT_EQ(FieldNames(u"order_lines"),
              (std::vector<std::u16string>{u"order_id", u"line_no", u"product", u"quantity"}));
    EXPECT_FALSE(Tables().TableExist(Variant(u"recent")));
    EXPECT_TRUE(Table(u"customers")->TblLoaded());
    // The user learns what was left out.
    const std::vector<std::u16string> messages = mHost.Texts(host::HostCallKind::Message);
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_NE(messages[0].find(u"\"public\""), std::u16string::npos) << test::Utf8(messages[0]);
    EXPECT_NE(messages[0].find(u"\"audit\""), std::u16string::npos) << test::Utf8(messages[0]);

    // A named schema is loaded alone, and says nothing.
    mDatabase = automation::MakeRef<QelDatabase>();
    mHost.ClearCalls();
    ASSERT_EQ(mDatabase->LoadADODB(Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(u""),
                                   Variant(ConnectionString()), Variant(u""), Variant(u"audit")),
              0)
        << test::Utf8(State().gProjErr);
    EXPECT_EQ(SortedTableNames(), (std::vector<std::u16string>{u"order_lines", u"recent"}));
    EXPECT_EQ(mDatabase->DBSchema(), u"audit");
    EXPECT_EQ(Table(u"order_lines")->TblKey(), u"entry");
    EXPECT_EQ(FieldNames(u"order_lines"), (std::vector<std::u16string>{u"entry", u"note"}));
    EXPECT_TRUE(Field(u"order_lines", u"note")->FldUniqueIdx());
    EXPECT_EQ(mHost.Count(host::HostCallKind::Message), 0U);

    // A table of a project read back from its file comes from the project's schema too.
    mDatabase = automation::MakeRef<QelDatabase>();
    mDatabase->Properties()->Item(Variant(u"DBDBMSName"))->SetValue(Variant(u"PostgreSQL"));
    mDatabase->SetDBSchema(u"audit");
    ASSERT_TRUE(Tables().Add(u"order_lines"));
    Table(u"order_lines")->SetTblType(u"TABLE");
    Table(u"order_lines")->SetTblLoaded(false);
    ASSERT_EQ(Load(u"order_lines"), 0) << test::Utf8(State().gProjErr);
    EXPECT_EQ(FieldNames(u"order_lines"), (std::vector<std::u16string>{u"entry", u"note"}));

    // A schema that holds nothing (here: none of that name) is refused rather than loaded empty.
    mDatabase = automation::MakeRef<QelDatabase>();
    EXPECT_EQ(mDatabase->LoadADODB(Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(u""),
                                   Variant(ConnectionString()), Variant(u""), Variant(u"Audit")),
              3);
    EXPECT_EQ(State().gProjErr, u"Quorvane: No table or view found in schema \"Audit\"!");
    EXPECT_EQ(Tables().Count(), 0);
}

// Regression: a database whose tables all lay outside the search path's schema gave a project of
// no tables, and the load passed for a success.
TEST_P(SchemaLoadTest, AnEmptySearchPathSchemaNamesTheSchemasThatHoldTables) {
    if (Kind() != DatabaseKind::PostgreSQL) {
        GTEST_SKIP() << "only PostgreSQL has schemas within one database here";
    }
    mTestDatabase->Execute(u"CREATE SCHEMA nothing_here;\nCREATE SCHEMA audit;\n"
                           u"CREATE TABLE audit.entries (entry INTEGER PRIMARY KEY)");
    ado::ConnectionString text = ado::ConnectionString::Parse(ConnectionString());
    text.Set(u"ConnSettings", u"SET search_path = nothing_here, public");
    EXPECT_EQ(Load(u"", text.ToString()), 3);
    EXPECT_EQ(State().gProjErr,
              u"Quorvane: No table or view found in schema \"nothing_here\", the first schema of the search "
              u"path! Tables and views are in schema \"audit\", \"public\". Please name the schema to load.");
    EXPECT_EQ(Tables().Count(), 0);
    EXPECT_EQ(mHost.Count(host::HostCallKind::Message), 0U) << "nothing was loaded to report on";
}

// An Oracle project read back from its file has no schema chosen in this session: its tables
// are still those of the schema the project kept. PostgreSQL stands in for Oracle here, since a
// single-table load takes the database kind from the stored DBMS name.
TEST_P(SchemaLoadTest, AReopenedOracleProjectLoadsItsTablesFromItsSchema) {
    if (Kind() != DatabaseKind::PostgreSQL) {
        GTEST_SKIP() << "only PostgreSQL names the schema of each table here";
    }
    mDatabase->Properties()->Item(Variant(u"DBDBMSName"))->SetValue(Variant(u"Oracle"));
    mDatabase->SetDBSchema(u"public");
    for (std::u16string name : {u"customers", u"order_lines"}) {
        ASSERT_TRUE(Tables().Add(name));
        Tables().Find(name)->SetTblType(u"TABLE");
        Tables().Find(name)->SetTblLoaded(false);
    }
    ASSERT_EQ(Load(u"customers"), 0) << test::Utf8(State().gProjErr);
    EXPECT_TRUE(Table(u"customers")->TblLoaded());
    EXPECT_EQ(Table(u"customers")->TblKey(), u"id");
    EXPECT_FALSE(Table(u"customers")->Fields()->Count() == 0);

    // The tables of another schema are not the project's: its table is not in the database.
    mDatabase->SetDBSchema(u"elsewhere");
    ASSERT_EQ(Load(u"order_lines"), 3);
    EXPECT_TRUE(State().gProjErr.starts_with(u"Quorvane: Table order_lines not found in the database!"))
        << test::Utf8(State().gProjErr);
    EXPECT_FALSE(Table(u"order_lines")->TblLoaded());
    EXPECT_EQ(Table(u"order_lines")->Fields()->Count(), 0);
}

#endif

QV_INSTANTIATE_FOR_TEST_DATABASES(SchemaLoadTest);

} // namespace
} // namespace qv
