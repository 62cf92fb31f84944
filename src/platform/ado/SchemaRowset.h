#pragma once

#include "platform/ado/Recordset.h"

#include "platform/automation/Variant.h"

#include <cstdint>
#include <span>

namespace qv::ado {

class Connection;

/// A schema rowset built from the ODBC catalog functions, with ADO's columns in ADO's order:
/// - Schema::Tables (SQLTables), restrictions TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
///   TABLE_TYPE; TABLE_TYPE is "TABLE", "VIEW", "SYSTEM TABLE", ...
/// - Schema::Columns (SQLColumns), restrictions TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
///   COLUMN_NAME; DATA_TYPE is the ADO type code and IS_NULLABLE a Boolean.
/// - Schema::PrimaryKeys (SQLPrimaryKeys), restrictions TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME.
/// - Schema::Indexes (SQLStatistics), restrictions TABLE_CATALOG, TABLE_SCHEMA, INDEX_NAME,
///   TYPE, TABLE_NAME; the rows of one index are adjacent, in column order, and PRIMARY_KEY tells
///   the primary key's index.
/// Names are matched exactly where the database holds such a name, else without regard to
/// case; a name restriction is escaped before it reaches a catalog search pattern, so "_" and
/// "%" in names match only themselves. Each catalog statement is read whole and closed before
/// the next one runs.
Recordset OpenSchemaRowset(Connection& connection, std::int32_t schema,
                           std::span<const automation::Variant> restrictions);

} // namespace qv::ado
