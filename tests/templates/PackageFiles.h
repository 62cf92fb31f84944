#pragma once

#include <ctime>
#include <filesystem>
#include <map>
#include <string>

namespace qv::test::templates {

/// The bundled share tree the build stages.
inline std::filesystem::path ShareDir() {
    return QV_SHARE_DIR;
}
inline std::filesystem::path TemplatePackage() {
    return ShareDir() / "templates" / "quorvane.zip";
}
inline std::filesystem::path ExtensionPackage() {
    return ShareDir() / "extensions" / "export.zip";
}

/// Every entry of a zip file, by name, with its bytes and its time stamp; a failure to open or
/// read gives an empty map and a test failure.
struct ZipEntry {
    std::string bytes;
    std::time_t modified = 0;
};
std::map<std::string, ZipEntry> ReadZip(const std::filesystem::path& file);

/// Writes the entries below `folder`, as the generator extracts a package.
void ExtractZip(const std::filesystem::path& file, const std::filesystem::path& folder);

} // namespace qv::test::templates
