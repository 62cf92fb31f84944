#pragma once

#include <cstdint>

namespace qv::dao {

/// Field types, numbered as DAO's DataTypeEnum numbers them.
namespace DataType {
inline constexpr std::int16_t Boolean = 1;
inline constexpr std::int16_t Byte = 2;
inline constexpr std::int16_t Integer = 3;
inline constexpr std::int16_t Long = 4;
inline constexpr std::int16_t Currency = 5;
inline constexpr std::int16_t Single = 6;
inline constexpr std::int16_t Double = 7;
inline constexpr std::int16_t Date = 8;
inline constexpr std::int16_t Binary = 9;
inline constexpr std::int16_t Text = 10;
inline constexpr std::int16_t LongBinary = 11;
inline constexpr std::int16_t Memo = 12;
inline constexpr std::int16_t GUID = 15;
inline constexpr std::int16_t BigInt = 16;
inline constexpr std::int16_t VarBinary = 17;
inline constexpr std::int16_t Char = 18;
inline constexpr std::int16_t Numeric = 19;
inline constexpr std::int16_t Decimal = 20;
inline constexpr std::int16_t Float = 21;
inline constexpr std::int16_t Time = 22;
inline constexpr std::int16_t TimeStamp = 23;
/// A column this layer cannot describe (multi-valued and attachment columns): the loaders map
/// it to "not supported".
inline constexpr std::int16_t Unsupported = -1;
} // namespace DataType

/// Bits of Field::attributes, as DAO's FieldAttributeEnum numbers them.
namespace FieldAttribute {
inline constexpr std::int32_t FixedField = 0x1;
inline constexpr std::int32_t VariableField = 0x2;
inline constexpr std::int32_t AutoIncrField = 0x10;
inline constexpr std::int32_t UpdatableField = 0x20;
} // namespace FieldAttribute

/// Bits of TableDef::attributes, as DAO's TableDefAttributeEnum numbers them.
namespace TableAttribute {
inline constexpr std::int32_t HiddenObject = 0x1;
inline constexpr std::int32_t SystemObject = static_cast<std::int32_t>(0x80000002u);
inline constexpr std::int32_t AttachedODBC = 0x20000000;
inline constexpr std::int32_t AttachedTable = 0x40000000;
} // namespace TableAttribute

/// QueryDef::type, as DAO's QueryDefTypeEnum numbers it.
namespace QueryType {
inline constexpr std::int16_t Select = 0;
inline constexpr std::int16_t Crosstab = 16;
inline constexpr std::int16_t Delete = 32;
inline constexpr std::int16_t Update = 48;
inline constexpr std::int16_t Append = 64;
inline constexpr std::int16_t MakeTable = 80;
inline constexpr std::int16_t DDL = 96;
inline constexpr std::int16_t SQLPassThrough = 112;
inline constexpr std::int16_t SetOperation = 128; // UNION
} // namespace QueryType

/// The database engine's error numbers that this layer raises, with descriptions naming the file.
namespace ErrorNumber {
inline constexpr std::int32_t FileNotFound = 3024;       // Could not find file '...'.
inline constexpr std::int32_t NotValidPassword = 3031;   // Not a valid password.
inline constexpr std::int32_t CannotOpenDatabase = 3049; // damaged, encrypted or unreadable
inline constexpr std::int32_t UnrecognizedFormat = 3343; // not an Access database at all
} // namespace ErrorNumber

/// The file format, from the version byte of the header page.
enum class FileFormat {
    Jet3,  // Access 95 and 97 (.mdb, 2 KB pages, single-byte text)
    Jet4,  // Access 2000 to 2003 (.mdb, 4 KB pages, UCS-2 text)
    Ace12, // Access 2007 (.accdb)
    Ace14, // Access 2010
    Ace15, // Access 2013
    Ace16, // Access 2016
    Ace17, // Access 2019
};

} // namespace qv::dao
