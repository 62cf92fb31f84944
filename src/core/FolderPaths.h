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

/// The product's folder in the user's documents folder (gMyDocumentsPath, or the documents folder
/// when that is empty), made where missing: <documents>\<product>. The user's own place, which
/// may be a link to wherever they keep it.
std::u16string ProductFolder();

/// The folder `relative` below the product's folder (Backup, Templates, a template's work
/// folders), made where missing. Each folder below the product's is the program's own: what is
/// extracted, written and deleted there would land wherever a link in its place points, so a
/// link at any of them is refused with 75, as a name that leaves the product's folder is with 52.
std::u16string ProductWorkFolder(std::u16string_view relative);

/// The path trimmed, with "\" appended when it is not empty and ends with no separator.
std::u16string AddTrailingBackslash(std::u16string_view path);

} // namespace qv
