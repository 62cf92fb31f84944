// Loading one table from the database's catalogue: an Access table or query through its
// definition, or a table or view of any database reached through a connection.

#include "model/table/QelTable.h"
#include "model/table/internal/LoaderSupport.h"

#include "core/Apartment.h"
#include "core/QelVars.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Constants.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/dao/QueryDef.h"
#include "platform/dao/TableDef.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace qv {

using automation::Variant;
using loader::IgnoringErrors;
using loader::TextOf;

namespace {

/// Whether a whole-database load leaves the table at its name and type: the project loads the
/// names only and each table in full when it is asked for.
bool LoadsNameOnly(bool bLoadAll) {
    return bLoadAll && State().gDynamicLoadDB;
}

/// A rowset flag; Null counts as False.
bool FlagOf(const Variant& value) {
    return !value.IsNull() && automation::ToBoolean(value);
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

/// The restrictions of a catalogue rowset for one table. The schema is that of the row being
/// loaded, so that a table of the same name in another schema lends it no keys.
std::array<Variant, 5> TableRestrictions(const std::u16string& schema, const Variant& table,
                                         bool forIndexes) {
    std::array<Variant, 5> restrictions;
    if (!schema.empty()) {
        restrictions[1] = Variant(schema);
    }
    restrictions[forIndexes ? 4 : 2] = table;
    return restrictions;
}

/// The unique single-column indexes of an index rowset (one row per index column, the rows of
/// an index adjacent), and for Access the columns of the primary key.
void ReadIndexes(ado::Recordset& indexes, QelFields& fields, bool isAccess,
                 std::vector<std::u16string>& keyList) {
    std::int32_t columnCount = 0;
    std::vector<std::u16string> indexColumns;
    std::u16string previousIndex;
    std::u16string columnName;
    bool unique = false;
    auto judgePrevious = [&] {
        if (columnCount == 1 && unique) {
            MarkUnique(fields, columnName);
        }
    };
    for (; !indexes.Eof(); indexes.MoveNext()) {
        const Variant& indexName = indexes.Value(u"INDEX_NAME");
        if (indexName.IsNull()) {
            continue;
        }
        const std::u16string name = automation::ToString(indexName);
        if (name != previousIndex) {
            judgePrevious();
            columnCount = 0;
            indexColumns.clear();
            unique = false;
            previousIndex = name;
        }
        unique = FlagOf(indexes.Value(u"UNIQUE"));
        columnName = TextOf(indexes.Value(u"COLUMN_NAME"));
        if (!columnName.empty() &&
            std::find(indexColumns.begin(), indexColumns.end(), columnName) == indexColumns.end()) {
            ++columnCount;
            indexColumns.push_back(columnName);
        }
        if (!isAccess) {
            continue;
        }
        const Variant& primary = indexes.Value(u"PRIMARY_KEY");
        if (primary.IsNull() ? name == u"PrimaryKey" : automation::ToBoolean(primary)) {
            keyList.push_back(columnName);
            MarkPrimaryKey(fields, columnName);
        }
    }
    judgePrevious();
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
    for (const dao::Index& index : DAOtd.indexes) {
        // Access names its primary key's index so; another letter case is an ordinary index.
        const bool isPrimaryKey = index.name == u"PrimaryKey";
        std::vector<std::u16string> columns;
        for (const dao::IndexField& column : index.fields) {
            columns.push_back(column.name);
            if (isPrimaryKey) {
                MarkPrimaryKey(fields, column.name);
            }
        }
        if (isPrimaryKey) {
            SetTblKey(loader::SortedKeyList(columns));
        }
        if (index.unique && columns.size() == 1) {
            MarkUnique(fields, columns.front());
        }
    }
    SetTblGen(true);
    LoadTableDefault();
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
    LoadTableDefault();
    SetTblLoaded(true);
}

void QelTable::Load_ADO(ado::Connection& cnn, const ado::Recordset& rs, bool bLoadAll) {
    ModuleState& state = State();
    const std::int16_t kind = GetDBTypeId(state.gDbmsName);
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
    // never run. A database kind without quote characters of its own still needs its names
    // quoted here (blanks, letter case, quote characters), so the driver's identifier quote
    // serves this query.
    const bool ownQuotes = !state.gQuoteStart.empty() && !state.gQuoteEnd.empty();
    auto quote = [&](const std::u16string& identifier) {
        return ownQuotes ? QuoteNameA(identifier) : cnn.QuoteIdentifier(identifier);
    };
    std::u16string sql = u"SELECT * FROM ";
    if (!state.gCurrentSchema.empty()) {
        sql += quote(state.gCurrentSchema) + u".";
    }
    sql += quote(name) + u" WHERE 0=1";
    QelFields& fields = *Fields();
    std::optional<ado::Recordset> columns;
    try {
        columns = ado::Recordset::Describe(cnn, sql);
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

    const Variant tableName(name);
    const bool isAccess = kind == DBTypeCode::Access;
    if (type == u"TABLE") {
        if (!isAccess) {
            std::vector<std::u16string> keyList;
            IgnoringErrors([&] {
                ado::Recordset keys = cnn.OpenSchema(
                    ado::Schema::PrimaryKeys, TableRestrictions(state.gCurrentSchema, tableName, false));
                for (; !keys.Eof(); keys.MoveNext()) {
                    const std::u16string column = TextOf(keys.Value(u"COLUMN_NAME"));
                    keyList.push_back(column);
                    MarkPrimaryKey(fields, column);
                }
            });
            SetTblKey(loader::SortedKeyList(keyList));
            IgnoringErrors([&] {
                ado::Recordset nullability = cnn.OpenSchema(
                    ado::Schema::Columns, TableRestrictions(state.gCurrentSchema, tableName, false));
                for (; !nullability.Eof(); nullability.MoveNext()) {
                    const Variant& nullable = nullability.Value(u"IS_NULLABLE");
                    if (nullable.IsNull() || automation::ToBoolean(nullable)) {
                        continue;
                    }
                    if (QelField* field = fields.Find(TextOf(nullability.Value(u"COLUMN_NAME")))) {
                        field->SetFldReq(true);
                        field->SetFldRequired(true);
                    }
                }
            });
        }
        std::vector<std::u16string> keyList;
        IgnoringErrors([&] {
            std::optional<ado::Recordset> indexes;
            try {
                indexes = cnn.OpenSchema(ado::Schema::Indexes,
                                         TableRestrictions(state.gCurrentSchema, tableName, true));
            } catch (const automation::Error&) {
                if (kind != DBTypeCode::MySql) {
                    throw;
                }
                indexes =
                    cnn.OpenSchema(ado::Schema::Indexes,
                                   TableRestrictions(state.gCurrentSchema, Variant(QuoteNameB(name)), true));
            }
            ReadIndexes(*indexes, fields, isAccess, keyList);
        });
        if (isAccess && !keyList.empty()) {
            SetTblKey(loader::SortedKeyList(keyList));
        }
    }
    LoadTableDefault();
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
