#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {

/// Writes a zip package of `members` (entry name, bytes) over `file`, making its folder first.
/// Returns "" when the package is written, else what failed.
std::string WriteZip(const std::filesystem::path& file,
                     const std::vector<std::pair<std::string, std::string>>& members);
std::string WriteZip(const std::filesystem::path& file, const std::map<std::string, std::string>& members);

} // namespace qv::test
