#pragma once

#include <cstdint>
#include <string>

namespace qv::system {

/// The four parts of a file version (major, minor, build, revision).
struct FileVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
    std::uint16_t revision = 0;
    bool operator==(const FileVersion&) const = default;
};

/// The version of this build of the library, from the project's version (6.0.x.x).
FileVersion LibraryVersion() noexcept;

/// The four parts in decimal joined by ".", e.g. "6.0.0.0".
std::u16string FormatVersion(const FileVersion& version);

} // namespace qv::system
