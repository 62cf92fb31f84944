#include "platform/system/FileVersion.h"

#include <string>

namespace qv::system {

FileVersion LibraryVersion() noexcept {
    return FileVersion{QV_VERSION_MAJOR, QV_VERSION_MINOR, QV_VERSION_PATCH, QV_VERSION_TWEAK};
}

std::u16string FormatVersion(const FileVersion& version) {
    std::u16string text;
    for (std::uint16_t part : {version.major, version.minor, version.build, version.revision}) {
        if (!text.empty()) {
            text += u'.';
        }
        for (char c : std::to_string(part)) {
            text += static_cast<char16_t>(c);
        }
    }
    return text;
}

} // namespace qv::system
