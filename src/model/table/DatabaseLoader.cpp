// Loading a database reached through a connection (an ODBC data source or a connection
// string): the DBMS information, the identifier quotes, the Oracle schema, and every table and
// view of the catalogue; and custom views over a connection of their own.

#include "model/table/QelDatabase.h"
#include "model/table/internal/LoaderSupport.h"

#include "model/RegistryDefaults.h"

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

constexpr std::u16string_view CrLf = u"\r\n";

std::u16string NumberText(std::int32_t number) {
    return automation::ToString(Variant(number));
}

/// The error text of a failed load from the connection's error list: each error's number,
/// description and source, with an "Error #" line before each when `numbered`. A failed
/// authentication has a text of its own; an error the list does not hold is reported by its
/// description.
std::u16string ConnectionErrorText(const ado::Connection& cnn, const automation::Error& error,
                                   bool numbered) {
    const std::u16string& prefix = State().gMsgPrefix;
    std::u16string message;
    bool authenticationFailed = false;
    std::int32_t position = 0;
    for (const automation::Ref<ado::ErrorRecord>& record : cnn.Errors()->Records()) {
        ++position;
        if (numbered) {
            message += std::u16string(CrLf) + u"Error #" + NumberText(position) + u":";
        }
        message += std::u16string(CrLf) + u"   ADO Error   #" + NumberText(record->Number());
        message += std::u16string(CrLf) + u"   Description  " + record->Description();
        message += std::u16string(CrLf) + u"   Source       " + record->Source();
        authenticationFailed =
            authenticationFailed || record->Number() == ado::ErrorNumber::AuthenticationFailed;
    }
    if (authenticationFailed) {
        return prefix + u": Unable to connect to Data Source! User ID / Password not valid!";
    }
    if (!message.empty()) {
        return prefix + u": " + message;
    }
    return prefix + u": ADO Connection Error " + error.Description();
}

/// Raised by the schema prompt when the user leaves it without a choice.
constexpr std::u16string_view NoSchemaChosenText = u"No schema chosen! Please choose a schema to proceed!";

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
            store(Setting::DBADOVer, Variant(ado::Connection::Version()));
            std::u16string dbmsName = cnn.Property(u"DBMS Name").value_or(u"");
            if (automation::ToLower(dbmsName).find(u"interbase") != std::u16string::npos) {
                dbmsName = u"Interbase Server";
            }
            store(Setting::DBDBMSName, Variant(dbmsName));
            // A property the driver does not offer leaves its setting as it was.
            const std::pair<std::u16string_view, Setting> properties[] = {
                {u"DBMS Version", Setting::DBDBMSVer},
                {u"OLE DB Version", Setting::DBOLEDBVer},
                {u"Provider Name", Setting::DBProviderName},
                {u"Provider Version", Setting::DBProviderVer},
            };
            for (const auto& [property, setting] : properties) {
                if (std::optional<std::u16string> value = cnn.Property(property)) {
                    store(setting, Variant(*value));
                }
            }
        }

        state.gDbmsName = DBDBMSName();
        const std::int16_t kind = GetDBTypeId(state.gDbmsName);

        if (kind == DBTypeCode::SqlServer && isOdbc) {
            // Reach the server directly, as the data source describes it; the data source
            // itself stays the way back when that fails.
            IgnoringErrors([&] { ReadSqlServerDsn(DBName); });
            cnn.Close();
            IgnoringErrors([&] { cnn.Open(SqlServerNativeText(user, password)); });
            if (cnn.State() != ado::ObjectState::Open) {
                IgnoringErrors([&] { cnn.Open(odbcText); });
            }
        }

        if (kind == DBTypeCode::Oracle && fullLoad && isOdbc) {
            ReadOracleDsn(DBName);
            // The native connection string is stored for the generated site, in the
            // provider's own form.
            state.gOracleConnStr = OracleNativeText(user, password);
            SetDBConnstrOra(state.gOracleConnStr);
        }

        if (fullLoad) {
            SetQuoteStyle(state.gDbmsName);
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
        auto qualifies = [&] {
            const std::u16string rowType = TextOf(rs.Value(u"TABLE_TYPE"));
            return (rowType == u"TABLE" || rowType == u"VIEW") &&
                   (kind != DBTypeCode::Oracle || TextOf(rs.Value(u"TABLE_SCHEMA")) == oracleSchema);
        };

        std::int32_t total = 0;
        for (; !rs.Eof(); rs.MoveNext()) {
            total += qualifies() ? 1 : 0;
        }
        rs.MoveFirst();

        const automation::Ref<QelTables>& list = tables();
        std::int32_t processed = 0;
        for (; !rs.Eof(); rs.MoveNext()) {
            state.gCurrentSchema = TextOf(rs.Value(u"TABLE_SCHEMA"));
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
        state.gProjErr = ConnectionErrorText(cnn, error, /*numbered=*/true);
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
        state.gProjErr = ConnectionErrorText(cnn, error, /*numbered=*/false);
        return 3;
    }
}

void QelDatabase::ChooseOracleSchema(ado::Recordset& rs, const Variant& UID) {
    ModuleState& state = State();
    mSchemaCandidates.assign(1, std::u16string());
    const std::u16string current = ArgText(mOracleSchema);
    const std::u16string target = current.empty() ? automation::ToUpper(ArgText(UID)) : current;
    if (rs.Eof()) {
        return;
    }
    bool found = false;
    for (; !rs.Eof(); rs.MoveNext()) {
        if (TextOf(rs.Value(u"TABLE_TYPE")) != u"TABLE") {
            continue;
        }
        std::u16string schema = automation::ToUpper(TextOf(rs.Value(u"TABLE_SCHEMA")));
        found = found || schema == target;
        if (std::find(mSchemaCandidates.begin(), mSchemaCandidates.end(), schema) ==
            mSchemaCandidates.end()) {
            mSchemaCandidates.push_back(std::move(schema));
        }
    }
    rs.MoveFirst();
    if (found) {
        mOracleSchema = Variant(target);
        return;
    }

    state.gSchemaList = mSchemaCandidates;
    host::SchemaQuestion question;
    question.title = state.gMsgPrefix;
    question.schemas.assign(mSchemaCandidates.begin() + 1, mSchemaCandidates.end());
    const host::SchemaAnswer answer = CurrentHost().ChooseSchema(question);
    // A form left without a choice must not load the tables of an earlier choice, or of none.
    if (!answer.schema || answer.schema->empty()) {
        automation::Raise(automation::ErrorNumber::InvalidProcedureCall, u"QelDatabase.LoadADODB",
                          std::u16string(NoSchemaChosenText));
    }
    state.gSchemaChoice = *answer.schema;
    mOracleSchema = Variant(state.gSchemaChoice);
}

void QelDatabase::ReadSqlServerDsn(const Variant& dsn) {
    const std::u16string name = ArgText(dsn);
    const std::optional<std::u16string> database = ado::DataSourceValue(name, u"Database");
    mDsnDatabase = database ? Variant(*database) : Variant();
    mDsnServer = ado::DataSourceValue(name, u"Server").value_or(u"");
    mDsnTrusted = ado::DataSourceValue(name, u"Trusted_Connection") == u"Yes";
}

std::u16string QelDatabase::SqlServerNativeText(std::u16string_view user,
                                                std::u16string_view password) const {
    ado::ConnectionString native;
    native.Set(u"Provider", u"SQLOLEDB");
    if (!mDsnTrusted) {
        native.Set(u"User ID", user);
        native.Set(u"Password", password);
    }
    native.Set(u"Initial Catalog", ArgText(mDsnDatabase));
    native.Set(u"Data Source", mDsnServer);
    if (mDsnTrusted) {
        native.Set(u"Integrated Security", u"SSPI");
    }
    return native.ToString();
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
