#pragma once

// Reading a statement's result: the driver's description of each column, turned into ADO's
// field description (type code, defined size, attribute bits), and the rows as Variants.

#include "platform/ado/Field.h"
#include "platform/ado/internal/Odbc.h"

#include "platform/automation/Variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::ado::internal {

/// A result column as the driver describes it, in ODBC's terms.
struct ColumnDescription {
    std::u16string name;
    std::int16_t sqlType = 0;     // concise SQL type
    std::int64_t length = 0;      // characters for text, bytes for binary
    std::int16_t precision = 0;   // digits of an exact numeric
    std::int16_t scale = 0;       // digits after the point; fraction digits of a time stamp
    std::int16_t nullability = 2; // 0 no nulls, 1 nullable, 2 unknown
    bool isUnsigned = false;
    bool isAutoIncrement = false;
    bool isMoney = false;          // fixed precision and scale, as money types are
    std::int16_t updatability = 2; // 0 read-only, 1 writable, 2 unknown
    std::u16string baseCatalog;
    std::u16string baseSchema;
    std::u16string baseTable;
    std::u16string baseColumn;
};

/// The columns of the statement's result (after SQLPrepare or an execution). A statement
/// without a result has none.
std::vector<ColumnDescription> DescribeColumns(StatementHandle& statement);

/// The digits and decimals of a column declared DECIMAL(p,s) or NUMERIC(p,s) (either word,
/// any letter case; without them 0 digits and 0 decimals), or nothing for another type name.
/// SQLite's driver describes such a column as text: its declared type says it holds a number.
struct ExactNumber {
    std::int32_t precision = 0;
    std::int32_t scale = 0;
};
std::optional<ExactNumber> DeclaredExactNumber(std::u16string_view typeName);

/// The ADO type code of an ODBC SQL type.
std::int32_t AdoType(std::int16_t sqlType, bool isUnsigned, bool isMoney);
/// Whether an ADO type is one of the character types, whose size counts characters.
bool IsTextType(std::int32_t adoType);
bool IsLongType(std::int32_t adoType);
bool IsFixedLengthType(std::int32_t adoType);
/// ADO's DefinedSize: characters or bytes for variable types, the value's size for the rest.
std::int32_t DefinedSize(std::int32_t adoType, std::int64_t length);

/// ADO's Precision of a type: the digits of an exact numeric as the driver gives them, a fixed
/// figure for the other numbers and time stamps, 255 for the rest.
std::uint8_t Precision(std::int32_t adoType, std::int64_t exactPrecision, std::int16_t fractionDigits);

FieldDescription ToFieldDescription(const ColumnDescription& column);

/// Fetches every row that remains, row after row, each value converted to the Variant its ADO
/// type reads as. The values are appended to `values`, one row's columns after the other.
void FetchAll(StatementHandle& statement, const std::vector<ColumnDescription>& columns,
              std::vector<automation::Variant>& values);

} // namespace qv::ado::internal
