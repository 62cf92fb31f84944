#pragma once

#include <string>
#include <string_view>

namespace qv {

// File names that the registry holds (keyword, language, code-base and user-code files, style
// sheet, template, extension packages) are written relative to the machine hive when they name
// files shipped with the library, so that an installation may live anywhere.

/// The path a file name read from the registry stands for: a relative name is taken relative to
/// the folder of the apartment's machine hive; an absolute path stays as it is, and so does ""
/// (which callers read as "none", the built-in code for the script files).
std::u16string ResolveRegistryFile(std::u16string_view name);

/// The folder of the extension packages shipped with the library: "extensions" beside the
/// machine hive.
std::u16string ShippedExtensionsFolder();

/// The path of an extension package named in the registry (an extension's Template): a
/// relative name is taken in ShippedExtensionsFolder() (one that would leave it raises error 52,
/// see system::JoinInside); an absolute path and "" stay as they are.
std::u16string ResolveExtensionPackage(std::u16string_view name);

} // namespace qv
