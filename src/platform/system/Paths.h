#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::system {

// Paths inside the library are UTF-16 text. Templates, control files and the registry were
// written with "\" as the separator, Linux uses "/": every helper here accepts both, and only
// ToNativePath produces what the file system takes. Nobody builds a path by concatenation.

/// True for "\" and "/".
constexpr bool IsPathSeparator(char16_t c) noexcept {
    return c == u'\\' || c == u'/';
}

/// `folder` and `name` joined by one "/" (no separator is doubled; an empty folder gives
/// `name`). Separators of either kind at the end of `folder` and the start of `name` are
/// dropped, so JoinPath("a\\", "\\b") is "a/b". `name` may itself hold several components.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

/// The components of a relative name, without empty ones and "." ("a\\./b/" gives a, b).
std::vector<std::u16string_view> PathComponents(std::u16string_view name);

/// The text after the last separator of either kind ("x.xml" for "a\\b/x.xml").
std::u16string_view BaseName(std::u16string_view path) noexcept;

/// The text before the last separator of either kind, without it; "" when there is none.
/// The root folder "/" stays "/".
std::u16string_view FolderOf(std::u16string_view path) noexcept;

/// The extension of the base name with its dot (".xml"), or "" when the base name has none.
/// A leading dot alone (".profile") is no extension.
std::u16string_view ExtensionOf(std::u16string_view path) noexcept;

/// The path with its extension removed (see ExtensionOf).
std::u16string_view WithoutExtension(std::u16string_view path) noexcept;

/// True when the path starts at the root ("/x", or "\\x" written in the system's own style).
bool IsAbsolutePath(std::u16string_view path) noexcept;

/// The path as the file system takes it: every "\" becomes "/", the text UTF-8.
std::filesystem::path ToNativePath(std::u16string_view path);

/// The longest file name, in bytes of its native form, that the file systems we write to take.
inline constexpr std::size_t MaxFileNameBytes = 255;

/// The file name `prefix` + `name` + `suffix` (native bytes), shortened when it would pass
/// MaxFileNameBytes: `name` is cut (at a character boundary) and followed by "~" and a hash of the
/// whole name, so that the result is the same on every call and differs for different long names.
/// When even `prefix` and `suffix` leave no room, the whole name is cut that way.
std::string FitFileName(std::string_view prefix, std::string_view name, std::string_view suffix);
/// The same for library text.
std::u16string FitFileName(std::u16string_view prefix, std::u16string_view name, std::u16string_view suffix);

/// A file-system path as library text (UTF-8 to UTF-16; invalid bytes become U+FFFD).
std::u16string FromNativePath(const std::filesystem::path& path);

/// Finds `relativeName` (one or more components, either separator) inside `folder`. Each
/// component is taken as written when it exists, otherwise an entry of the same name in
/// another letter case is used: files written on Windows may differ in case from the names
/// that control files give. Returns the joined path as found on disk, or nullopt when some
/// component matches nothing (or more than one entry differing only in case and none exactly).
std::optional<std::u16string> FindNoCase(std::u16string_view folder, std::u16string_view relativeName);

} // namespace qv::system
