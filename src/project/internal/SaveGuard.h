#pragma once

#include "project/SkippedElement.h"

#include "platform/system/FileSystem.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// A project file as the project last saw it on disk: where it was, which file it was and what it
/// held. The file is known again under another name (renamed, reached through another link),
/// changed in place, or put back at its path as a copy of the same bytes; a file that merely took
/// its path is another file.
struct ProjectFileMark {
    /// Absolute, as the caller named it.
    std::u16string path;
    /// nullopt when there was no file.
    std::optional<system::FileIdentity> identity;
    /// What the file held: the size and hash of its bytes. Two files of equal digests are taken
    /// for copies, which at worst refuses a save that would have been harmless.
    struct Digest {
        std::size_t size = 0;
        std::size_t hash = 0;
        bool operator==(const Digest&) const = default;
        static Digest Of(std::string_view bytes);
    };
    /// nullopt when the bytes could not be read.
    std::optional<Digest> digest;

    /// The file at `path` as it is now, without what it holds.
    static ProjectFileMark Of(std::u16string_view path);
    /// A file read or written as `bytes`.
    static ProjectFileMark Of(std::u16string_view path, std::string_view bytes,
                              std::optional<system::FileIdentity> identity);

    /// Whether writing `path` now would replace this file.
    bool IsAt(std::u16string_view path) const;
};

/// Which files a save of the project must leave alone, and why: what the project's loads and saves
/// tell about where its content comes from. Held by the project; Save asks it first.
///
/// A file the project was read from whole, or saved to, holds the project. A save over it is
/// refused while the load read past part of it, and once a later load failed after it had begun to
/// change the project, which then holds neither that file nor the failed one as it is. A file whose
/// load failed holds what the project could not read, and is never saved over as if read.
class SaveGuard {
public:
    /// A load read `file` whole, reading past `skipped`: the project now comes from it alone.
    void Loaded(ProjectFileMark file, std::vector<SkippedElement> skipped);
    /// A load of `file` failed; `projectChanged` when it had reset the project and read part of
    /// the file into it.
    void LoadFailed(ProjectFileMark file, bool projectChanged);
    /// The project was saved whole as `file`, which replaced the file `replaced` (when there was one).
    void Saved(ProjectFileMark file, const std::optional<system::FileIdentity>& replaced);
    /// The project was emptied: no file holds any of it.
    void Forget() noexcept { mFiles.clear(); }

    /// Why a save must leave the file at `path` alone, behind the message prefix; nullopt when it
    /// may write it.
    std::optional<std::u16string> Refusal(std::u16string_view path) const;

private:
    enum class Standing {
        /// Holds the project, less what its load read past.
        Holds,
        /// Held the project until a later load failed half-way (`failedLoad`).
        Outdated,
        /// Its own load failed.
        Unread,
    };
    struct GuardedFile {
        ProjectFileMark file;
        Standing standing;
        std::vector<SkippedElement> skipped;
        std::u16string failedLoad;
    };

    static std::u16string RefusalText(const GuardedFile& guarded, std::u16string_view path);

    std::vector<GuardedFile> mFiles;
};

} // namespace qv
