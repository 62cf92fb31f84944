// Loading one table from the database's catalogue: an Access table or query through its
// definition, or a table or view of any database reached through a connection.

#include "model/table/QelTable.h"
#include "model/table/internal/LoaderSupport.h"

#include "model/CatalogFacts.h"
#include "model/LoadSettings.h"

#include "core/Apartment.h"
#include "core/QelVars.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Constants.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/dao/QueryDef.h"
#include "platform/dao/TableDef.h"

#include <optional>
#include <string>
#include <vector>

namespace qv {

using automation::Variant;
using loader::IgnoringErrors;

namespace {

/// Whether a whole-database load leaves the table at its name and type: the project loads the
/// names only and each table in full when it is asked for.
bool LoadsNameOnly(bool bLoadAll) {
    return bLoadAll && CurrentLoadSettings().dynamicLoadDB;
}

void MarkPrimaryKey(QelFields& fields, const std::u16string& name) {
    if (QelField* field = fields.Find(name)) {
        field->SetFldIsPrimaryKey(true);
    }
}

void MarkUnique(QelFields& fields, const std::u16string& name) {
    if (QelField* field = fields.Find(name)) {
        field->SetFldUniqueIdx(true);
    }
}

/// Adds and loads a field for each column of a table or query definition.
void AddDaoColumns(QelFields& fields, const std::vector<dao::Field>& columns) {
    for (const dao::Field& column : columns) {
        if (fields.Add(column.name)) {
            fields.At(fields.Count())->LoadFld_DAO(column);
        }
    }
}

} // namespace

void QelTable::LoadTbl_DAO(const dao::TableDef& DAOtd, bool bLoadAll) {
    SetTblName(DAOtd.name);
    SetTblType(u"TABLE");
    if (LoadsNameOnly(bLoadAll)) {
        SetTblGen(false);
        SetTblLoaded(false);
        return;
    }
    QelFields& fields = *Fields();
    AddDaoColumns(fields, DAOtd.fields);
    const catalog::IndexFacts indexes = catalog::DaoIndexFacts(DAOtd);
    for (const std::u16string& column : indexes.keyColumns) {
        MarkPrimaryKey(fields, column);
    }
    if (!indexes.keyColumns.empty()) {
        SetTblKey(catalog::SortedKeyList(indexes.keyColumns));
    }
    for (const std::u16string& column : indexes.uniqueColumns) {
        MarkUnique(fields, column);
    }
    SetTblGen(true);
    DeriveDefaultsAfterLoad(bLoadAll);
    SetTblLoaded(true);
}

void QelTable::LoadView_DAO(const dao::QueryDef& DAOqd, bool bLoadAll) {
    SetTblName(DAOqd.name);
    SetTblType(u"VIEW");
    if (LoadsNameOnly(bLoadAll)) {
        SetTblGen(false);
        SetTblLoaded(false);
        return;
    }
    AddDaoColumns(*Fields(), DAOqd.fields);
    SetTblGen(true);
    DeriveDefaultsAfterLoad(bLoadAll);
    SetTblLoaded(true);
}

void QelTable::Load_ADO(ado::Connection& cnn, const ado::Recordset& rs, bool bLoadAll) {
    const LoadSettings& settings = CurrentLoadSettings();
    const std::int16_t kind = GetDBTypeId(settings.dbmsName);
    const std::u16string name = automation::ToString(rs.Value(u"TABLE_NAME"));
    const std::u16string type = automation::ToString(rs.Value(u"TABLE_TYPE"));
    SetTblName(name);
    SetTblType(type);
    if (LoadsNameOnly(bLoadAll)) {
        SetTblGen(false);
        SetTblLoaded(false);
        return;
    }
    SetTblGen(true);

    // The columns, from the description of a query that would return none: it is prepared,
    // never run.
    QelFields& fields = *Fields();
    std::optional<ado::Recordset> columns;
    try {
        columns = catalog::DescribeTableColumns(cnn, settings.currentSchema, name);
    } catch (const automation::Error&) {
        // A table the connection may not read: no fields and no pages, but its keys and
        // defaults all the same.
        SetTblGen(false);
    }
    if (columns) {
        std::u16string duplicateMessage;
        if (loader::AddAdoColumns(fields, columns->Fields(), duplicateMessage)) {
            SetTblGen(false);
            SetTblError(duplicateMessage);
        }
        columns->Close();
        SetTblLoaded(true);
    }

    const bool isAccess = kind == DBTypeCode::Access;
    if (type == u"TABLE") {
        if (!isAccess) {
            // The column listing is read once, for the Boolean and the required columns alike.
            std::optional<catalog::ColumnFacts> columnFacts;
            IgnoringErrors(
                [&] { columnFacts = catalog::ReadColumnFacts(cnn, settings.currentSchema, name); });
            if (columnFacts && kind == DBTypeCode::MySql) {
                for (const std::u16string& column : columnFacts->booleanColumns) {
                    QelField* field = fields.Find(column);
                    if (field != nullptr && field->FldType() == ado::DataType::TinyInt) {
                        field->LoadBooleanType();
                    }
                }
            }
            std::vector<std::u16string> keyList;
            IgnoringErrors(
                [&] { keyList = catalog::ReadPrimaryKeyColumns(cnn, settings.currentSchema, name); });
            for (const std::u16string& column : keyList) {
                MarkPrimaryKey(fields, column);
            }
            SetTblKey(catalog::SortedKeyList(keyList));
            if (columnFacts) {
                for (const std::u16string& column : columnFacts->requiredColumns) {
                    if (QelField* field = fields.Find(column)) {
                        field->SetFldReq(true);
                        field->SetFldRequired(true);
                    }
                }
            }
        }
        IgnoringErrors([&] {
            const catalog::IndexFacts indexes =
                catalog::ReadIndexFacts(cnn, settings.currentSchema, name, kind);
            for (const std::u16string& column : indexes.uniqueColumns) {
                MarkUnique(fields, column);
            }
            for (const std::u16string& column : indexes.keyColumns) {
                MarkPrimaryKey(fields, column);
            }
            if (isAccess && !indexes.keyColumns.empty()) {
                SetTblKey(catalog::SortedKeyList(indexes.keyColumns));
            }
        });
    }
    DeriveDefaultsAfterLoad(bLoadAll);
}

void QelTable::LoadTbl_DAOMember(Variant&, Variant&) {
    loader::RaiseNoLoaderObject(u"QelTable.LoadTbl_DAO");
}

void QelTable::LoadView_DAOMember(Variant&, Variant&) {
    loader::RaiseNoLoaderObject(u"QelTable.LoadView_DAO");
}

void QelTable::Load_ADOMember(Variant&, Variant&, Variant&) {
    loader::RaiseNoLoaderObject(u"QelTable.Load_ADO");
}

} // namespace qv
