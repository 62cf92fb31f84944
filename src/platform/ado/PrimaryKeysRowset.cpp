// The PrimaryKeys rowset, from SQLPrimaryKeys of each restricted table.

#include "platform/ado/Constants.h"
#include "platform/ado/internal/RowsetSupport.h"
#include "platform/ado/internal/SchemaRowsets.h"

#include "platform/automation/Text.h"

#include <sqlext.h>

namespace qv::ado::internal {

using automation::EqualsNoCase;
using automation::Variant;

namespace {

constexpr RowsetColumns<8> PrimaryKeysColumns{{{
    {u"TABLE_CATALOG", DataType::VarWChar},
    {u"TABLE_SCHEMA", DataType::VarWChar},
    {u"TABLE_NAME", DataType::VarWChar},
    {u"COLUMN_NAME", DataType::VarWChar},
    {u"COLUMN_GUID", DataType::GUID},
    {u"COLUMN_PROPID", DataType::UnsignedInt},
    {u"ORDINAL", DataType::UnsignedInt},
    {u"PK_NAME", DataType::VarWChar},
}}};

} // namespace

bool HasKeys(const TableName& table) {
    return automation::ToUpper(table.type).find(u"VIEW") == std::u16string::npos;
}

CatalogResult ReadPrimaryKeys(internal::ConnectionImpl& impl, const TableName& table) {
    // A snapshot reads each table's key once: the key rowset and the index rowset of a table
    // both need it.
    std::u16string key;
    if (InSnapshot(impl)) {
        key = table.catalog + u'\0' + table.schema + u'\0' + table.name;
        if (auto found = impl.snapshot.primaryKeys.find(key); found != impl.snapshot.primaryKeys.end()) {
            return found->second;
        }
    }
    Argument catalogArgument(impl, NonEmpty(table.catalog));
    Argument schemaArgument(impl, NonEmpty(table.schema));
    Argument tableArgument(impl, table.name);
    CatalogResult result = RunCatalog(impl, u"Reading the primary key", [&](SQLHSTMT statement) {
        if (IsWide(impl)) {
            return SQLPrimaryKeysW(statement, catalogArgument.Wide(), catalogArgument.Length(),
                                   schemaArgument.Wide(), schemaArgument.Length(), tableArgument.Wide(),
                                   tableArgument.Length());
        }
        return SQLPrimaryKeys(statement, catalogArgument.Narrow(), catalogArgument.Length(),
                              schemaArgument.Narrow(), schemaArgument.Length(), tableArgument.Narrow(),
                              tableArgument.Length());
    });
    if (InSnapshot(impl)) {
        impl.snapshot.primaryKeys.emplace(std::move(key), result);
    }
    return result;
}

Recordset PrimaryKeysRowset(internal::ConnectionImpl& impl, std::span<const Variant> restrictions) {
    std::vector<TableName> tables =
        ListTables(impl, Restriction(restrictions, 0), Restriction(restrictions, 1),
                   Restriction(restrictions, 2), std::nullopt);
    RowBuilder builder(PrimaryKeysColumns);
    for (const TableName& table : tables) {
        if (!HasKeys(table)) {
            continue;
        }
        CatalogResult result = ReadPrimaryKeys(impl, table);
        // SQLPrimaryKeys: 4 COLUMN_NAME, 5 KEY_SEQ, 6 PK_NAME.
        for (std::size_t row = 0; row < result.RowCount(); ++row) {
            builder.Add();
            builder.Set(PrimaryKeysColumns[u"TABLE_CATALOG"], TextOrNull(table.catalog));
            builder.Set(PrimaryKeysColumns[u"TABLE_SCHEMA"], TextOrNull(table.schema));
            builder.Set(PrimaryKeysColumns[u"TABLE_NAME"], Variant(table.name));
            builder.Set(PrimaryKeysColumns[u"COLUMN_NAME"], result.TextOrNull(row, 4));
            if (std::optional<std::int32_t> ordinal = result.Number(row, 5)) {
                builder.Set(PrimaryKeysColumns[u"ORDINAL"], Variant(*ordinal));
            }
            builder.Set(PrimaryKeysColumns[u"PK_NAME"], result.TextOrNull(row, 6));
        }
    }
    return builder.Finish();
}

} // namespace qv::ado::internal
