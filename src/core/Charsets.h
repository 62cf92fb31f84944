#pragma once

#include "platform/automation/Variant.h"

#include <string>

// The charset of the system's code page, as XML declarations name it.

namespace qv {

/// Sets gSystemCodePage to the OEM code page (as text) and gXmlEncoding to its charset name,
/// reading the code page anew.
void InitSystemCharset();

/// The charset name of a code page given as text or number ("437", 1252): "iso-8859-1",
/// "shift_jis", ...; "" for a code page the table does not list. NULs and blanks around the
/// number are ignored.
std::u16string CodePageToCharset(const automation::Variant& codePage);

} // namespace qv
