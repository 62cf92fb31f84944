// The Tables rowset, from SQLTables.

#include "platform/ado/Constants.h"
#include "platform/ado/internal/RowsetSupport.h"
#include "platform/ado/internal/SchemaRowsets.h"

#include "platform/automation/Text.h"

#include <sqlext.h>

namespace qv::ado::internal {

using automation::EqualsNoCase;
using automation::Variant;

namespace {

constexpr RowsetColumns<9> TablesColumns{{{
    {u"TABLE_CATALOG", DataType::VarWChar},
    {u"TABLE_SCHEMA", DataType::VarWChar},
    {u"TABLE_NAME", DataType::VarWChar},
    {u"TABLE_TYPE", DataType::VarWChar},
    {u"TABLE_GUID", DataType::GUID},
    {u"DESCRIPTION", DataType::VarWChar},
    {u"TABLE_PROPID", DataType::UnsignedInt},
    {u"DATE_CREATED", DataType::Date},
    {u"DATE_MODIFIED", DataType::Date},
}}};

/// TABLE_TYPE in ADO's words. Some drivers say "BASE TABLE"; SQLite's own bookkeeping tables
/// (sqlite_sequence, sqlite_stat1) are system tables, whatever the driver calls them. The SQLite
/// driver lists them as plain tables; relabelled here, they are never loaded into a project, and
/// that is as it should be: sqlite_sequence holds the counters of the AUTOINCREMENT keys, and a
/// generated application that let its users edit or delete those rows would hand out keys that
/// are already taken.
std::u16string NormalTableType(const internal::ConnectionImpl& impl, std::u16string type,
                               const std::u16string& name) {
    if (EqualsNoCase(type, u"BASE TABLE")) {
        type = u"TABLE";
    }
    if (type == u"TABLE" && EqualsNoCase(impl.dbmsName, u"SQLite") && name.size() > 7 &&
        EqualsNoCase(std::u16string_view(name).substr(0, 7), u"sqlite_")) {
        type = u"SYSTEM TABLE";
    }
    return type;
}

/// Every table of a catalog, read once per snapshot.
const CatalogListing& SnapshotTables(internal::ConnectionImpl& impl,
                                     const std::optional<std::u16string>& catalog) {
    const std::u16string key = catalog.value_or(u"");
    if (auto found = impl.snapshot.tables.find(key); found != impl.snapshot.tables.end()) {
        return found->second;
    }
    Argument catalogArgument(impl, catalog);
    CatalogResult result = RunCatalog(impl, u"Reading the tables", [&](SQLHSTMT statement) {
        if (IsWide(impl)) {
            return SQLTablesW(statement, catalogArgument.Wide(), catalogArgument.Length(), nullptr, 0,
                              nullptr, 0, nullptr, 0);
        }
        return SQLTables(statement, catalogArgument.Narrow(), catalogArgument.Length(), nullptr, 0, nullptr,
                         0, nullptr, 0);
    });
    return impl.snapshot.tables.emplace(key, CatalogListing(std::move(result), 3)).first->second;
}

} // namespace

std::vector<TableName> ListTables(internal::ConnectionImpl& impl,
                                  const std::optional<std::u16string>& givenCatalog,
                                  const std::optional<std::u16string>& schema,
                                  const std::optional<std::u16string>& table,
                                  const std::optional<std::u16string>& type) {
    std::optional<std::u16string> catalog = CatalogOrCurrent(impl, givenCatalog);
    CatalogResult own;
    const CatalogResult* result = &own;
    std::optional<std::vector<std::size_t>> rows;
    if (InSnapshot(impl)) {
        const CatalogListing& listing = SnapshotTables(impl, catalog);
        result = &listing.Result();
        rows = SnapshotRows(listing, {{1, catalog}, {2, schema}, {3, table}});
    }
    if (!rows) {
        Argument catalogArgument(impl, catalog);
        Argument schemaArgument(impl, Pattern(impl, schema));
        Argument tableArgument(impl, Pattern(impl, table));
        own = RunCatalog(impl, u"Reading the tables", [&](SQLHSTMT statement) {
            if (IsWide(impl)) {
                return SQLTablesW(statement, catalogArgument.Wide(), catalogArgument.Length(),
                                  schemaArgument.Wide(), schemaArgument.Length(), tableArgument.Wide(),
                                  tableArgument.Length(), nullptr, 0);
            }
            return SQLTables(statement, catalogArgument.Narrow(), catalogArgument.Length(),
                             schemaArgument.Narrow(), schemaArgument.Length(), tableArgument.Narrow(),
                             tableArgument.Length(), nullptr, 0);
        });
        result = &own;
        rows = AllRows(own);
        FilterByName(*rows, own, 1, catalog);
        FilterByName(*rows, own, 2, schema);
        FilterByName(*rows, own, 3, table);
    }
    std::vector<TableName> tables;
    for (std::size_t row : *rows) {
        TableName name{result->Text(row, 1), result->Text(row, 2), result->Text(row, 3), u"",
                       result->Text(row, 5)};
        name.type = NormalTableType(impl, result->Text(row, 4), name.name);
        if (type && name.type != *type) {
            continue;
        }
        tables.push_back(std::move(name));
    }
    return tables;
}

Recordset TablesRowset(internal::ConnectionImpl& impl, std::span<const Variant> restrictions) {
    std::vector<TableName> tables =
        ListTables(impl, Restriction(restrictions, 0), Restriction(restrictions, 1),
                   Restriction(restrictions, 2), Restriction(restrictions, 3));
    RowBuilder builder(TablesColumns);
    for (const TableName& table : tables) {
        builder.Add();
        builder.Set(TablesColumns[u"TABLE_CATALOG"], TextOrNull(table.catalog));
        builder.Set(TablesColumns[u"TABLE_SCHEMA"], TextOrNull(table.schema));
        builder.Set(TablesColumns[u"TABLE_NAME"], Variant(table.name));
        builder.Set(TablesColumns[u"TABLE_TYPE"], Variant(table.type));
        builder.Set(TablesColumns[u"DESCRIPTION"], TextOrNull(table.remarks));
    }
    return builder.Finish();
}

} // namespace qv::ado::internal
