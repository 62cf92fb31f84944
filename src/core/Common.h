#pragma once

#include "platform/automation/Variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::xml {
class Document;
}

namespace qv {

// Helpers the whole library shares: text as VB trims, splits and writes it, charsets, captions,
// the product word, special folders, progress percentages, timestamps, sorted lists, conversions
// of stored setting values, quotes, files whose names differ in letter case, the product's own
// XML files, template files that an extension may replace, and registry values by path.

/// VB's Trim: blanks only; tabs and line breaks stay.
std::u16string_view TrimBlanks(std::u16string_view text) noexcept;

/// VB's Split: the parts of `text` between the separators, kept as written. The empty text
/// gives no parts at all.
std::vector<std::u16string_view> SplitText(std::u16string_view text, std::u16string_view separator);

/// A number in decimal digits, as line and column numbers, array indexes and code pages are
/// written.
std::u16string NumberText(std::int64_t number);

/// The text with every double quote doubled, for the inside of a VBScript string literal.
std::u16string DoubleQuotes(std::u16string_view text);

/// The value's text; nullopt for a value that has none (Null, an array, an object without a
/// default value).
std::optional<std::u16string> TextOf(const automation::Variant& value);

/// The path of the file `name` in `folder`: as written when that file exists, otherwise a file
/// whose name differs only in letter case (files written on Windows often do); nullopt when
/// there is neither. A name that would leave `folder` raises error 52 (see system::JoinInside).
std::optional<std::u16string> LocateFileNoCase(std::u16string_view folder, std::u16string_view name);

/// An XML file of the product: the document when it loads and its root element is named after
/// the product word, a dot and `kind` ("Quorvane.language"), letter case ignored; nullopt for a
/// missing or malformed file and for a file of anything else.
std::optional<xml::Document> LoadProductFile(std::u16string_view file, std::u16string_view kind);

/// Sets gSystemCodePage to the OEM code page (as text) and gXmlEncoding to its charset name,
/// reading the code page anew.
void InitSystemCharset();

/// The charset name of a code page given as text or number ("437", 1252): "iso-8859-1",
/// "shift_jis", ...; "" for a code page the table does not list. NULs and blanks around the
/// number are ignored.
std::u16string CodePageToCharset(const automation::Variant& codePage);

/// The caption of a database name: words split at " ", "-", "_" and where a lower-case
/// character is followed by an upper-case one, joined by one space ("OrderID" gives
/// "Order ID", "customer_name" "customer name"). Letter case is kept.
std::u16string NameToCaption(std::u16string_view name);

/// The text without any "/" or " ": the product word of work-folder names and file roots.
std::u16string RemoveSlashesAndSpaces(std::u16string_view text);

/// The special folder numbered as the shell numbers it; 5 is the user's documents folder, which
/// is never empty. "" for a folder this system does not have.
std::u16string GetSpecialFolderPath(std::int32_t window, std::int32_t folder);
inline constexpr std::int32_t SpecialFolderPersonal = 5;

/// position / total * 100, rounded half to even; a total of 0 counts as 1 and a position
/// beyond the total as the total.
std::int16_t Percent(std::int32_t position, std::int32_t total);

/// A date (or text that reads as one) as "yyyy/mm/dd hh:nn:ss"; any other value as its text,
/// Null as "". Never raises.
std::u16string FormatTimestamp(const automation::Variant& value);

/// The value's text with "0" in front up to `width` characters; 5 when it is already longer.
std::u16string PadZero(const automation::Variant& value, std::int32_t width);

/// CRLF-separated lines, each trimmed, sorted ascending by code unit and joined by CRLF; ""
/// for a blank text.
std::u16string SortLines(std::u16string_view text);

/// A stored value converted by a type name compared after lower-casing: "boolean", "integer",
/// "long", "string" (text, unquoted); any other name leaves the value as it is. A value that
/// does not convert gives Empty. Never raises.
automation::Variant ConvertToDataType(const automation::Variant& value, const automation::Variant& typeName);

/// The same for the exact names "Boolean", "Integer" and "Long"; every other name (also
/// "String") leaves the value as it is. Never raises.
automation::Variant ConvertByTypeName(const automation::Variant& value, const automation::Variant& typeName);

/// Trimmed, then stripped of matching outer double or single quotes as long as there are
/// any, trimming again after each pair.
std::u16string Unquote(std::u16string_view text);

/// The path to read for a template file: while the template itself is being read, the first
/// extension (in sequence order) that has a file of that name supplies it; otherwise the file
/// of the folder being read. A file whose name differs only in letter case is found too. A file
/// or extension name that would leave its folder raises error 52 naming it.
std::u16string FindExtensionFile(std::u16string_view fileName);

/// The path trimmed, with "\" appended when it is not empty and ends with no separator.
std::u16string AddTrailingBackslash(std::u16string_view path);

/// Reads one registry value: `root` "HKLM" (exactly) is the machine hive, anything else the
/// user hive. Sets gRegValueType to the type read (unchanged when nothing was read). A missing
/// value, key or unreadable hive gives Empty; no error reaches the caller.
automation::Variant GetRegValue(std::u16string_view root, std::u16string_view section,
                                std::u16string_view name);

/// Writes one registry value with the given type (1 or 2 text, 3 bytes, 4 or 5 a 32-bit
/// number, 7 texts, other types bytes). A value that cannot be stored as that type, or a hive
/// that cannot be saved, raises 26001.
void SetRegValue(std::u16string_view root, std::u16string_view section, std::u16string_view name,
                 std::int32_t& valueType, const automation::Variant& value);

} // namespace qv
