#include "generate/internal/OutputContent.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include <filesystem>
#include <system_error>

namespace qv {

namespace {

namespace fs = std::filesystem;

/// Whether copying the folder `source` into `target` would add or change nothing. As the copy,
/// it follows no link: one in the source is not copied, and one in the target where the copy has
/// a file or folder stands in its way, so that the copy is not yet there.
bool FolderHoldsCopy(const fs::path& source, const fs::path& target) {
    std::error_code error;
    if (!fs::is_directory(source, error) || !fs::is_directory(target, error)) {
        return false;
    }
    for (auto entry = fs::recursive_directory_iterator(source, error); entry != fs::end(entry);
         entry.increment(error)) {
        if (error) {
            return false;
        }
        const fs::file_type type = entry->symlink_status(error).type();
        // Nor does it copy a pipe, socket or device.
        if (type != fs::file_type::directory && type != fs::file_type::regular) {
            continue;
        }
        const fs::path twin = target / entry->path().lexically_relative(source);
        std::error_code missing;
        const fs::file_type twinType = fs::symlink_status(twin, missing).type();
        if (type == fs::file_type::directory) {
            if (twinType != fs::file_type::directory) {
                return false;
            }
        } else if (twinType != fs::file_type::regular ||
                   !system::FilesHoldSameBytes(system::FromNativePath(entry->path()),
                                               system::FromNativePath(twin))) {
            return false;
        }
    }
    return !error;
}

} // namespace

OutputContent OutputContent::Bytes(std::string_view bytes) {
    return OutputContent(Kind::Bytes, bytes, {});
}

OutputContent OutputContent::CopyOfFile(std::u16string_view source) {
    return OutputContent(Kind::File, {}, source);
}

OutputContent OutputContent::CopyOfFolder(std::u16string_view source) {
    return OutputContent(Kind::Folder, {}, source);
}

bool OutputContent::IsAlreadyAt(std::u16string_view target) const {
    const fs::path targetPath = system::ToNativePath(target);
    switch (mKind) {
    case Kind::Bytes:
        return system::FileHoldsBytes(target, mBytes);
    case Kind::File:
        return system::FilesHoldSameBytes(mSource, target);
    case Kind::Folder:
        return FolderHoldsCopy(system::ToNativePath(mSource), targetPath);
    }
    return false;
}

} // namespace qv
