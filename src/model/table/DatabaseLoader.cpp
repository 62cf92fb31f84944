// Loading a database reached through a connection (an ODBC data source or a connection
// string): the DBMS information, the identifier quotes, the Oracle schema, and every table and
// view of the catalogue; and custom views over a connection of their own.

#include "model/table/QelDatabase.h"
#include "model/table/TableNameReading.h"
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
#include <cassert>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qv {

using automation::Variant;
using loader::ArgText;
using loader::TextOf;

namespace {

/// The names, each in double quotes, joined by ", ".
std::u16string QuotedList(const std::vector<std::u16string>& names) {
    std::u16string text;
    for (std::size_t index = 0; index < names.size(); ++index) {
        text += (index == 0 ? u"\"" : u", \"") + names[index] + u"\"";
    }
    return text;
}

/// Tells the user which schemas a load that chose the search path's schema left out.
void ReportSchemasLeftOut(std::u16string_view schema, const std::vector<std::u16string>& others) {
    if (others.empty()) {
        return;
    }
    const ModuleState& state = State();
    const std::u16string text =
        state.gMsgPrefix + u": Loaded the tables and views of schema \"" + std::u16string(schema) +
        u"\", the first schema of the search path. Not loaded: those of schema " + QuotedList(others) + u".";
    CurrentHost().ShowMessage({u"", text, host::MessageIcon::Information, host::MessageButtons::Ok});
}

} // namespace

struct QelDatabase::AdoLoad {
    AdoLoad(const Variant& DBType, const Variant& DBName, const Variant& UID, const Variant& pwd,
            const Variant& sConnStr, const Variant& sTableName, const Variant& sSchema)
        : type(ArgText(DBType)), dataSource(ArgText(DBName)), user(ArgText(UID)), password(ArgText(pwd)),
          connectionString(ArgText(sConnStr)), tableName(ArgText(sTableName)), schema(ArgText(sSchema)),
          fullLoad(tableName.empty()), isOdbc(type == u"ODBC"),
          // Values are quoted where they need it, so that a ";" in a user name or password
          // cannot add an attribute of its own.
          odbcText(ado::ConnectionString::ForDataSource(dataSource, user, password)), userArgument(UID) {}

    const std::u16string type;
    const std::u16string dataSource;
    const std::u16string user;
    const std::u16string password;
    const std::u16string connectionString;
    const std::u16string tableName; ///< "" for a full load
    const std::u16string schema;    ///< the schema the caller named; "" to choose
    const bool fullLoad;
    const bool isOdbc;
    const std::u16string odbcText;
    const Variant& userArgument; ///< UID as given, for the Oracle schema prompt

    ado::Connection cnn;
    std::int16_t kind = DBTypeCode::Other;
    std::optional<ado::CatalogSnapshot> snapshot;
    std::optional<ado::Recordset> rs; ///< the tables rowset
    std::u16string oracleSchema;      ///< the Oracle owner whose rows qualify
    std::optional<std::u16string> onlySchema;
    /// The other schemas that hold tables, when the load chose the search path's schema itself.
    std::vector<std::u16string> schemasLeftOut;
    /// What a full load left out, one text each (catalog::ReportObjectsLeftOut).
    std::vector<std::u16string> objectsLeftOut;
    /// Whether a single-table load met its table in the catalogue.
    bool tableFound = false;
    /// The qualifying names and types in the catalogue's order, gathered when the caller named
    /// the tables it needs.
    std::vector<std::pair<std::u16string, std::u16string>> names;
    /// The names that give way to a twin (a name that differs only in letter case) which the
    /// caller named exactly, each with the text that says so; reported once.
    std::unordered_map<std::u16string, std::optional<std::u16string>> givingWay;

    /// Whether a failure to read the table `name` ends the load: every table of a single-table
    /// load, and of a full load every one unless the caller named those it needs.
    bool Needs(std::u16string_view name) const {
        const std::optional<std::vector<std::u16string>>& needed = CurrentLoadSettings().neededTables;
        return !fullLoad || !needed ||
               std::any_of(needed->begin(), needed->end(),
                           [&](const std::u16string& wanted) { return Meant(wanted) == name; });
    }

    /// The catalogue's name of the table that a name the caller needs means, read as a user's
    /// name for a table or a field of one (ChooseTableNameReading); nullopt for none.
    std::optional<std::u16string_view> Meant(std::u16string_view wanted) const {
        std::optional<std::u16string_view> meant;
        ChooseTableNameReading(wanted, [&](std::u16string_view table, NameMatch match) {
            const auto row = std::find_if(names.begin(), names.end(), [&](const auto& candidate) {
                return match == NameMatch::Exact ? candidate.first == table
                                                 : automation::EqualsNoCase(candidate.first, table);
            });
            if (row != names.end()) {
                meant = row->first;
            }
            return meant.has_value();
        });
        return meant;
    }

    /// Of names that differ only in letter case the list keeps the first it is given, which is
    /// the catalogue's first unless the caller named another exactly (itself or a field of it):
    /// that one is kept, the first named where the caller named several, and the others give
    /// way to it.
    void ChooseNamedTwins() {
        const std::optional<std::vector<std::u16string>>& needed = CurrentLoadSettings().neededTables;
        if (!needed) {
            return;
        }
        for (const std::u16string& wanted : *needed) {
            std::optional<TableNameReading> named =
                ChooseTableNameReading(wanted, [&](std::u16string_view table, NameMatch match) {
                    return match == NameMatch::Exact &&
                           std::any_of(names.begin(), names.end(),
                                       [&](const auto& row) { return row.first == table; });
                });
            if (!named) {
                continue;
            }
            const std::u16string chosen(named->table);
            const auto kept = std::find_if(names.begin(), names.end(),
                                           [&](const auto& row) { return row.first == chosen; });
            if (givingWay.contains(chosen)) {
                continue;
            }
            for (const auto& [name, type] : names) {
                if (name != chosen && automation::EqualsNoCase(name, chosen)) {
                    givingWay.try_emplace(name, catalog::CaseTwinText(type, name, kept->second, chosen));
                }
            }
        }
    }

    /// Whether the current row of the tables rowset is a table or view of the load.
    bool Qualifies() const {
        assert(rs.has_value());
        const std::u16string rowType = TextOf(rs->Value(u"TABLE_TYPE"));
        const std::u16string rowSchema = TextOf(rs->Value(u"TABLE_SCHEMA"));
        return (rowType == u"TABLE" || rowType == u"VIEW") &&
               (kind != DBTypeCode::Oracle || rowSchema == oracleSchema) &&
               (!onlySchema || rowSchema == *onlySchema);
    }
};

std::int16_t QelDatabase::LoadADODB(const Variant& DBType, const Variant& DBName, const Variant& UID,
                                    const Variant& pwd, const Variant& sConnStr, const Variant& sTableName,
                                    const Variant& sSchema) {
    ModuleState& state = State();
    // Every field and table made below takes its defaults from the registry: they are read once
    // for the whole load, not for each entity.
    const RegistryDefaultsScope registryDefaults;
    AdoLoad load(DBType, DBName, UID, pwd, sConnStr, sTableName, sSchema);
    try {
        if (!ConnectAdo(load)) {
            return 1;
        }
        RecordAdoProperties(load);
        std::optional<std::u16string> refusal = ChooseAdoSchema(load);
        if (!refusal) {
            refusal = WalkAdoTables(load);
        }
        if (refusal) {
            load.rs.reset();
            load.snapshot.reset();
            state.gProjErr = std::move(*refusal);
            return 3;
        }
        return 0;
    } catch (const automation::Error& error) {
        // The rowsets go first, as they did when the load ended: the errors are the connection's.
        load.rs.reset();
        load.snapshot.reset();
        state.gProjErr = catalog::ConnectionErrorText(load.cnn, error, /*numbered=*/true);
        return 3;
    }
}

bool QelDatabase::ConnectAdo(AdoLoad& load) {
    if (load.fullLoad) {
        loader::ShowLoadStep(u"Connecting to Data Source...");
    }
    load.cnn.Open(load.isOdbc ? load.odbcText : load.connectionString);
    return load.cnn.State() == ado::ObjectState::Open;
}

void QelDatabase::RecordAdoProperties(AdoLoad& load) {
    assert(load.cnn.State() == ado::ObjectState::Open);
    if (load.fullLoad) {
        SetDBType(load.type);
        SetDBPath(u"");
        SetDBUseServerMapPath(false);
        SetDBPhyPath(u"");
        if (load.isOdbc) {
            SetDBUID(load.user);
            SetDBPwd(load.password);
        } else {
            SetDBConnstr(load.connectionString);
        }
        auto store = [&](Setting setting, const Variant& value) {
            SetSettingValue(static_cast<std::size_t>(setting), value);
        };
        const catalog::DbmsInfo info = catalog::ReadDbmsInfo(load.cnn);
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

    LoadSettings& settings = CurrentLoadSettings();
    settings.dbmsName = DBDBMSName();
    load.kind = GetDBTypeId(settings.dbmsName);

    if (load.kind == DBTypeCode::SqlServer && load.isOdbc) {
        catalog::ReconnectToSqlServer(load.cnn, load.dataSource, load.user, load.password, load.odbcText);
    }

    if (load.kind == DBTypeCode::Oracle && load.fullLoad && load.isOdbc) {
        ReadOracleDsn(Variant(load.dataSource));
        // The native connection string is stored for the generated site, in the provider's own
        // form.
        settings.oracleConnStr = OracleNativeText(load.user, load.password);
        SetDBConnstrOra(settings.oracleConnStr);
    }

    if (load.fullLoad) {
        const ModuleState& state = State();
        SetQuoteStyle(settings.dbmsName);
        SetDBQuoteS(state.gQuoteStart);
        SetDBQuoteE(state.gQuoteEnd);
        loader::ShowLoadStep(u"Loading Database Tables/Views...");
    }
}

std::optional<std::u16string> QelDatabase::ChooseAdoSchema(AdoLoad& load) {
    // A full load reads the whole catalogue in one go: each table's rowsets are answered from
    // one listing of the tables (and, where the driver rescans its catalogue for every table,
    // of the columns) instead of a search of the catalogue per table.
    if (load.fullLoad) {
        load.snapshot.emplace(load.cnn);
    }
    load.rs = load.cnn.OpenSchema(ado::Schema::Tables);
    ado::Recordset& rs = *load.rs;

    if (load.kind == DBTypeCode::Oracle && load.fullLoad) {
        if (!load.schema.empty()) {
            mOracleSchema = Variant(load.schema);
        } else {
            try {
                ChooseOracleSchema(rs, load.userArgument);
            } catch (const automation::Error& error) {
                return State().gMsgPrefix + u": " + error.Description();
            }
        }
        SetDBSchema(ArgText(mOracleSchema));
    }

    // A database read back from a project file has had no full load of its own: its tables are
    // those of the schema that the full load chose and the project kept. Without it no row would
    // qualify, and the table would stay unloaded while the load reported success.
    load.oracleSchema = ArgText(mOracleSchema);
    if (load.oracleSchema.empty() && !load.fullLoad) {
        load.oracleSchema = DBSchema();
    }
    // A database that lists the tables of every schema is read one schema at a time: the one
    // named (the project keeps it), else the first of the search path, which the load reports
    // when other schemas hold tables that it leaves out. A project that kept no schema was made
    // from every schema, and its tables are still looked for in all of them.
    if (catalog::ReadsOneSchema(CurrentLoadSettings().dbmsName) && (load.fullLoad || !DBSchema().empty())) {
        const std::u16string named = load.fullLoad ? load.schema : DBSchema();
        load.onlySchema = catalog::SchemaToRead(load.cnn, named);
        if (load.fullLoad) {
            SetDBSchema(*load.onlySchema);
            if (named.empty()) {
                load.schemasLeftOut = catalog::OtherSchemasWithTables(rs, *load.onlySchema);
            }
        }
    }
    return std::nullopt;
}

std::optional<std::u16string> QelDatabase::WalkAdoTables(AdoLoad& load) {
    assert(load.rs.has_value());
    ado::Recordset& rs = *load.rs;
    std::int32_t total = 0;
    for (; !rs.Eof(); rs.MoveNext()) {
        if (load.Qualifies()) {
            ++total;
            if (load.fullLoad && CurrentLoadSettings().neededTables) {
                load.names.emplace_back(TextOf(rs.Value(u"TABLE_NAME")), TextOf(rs.Value(u"TABLE_TYPE")));
            }
        }
    }
    rs.MoveFirst();
    load.ChooseNamedTwins();
    // A schema named for a new project that holds nothing is most likely misspelt: an empty
    // project would pass for a load of it.
    if (load.fullLoad && load.onlySchema && total == 0 && !load.schema.empty()) {
        return State().gMsgPrefix + u": No table or view found in schema \"" + *load.onlySchema + u"\"!";
    }
    // Nor is a project of none when the search path's schema is empty and others are not: the
    // user meant one of those.
    if (total == 0 && !load.schemasLeftOut.empty()) {
        return State().gMsgPrefix + u": No table or view found in schema \"" + *load.onlySchema +
               u"\", the first schema of the search path! Tables and views are in schema " +
               QuotedList(load.schemasLeftOut) + u". " + std::u16string(catalog::NameTheSchemaText);
    }
    if (load.onlySchema) {
        ReportSchemasLeftOut(*load.onlySchema, load.schemasLeftOut);
    }

    const automation::Ref<QelTables>& list = tables();
    std::int32_t processed = 0;
    for (; !rs.Eof(); rs.MoveNext()) {
        CurrentLoadSettings().currentSchema = TextOf(rs.Value(u"TABLE_SCHEMA"));
        if (!load.Qualifies()) {
            continue;
        }
        const std::u16string name = TextOf(rs.Value(u"TABLE_NAME"));
        const std::u16string type = TextOf(rs.Value(u"TABLE_TYPE"));
        if (const auto twin = load.givingWay.find(name); load.fullLoad && twin != load.givingWay.end()) {
            if (twin->second) {
                load.objectsLeftOut.push_back(std::move(*twin->second));
                twin->second.reset();
            }
        } else if (load.fullLoad || name == load.tableName) {
            load.tableFound = true;
            QelTable* table = nullptr;
            if (load.fullLoad) {
                std::u16string step = u"Loading ";
                step.append(type).append(u" ").append(name).append(u"...");
                loader::ShowLoadStep(step);
                table = loader::AddLoadedTable(*list, name, u"");
            }
            // The same name in another schema was refused by the list: it is loaded again, from
            // this row.
            if (table == nullptr) {
                table = list->Find(name);
            }
            if (table == nullptr && load.fullLoad) {
                // A name that differs only in letter case from a table already loaded: the list
                // keeps the first, and the user learns which one went.
                for (QelTable& held : *list) {
                    if (automation::EqualsNoCase(held.TblName(), name)) {
                        load.objectsLeftOut.push_back(
                            catalog::CaseTwinText(type, name, held.TblType(), held.TblName()));
                        break;
                    }
                }
            }
            if (table != nullptr) {
                // A table that fails to read ends the load, named: kept without its fields, it
                // would pass for what the database holds. One the caller does not need stays
                // unloaded, as a table loaded on demand is, and the user learns why.
                try {
                    table->Load_ADO(load.cnn, rs, load.fullLoad);
                } catch (const automation::Error& error) {
                    std::u16string text = catalog::TableReadErrorText(load.cnn, error, type, name);
                    // A lost connection would fail every table after this one alike: it ends the
                    // load, said once.
                    if (load.Needs(name) || load.cnn.Lost()) {
                        return text;
                    }
                    table->SetTblGen(false);
                    table->SetTblLoaded(false);
                    load.objectsLeftOut.push_back(catalog::UnneededTableText(std::move(text)));
                }
            }
        }
        ++processed;
        if (load.fullLoad) {
            loader::ShowLoadProgress(processed, total);
        }
    }
    rs.Close();
    // A table of the project asked for alone that the catalogue no longer lists would pass for
    // loaded.
    if (!load.fullLoad && !load.tableFound && list->Find(load.tableName) != nullptr) {
        return catalog::TableNotInDatabaseText(load.tableName);
    }
    catalog::ReportObjectsLeftOut(load.objectsLeftOut);
    return std::nullopt;
}

std::int16_t QelDatabase::LoadADOCustomView(const Variant& sConnStr, const Variant& sTableName,
                                            const Variant& sSQL) {
    const CustomViewResult result = LoadCustomView(ArgText(sConnStr), ArgText(sTableName), ArgText(sSQL));
    switch (result.outcome) {
    case CustomViewLoad::Loaded:
        return 0;
    case CustomViewLoad::NotConnected:
    case CustomViewLoad::NameRefused:
        return 1;
    case CustomViewLoad::NotDescribed:
        State().gProjErr = result.reason;
        return 1;
    case CustomViewLoad::ConnectionFailed:
        State().gProjErr = result.reason;
        return 3;
    }
    return 1;
}

QelDatabase::CustomViewResult QelDatabase::LoadCustomView(std::u16string_view connectionString,
                                                          std::u16string_view name, std::u16string_view sql) {
    ado::Connection cnn;
    try {
        cnn.Open(connectionString);
        if (cnn.State() != ado::ObjectState::Open) {
            return {CustomViewLoad::NotConnected, {}};
        }
        const automation::Ref<QelTables>& list = tables();
        if (!list->Add(std::u16string(name))) {
            return {CustomViewLoad::NameRefused, {}};
        }
        QelTable* table = list->Find(name);
        assert(table != nullptr && "a name the list took is found in it");
        table->SetTblLoaded(false);
        if (!table->Load_ADOCustomView(cnn, name, sql)) {
            std::u16string reason = table->TblCustomError();
            list->Delete(std::u16string(name));
            return {CustomViewLoad::NotDescribed, std::move(reason)};
        }
        return {CustomViewLoad::Loaded, {}};
    } catch (const automation::Error& error) {
        return {CustomViewLoad::ConnectionFailed,
                catalog::ConnectionErrorText(cnn, error, /*numbered=*/false)};
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
