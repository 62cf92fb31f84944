// The Indexes rowset, from SQLStatistics of each restricted table.

#include "platform/ado/Constants.h"
#include "platform/ado/internal/RowsetSupport.h"
#include "platform/ado/internal/SchemaRowsets.h"

#include "platform/automation/Conversion.h"

#include <sqlext.h>

#include <algorithm>

namespace qv::ado::internal {

using automation::EqualsNoCase;
using automation::Variant;

namespace {

constexpr RowsetColumns<25> IndexesColumns{{{
    {u"TABLE_CATALOG", DataType::VarWChar},
    {u"TABLE_SCHEMA", DataType::VarWChar},
    {u"TABLE_NAME", DataType::VarWChar},
    {u"INDEX_CATALOG", DataType::VarWChar},
    {u"INDEX_SCHEMA", DataType::VarWChar},
    {u"INDEX_NAME", DataType::VarWChar},
    {u"PRIMARY_KEY", DataType::Boolean},
    {u"UNIQUE", DataType::Boolean},
    {u"CLUSTERED", DataType::Boolean},
    {u"TYPE", DataType::UnsignedSmallInt},
    {u"FILL_FACTOR", DataType::Integer},
    {u"INITIAL_SIZE", DataType::Integer},
    {u"NULLS", DataType::Integer},
    {u"SORT_BOOKMARKS", DataType::Boolean},
    {u"AUTO_UPDATE", DataType::Boolean},
    {u"NULL_COLLATION", DataType::Integer},
    {u"ORDINAL_POSITION", DataType::UnsignedInt},
    {u"COLUMN_NAME", DataType::VarWChar},
    {u"COLUMN_GUID", DataType::GUID},
    {u"COLUMN_PROPID", DataType::UnsignedInt},
    {u"COLLATION", DataType::SmallInt},
    {u"CARDINALITY", DataType::UnsignedBigInt},
    {u"PAGES", DataType::Integer},
    {u"FILTER_CONDITION", DataType::VarWChar},
    {u"INTEGRATED", DataType::Boolean},
}}};

// OLE DB's index types and collations.
constexpr std::int16_t IndexTypeBTree = 1;
constexpr std::int16_t IndexTypeHash = 2;
constexpr std::int16_t CollationAscending = 1;
constexpr std::int16_t CollationDescending = 2;

struct PrimaryKey {
    std::u16string name;
    std::vector<std::u16string> columns;
};

PrimaryKey PrimaryKeyOf(internal::ConnectionImpl& impl, const TableName& table) {
    CatalogResult result = ReadPrimaryKeys(impl, table);
    PrimaryKey key;
    for (std::size_t row = 0; row < result.RowCount(); ++row) {
        key.columns.push_back(result.Text(row, 4));
        key.name = result.Text(row, 6);
    }
    std::sort(key.columns.begin(), key.columns.end());
    return key;
}

} // namespace

Recordset IndexesRowset(internal::ConnectionImpl& impl, std::span<const Variant> restrictions) {
    std::optional<std::u16string> indexName = Restriction(restrictions, 2);
    std::optional<std::u16string> indexType = Restriction(restrictions, 3);
    std::vector<TableName> tables =
        ListTables(impl, Restriction(restrictions, 0), Restriction(restrictions, 1),
                   Restriction(restrictions, 4), std::nullopt);
    RowBuilder builder(IndexesColumns);
    for (const TableName& table : tables) {
        if (!HasKeys(table)) {
            continue;
        }
        Argument catalogArgument(impl, NonEmpty(table.catalog));
        Argument schemaArgument(impl, NonEmpty(table.schema));
        Argument tableArgument(impl, table.name);
        CatalogResult result = RunCatalog(impl, u"Reading the indexes", [&](SQLHSTMT statement) {
            if (IsWide(impl)) {
                return SQLStatisticsW(statement, catalogArgument.Wide(), catalogArgument.Length(),
                                      schemaArgument.Wide(), schemaArgument.Length(), tableArgument.Wide(),
                                      tableArgument.Length(), SQL_INDEX_ALL, SQL_QUICK);
            }
            return SQLStatistics(statement, catalogArgument.Narrow(), catalogArgument.Length(),
                                 schemaArgument.Narrow(), schemaArgument.Length(), tableArgument.Narrow(),
                                 tableArgument.Length(), SQL_INDEX_ALL, SQL_QUICK);
        });
        // SQLStatistics: 4 NON_UNIQUE, 5 INDEX_QUALIFIER, 6 INDEX_NAME, 7 TYPE, 8 ORDINAL_POSITION,
        // 9 COLUMN_NAME, 10 ASC_OR_DESC, 11 CARDINALITY, 12 PAGES, 13 FILTER_CONDITION. The row
        // of the table's own statistics names no index and has no place in the rowset.
        std::vector<std::size_t> rows;
        for (std::size_t row = 0; row < result.RowCount(); ++row) {
            if (result.Number(row, 7).value_or(SQL_TABLE_STAT) != SQL_TABLE_STAT &&
                !result.Text(row, 6).empty()) {
                rows.push_back(row);
            }
        }
        FilterByName(rows, result, 6, indexName);
        if (rows.empty()) {
            continue;
        }
        // The primary key's index: the one the key names, or else a unique index over exactly
        // the key's columns (drivers name the key and its index differently).
        PrimaryKey key = PrimaryKeyOf(impl, table);
        std::u16string keyIndex;
        for (std::size_t row : rows) {
            if (!key.name.empty() && result.Text(row, 6) == key.name) {
                keyIndex = key.name;
            }
        }
        if (keyIndex.empty() && !key.columns.empty()) {
            for (std::size_t first : rows) {
                std::u16string name = result.Text(first, 6);
                if (result.Number(first, 4).value_or(1) != 0) {
                    continue;
                }
                std::vector<std::u16string> columns;
                for (std::size_t row : rows) {
                    if (result.Text(row, 6) == name) {
                        columns.push_back(result.Text(row, 9));
                    }
                }
                std::sort(columns.begin(), columns.end());
                if (columns == key.columns) {
                    keyIndex = name;
                    break;
                }
            }
        }
        // Keep each index's rows together, in column order, whatever order the driver used.
        std::stable_sort(rows.begin(), rows.end(), [&](std::size_t left, std::size_t right) {
            std::u16string leftName = result.Text(left, 6);
            std::u16string rightName = result.Text(right, 6);
            if (leftName != rightName) {
                auto firstOf = [&](const std::u16string& name) {
                    return *std::find_if(rows.begin(), rows.end(),
                                         [&](std::size_t row) { return result.Text(row, 6) == name; });
                };
                return firstOf(leftName) < firstOf(rightName);
            }
            return result.Number(left, 8).value_or(0) < result.Number(right, 8).value_or(0);
        });
        for (std::size_t row : rows) {
            std::int32_t odbcType = result.Number(row, 7).value_or(SQL_INDEX_OTHER);
            std::int16_t type = odbcType == SQL_INDEX_HASHED ? IndexTypeHash : IndexTypeBTree;
            if (indexType && automation::ToLong(Variant(*indexType)) != type) {
                continue;
            }
            std::u16string name = result.Text(row, 6);
            builder.Add();
            builder.Set(IndexesColumns[u"TABLE_CATALOG"], TextOrNull(table.catalog));
            builder.Set(IndexesColumns[u"TABLE_SCHEMA"], TextOrNull(table.schema));
            builder.Set(IndexesColumns[u"TABLE_NAME"], Variant(table.name));
            builder.Set(IndexesColumns[u"INDEX_CATALOG"], TextOrNull(table.catalog));
            builder.Set(IndexesColumns[u"INDEX_SCHEMA"], result.TextOrNull(row, 5));
            builder.Set(IndexesColumns[u"INDEX_NAME"], Variant(name));
            builder.Set(IndexesColumns[u"PRIMARY_KEY"], Variant(!keyIndex.empty() && name == keyIndex));
            builder.Set(IndexesColumns[u"UNIQUE"], Variant(result.Number(row, 4).value_or(1) == 0));
            builder.Set(IndexesColumns[u"CLUSTERED"], Variant(odbcType == SQL_INDEX_CLUSTERED));
            builder.Set(IndexesColumns[u"TYPE"], Variant(type));
            if (std::optional<std::int32_t> ordinal = result.Number(row, 8)) {
                builder.Set(IndexesColumns[u"ORDINAL_POSITION"], Variant(*ordinal));
            }
            builder.Set(IndexesColumns[u"COLUMN_NAME"], result.TextOrNull(row, 9));
            std::u16string order = result.Text(row, 10);
            if (order == u"A") {
                builder.Set(IndexesColumns[u"COLLATION"], Variant(CollationAscending));
            } else if (order == u"D") {
                builder.Set(IndexesColumns[u"COLLATION"], Variant(CollationDescending));
            }
            if (!result.At(row, 11).IsNull()) {
                builder.Set(IndexesColumns[u"CARDINALITY"],
                            Variant(automation::ToDouble(result.At(row, 11))));
            }
            if (std::optional<std::int32_t> pages = result.Number(row, 12)) {
                builder.Set(IndexesColumns[u"PAGES"], Variant(*pages));
            }
            builder.Set(IndexesColumns[u"FILTER_CONDITION"], result.TextOrNull(row, 13));
        }
    }
    return builder.Finish();
}

} // namespace qv::ado::internal
