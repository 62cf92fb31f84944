// Custom views: a table whose fields are the columns of the user's own SELECT statement, and
// where each of those columns comes from.

#include "model/table/QelTable.h"
#include "model/table/internal/LoaderSupport.h"

#include "model/CatalogFacts.h"
#include "model/LoadSettings.h"

#include "core/Apartment.h"
#include "core/QelVars.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/sql/CustomViewAnalyzer.h"

#include <optional>
#include <string>

namespace qv {

bool QelTable::Load_ADOCustomView(ado::Connection& cnn, std::u16string_view sTableName,
                                  std::u16string_view sSQL) {
    const ModuleState& state = State();
    const std::int16_t kind = GetDBTypeId(CurrentLoadSettings().dbmsName);
    SetTblName(sTableName);
    SetTblType(u"CUSTOMVIEW");
    SetTblCustomSQL(sSQL);
    SetTblLoaded(true);
    SetTblGen(true);
    if (kind == DBTypeCode::Oracle && sTableName.find(u' ') != std::u16string_view::npos) {
        SetTblCustomError(state.gProductName + u": Oracle Table/View Name [" + std::u16string(sTableName) +
                          u"] contain spaces,table not loaded!");
        SetTblGen(false);
        return true;
    }

    // The statement is described, never run: a stored DELETE or UPDATE must change nothing, so
    // text that is not one query is refused like a statement that does not open.
    std::optional<ado::Recordset> columns;
    try {
        columns = catalog::DescribeCustomView(cnn, sSQL);
    } catch (const automation::Error& error) {
        SetTblGen(false);
        SetTblCustomError(error.Description());
    }
    if (columns) {
        std::u16string duplicateMessage;
        const bool duplicate = loader::AddAdoColumns(*Fields(), columns->Fields(), duplicateMessage);
        if (duplicate) {
            SetTblGen(false);
            SetTblCustomError(duplicateMessage);
        }
        columns->Close();
        try {
            ParseCustomSql();
        } catch (const automation::Error&) {
            // Without the analyser the fields merely lack their sources; the view still loads.
        }
        if (!duplicate) {
            SetTblCustomError(u"");
        }
    }
    LoadTableDefault();
    return columns.has_value();
}

void QelTable::ParseCustomSql() {
    std::int16_t dialect = GetDBTypeId(CurrentLoadSettings().dbmsName);
    if (dialect < DBTypeCode::Access || dialect > DBTypeCode::Oracle) {
        dialect = DBTypeCode::Access;
    }
    sql::CustomViewAnalyzer analyzer;
    if (!analyzer.AnalyzeSql(TblCustomSQL(), dialect)) {
        return;
    }
    for (QelField& field : *Fields()) {
        // Fresh texts for every field, so that a column the analyser cannot trace never takes
        // the sources of the column before it.
        std::u16string sourceName;
        std::u16string sourceTable;
        std::u16string sourceField;
        const bool isAlias = analyzer.GetColumnSource(field.FldName(), sourceName, sourceTable, sourceField);
        field.SetFldAlias(isAlias);
        field.SetFldSourceName(sourceName);
        field.SetFldSourceTable(sourceTable);
        field.SetFldSourceField(sourceField);
    }
}

void QelTable::Load_ADOCustomViewMember(automation::Variant&, automation::Variant&, automation::Variant&) {
    loader::RaiseNoLoaderObject(u"QelTable.Load_ADOCustomView");
}

} // namespace qv
