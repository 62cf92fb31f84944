#pragma once

// The schema rowsets, one source file each, and the table listing that the key and index
// rowsets start from.

#include "platform/ado/Recordset.h"
#include "platform/ado/internal/CatalogCache.h"
#include "platform/ado/internal/ConnectionImpl.h"

#include "platform/automation/Variant.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv::ado::internal {

struct TableName {
    std::u16string catalog;
    std::u16string schema;
    std::u16string name;
    std::u16string type;
    std::u16string remarks;
};

/// The tables that the restrictions name, TABLE_TYPE in ADO's words; `type` keeps one type.
std::vector<TableName> ListTables(ConnectionImpl& impl, const std::optional<std::u16string>& givenCatalog,
                                  const std::optional<std::u16string>& schema,
                                  const std::optional<std::u16string>& table,
                                  const std::optional<std::u16string>& type);

/// Whether the table can have a primary key and indexes (a view has neither).
bool HasKeys(const TableName& table);

/// SQLPrimaryKeys of one table, read once per snapshot.
CatalogResult ReadPrimaryKeys(ConnectionImpl& impl, const TableName& table);

Recordset TablesRowset(ConnectionImpl& impl, std::span<const automation::Variant> restrictions);
Recordset ColumnsRowset(ConnectionImpl& impl, std::span<const automation::Variant> restrictions);
Recordset PrimaryKeysRowset(ConnectionImpl& impl, std::span<const automation::Variant> restrictions);
Recordset IndexesRowset(ConnectionImpl& impl, std::span<const automation::Variant> restrictions);

} // namespace qv::ado::internal
