#include "schema/internal/QelSchema.h"

#include "model/CatalogFacts.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"
#include "core/QelVars.h"

#include "platform/ado/Field.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cassert>

namespace qv {

using automation::Variant;

QelSchema::QelSchema() = default;

std::u16string QelSchema::ArgText(const Variant& value) {
    const Variant& plain = value.Deref();
    return plain.IsNull() ? std::u16string() : automation::ToString(plain);
}

const automation::ClassInfo& QelSchema::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelSchema", {
                                                  Method<&QelSchema::tblcnt>(u"tblcnt"),
                                                  Method<&QelSchema::Tbl>(u"Tbl"),
                                                  Method<&QelSchema::LoadDBMember>(u"LoadDB"),
                                                  Method<&QelSchema::LoadADOCustomView>(u"LoadADOCustomView"),
                                              });
    return info;
}

const QoSchemaTable& QelSchema::Table(std::int16_t i) const {
    const std::vector<QoSchemaTable>& tables = mSchemaDB.tables.Tbl;
    if (i < 0 || static_cast<std::size_t>(i) >= tables.size()) {
        automation::Raise(automation::ErrorNumber::SubscriptOutOfRange);
    }
    return tables[static_cast<std::size_t>(i)];
}

automation::Ref<QoSchemaTableRecord> QelSchema::Tbl(std::int16_t i) const {
    return automation::MakeRef<QoSchemaTableRecord>(Table(i));
}

bool QelSchema::LoadDBMember(Variant& sDBName, const Variant& sDBType, const Variant& sPath,
                             const Variant& sPhyPath, const Variant& bDBUseServerMapPath, const Variant& sUID,
                             const Variant& sPwd, const Variant& sConnStr, const Variant& sSchema) {
    return LoadDB(sDBName, sDBType, sPath, sPhyPath, bDBUseServerMapPath, sUID, sPwd, sConnStr, sSchema);
}

bool QelSchema::LoadDB(const QelDatabase& database) {
    mProjectTables.emplace();
    for (QelTable& table : *database.tables()) {
        const std::u16string type = table.TblType();
        if (type == u"TABLE" || type == u"VIEW") {
            mProjectTables->emplace(table.TblName(), table.TblLoaded());
        }
    }
    Variant name(database.DBName());
    const bool read =
        LoadDB(name, Variant(database.DBType()), Variant(database.DBPath()), Variant(database.DBPhyPath()),
               Variant(database.DBUseServerMapPath()), Variant(database.DBUID()), Variant(database.DBPwd()),
               Variant(database.DBConnstr()), Variant(database.DBSchema()));
    if (read) {
        catalog::ReportObjectsLeftOut(mObjectsLeftOut);
    }
    return read;
}

bool QelSchema::LoadDB(Variant& sDBName, const Variant& sDBType, const Variant& sPath,
                       const Variant& sPhyPath, const Variant& bDBUseServerMapPath, const Variant& sUID,
                       const Variant& sPwd, const Variant& sConnStr, const Variant& sSchema) {
    ModuleState& state = State();
    if (mLoaded > 0) {
        state.gProjErr = u"database already loaded!";
        return false;
    }

    const std::u16string type = ArgText(sDBType);
    const std::u16string physicalPath = ArgText(sPhyPath);
    const bool isAccess = type == u"ACCESS";
    const bool isAdo = type == u"ODBC" || type == u"CONNECTIONSTRING";
    state.gProjErr.clear();
    // What a reading whose connection does not open reports: a missing name or connection
    // string is the likelier reason.
    std::u16string notOpened = u"Load Database failed!";
    if (type == u"ODBC" && ArgText(sDBName).empty()) {
        notOpened = u"invalid DBName specified!";
    }
    if (type == u"CONNECTIONSTRING") {
        if (ArgText(sConnStr).empty()) {
            notOpened = u"invalid connection string specified!";
        }
        sDBName = Variant(u"DB");
    }
    // Reading nothing is no success: a caller that synchronised with an empty schema would
    // delete every table of its project.
    if (isAccess && physicalPath.empty()) {
        state.gProjErr = u"invalid database path!";
        return false;
    }
    if (!isAccess && !isAdo) {
        state.gProjErr = u"invalid database type specified!";
        return false;
    }

    ClearTables();
    QelStatus& status = GetStatus();
    state.gStatusCaption = state.gMsgPrefix + u" - Checking Database Schema...";
    status.ShowStatus(0, FrameText(state.gStatusCaption));
    const Reading reading = isAccess ? LoadAccessSchema(ArgText(sPath), physicalPath,
                                                        automation::ToBoolean(bDBUseServerMapPath.Deref()),
                                                        ArgText(sUID), ArgText(sPwd))
                                     : LoadADOSchema(type, ArgText(sDBName), ArgText(sUID), ArgText(sPwd),
                                                     ArgText(sConnStr), ArgText(sSchema));
    status.CloseStatus();

    switch (reading.outcome) {
    case ReadOutcome::Read:
        state.gProjErr.clear();
        mLoaded = 1;
        return true;
    case ReadOutcome::NotOpened:
        state.gProjErr = std::move(notOpened);
        break;
    case ReadOutcome::Failed:
        state.gProjErr = reading.reason;
        break;
    }
    ClearTables();
    return false;
}

void QelSchema::ClearTables() noexcept {
    mSchemaDB.tables.Tbl.clear();
    mSchemaDB.DBTblCnt = 0;
    mObjectsLeftOut.clear();
}

QoSchemaTable* QelSchema::AddTable(const std::u16string& name, const std::u16string& type) {
    std::vector<QoSchemaTable>& tables = mSchemaDB.tables.Tbl;
    if (tables.empty()) {
        tables.emplace_back();
    }
    for (std::size_t index = 1; index < tables.size(); ++index) {
        if (automation::EqualsNoCase(tables[index].TblName, name)) {
            tables[index].TblGen = false;
            return nullptr;
        }
    }
    QoSchemaTable& table = tables.emplace_back();
    table.TblSeq = static_cast<std::int16_t>(tables.size() - 1);
    table.TblName = name;
    table.TblType = type;
    return &table;
}

void QelSchema::ReadAdoColumns(QoSchemaTable& table, const ado::Fields& columns, std::int16_t kind) {
    const catalog::ColumnSelection selection = catalog::SelectColumns(columns);
    std::vector<QoSchemaField>& fields = table.TblFields.fld;
    fields.assign(selection.accepted.size() + 1, QoSchemaField());
    std::int16_t position = 0;
    for (const ado::Field* column : selection.accepted) {
        QoSchemaField& field = fields[static_cast<std::size_t>(++position)];
        field.FldSeq = position;
        field.FldName = column->Name();
        const catalog::ColumnType columnType = catalog::AdoColumnType(column->Type(), kind);
        field.FldType = columnType.type;
        field.FldSupport = columnType.supported;
        if (columnType.quote) {
            field.FldQuoteS = *columnType.quote;
            field.FldQuoteE = *columnType.quote;
        }
        field.FldSize = column->DefinedSize();
        field.FldZeroLen = true;
        field.FldReq = false;
        field.FldUniqueIdx = false;
        field.FldAttribute = column->Attributes();
        field.FldAutoIncrement = catalog::IsAutoIncrement(*column);
    }
    table.TblFldCnt = position;
    assert(fields.size() == static_cast<std::size_t>(position) + 1);
    table.TblDuplicates = selection.duplicates;
    if (!table.TblDuplicates.empty()) {
        table.TblGen = false;
    }
}

} // namespace qv
