#pragma once

#include "support/TempDir.h"

#include "platform/automation/Text.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace qv::dao::test {

/// The sample files are read-only inputs: every test works on its own copy.
inline std::filesystem::path CopyFixture(const qv::test::TempDir& folder, std::string_view name) {
    const std::filesystem::path source = std::filesystem::path(QV_FIXTURES_DIR) / "access" / name;
    std::filesystem::path target = folder / name;
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return target;
}

inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::u16string PathText(const std::filesystem::path& file) {
    return automation::FromUtf8(file.string());
}

inline std::string Utf8(std::u16string_view text) {
    return automation::ToUtf8(text);
}

} // namespace qv::dao::test
