// Reading the schema of an Access database file: its visible tables with their keys and unique
// indexes, then the queries the catalogue lists as views, each with the key it inherits.

#include "schema/internal/QelSchema.h"

#include "model/CatalogFacts.h"

#include "core/Apartment.h"
#include "core/Captions.h"
#include "core/Formatting.h"
#include "core/QelStatus.h"
#include "core/QelVars.h"

#include "platform/automation/Error.h"
#include "platform/dao/Database.h"

#include <algorithm>
#include <cassert>

namespace qv {

namespace {

/// Column record `position` from an Access column.
QoSchemaField AccessColumn(const dao::Field& column, std::int16_t position) {
    QoSchemaField field;
    field.FldSeq = position;
    field.FldDefault = automation::Variant(column.defaultValue);
    field.FldZeroLen = column.allowZeroLength;
    field.FldReq = column.required;
    field.FldName = column.name;
    const catalog::ColumnType type = catalog::DaoColumnType(column.type);
    field.FldType = type.type;
    field.FldSupport = type.supported;
    if (type.quote) {
        field.FldQuoteS = *type.quote;
        field.FldQuoteE = *type.quote;
    }
    field.FldSize = column.size;
    field.FldAttribute = catalog::DaoAttributesToAdo(column);
    field.FldAutoIncrement = column.IsAutoIncrement();
    const std::optional<std::u16string> caption = column.Caption();
    field.FldCaption = caption && !caption->empty() ? *caption : NameToCaption(column.name);
    return field;
}

void ReadAccessColumns(QoSchemaTable& table, const std::vector<dao::Field>& columns) {
    table.TblFields.fld.assign(1, QoSchemaField());
    std::int16_t position = 0;
    for (const dao::Field& column : columns) {
        table.TblFields.fld.push_back(AccessColumn(column, ++position));
    }
    table.TblFldCnt = position;
    assert(table.TblFields.fld.size() == static_cast<std::size_t>(position) + 1);
}

} // namespace

struct QelSchema::AccessRead {
    AccessRead(std::u16string_view path, std::u16string_view password)
        : database(dao::Database::Open(path, password)), views(database.ViewNames()),
          total(static_cast<std::int32_t>(database.TableDefs().size() + database.QueryDefs().size())) {}

    const dao::Database database;
    const std::vector<std::u16string> views; ///< the queries the catalogue lists as views
    const std::int32_t total;                ///< tables and queries, each one step of the progress
    std::int32_t processed = 0;

    void Advance() {
        ++processed;
        assert(processed <= total);
        GetStatus().SetStatus(Percent(processed, total));
    }
};

QelSchema::Reading QelSchema::LoadAccessSchema(std::u16string_view sPath, std::u16string_view sPhyPath,
                                               bool bDBUseServerMapPath, std::u16string_view sUID,
                                               std::u16string_view sPwd) {
    try {
        GetStatus().DispStatus(u"Loading Database Tables...");
        AccessRead read(sPhyPath, sPwd);
        RecordAccessDatabase(read, sPath, sPhyPath, bDBUseServerMapPath, sUID, sPwd);
        WalkAccessTables(read);
        WalkAccessViews(read);
        mSchemaDB.DBTblCnt =
            static_cast<std::int16_t>(mSchemaDB.tables.Tbl.empty() ? 0 : mSchemaDB.tables.Tbl.size() - 1);
        return {};
    } catch (const automation::Error& error) {
        // The file's own reason (missing, damaged, wrong password) is worth more than a bare
        // "failed".
        return Failure(State().gMsgPrefix + u": " + error.Description());
    }
}

void QelSchema::RecordAccessDatabase(const AccessRead& read, std::u16string_view sPath,
                                     std::u16string_view sPhyPath, bool bDBUseServerMapPath,
                                     std::u16string_view sUID, std::u16string_view sPwd) {
    mSchemaDB.DBName.clear();
    mSchemaDB.DBType = u"ACCESS";
    mSchemaDB.DBUseServerMapPath = bDBUseServerMapPath;
    mSchemaDB.DBPath = sPath;
    mSchemaDB.DBPhyPath = sPhyPath;
    mSchemaDB.DBUID = sUID;
    mSchemaDB.DBPwd = sPwd;
    mSchemaDB.DBADOVer = dao::EngineVersion();
    mSchemaDB.DBDBMSName = u"ACCESS";
    mSchemaDB.DBDBMSVer = read.database.Version();
    mSchemaDB.DBOLEDBVer = u"N.A.";
    mSchemaDB.DBProviderName = u"N.A.";
    mSchemaDB.DBProviderVer = u"N.A.";
    mDBMSNameUpper = u"ACCESS";
    SetQuoteStyle(u"ACCESS");
}

void QelSchema::WalkAccessTables(AccessRead& read) {
    QelStatus& status = GetStatus();
    for (const dao::TableDef& definition : read.database.TableDefs()) {
        if (catalog::IsUserTable(definition)) {
            status.DispStatus(u"Loading Table " + definition.name + u"...");
            QoSchemaTable* table = AddTable(definition.name, u"TABLE");
            if (table != nullptr && !definition.fields.empty()) {
                table->TblGen = true;
                table->TblUpdatable = true;
                ReadAccessColumns(*table, definition.fields);
                const catalog::IndexFacts indexes = catalog::DaoIndexFacts(definition);
                for (const std::u16string& column : indexes.keyColumns) {
                    if (QoSchemaField* field = table->FindField(column)) {
                        field->FldIsPrimaryKey = true;
                    }
                }
                if (!indexes.keyColumns.empty()) {
                    table->TblKey = catalog::SortedKeyList(indexes.keyColumns);
                }
                for (const std::u16string& column : indexes.uniqueColumns) {
                    if (QoSchemaField* field = table->FindField(column)) {
                        field->FldUniqueIdx = true;
                    }
                }
            }
        }
        read.Advance();
    }
}

void QelSchema::WalkAccessViews(AccessRead& read) {
    QelStatus& status = GetStatus();
    // Views inherit only from the tables, never from another view: the records read so far.
    const std::size_t tableCount = mSchemaDB.tables.Tbl.empty() ? 0 : mSchemaDB.tables.Tbl.size() - 1;
    status.DispStatus(u"Loading Database Views...");
    for (const dao::QueryDef& definition : read.database.QueryDefs()) {
        if (std::find(read.views.begin(), read.views.end(), definition.name) != read.views.end()) {
            status.DispStatus(u"Loading View " + definition.name + u"...");
            if (QoSchemaTable* view = AddTable(definition.name, u"VIEW")) {
                // The view's columns are read completely, as the table model reads them.
                view->TblGen = true;
                view->TblUpdatable = true;
                ReadAccessColumns(*view, definition.fields);
                view->TblSQL = definition.sql;
                const std::size_t viewIndex = static_cast<std::size_t>(view->TblSeq);
                assert(viewIndex > tableCount && viewIndex < mSchemaDB.tables.Tbl.size());
                const catalog::ViewKey key = catalog::DeriveViewKey(
                    definition.sql,
                    [&](const std::u16string& name) {
                        for (std::size_t index = 1; index <= tableCount; ++index) {
                            if (mSchemaDB.tables.Tbl[index].TblName == name) {
                                return mSchemaDB.tables.Tbl[index].TblKey;
                            }
                        }
                        return std::u16string();
                    },
                    [&](const std::u16string& column) {
                        return mSchemaDB.tables.Tbl[viewIndex].FindField(column) != nullptr;
                    });
                QoSchemaTable& record = mSchemaDB.tables.Tbl[viewIndex];
                record.TblUpdatable = key.updatable;
                record.TblKey = key.key;
            }
        }
        read.Advance();
    }
}

} // namespace qv
