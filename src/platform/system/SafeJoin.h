#pragma once

#include <string>
#include <string_view>

namespace qv::system {

/// `root` and the relative `name` joined as JoinPath joins them, for every name that comes from
/// outside the program: a package entry, a control file, a project setting, an extension name.
/// Both separators split `name`. Refused with error 52 ("Bad file name or number" as number,
/// a description naming the name and the root) when the result could leave `root`: a ".."
/// component, a name that starts at a root ("/x", "\\x", "\\\\server\\share"), a drive letter
/// ("C:", "C:x"), a NUL character, or an empty root (which would mean the current folder).
/// "." components and empty ones are harmless and kept as written; an empty name gives `root`.
std::u16string JoinInside(std::u16string_view root, std::u16string_view name);

/// Why JoinInside would refuse `name`: "" when it is acceptable, else the reason as a short
/// clause ("it climbs out with \"..\"").
std::u16string_view EscapeReason(std::u16string_view name) noexcept;

} // namespace qv::system
