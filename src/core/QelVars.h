#pragma once

#include "platform/automation/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// Naming, quoting and data-type rules: how database names become the identifiers, SQL names and
// VBScript literals of generated pages, and how database types and DBMS names are classified.

/// The class of an ADO data type code.
namespace FieldTypeClass {
inline constexpr std::int16_t Numeric = 1;
inline constexpr std::int16_t DateTime = 2;
inline constexpr std::int16_t Text = 3;
inline constexpr std::int16_t Boolean = 4;
inline constexpr std::int16_t Guid = 5;
inline constexpr std::int16_t Other = 6;
} // namespace FieldTypeClass

/// The kind of database, derived from a DBMS name.
namespace DBTypeCode {
inline constexpr std::int16_t Access = 1;
inline constexpr std::int16_t SqlServer = 2;
inline constexpr std::int16_t MySql = 3;
inline constexpr std::int16_t Oracle = 4;
inline constexpr std::int16_t Other = 5;
} // namespace DBTypeCode

/// The FieldTypeClass of an ADO type code; Other for anything that is not one of the listed
/// codes (a value that is no number included).
std::int16_t GetFieldTypeClass(const automation::Variant& typeCode);
std::int16_t GetFieldTypeClass(std::int32_t typeCode) noexcept;

/// The name between the current identifier quotes (gQuoteStart, gQuoteEnd). A closing quote
/// inside the name is doubled, so that any name gives one well-formed quoted identifier.
std::u16string QuoteNameA(std::u16string_view name);
std::u16string QuoteNameB(std::u16string_view name);

/// The identifier form of a name, after `prefix`: a reserved word gets "_" in front, every
/// character but ASCII letters, digits, "_" and the space becomes its UTF-16 code in upper-case
/// hexadecimal, spaces become "_", and an "x" goes in front when the result does not start with
/// an ASCII letter. "Order Details" gives Order_Details, "Unit-Price" Unit2DPrice, "Date" x_Date.
std::u16string ToIdentifier(std::u16string_view name, std::u16string_view prefix);

/// The value trimmed and stripped of matching outer double or single quotes, repeatedly; with
/// `quoteCount` above 0, inner double quotes doubled and the text put between `quoteCount`
/// double quotes on each side. Line breaks are taken out of the literal and joined in as
/// vbCrLf, vbLf and vbCr, since a VBScript string literal cannot hold them.
std::u16string ToVBStringLiteral(std::u16string_view value, std::int32_t quoteCount);

/// A VBScript expression whose value is `text`: each line as a string literal, joined by
/// &vbCrLf&, &vbLf& or &vbCr& as the text breaks, with `indent` (an expression such as
/// "kqIndentWrk", or "") added after every line break. "" gives "".
std::u16string ToVBStringExpression(std::u16string_view text, std::u16string_view indent);

/// Sets gQuoteStart and gQuoteEnd from the quote style gSqlQuote or, when it names none, from
/// the kind of database `dbmsName` names: brackets for Access and SQL Server, the backquote for
/// MySQL and MariaDB, the standard double quote for every other.
void SetQuoteStyle(std::u16string_view dbmsName);

/// Whether `name` is a quote style SetQuoteStyle knows, compared exactly, or empty (the
/// database's own style). Any other text silently means the database's style, so a tool that
/// lets a user type the setting refuses it instead.
bool IsQuoteStyleName(std::u16string_view name);

/// The quote style names, listed for a message: "Square Bracket, ... or None".
std::u16string QuoteStyleNames();

/// The DBTypeCode of a DBMS name or database type: exactly "ACCESS" or "MS Jet" is Access;
/// containing "Microsoft" and "SQL" SqlServer, "MySQL" or "MariaDB" MySql, "ORA" Oracle (ignoring case);
/// anything else Other.
std::int16_t GetDBTypeId(std::u16string_view name);

} // namespace qv
