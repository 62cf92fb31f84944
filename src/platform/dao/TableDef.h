#pragma once

#include "platform/dao/Constants.h"
#include "platform/dao/Field.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::dao {

struct IndexField {
    std::u16string name;
    bool descending = false;
};

/// An index of a table. Access names the primary key's index "PrimaryKey"; a relationship
/// that enforces integrity adds a foreign-key index named after the relationship.
struct Index {
    std::u16string name;
    bool primary = false;
    bool unique = false;
    bool required = false;
    bool ignoreNulls = false;
    bool foreign = false;
    std::vector<IndexField> fields; // in key order
};

/// A table of the database: a local table, or a link to a table elsewhere (whose fields this
/// layer cannot read: they stay empty). A plain value owned by the Database.
struct TableDef {
    std::u16string name;
    std::int32_t attributes = 0; // TableAttribute bits
    /// For a linked table: the connect text (";DATABASE=..." or "ODBC;...") and the name of the
    /// table at the other end.
    std::u16string connect;
    std::u16string sourceTableName;
    std::vector<Field> fields; // in column order
    std::vector<Index> indexes;
    std::vector<Property> properties; // the table's own (Description, ...)

    bool IsSystem() const noexcept { return (attributes & TableAttribute::SystemObject) != 0; }
    bool IsHidden() const noexcept { return (attributes & TableAttribute::HiddenObject) != 0; }
    bool IsLinked() const noexcept {
        return (attributes & (TableAttribute::AttachedTable | TableAttribute::AttachedODBC)) != 0;
    }
    /// The field called `name` (ignoring case, as DAO's collections look names up), or null.
    const Field* FindField(std::u16string_view name) const noexcept;
    /// The index called `name` (ignoring case), or null.
    const Index* FindIndex(std::u16string_view name) const noexcept;
};

} // namespace qv::dao
