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

#include <algorithm>
#include <cassert>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace qv {

using automation::Variant;

namespace {

/// A rowset value as text; Null and Empty give "".
std::u16string RowText(const Variant& value) {
    return value.IsNull() || value.IsEmpty() ? std::u16string() : automation::ToString(value);
}

} // namespace

struct QelSchema::AdoRead {
    AdoRead(std::u16string_view sDBType, std::u16string_view sDBName, std::u16string_view sUID,
            std::u16string_view sPwd, std::u16string_view sConnStr, std::u16string_view sSchema)
        : dataSource(sDBName), user(sUID), password(sPwd), connectionString(sConnStr), schema(sSchema),
          isOdbc(sDBType == u"ODBC"),
          // Values are quoted where they need it, so that a ";" in a user name or password
          // cannot add an attribute of its own.
          odbcText(ado::ConnectionString::ForDataSource(sDBName, sUID, sPwd)) {}

    const std::u16string_view dataSource;
    const std::u16string_view user;
    const std::u16string_view password;
    const std::u16string_view connectionString;
    const std::u16string_view schema; ///< the schema the caller named; "" to choose
    const bool isOdbc;
    const std::u16string odbcText;

    ado::Connection cnn;
    std::u16string dbmsName;
    std::int16_t kind = DBTypeCode::Other;
    std::optional<ado::CatalogSnapshot> snapshot;
    std::optional<ado::Recordset> rs; ///< the tables rowset
    std::int32_t total = 0;           ///< the rows that qualify
    std::optional<std::u16string> onlySchema;
    /// The qualifying rows' names and types, in the catalogue's order.
    std::vector<std::pair<std::u16string, std::u16string>> names;
    /// The names left out as differing only in letter case from one kept, each with its text.
    std::unordered_map<std::u16string, std::u16string> caseTwins;
    /// The names kept beside such a twin.
    std::unordered_set<std::u16string> keptBesideTwins;
};

QelSchema::Reading QelSchema::LoadADOSchema(std::u16string_view sDBType, std::u16string_view sDBName,
                                            std::u16string_view sUID, std::u16string_view sPwd,
                                            std::u16string_view sConnStr, std::u16string_view sSchema) {
    AdoRead read(sDBType, sDBName, sUID, sPwd, sConnStr, sSchema);
    try {
        if (!ConnectForSchema(read)) {
            return {ReadOutcome::NotOpened, {}};
        }
        RecordAdoDatabase(read);
        std::optional<std::u16string> refusal = ChooseReadSchema(read);
        if (!refusal) {
            refusal = WalkAdoSchemaTables(read);
        }
        if (refusal) {
            return Failure(std::move(*refusal));
        }
    } catch (const automation::Error& error) {
        std::u16string reason = catalog::ConnectionErrorText(read.cnn, error, /*numbered=*/true);
        return Failure(std::move(reason));
    }
    return {};
}

bool QelSchema::ConnectForSchema(AdoRead& read) {
    GetStatus().DispStatus(u"Connecting to Data Source...");
    read.cnn.Open(read.isOdbc ? read.odbcText : std::u16string(read.connectionString));
    return read.cnn.State() == ado::ObjectState::Open;
}

void QelSchema::RecordAdoDatabase(AdoRead& read) {
    assert(read.cnn.State() == ado::ObjectState::Open);
    mSchemaDB.DBName = read.dataSource;
    mSchemaDB.DBType = u"ODBC";
    mSchemaDB.DBPath.clear();
    mSchemaDB.DBUseServerMapPath = false;
    mSchemaDB.DBPhyPath.clear();
    if (read.isOdbc) {
        mSchemaDB.DBUID = read.user;
        mSchemaDB.DBPwd = read.password;
    } else {
        mSchemaDB.DBConnstr = read.connectionString;
    }
    const catalog::DbmsInfo info = catalog::ReadDbmsInfo(read.cnn);
    mSchemaDB.DBADOVer = info.adoVersion;
    mSchemaDB.DBDBMSName = info.dbmsName;
    mSchemaDB.DBDBMSVer = info.dbmsVersion.value_or(u"");
    mSchemaDB.DBOLEDBVer = info.oledbVersion.value_or(u"");
    mSchemaDB.DBProviderName = info.providerName.value_or(u"");
    mSchemaDB.DBProviderVer = info.providerVersion.value_or(u"");
    mDBMSNameUpper = automation::ToUpper(info.dbmsName);
    read.dbmsName = info.dbmsName;
    read.kind = GetDBTypeId(info.dbmsName);

    if (read.kind == DBTypeCode::SqlServer && read.isOdbc) {
        catalog::ReconnectToSqlServer(read.cnn, read.dataSource, read.user, read.password, read.odbcText);
    }
    SetQuoteStyle(info.dbmsName);
}

std::optional<std::u16string> QelSchema::ChooseReadSchema(AdoRead& read) {
    GetStatus().DispStatus(u"Loading Database Tables/Views...");
    // The whole catalogue is read in one go: each table's rowsets are answered from one listing
    // instead of a search of the catalogue per table.
    read.snapshot.emplace(read.cnn);
    read.rs = read.cnn.OpenSchema(ado::Schema::Tables);
    ado::Recordset& rs = *read.rs;
    if (read.kind == DBTypeCode::Oracle) {
        if (!read.schema.empty()) {
            mSchemaChoice = read.schema;
        } else {
            try {
                if (std::optional<std::u16string> owner =
                        catalog::ChooseSchemaOwner(rs, mSchemaChoice, read.user, mOwners)) {
                    mSchemaChoice = *owner;
                }
            } catch (const automation::Error& error) {
                return State().gMsgPrefix + u": " + error.Description();
            }
        }
        mSchemaDB.DBSchema = mSchemaChoice;
    }
    // The project's schema, as its load chose it. A project that kept none was made from every
    // schema: reading only the search path's would make a sync drop the tables of the others.
    if (catalog::ReadsOneSchema(read.dbmsName) && !read.schema.empty()) {
        read.onlySchema = std::u16string(read.schema);
        mSchemaDB.DBSchema = read.schema;
    }
    for (; !rs.Eof(); rs.MoveNext()) {
        if (Qualifies(read)) {
            read.names.emplace_back(RowText(rs.Value(u"TABLE_NAME")), RowText(rs.Value(u"TABLE_TYPE")));
        }
    }
    rs.MoveFirst();
    ChooseAmongCaseTwins(read);
    read.total = static_cast<std::int32_t>(read.names.size() - read.caseTwins.size());
    return std::nullopt;
}

void QelSchema::ChooseAmongCaseTwins(AdoRead& read) {
    // The names of each letter-case group, each name once (the same name in two schemas is one
    // table to the reader, which keeps the first).
    std::unordered_map<std::u16string, std::vector<std::size_t>> groups;
    for (std::size_t index = 0; index < read.names.size(); ++index) {
        std::vector<std::size_t>& group = groups[automation::ToUpper(read.names[index].first)];
        const bool seen = std::any_of(group.begin(), group.end(), [&](std::size_t other) {
            return read.names[other].first == read.names[index].first;
        });
        if (!seen) {
            group.push_back(index);
        }
    }
    for (const auto& [key, group] : groups) {
        if (group.size() < 2) {
            continue;
        }
        // The project's own spelling stays, so that its table keeps its fields and settings.
        std::size_t kept = group.front();
        if (mProjectTables) {
            for (const std::size_t index : group) {
                if (mProjectTables->contains(read.names[index].first)) {
                    kept = index;
                    break;
                }
            }
        }
        const auto& [keptName, keptType] = read.names[kept];
        read.keptBesideTwins.insert(keptName);
        for (const std::size_t index : group) {
            if (index != kept) {
                const auto& [name, type] = read.names[index];
                read.caseTwins.emplace(name, catalog::CaseTwinText(type, name, keptType, keptName));
            }
        }
    }
}

bool QelSchema::Needs(std::u16string_view name) const {
    if (!mProjectTables) {
        return true;
    }
    // A loaded table renamed only in letter case is the same table to the synchronisation.
    return std::any_of(mProjectTables->begin(), mProjectTables->end(), [&](const auto& entry) {
        return entry.second && automation::EqualsNoCase(entry.first, name);
    });
}

bool QelSchema::Qualifies(const AdoRead& read) const {
    assert(read.rs.has_value());
    const std::u16string type = RowText(read.rs->Value(u"TABLE_TYPE"));
    const std::u16string schema = RowText(read.rs->Value(u"TABLE_SCHEMA"));
    return (type == u"TABLE" || type == u"VIEW") &&
           (read.kind != DBTypeCode::Oracle || schema == mSchemaChoice) &&
           (!read.onlySchema || schema == *read.onlySchema);
}

std::optional<std::u16string> QelSchema::WalkAdoSchemaTables(AdoRead& read) {
    assert(read.rs.has_value());
    // A table, or one of its rowsets, that fails to read (a lock that times out, a dropped
    // connection) ends the reading with the driver's reason: a record without its columns or key
    // would have the check count differences that are not there, and the synchronisation delete
    // every field of the table.
    QelStatus& status = GetStatus();
    ado::Recordset& rs = *read.rs;
    std::int32_t processed = 0;
    for (; !rs.Eof(); rs.MoveNext()) {
        const std::u16string schema = RowText(rs.Value(u"TABLE_SCHEMA"));
        const std::u16string name = RowText(rs.Value(u"TABLE_NAME"));
        const std::u16string type = RowText(rs.Value(u"TABLE_TYPE"));
        if (!Qualifies(read)) {
            continue;
        }
        if (const auto twin = read.caseTwins.find(name); twin != read.caseTwins.end()) {
            mObjectsLeftOut.push_back(twin->second);
            continue;
        }
        std::u16string info = u"Loading ";
        info.append(type).append(u" ").append(name).append(u"...");
        status.DispStatus(info);
        std::vector<QoSchemaTable>& tables = mSchemaDB.tables.Tbl;
        const std::size_t recordsBefore = tables.size();
        try {
            ReadAdoTable(read.cnn, schema, name, type, read.kind);
        } catch (const automation::Error& error) {
            std::u16string text = catalog::TableReadErrorText(read.cnn, error, type, name);
            // A lost connection would fail every object after this one alike: it ends the reading,
            // said once.
            if (Needs(name) || read.cnn.Lost()) {
                return text;
            }
            // Only that it is there: a record with part of what a failed rowset would have given
            // would pass for the object as the database holds it.
            if (tables.size() > recordsBefore) {
                QoSchemaTable& record = tables.back();
                QoSchemaTable unread;
                unread.TblSeq = record.TblSeq;
                unread.TblName = record.TblName;
                unread.TblType = record.TblType;
                unread.TblUnread = true;
                record = std::move(unread);
            }
            mObjectsLeftOut.push_back(catalog::UnneededTableText(std::move(text)));
        }
        if (read.keptBesideTwins.contains(name) && tables.size() > recordsBefore) {
            // As when the model loads the database: the table kept is not completely read.
            tables.back().TblGen = false;
        }
        ++processed;
        status.SetStatus(Percent(processed, read.total));
    }
    rs.Close();
    mSchemaDB.DBTblCnt =
        static_cast<std::int16_t>(mSchemaDB.tables.Tbl.empty() ? 0 : mSchemaDB.tables.Tbl.size() - 1);
    return std::nullopt;
}

void QelSchema::ReadAdoTable(ado::Connection& cnn, const std::u16string& schema, const std::u16string& name,
                             const std::u16string& type, std::int16_t kind) {
    QoSchemaTable* table = AddTable(name, type);
    if (table == nullptr) {
        return;
    }
    table->TblGen = true;
    table->TblUpdatable = true;
    const ado::Recordset columns = catalog::DescribeTableColumns(cnn, schema, name);
    ReadAdoColumns(*table, columns.Fields(), kind);
    if (type != u"TABLE") {
        return;
    }

    if (kind != DBTypeCode::Access) {
        const std::vector<std::u16string> keyList = catalog::ReadPrimaryKeyColumns(cnn, schema, name);
        for (const std::u16string& column : keyList) {
            if (QoSchemaField* field = table->FindField(column)) {
                field->FldIsPrimaryKey = true;
            }
        }
        table->TblKey = catalog::SortedKeyList(keyList);
        // The column listing is read once, for the required and the Boolean columns alike.
        const catalog::ColumnFacts columnFacts = catalog::ReadColumnFacts(cnn, schema, name);
        for (const std::u16string& column : columnFacts.requiredColumns) {
            if (QoSchemaField* field = table->FindField(column)) {
                field->FldReq = true;
            }
        }
        if (kind == DBTypeCode::MySql) {
            for (const std::u16string& column : columnFacts.booleanColumns) {
                QoSchemaField* field = table->FindField(column);
                if (field != nullptr && field->FldType == ado::DataType::TinyInt) {
                    const catalog::ColumnType boolean = catalog::AdoColumnType(ado::DataType::Boolean, kind);
                    field->FldType = boolean.type;
                    field->FldSupport = boolean.supported;
                    if (boolean.quote) {
                        field->FldQuoteS = *boolean.quote;
                        field->FldQuoteE = *boolean.quote;
                    }
                }
            }
        }
    }
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
