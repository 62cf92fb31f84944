#pragma once

#include "platform/automation/Variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ado {

/// What is known of one result column.
struct FieldDescription {
    std::u16string name;
    std::int32_t type = 0;        // DataType code
    std::int32_t definedSize = 0; // characters for text, bytes otherwise
    std::int32_t attributes = 0;  // FieldAttribute bits
    std::uint8_t precision = 255; // 255 where the type has none, as ADO reports it
    std::uint8_t numericScale = 255;
    bool isAutoIncrement = false;
    // Where the column comes from, when the driver can tell; empty otherwise.
    std::u16string baseCatalogName;
    std::u16string baseSchemaName;
    std::u16string baseTableName;
    std::u16string baseColumnName;
};

/// One column of a recordset, described as ADO describes a field. Values live in the recordset's
/// rows and are read through it.
class Field {
public:
    explicit Field(FieldDescription description) : mDescription(std::move(description)) {}

    const std::u16string& Name() const noexcept { return mDescription.name; }
    std::int32_t Type() const noexcept { return mDescription.type; }
    std::int32_t DefinedSize() const noexcept { return mDescription.definedSize; }
    std::int32_t Attributes() const noexcept { return mDescription.attributes; }
    std::uint8_t Precision() const noexcept { return mDescription.precision; }
    std::uint8_t NumericScale() const noexcept { return mDescription.numericScale; }
    bool IsAutoIncrement() const noexcept { return mDescription.isAutoIncrement; }
    const FieldDescription& Description() const noexcept { return mDescription; }

    /// A dynamic property by name, matched without regard to case: "ISAUTOINCREMENT" (Boolean,
    /// always present: a driver that cannot tell reads as False), "BASECATALOGNAME",
    /// "BASESCHEMANAME", "BASETABLENAME" and "BASECOLUMNNAME" (String, Empty when unknown).
    /// nullopt for any other name.
    std::optional<automation::Variant> Property(std::u16string_view name) const;

private:
    FieldDescription mDescription;
};

/// The fields of a recordset, in result order, found by position or by name without regard to
/// case.
class Fields {
public:
    Fields() = default;
    explicit Fields(std::vector<Field> fields) : mFields(std::move(fields)) {}

    std::int32_t Count() const noexcept { return static_cast<std::int32_t>(mFields.size()); }
    /// Raises ItemNotFound outside 0..Count-1.
    const Field& Item(std::int32_t index) const;
    /// Raises ItemNotFound for a name no field has; the first of equal names wins.
    const Field& Item(std::u16string_view name) const;
    std::optional<std::size_t> Find(std::u16string_view name) const;
    /// The position of the named field; raises ItemNotFound as Item does.
    std::size_t IndexOf(std::u16string_view name) const;

    std::vector<Field>::const_iterator begin() const noexcept { return mFields.begin(); }
    std::vector<Field>::const_iterator end() const noexcept { return mFields.end(); }

private:
    std::vector<Field> mFields;
};

} // namespace qv::ado
