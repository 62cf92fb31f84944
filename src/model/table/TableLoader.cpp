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

    // Everything the catalogue says of the table is read before the table changes. A read that
    // fails (a lock that times out, a dropped connection) raises to the database loader and
    // leaves the table as it was: a table kept without its fields or its key would be saved so,
    // and passed off as what the database holds.
    const ado::Recordset columns = catalog::DescribeTableColumns(cnn, settings.currentSchema, name);
    const bool isAccess = kind == DBTypeCode::Access;
    const bool isTable = type == u"TABLE";
    std::vector<std::u16string> keyList;
    catalog::ColumnFacts columnFacts;
    catalog::IndexFacts indexes;
    if (isTable) {
        if (!isAccess) {
            keyList = catalog::ReadPrimaryKeyColumns(cnn, settings.currentSchema, name);
            // The column listing is read once, for the Boolean and the required columns alike.
            columnFacts = catalog::ReadColumnFacts(cnn, settings.currentSchema, name);
        }
        indexes = catalog::ReadIndexFacts(cnn, settings.currentSchema, name, kind);
    }

    // The columns, from the description of a query that would return none: it is prepared,
    // never run.
    SetTblGen(true);
    QelFields& fields = *Fields();
    std::u16string duplicateMessage;
    if (loader::AddAdoColumns(fields, columns.Fields(), duplicateMessage)) {
        SetTblGen(false);
        SetTblError(duplicateMessage);
    }
    SetTblLoaded(true);

    if (isTable) {
        if (!isAccess) {
            if (kind == DBTypeCode::MySql) {
                for (const std::u16string& column : columnFacts.booleanColumns) {
                    QelField* field = fields.Find(column);
                    if (field != nullptr && field->FldType() == ado::DataType::TinyInt) {
                        field->LoadBooleanType();
                    }
                }
            }
            for (const std::u16string& column : keyList) {
                MarkPrimaryKey(fields, column);
            }
            SetTblKey(catalog::SortedKeyList(keyList));
            for (const std::u16string& column : columnFacts.requiredColumns) {
                if (QelField* field = fields.Find(column)) {
                    field->SetFldReq(true);
                    field->SetFldRequired(true);
                }
            }
        }
        for (const std::u16string& column : indexes.uniqueColumns) {
            MarkUnique(fields, column);
        }
        for (const std::u16string& column : indexes.keyColumns) {
            MarkPrimaryKey(fields, column);
        }
        if (isAccess && !indexes.keyColumns.empty()) {
            SetTblKey(catalog::SortedKeyList(indexes.keyColumns));
        }
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
