#pragma once

#include "platform/automation/Variant.h"

#include <cstdint>
#include <string_view>

// Registry values read and written by path, as the scripts and the settings use them.

namespace qv {

/// Reads one registry value: `root` "HKLM" (exactly) is the machine hive, anything else the
/// user hive. The type read stays on the apartment's registry object (GetRegistry().ValueType(),
/// gRegValueType; unchanged when nothing was read). A missing
/// value, key or unreadable hive gives Empty; no error reaches the caller.
automation::Variant GetRegValue(std::u16string_view root, std::u16string_view section,
                                std::u16string_view name);

/// Writes one registry value with the given type (1 or 2 text, 3 bytes, 4 or 5 a 32-bit
/// number, 7 texts, other types bytes). A value that cannot be stored as that type, or a hive
/// that cannot be saved, raises 26001.
void SetRegValue(std::u16string_view root, std::u16string_view section, std::u16string_view name,
                 std::int32_t& valueType, const automation::Variant& value);

} // namespace qv
