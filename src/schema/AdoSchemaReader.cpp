// Reading the schema of a database reached through a connection (an ODBC data source or a
// connection string), and the columns of one custom view.

#include "schema/internal/QelSchema.h"

#include "model/CatalogFacts.h"

#include "core/Apartment.h"
#include "core/Formatting.h"
#include "core/QelStatus.h"
#include "core/QelVars.h"

#include "platform/ado/Connection.h"
#include "platform/ado/ConnectionString.h"
#include "platform/ado/Constants.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <optional>

namespace qv {

using automation::Variant;
using catalog::IgnoringErrors;

namespace {

/// A rowset value as text; Null and Empty give "".
std::u16string RowText(const Variant& value) {
    return value.IsNull() || value.IsEmpty() ? std::u16string() : automation::ToString(value);
}

} // namespace

QelSchema::Reading QelSchema::LoadADOSchema(std::u16string_view sDBType, std::u16string_view sDBName,
                                            std::u16string_view sUID, std::u16string_view sPwd,
                                            std::u16string_view sConnStr, std::u16string_view sSchema) {
    const ModuleState& state = State();
    QelStatus& status = GetStatus();
    const bool isOdbc = sDBType == u"ODBC";
    // Values are quoted where they need it, so that a ";" in a user name or password cannot add
    // an attribute of its own.
    const std::u16string odbcText = ado::ConnectionString::ForDataSource(sDBName, sUID, sPwd);
    ado::Connection cnn;
    std::int16_t kind = DBTypeCode::Other;
    std::optional<ado::CatalogSnapshot> snapshot;
    std::optional<ado::Recordset> rs;
    std::int32_t total = 0;
    std::optional<std::u16string> onlySchema;
    auto qualifies = [&](const ado::Recordset& row) {
        const std::u16string type = RowText(row.Value(u"TABLE_TYPE"));
        const std::u16string schema = RowText(row.Value(u"TABLE_SCHEMA"));
        return (type == u"TABLE" || type == u"VIEW") &&
               (kind != DBTypeCode::Oracle || schema == mSchemaChoice) &&
               (!onlySchema || schema == *onlySchema);
    };
    try {
        status.DispStatus(u"Connecting to Data Source...");
        cnn.Open(isOdbc ? odbcText : std::u16string(sConnStr));
        if (cnn.State() != ado::ObjectState::Open) {
            return {ReadOutcome::NotOpened, {}};
        }

        mSchemaDB.DBName = sDBName;
        mSchemaDB.DBType = u"ODBC";
        mSchemaDB.DBPath.clear();
        mSchemaDB.DBUseServerMapPath = false;
        mSchemaDB.DBPhyPath.clear();
        if (isOdbc) {
            mSchemaDB.DBUID = sUID;
            mSchemaDB.DBPwd = sPwd;
        } else {
            mSchemaDB.DBConnstr = sConnStr;
        }
        const catalog::DbmsInfo info = catalog::ReadDbmsInfo(cnn);
        mSchemaDB.DBADOVer = info.adoVersion;
        mSchemaDB.DBDBMSName = info.dbmsName;
        mSchemaDB.DBDBMSVer = info.dbmsVersion.value_or(u"");
        mSchemaDB.DBOLEDBVer = info.oledbVersion.value_or(u"");
        mSchemaDB.DBProviderName = info.providerName.value_or(u"");
        mSchemaDB.DBProviderVer = info.providerVersion.value_or(u"");
        mDBMSNameUpper = automation::ToUpper(info.dbmsName);
        kind = GetDBTypeId(info.dbmsName);

        if (kind == DBTypeCode::SqlServer && isOdbc) {
            catalog::ReconnectToSqlServer(cnn, sDBName, sUID, sPwd, odbcText);
        }
        SetQuoteStyle(info.dbmsName);

        status.DispStatus(u"Loading Database Tables/Views...");
        // The whole catalogue is read in one go: each table's rowsets are answered from one
        // listing instead of a search of the catalogue per table.
        snapshot.emplace(cnn);
        rs = cnn.OpenSchema(ado::Schema::Tables);
        if (kind == DBTypeCode::Oracle) {
            if (!sSchema.empty()) {
                mSchemaChoice = sSchema;
            } else {
                try {
                    if (std::optional<std::u16string> owner =
                            catalog::ChooseSchemaOwner(*rs, mSchemaChoice, sUID, mOwners)) {
                        mSchemaChoice = *owner;
                    }
                } catch (const automation::Error& error) {
                    return Failure(state.gMsgPrefix + u": " + error.Description());
                }
            }
            mSchemaDB.DBSchema = mSchemaChoice;
        }
        // The project's schema, as its load chose it. A project that kept none was made from
        // every schema: reading only the search path's would make a sync drop the tables of the
        // others.
        if (catalog::ReadsOneSchema(info.dbmsName) && !sSchema.empty()) {
            onlySchema = std::u16string(sSchema);
            mSchemaDB.DBSchema = sSchema;
        }
        for (; !rs->Eof(); rs->MoveNext()) {
            total += qualifies(*rs) ? 1 : 0;
        }
        rs->MoveFirst();
    } catch (const automation::Error& error) {
        std::u16string reason = catalog::ConnectionErrorText(cnn, error, /*numbered=*/true);
        return Failure(std::move(reason));
    }

    // From here a failure costs one table, or one of its rowsets, and never the reading.
    std::int32_t processed = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
        const std::u16string schema = RowText(rs->Value(u"TABLE_SCHEMA"));
        const std::u16string name = RowText(rs->Value(u"TABLE_NAME"));
        const std::u16string type = RowText(rs->Value(u"TABLE_TYPE"));
        if (!qualifies(*rs)) {
            continue;
        }
        std::u16string info = u"Loading ";
        info.append(type).append(u" ").append(name).append(u"...");
        status.DispStatus(info);
        ReadAdoTable(cnn, schema, name, type, kind);
        ++processed;
        status.SetStatus(Percent(processed, total));
    }
    rs->Close();
    mSchemaDB.DBTblCnt =
        static_cast<std::int16_t>(mSchemaDB.tables.Tbl.empty() ? 0 : mSchemaDB.tables.Tbl.size() - 1);
    return {};
}

void QelSchema::ReadAdoTable(ado::Connection& cnn, const std::u16string& schema, const std::u16string& name,
                             const std::u16string& type, std::int16_t kind) {
    QoSchemaTable* table = AddTable(name, type);
    if (table == nullptr) {
        return;
    }
    table->TblGen = true;
    table->TblUpdatable = true;
    try {
        const ado::Recordset columns = catalog::DescribeTableColumns(cnn, schema, name);
        ReadAdoColumns(*table, columns.Fields(), kind);
    } catch (const automation::Error&) {
        // A table the connection may not read: no columns, and not read completely.
        table->TblGen = false;
    }
    if (type != u"TABLE") {
        return;
    }

    if (kind != DBTypeCode::Access) {
        std::vector<std::u16string> keyList;
        IgnoringErrors([&] { keyList = catalog::ReadPrimaryKeyColumns(cnn, schema, name); });
        for (const std::u16string& column : keyList) {
            if (QoSchemaField* field = table->FindField(column)) {
                field->FldIsPrimaryKey = true;
            }
        }
        table->TblKey = catalog::SortedKeyList(keyList);
        IgnoringErrors([&] {
            for (const std::u16string& column : catalog::ReadRequiredColumns(cnn, schema, name)) {
                if (QoSchemaField* field = table->FindField(column)) {
                    field->FldReq = true;
                }
            }
        });
        if (kind == DBTypeCode::MySql) {
            IgnoringErrors([&] {
                for (const std::u16string& column : catalog::ReadBooleanColumns(cnn, schema, name)) {
                    QoSchemaField* field = table->FindField(column);
                    if (field != nullptr && field->FldType == ado::DataType::TinyInt) {
                        const catalog::ColumnType boolean =
                            catalog::AdoColumnType(ado::DataType::Boolean, kind);
                        field->FldType = boolean.type;
                        field->FldSupport = boolean.supported;
                        if (boolean.quote) {
                            field->FldQuoteS = *boolean.quote;
                            field->FldQuoteE = *boolean.quote;
                        }
                    }
                }
            });
        }
    }
    IgnoringErrors([&] {
        const catalog::IndexFacts indexes = catalog::ReadIndexFacts(cnn, schema, name, kind);
        for (const std::u16string& column : indexes.uniqueColumns) {
            if (QoSchemaField* field = table->FindField(column)) {
                field->FldUniqueIdx = true;
            }
        }
        for (const std::u16string& column : indexes.keyColumns) {
            if (QoSchemaField* field = table->FindField(column)) {
                field->FldIsPrimaryKey = true;
            }
        }
        if (kind == DBTypeCode::Access && !indexes.keyColumns.empty()) {
            table->TblKey = catalog::SortedKeyList(indexes.keyColumns);
        }
    });
}

std::int16_t QelSchema::LoadADOCustomView(const Variant& sConnStr, const Variant& sTableName,
                                          const Variant& sSQL) {
    ModuleState& state = State();
    state.gProjErr.clear();
    const std::u16string name = ArgText(sTableName);
    const std::u16string sql = ArgText(sSQL);
    ado::Connection cnn;
    std::int16_t kind = DBTypeCode::Other;
    try {
        cnn.Open(ArgText(sConnStr));
        if (cnn.State() != ado::ObjectState::Open) {
            state.gProjErr = u"Load Database failed!";
            return 1;
        }
        kind = GetDBTypeId(catalog::ReadDbmsInfo(cnn).dbmsName);
    } catch (const automation::Error& error) {
        state.gProjErr = catalog::ConnectionErrorText(cnn, error, /*numbered=*/false);
        return 3;
    }

    // The view is the reader's only record now, so that tblcnt and Tbl agree.
    ClearTables();
    QoSchemaTable& table = *AddTable(name, u"CUSTOMVIEW");
    mSchemaDB.DBTblCnt = 1;
    table.TblGen = true;
    table.TblUpdatable = true;
    if (kind == DBTypeCode::Oracle && name.find(u' ') != std::u16string::npos) {
        table.TblGen = false;
        state.gProjErr = state.gMsgPrefix + u": Invalid Oracle Custom View Name";
        return 1;
    }
    try {
        const ado::Recordset columns = catalog::DescribeCustomView(cnn, sql);
        ReadAdoColumns(table, columns.Fields(), kind);
    } catch (const automation::Error& error) {
        table.TblGen = false;
        state.gProjErr = state.gMsgPrefix + u": " + error.Description();
        return 1;
    }
    return 0;
}

} // namespace qv
