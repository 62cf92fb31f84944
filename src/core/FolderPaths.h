#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Special folders and folder paths in the system's own style.

namespace qv {

/// The special folder numbered as the shell numbers it; 5 is the user's documents folder, which
/// is never empty. "" for a folder this system does not have.
std::u16string GetSpecialFolderPath(std::int32_t window, std::int32_t folder);
inline constexpr std::int32_t SpecialFolderPersonal = 5;

/// The path trimmed, with "\" appended when it is not empty and ends with no separator.
std::u16string AddTrailingBackslash(std::u16string_view path);

} // namespace qv
