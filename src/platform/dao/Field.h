#pragma once

#include "platform/dao/Constants.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::dao {

/// A user-defined property as the designer stores it (Caption, Description, Format, ...), as text.
struct Property {
    std::u16string name;
    std::u16string value;
};

/// The value of the property called `name` (ignoring case), or nullopt when there is none.
std::optional<std::u16string> FindProperty(const std::vector<Property>& properties, std::u16string_view name);

/// A column of a table definition or of a query's output, with what DAO's Field reports of it.
/// A plain value owned by its TableDef or QueryDef.
struct Field {
    std::u16string name;
    std::int16_t type = DataType::Text; // a DataType code
    /// Text: characters; Binary: bytes; Memo and LongBinary: 0; fixed types: their byte size.
    std::int32_t size = 0;
    std::int32_t attributes = 0; // FieldAttribute bits
    bool required = false;
    bool allowZeroLength = false;
    /// The default value as an expression text ("0", "=Date()", "\"n/a\""); "" when none.
    std::u16string defaultValue;
    std::int16_t ordinalPosition = 0; // 0-based position in its table or query
    /// Where the value comes from: the table and column for a table's field and for a query
    /// column that reads one; both "" for a computed query column.
    std::u16string sourceTable;
    std::u16string sourceField;
    /// The designer's properties; a query column inherits those of its source column and
    /// overrides them with its own.
    std::vector<Property> properties;

    bool IsAutoIncrement() const noexcept { return (attributes & FieldAttribute::AutoIncrField) != 0; }
    /// The "Caption" property, when the designer set one.
    std::optional<std::u16string> Caption() const { return FindProperty(properties, u"Caption"); }
};

} // namespace qv::dao
