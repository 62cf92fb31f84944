// The loaders' helpers that no sample database reaches: the Oracle schema prompt, the view key
// of joins the samples do not hold, and the rules of the small text helpers.

#include "model/LoadSettings.h"
#include "model/loaders/LoaderFixture.h"

#include "core/Apartment.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Constants.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Error.h"

#include <array>
#include <fstream>

namespace qv {

/// The test's way to the database's private loader helpers.
class DatabaseLoaderProbe {
public:
    static void ChooseOracleSchema(QelDatabase& database, ado::Recordset& rs, std::u16string_view user) {
        database.ChooseOracleSchema(rs, automation::Variant(user));
    }
    static std::u16string OracleSchema(const QelDatabase& database) {
        return automation::ToString(database.mOracleSchema);
    }
    static void SetOracleSchema(QelDatabase& database, std::u16string_view schema) {
        database.mOracleSchema = automation::Variant(schema);
    }
    static std::u16string Qualify(const QelDatabase& database, std::u16string_view table,
                                  std::u16string_view column) {
        return automation::ToString(
            database.QualifyColumnName(automation::Variant(table), automation::Variant(column)));
    }
    static bool IsInArray(const automation::Variant& array, const automation::Variant& value) {
        return QelDatabase::IsInArray(array, value);
    }
    static void DeriveViewKey(QelDatabase& database, QelTable& view, std::u16string_view sql) {
        database.DeriveViewKey(view, automation::Variant(sql));
    }
    static std::u16string SqlServerText(QelDatabase& database, std::u16string_view dsn,
                                        std::u16string_view user, std::u16string_view password) {
        database.ReadSqlServerDsn(automation::Variant(dsn));
        return database.SqlServerNativeText(user, password);
    }
    static std::u16string OracleText(QelDatabase& database, std::u16string_view dsn, std::u16string_view user,
                                     std::u16string_view password) {
        database.ReadOracleDsn(automation::Variant(dsn));
        return database.OracleNativeText(user, password);
    }
};

namespace {

using automation::Variant;
using Probe = DatabaseLoaderProbe;

class LoaderHelpersTest : public test::LoaderTest {};

TEST_F(LoaderHelpersTest, TheOracleSchemaIsTheUsersOwnOrTheOnePicked) {
    ado::Recordset rs = test::TablesRowset({
        {u"hr", u"EMPLOYEES", u"TABLE"},
        {u"SYS", u"DUAL", u"TABLE"},
        {u"HR", u"JOBS", u"TABLE"},
        {u"APP", u"V_ORDERS", u"VIEW"}, // views do not offer their schema
        {u"Scott", u"EMP", u"TABLE"},
    });

    // A user who owns tables: no question, and the rowset is back at its start.
    Probe::ChooseOracleSchema(*mDatabase, rs, u"scott");
    EXPECT_EQ(Probe::OracleSchema(*mDatabase), u"SCOTT");
    EXPECT_EQ(automation::ToString(rs.Value(u"TABLE_NAME")), u"EMPLOYEES");
    EXPECT_EQ(mHost.Count(host::HostCallKind::ChooseSchema), 0u);

    // Otherwise the owners of tables are offered, upper-cased, once each, in order.
    Probe::SetOracleSchema(*mDatabase, u"");
    mHost.Answer(host::SchemaAnswer{u"HR"});
    Probe::ChooseOracleSchema(*mDatabase, rs, u"nobody");
    ASSERT_EQ(mHost.Count(host::HostCallKind::ChooseSchema), 1u);
    const host::HostCall question = mHost.Calls(host::HostCallKind::ChooseSchema).front();
    EXPECT_EQ(question.names, (std::vector<std::u16string>{u"HR", u"SYS", u"SCOTT"}));
    EXPECT_EQ(question.title, u"Quorvane");
    EXPECT_EQ(Probe::OracleSchema(*mDatabase), u"HR");

    // Regression: a form closed without a choice loaded the tables of the earlier choice and
    // reported success. Now the load fails and nothing of the earlier choice is taken.
    Probe::SetOracleSchema(*mDatabase, u"");
    mHost.Answer(host::SchemaAnswer{});
    try {
        Probe::ChooseOracleSchema(*mDatabase, rs, u"nobody");
        ADD_FAILURE() << "a dismissed prompt passed";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Description(), u"No schema chosen! Please choose a schema to proceed!");
    }
    EXPECT_EQ(Probe::OracleSchema(*mDatabase), u"");

    // An empty rowset asks nothing and keeps the schema.
    Probe::SetOracleSchema(*mDatabase, u"KEPT");
    ado::Recordset empty = test::TablesRowset({});
    Probe::ChooseOracleSchema(*mDatabase, empty, u"nobody");
    EXPECT_EQ(Probe::OracleSchema(*mDatabase), u"KEPT");
}

// The data source of an ODBC load names the server that SQL Server and Oracle loads reach
// natively; its values come from the driver manager's data-source definitions.
TEST_F(LoaderHelpersTest, DataSourcesNameTheServerToReachNatively) {
    std::ofstream(mTemp / "odbc.ini") << "[qv_helpers_mssql_trusted]\nServer=sqlhost\nDatabase=Sales\n"
                                         "Trusted_Connection=Yes\n"
                                         "[qv_helpers_mssql_lower]\nServer=sqlhost\nDatabase=Sales\n"
                                         "Trusted_Connection=yes\n"
                                         "[qv_helpers_mssql_bare]\nServer=sqlhost2\n"
                                         "[qv_helpers_ora_name]\nServerName=orcl\nServer=other\n"
                                         "[qv_helpers_ora_server]\nServerName=\nServer=orcl2\n";
    mEnvironment.Set("ODBCINI", (mTemp / "odbc.ini").string());

    struct Case {
        std::u16string_view dsn;
        std::u16string_view expected;
    };
    // Only "Yes" exactly trusts the connection; the user's values stay whole, however they read.
    const Case sqlServer[] = {
        {u"qv_helpers_mssql_trusted",
         u"Provider=SQLOLEDB;Initial Catalog=Sales;Data Source=sqlhost;Integrated Security=SSPI"},
        {u"qv_helpers_mssql_lower",
         u"Provider=SQLOLEDB;User ID=sa;Password={p;w};Initial Catalog=Sales;Data Source=sqlhost"},
        {u"qv_helpers_mssql_bare",
         u"Provider=SQLOLEDB;User ID=sa;Password={p;w};Initial Catalog=;Data Source=sqlhost2"},
        {u"qv_helpers_missing", u"Provider=SQLOLEDB;User ID=sa;Password={p;w};Initial Catalog=;Data Source="},
    };
    for (const Case& row : sqlServer) {
        SCOPED_TRACE(test::Utf8(row.dsn));
        EXPECT_EQ(Probe::SqlServerText(*mDatabase, row.dsn, u"sa", u"p;w"), row.expected);
    }
    // "ServerName" first, "Server" when that is empty; the stored text is the provider's form.
    const Case oracle[] = {
        {u"qv_helpers_ora_name", u"Provider=OraOLEDB.Oracle.1;Password=p;w;User ID=sa;Data Source=orcl;"},
        {u"qv_helpers_ora_server", u"Provider=OraOLEDB.Oracle.1;Password=p;w;User ID=sa;Data Source=orcl2;"},
        {u"qv_helpers_missing", u"Provider=OraOLEDB.Oracle.1;Password=p;w;User ID=sa;Data Source=;"},
    };
    for (const Case& row : oracle) {
        SCOPED_TRACE(test::Utf8(row.dsn));
        EXPECT_EQ(Probe::OracleText(*mDatabase, row.dsn, u"sa", u"p;w"), row.expected);
    }
}

TEST_F(LoaderHelpersTest, ColumnReferencesAreQualifiedAlike) {
    struct Case {
        std::u16string_view table;
        std::u16string_view column;
        std::u16string_view expected;
    };
    const Case cases[] = {
        {u"Orders", u"OrderID", u"[Orders].[OrderID]"},
        {u"Orders", u"[Orders].[OrderID]", u"[Orders].[OrderID]"},
        {u" [Orders] ", u" [OrderID] ", u"[Orders].[OrderID]"},
        // Only the piece after the first "." counts as the column.
        {u"t", u"a.b.c", u"[t].[b]"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(test::Utf8(row.column));
        EXPECT_EQ(Probe::Qualify(*mDatabase, row.table, row.column), row.expected);
    }
}

TEST_F(LoaderHelpersTest, TheViewListIsSearchedFromItsSecondElement) {
    const Variant list(
        automation::MakeArray({Variant(u"Orders Qry"), Variant(u"Invoices"), Variant(u"Catalog")}));
    EXPECT_TRUE(Probe::IsInArray(list, Variant(u"Invoices")));
    EXPECT_FALSE(Probe::IsInArray(list, Variant(u"invoices")));   // exact
    EXPECT_FALSE(Probe::IsInArray(list, Variant(u"Orders Qry"))); // element 0 is never compared
    EXPECT_FALSE(Probe::IsInArray(Variant(u"Invoices"), Variant(u"Invoices")));
    EXPECT_FALSE(Probe::IsInArray(Variant(automation::MakeArray({Variant(u"only")})), Variant(u"only")));
}

TEST_F(LoaderHelpersTest, AViewOverAJoinTakesTheKeyItsJoinPreserves) {
    QelTables& tables = Tables();
    for (auto [name, key] : {std::pair{u"A", u"aid"}, std::pair{u"B", u"bid"}}) {
        tables.Add(name);
        tables.Find(name)->SetTblKey(key);
    }
    struct Case {
        const char* name;
        std::u16string_view sql;
        bool updatable;
        std::u16string_view key;
    };
    const Case cases[] = {
        // Both tables joined on their keys: the left table's key.
        {"one to one", u"SELECT A.aid, B.bid FROM A INNER JOIN B ON A.aid = B.bid", true, u"aid"},
        // The left table's key joins a column of the right: the right table's key.
        {"one to many", u"SELECT A.aid, B.bid FROM A INNER JOIN B ON A.aid = B.ref", true, u"bid"},
        {"many to one", u"SELECT A.aid, B.bid FROM A INNER JOIN B ON A.ref = B.bid", true, u"aid"},
        {"outer join", u"SELECT A.aid, B.bid FROM A LEFT JOIN B ON A.aid = B.ref", true, u""},
        {"one table", u"SELECT A.aid, A.ref FROM A", true, u"aid"},
        {"grouped", u"SELECT A.aid FROM A GROUP BY A.aid", false, u""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        const std::u16string viewName = u"View " + automation::FromUtf8(row.name);
        tables.Add(viewName);
        QelTable& view = *tables.Find(viewName);
        view.Fields()->Add(u"aid");
        view.Fields()->Add(u"bid");
        Probe::DeriveViewKey(*mDatabase, view, row.sql);
        EXPECT_EQ(view.TblUpdatable(), row.updatable);
        EXPECT_EQ(view.TblKey(), row.key);
    }

    // A compound key is never one field's name, so it never reaches a view.
    tables.Add(u"K");
    tables.Find(u"K")->SetTblKey(u"k1\r\nk2");
    tables.Add(u"View K");
    QelTable& view = *tables.Find(u"View K");
    view.Fields()->Add(u"k1");
    view.Fields()->Add(u"k2");
    Probe::DeriveViewKey(*mDatabase, view, u"SELECT K.k1, K.k2 FROM K");
    EXPECT_TRUE(view.TblUpdatable());
    EXPECT_EQ(view.TblKey(), u"");
}

TEST_F(LoaderHelpersTest, AnOracleCustomViewNamedWithABlankIsNotLoaded) {
    CurrentLoadSettings().dbmsName = u"Oracle";
    auto table = automation::MakeRef<QelTable>();
    ado::Connection closed; // never reached
    table->Load_ADOCustomView(closed, u"my view", u"SELECT 1 FROM DUAL");
    EXPECT_EQ(table->TblType(), u"CUSTOMVIEW");
    EXPECT_EQ(table->TblCustomSQL(), u"SELECT 1 FROM DUAL");
    EXPECT_TRUE(table->TblLoaded());
    EXPECT_FALSE(table->TblGen());
    EXPECT_EQ(table->TblCustomError(),
              u"Quorvane: Oracle Table/View Name [my view] contain spaces,table not loaded!");
    EXPECT_EQ(table->TblCaption(), u"");
    EXPECT_EQ(State().gProjErr, u"");
}

TEST_F(LoaderHelpersTest, EachFieldGetsItsOwnSources) {
    auto table = automation::MakeRef<QelTable>();
    table->SetTblCustomSQL(u"SELECT o.OrderID AS id, Count(*) AS n, c.Name FROM Orders o, Customers c");
    for (std::u16string_view name : {u"id", u"n", u"Name"}) {
        table->Fields()->Add(std::u16string(name));
        table->Fields()->Find(name)->SetFldSourceTable(u"stale");
    }
    table->ParseCustomSql();
    const QelFields& fields = *table->Fields();
    EXPECT_TRUE(fields.Find(u"id")->FldAlias());
    EXPECT_EQ(fields.Find(u"id")->FldSourceTable(), u"Orders");
    EXPECT_EQ(fields.Find(u"id")->FldSourceField(), u"OrderID");
    EXPECT_EQ(fields.Find(u"n")->FldSourceTable(), u""); // not the column before it
    EXPECT_EQ(fields.Find(u"Name")->FldSourceTable(), u"Customers");

    // Text the analyser cannot read changes no field.
    table->SetTblCustomSQL(u"not a query");
    table->ParseCustomSql();
    EXPECT_EQ(fields.Find(u"id")->FldSourceTable(), u"Orders");
}

} // namespace
} // namespace qv
