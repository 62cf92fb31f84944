// Loading a database reached through a connection (an ODBC data source or a connection
// string): the DBMS information, the identifier quotes, the Oracle schema, and every table and
// view of the catalogue; and custom views over a connection of their own.

#include "model/table/QelDatabase.h"
#include "model/table/internal/LoaderSupport.h"

#include "model/CatalogFacts.h"
#include "model/LoadSettings.h"
#include "model/internal/RegistryDefaults.h"

#include "core/Apartment.h"
#include "core/QelVars.h"

#include "platform/ado/Connection.h"
#include "platform/ado/ConnectionString.h"
#include "platform/ado/Constants.h"
#include "platform/ado/DataSources.h"
#include "platform/ado/Errors.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "platform/host/Host.h"

#include <algorithm>
#include <optional>
#include <string>

namespace qv {

using automation::Variant;
using loader::ArgText;
using loader::IgnoringErrors;
using loader::TextOf;

namespace {

/// Tells the user which schemas a load that chose the search path's schema left out.
void ReportSchemasLeftOut(std::u16string_view schema, const std::vector<std::u16string>& others) {
    if (others.empty()) {
        return;
    }
    const ModuleState& state = State();
    std::u16string text = state.gMsgPrefix + u": Loaded the tables and views of schema \"" +
                          std::u16string(schema) +
                          u"\", the first schema of the search path. Not loaded: those of schema ";
    for (std::size_t index = 0; index < others.size(); ++index) {
        text += (index == 0 ? u"\"" : u", \"") + others[index] + u"\"";
    }
    text += u".";
    CurrentHost().ShowMessage({u"", text, host::MessageIcon::Information, host::MessageButtons::Ok});
}

} // namespace

std::int16_t QelDatabase::LoadADODB(const Variant& DBType, const Variant& DBName, const Variant& UID,
                                    const Variant& pwd, const Variant& sConnStr, const Variant& sTableName,
                                    const Variant& sSchema) {
    ModuleState& state = State();
    const std::u16string type = ArgText(DBType);
    const std::u16string dataSource = ArgText(DBName);
    const std::u16string user = ArgText(UID);
    const std::u16string password = ArgText(pwd);
    const std::u16string connectionString = ArgText(sConnStr);
    const std::u16string tableName = ArgText(sTableName);
    const bool fullLoad = tableName.empty();
    const bool isOdbc = type == u"ODBC";
    // Values are quoted where they need it, so that a ";" in a user name or password cannot
    // add an attribute of its own.
    const std::u16string odbcText = ado::ConnectionString::ForDataSource(dataSource, user, password);

    // Every field and table made below takes its defaults from the registry: they are read once
    // for the whole load, not for each entity.
    const RegistryDefaultsScope registryDefaults;
    ado::Connection cnn;
    try {
        if (fullLoad) {
            loader::ShowLoadStep(u"Connecting to Data Source...");
        }
        cnn.Open(isOdbc ? odbcText : connectionString);
        if (cnn.State() != ado::ObjectState::Open) {
            return 1;
        }

        if (fullLoad) {
            SetDBType(type);
            SetDBPath(u"");
            SetDBUseServerMapPath(false);
            SetDBPhyPath(u"");
            if (isOdbc) {
                SetDBUID(user);
                SetDBPwd(password);
            } else {
                SetDBConnstr(connectionString);
            }
            auto store = [&](Setting setting, const Variant& value) {
                SetSettingValue(static_cast<std::size_t>(setting), value);
            };
            const catalog::DbmsInfo info = catalog::ReadDbmsInfo(cnn);
            store(Setting::DBADOVer, Variant(info.adoVersion));
            store(Setting::DBDBMSName, Variant(info.dbmsName));
            // A property the driver does not offer leaves its setting as it was.
            const std::pair<const std::optional<std::u16string>&, Setting> properties[] = {
                {info.dbmsVersion, Setting::DBDBMSVer},
                {info.oledbVersion, Setting::DBOLEDBVer},
                {info.providerName, Setting::DBProviderName},
                {info.providerVersion, Setting::DBProviderVer},
            };
            for (const auto& [value, setting] : properties) {
                if (value) {
                    store(setting, Variant(*value));
                }
            }
        }

        CurrentLoadSettings().dbmsName = DBDBMSName();
        const std::int16_t kind = GetDBTypeId(CurrentLoadSettings().dbmsName);

        if (kind == DBTypeCode::SqlServer && isOdbc) {
            catalog::ReconnectToSqlServer(cnn, dataSource, user, password, odbcText);
        }

        if (kind == DBTypeCode::Oracle && fullLoad && isOdbc) {
            ReadOracleDsn(DBName);
            // The native connection string is stored for the generated site, in the
            // provider's own form.
            CurrentLoadSettings().oracleConnStr = OracleNativeText(user, password);
            SetDBConnstrOra(CurrentLoadSettings().oracleConnStr);
        }

        if (fullLoad) {
            SetQuoteStyle(CurrentLoadSettings().dbmsName);
            SetDBQuoteS(state.gQuoteStart);
            SetDBQuoteE(state.gQuoteEnd);
            loader::ShowLoadStep(u"Loading Database Tables/Views...");
        }

        // A full load reads the whole catalogue in one go: each table's rowsets are answered
        // from one listing of the tables (and, where the driver rescans its catalogue for every
        // table, of the columns) instead of a search of the catalogue per table.
        std::optional<ado::CatalogSnapshot> snapshot;
        if (fullLoad) {
            snapshot.emplace(cnn);
        }
        ado::Recordset rs = cnn.OpenSchema(ado::Schema::Tables);

        if (kind == DBTypeCode::Oracle && fullLoad) {
            const std::u16string schema = ArgText(sSchema);
            if (!schema.empty()) {
                mOracleSchema = Variant(schema);
            } else {
                try {
                    ChooseOracleSchema(rs, UID);
                } catch (const automation::Error& error) {
                    state.gProjErr = state.gMsgPrefix + u": " + error.Description();
                    return 3;
                }
            }
            SetDBSchema(ArgText(mOracleSchema));
        }

        // A database read back from a project file has had no full load of its own: its tables
        // are those of the schema that the full load chose and the project kept. Without it no
        // row would qualify, and the table would stay unloaded while the load reported success.
        std::u16string oracleSchema = ArgText(mOracleSchema);
        if (oracleSchema.empty() && !fullLoad) {
            oracleSchema = DBSchema();
        }
        // A database that lists the tables of every schema is read one schema at a time: the one
        // named (the project keeps it), else the first of the search path, which the load reports
        // when other schemas hold tables that it leaves out. A project that kept no schema was
        // made from every schema, and its tables are still looked for in all of them.
        std::optional<std::u16string> onlySchema;
        if (catalog::ReadsOneSchema(CurrentLoadSettings().dbmsName) && (fullLoad || !DBSchema().empty())) {
            const std::u16string named = fullLoad ? ArgText(sSchema) : DBSchema();
            onlySchema = catalog::SchemaToRead(cnn, named);
            if (fullLoad) {
                SetDBSchema(*onlySchema);
                if (named.empty()) {
                    ReportSchemasLeftOut(*onlySchema, catalog::OtherSchemasWithTables(rs, *onlySchema));
                }
            }
        }
        auto qualifies = [&] {
            const std::u16string rowType = TextOf(rs.Value(u"TABLE_TYPE"));
            const std::u16string rowSchema = TextOf(rs.Value(u"TABLE_SCHEMA"));
            return (rowType == u"TABLE" || rowType == u"VIEW") &&
                   (kind != DBTypeCode::Oracle || rowSchema == oracleSchema) &&
                   (!onlySchema || rowSchema == *onlySchema);
        };

        std::int32_t total = 0;
        for (; !rs.Eof(); rs.MoveNext()) {
            total += qualifies() ? 1 : 0;
        }
        rs.MoveFirst();
        // A schema named for a new project that holds nothing is most likely misspelt: an empty
        // project would pass for a load of it.
        if (fullLoad && onlySchema && total == 0 && !ArgText(sSchema).empty()) {
            state.gProjErr =
                state.gMsgPrefix + u": No table or view found in schema \"" + *onlySchema + u"\"!";
            return 3;
        }

        const automation::Ref<QelTables>& list = tables();
        std::int32_t processed = 0;
        for (; !rs.Eof(); rs.MoveNext()) {
            CurrentLoadSettings().currentSchema = TextOf(rs.Value(u"TABLE_SCHEMA"));
            if (!qualifies()) {
                continue;
            }
            const std::u16string name = TextOf(rs.Value(u"TABLE_NAME"));
            if (fullLoad || name == tableName) {
                QelTable* table = nullptr;
                if (fullLoad) {
                    loader::ShowLoadStep(u"Loading " + TextOf(rs.Value(u"TABLE_TYPE")) + u" " + name +
                                         u"...");
                    table = loader::AddLoadedTable(*list, name, u"");
                }
                // The same name in another schema was refused by the list: it is loaded again,
                // from this row.
                if (table == nullptr) {
                    table = list->Find(name);
                }
                if (table != nullptr) {
                    table->Load_ADO(cnn, rs, fullLoad);
                }
            }
            ++processed;
            if (fullLoad) {
                loader::ShowLoadProgress(processed, total);
            }
        }
        rs.Close();
        return 0;
    } catch (const automation::Error& error) {
        state.gProjErr = catalog::ConnectionErrorText(cnn, error, /*numbered=*/true);
        return 3;
    }
}

std::int16_t QelDatabase::LoadADOCustomView(const Variant& sConnStr, const Variant& sTableName,
                                            const Variant& sSQL) {
    ModuleState& state = State();
    ado::Connection cnn;
    try {
        cnn.Open(ArgText(sConnStr));
        if (cnn.State() != ado::ObjectState::Open) {
            return 1;
        }
        const std::u16string name = ArgText(sTableName);
        const automation::Ref<QelTables>& list = tables();
        if (!list->Add(name)) {
            return 1;
        }
        QelTable& table = *list->Find(name);
        table.SetTblLoaded(false);
        table.Load_ADOCustomView(cnn, name, ArgText(sSQL));
        if (!state.gProjErr.empty()) {
            list->Delete(name);
            return 1;
        }
        return 0;
    } catch (const automation::Error& error) {
        state.gProjErr = catalog::ConnectionErrorText(cnn, error, /*numbered=*/false);
        return 3;
    }
}

void QelDatabase::ChooseOracleSchema(ado::Recordset& rs, const Variant& UID) {
    if (std::optional<std::u16string> owner =
            catalog::ChooseSchemaOwner(rs, ArgText(mOracleSchema), ArgText(UID), mSchemaCandidates)) {
        mOracleSchema = Variant(*owner);
    }
}

void QelDatabase::ReadSqlServerDsn(const Variant& dsn) {
    const catalog::SqlServerDataSource source = catalog::ReadSqlServerDataSource(ArgText(dsn));
    mDsnDatabase = source.database;
    mDsnServer = source.server;
    mDsnTrusted = source.trusted;
}

std::u16string QelDatabase::SqlServerNativeText(std::u16string_view user,
                                                std::u16string_view password) const {
    return catalog::SqlServerNativeText({mDsnDatabase, mDsnServer, mDsnTrusted}, user, password);
}

std::u16string QelDatabase::OracleNativeText(std::u16string_view user, std::u16string_view password) const {
    return u"Provider=OraOLEDB.Oracle.1;Password=" + std::u16string(password) + u";User ID=" +
           std::u16string(user) + u";Data Source=" + mDsnOracleServer + u";";
}

void QelDatabase::ReadOracleDsn(const Variant& dsn) {
    const std::u16string name = ArgText(dsn);
    mDsnOracleServer = ado::DataSourceValue(name, u"ServerName").value_or(u"");
    if (mDsnOracleServer.empty()) {
        mDsnOracleServer = ado::DataSourceValue(name, u"Server").value_or(u"");
    }
}

} // namespace qv
