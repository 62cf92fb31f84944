#pragma once

#include "platform/registry/Key.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qv::registry {

// The text form of a hive: UTF-8, one section per key, in the style of .reg files but with
// the type number of every value written out:
//
//   ; comment
//   [Software\Quorvane\6.0\Settings\General]
//   "Language"=1:"lang/english.xml"
//   "ScriptEngineTimeout"=4:30
//   "Paths"=7:"a","b"
//   "Blob"=3:01,02,ff
//   @=1:"the key's default value"
//
// Texts are in double quotes with \\, \", \n, \r, \t, \0 and \uXXXX escapes; numbers (types 4
// and 5) are decimal or 0x-hexadecimal; every other type holds comma-separated hex bytes.
// Values before the first section belong to the root. Blank lines and lines starting with ";"
// or "#" are skipped, and a ";" comment may end a line. Sections are written depth first,
// every key (empty ones too) in order, so reading a saved hive gives back the same tree in the
// same order.

/// Parses a hive. A damaged text raises error 26001 with a description naming `fileName`, the
/// line and what is wrong ("Damaged registry hive '/x/user.reg', line 3: ...").
std::unique_ptr<Key> ParseHive(std::string_view text, std::u16string_view fileName);

/// The text of a hive whose root is `root` (the root's own name is not written).
std::string FormatHive(const Key& root);

/// True when every key name of the path can stand in a section line as written: no control
/// characters (line breaks above all) and no unpaired surrogates, which UTF-8 cannot hold.
bool IsValidKeyPath(std::u16string_view keyPath) noexcept;

/// How deep keys may nest below the root, as in the system registry whose hives these files
/// stand for: deeper paths are refused when read and when written, so that no hive holds a tree
/// its readers would have to walk without end.
inline constexpr std::size_t MaxKeyDepth = 512;

/// The number of keys a "\"-separated path names (empty components are skipped).
std::size_t KeyPathDepth(std::u16string_view keyPath) noexcept;

/// The error number of a damaged hive.
inline constexpr std::int32_t DamagedHiveError = 26001;

} // namespace qv::registry
