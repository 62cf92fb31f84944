#pragma once

#include <cstdint>

// The numbers callers of this layer store and compare: ADO's data type codes, field attribute
// bits, schema rowset numbers, object states and the error numbers the layer raises itself. The
// model keeps them in its settings, so they must stay exactly as ADO defines them.

namespace qv::ado {

/// ADO data type codes (DataTypeEnum).
namespace DataType {
inline constexpr std::int32_t Empty = 0;
inline constexpr std::int32_t SmallInt = 2;
inline constexpr std::int32_t Integer = 3;
inline constexpr std::int32_t Single = 4;
inline constexpr std::int32_t Double = 5;
inline constexpr std::int32_t Currency = 6;
inline constexpr std::int32_t Date = 7;
inline constexpr std::int32_t BSTR = 8;
inline constexpr std::int32_t Boolean = 11;
inline constexpr std::int32_t Variant = 12;
inline constexpr std::int32_t Decimal = 14;
inline constexpr std::int32_t TinyInt = 16;
inline constexpr std::int32_t UnsignedTinyInt = 17;
inline constexpr std::int32_t UnsignedSmallInt = 18;
inline constexpr std::int32_t UnsignedInt = 19;
inline constexpr std::int32_t BigInt = 20;
inline constexpr std::int32_t UnsignedBigInt = 21;
inline constexpr std::int32_t GUID = 72;
inline constexpr std::int32_t Binary = 128;
inline constexpr std::int32_t Char = 129;
inline constexpr std::int32_t WChar = 130;
inline constexpr std::int32_t Numeric = 131;
inline constexpr std::int32_t DBDate = 133;
inline constexpr std::int32_t DBTime = 134;
inline constexpr std::int32_t DBTimeStamp = 135;
inline constexpr std::int32_t VarChar = 200;
inline constexpr std::int32_t LongVarChar = 201;
inline constexpr std::int32_t VarWChar = 202;
inline constexpr std::int32_t LongVarWChar = 203;
inline constexpr std::int32_t VarBinary = 204;
inline constexpr std::int32_t LongVarBinary = 205;
} // namespace DataType

/// ADO field attribute bits (FieldAttributeEnum).
namespace FieldAttribute {
inline constexpr std::int32_t MayDefer = 0x2;
inline constexpr std::int32_t Updatable = 0x4;
inline constexpr std::int32_t UnknownUpdatable = 0x8;
inline constexpr std::int32_t Fixed = 0x10;
inline constexpr std::int32_t IsNullable = 0x20;
inline constexpr std::int32_t MayBeNull = 0x40;
inline constexpr std::int32_t Long = 0x80;
inline constexpr std::int32_t RowID = 0x100;
inline constexpr std::int32_t RowVersion = 0x200;
inline constexpr std::int32_t KeyColumn = 0x8000;
} // namespace FieldAttribute

/// The schema rowsets OpenSchema offers (SchemaEnum).
namespace Schema {
inline constexpr std::int32_t Columns = 4;
inline constexpr std::int32_t Indexes = 12;
inline constexpr std::int32_t Tables = 20;
inline constexpr std::int32_t PrimaryKeys = 28;
} // namespace Schema

/// Object states (ObjectStateEnum).
namespace ObjectState {
inline constexpr std::int32_t Closed = 0;
inline constexpr std::int32_t Open = 1;
} // namespace ObjectState

/// Error numbers, as the HRESULTs that callers see in Err.Number. The first group is raised by
/// the layer itself (ErrorValueEnum); the second is what provider errors carry, chosen from the
/// driver's SQLSTATE.
namespace ErrorNumber {
inline constexpr std::int32_t InvalidArgument = static_cast<std::int32_t>(0x800A0BB9u);     // 3001
inline constexpr std::int32_t NoCurrentRecord = static_cast<std::int32_t>(0x800A0BCDu);     // 3021
inline constexpr std::int32_t FeatureNotAvailable = static_cast<std::int32_t>(0x800A0CB3u); // 3251
inline constexpr std::int32_t ItemNotFound = static_cast<std::int32_t>(0x800A0CC1u);        // 3265
inline constexpr std::int32_t ObjectClosed = static_cast<std::int32_t>(0x800A0E78u);        // 3704
inline constexpr std::int32_t ObjectOpen = static_cast<std::int32_t>(0x800A0E79u);          // 3705
inline constexpr std::int32_t ProviderNotFound = static_cast<std::int32_t>(0x800A0E7Au);    // 3706

inline constexpr std::int32_t Fail = static_cast<std::int32_t>(0x80004005u);             // E_FAIL
inline constexpr std::int32_t ErrorsInCommand = static_cast<std::int32_t>(0x80040E14u);  // syntax, names
inline constexpr std::int32_t PermissionDenied = static_cast<std::int32_t>(0x80040E09u); // not allowed
inline constexpr std::int32_t AuthenticationFailed = static_cast<std::int32_t>(0x80040E4Du);
inline constexpr std::int32_t IntegrityViolation = static_cast<std::int32_t>(0x80040E2Fu);
inline constexpr std::int32_t Timeout = static_cast<std::int32_t>(0x80040E31u);
} // namespace ErrorNumber

} // namespace qv::ado
