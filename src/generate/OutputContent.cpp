#include "generate/internal/OutputContent.h"

#include "platform/system/Paths.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace qv {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t ChunkSize = std::size_t{64} * 1024;

/// Whether the regular file `file` holds `bytes`: sizes first, so that a changed page is mostly
/// told apart without reading it.
bool FileHoldsBytes(const fs::path& file, std::string_view bytes) {
    std::error_code error;
    if (!fs::is_regular_file(file, error) || fs::file_size(file, error) != bytes.size() || error) {
        return false;
    }
    std::ifstream stream(file, std::ios::binary);
    std::array<char, ChunkSize> chunk{};
    std::size_t offset = 0;
    while (stream && offset < bytes.size()) {
        stream.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(stream.gcount());
        if (got == 0 || bytes.substr(offset, got) != std::string_view(chunk.data(), got)) {
            return false;
        }
        offset += got;
    }
    return offset == bytes.size();
}

/// Whether two regular files hold the same bytes, read side by side in chunks (a database copy
/// may be large).
bool SameFileBytes(const fs::path& first, const fs::path& second) {
    std::error_code error;
    if (!fs::is_regular_file(first, error) || !fs::is_regular_file(second, error) ||
        fs::file_size(first, error) != fs::file_size(second, error) || error) {
        return false;
    }
    std::ifstream a(first, std::ios::binary);
    std::ifstream b(second, std::ios::binary);
    std::array<char, ChunkSize> chunkA{};
    std::array<char, ChunkSize> chunkB{};
    while (a && b) {
        a.read(chunkA.data(), static_cast<std::streamsize>(chunkA.size()));
        b.read(chunkB.data(), static_cast<std::streamsize>(chunkB.size()));
        const std::streamsize got = a.gcount();
        if (got != b.gcount() || std::string_view(chunkA.data(), static_cast<std::size_t>(got)) !=
                                     std::string_view(chunkB.data(), static_cast<std::size_t>(got))) {
            return false;
        }
    }
    return a.eof() && b.eof() && !a.bad() && !b.bad();
}

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
        if (type == fs::file_type::symlink) {
            continue;
        }
        const fs::path twin = target / entry->path().lexically_relative(source);
        std::error_code missing;
        const fs::file_type twinType = fs::symlink_status(twin, missing).type();
        if (type == fs::file_type::directory) {
            if (twinType != fs::file_type::directory) {
                return false;
            }
        } else if (twinType != fs::file_type::regular || !SameFileBytes(entry->path(), twin)) {
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
        return FileHoldsBytes(targetPath, mBytes);
    case Kind::File:
        return SameFileBytes(system::ToNativePath(mSource), targetPath);
    case Kind::Folder:
        return FolderHoldsCopy(system::ToNativePath(mSource), targetPath);
    }
    return false;
}

} // namespace qv
