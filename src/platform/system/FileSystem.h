#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace qv::system {

// File operations on library paths (either separator; see Paths.h). Failures raise
// qv::automation::Error with the runtime's file error numbers and a description that names
// the file, e.g. "File not found: '/home/u/x.xml'". Questions ("does it exist?") never raise.
//
// A pipe, socket or device is never opened: an open of a pipe waits for a writer that may never
// come, and a device may never end (/dev/zero) or do something when opened. Reads and copies
// refuse one, naming it; folder walks list one apart and leave it as it is.

/// The runtime's file error numbers that this layer raises.
namespace FileErrorNumber {
inline constexpr std::int32_t FileNotFound = 53;
inline constexpr std::int32_t PermissionDenied = 70;
inline constexpr std::int32_t FileAlreadyExists = 58;
inline constexpr std::int32_t PathFileAccessError = 75;
inline constexpr std::int32_t PathNotFound = 76;
} // namespace FileErrorNumber

/// Raises the file error for a failed operation on `path`: ENOENT gives 53 when the folder of
/// `path` exists and 76 when it does not, ENOTDIR 76, EACCES/EPERM/EROFS 70, EEXIST 58,
/// anything else 75. The description names the path and, for 75, the system's reason.
[[noreturn]] void RaiseFileError(std::error_code error, std::u16string_view path);

bool FileExists(std::u16string_view path);     // a regular file (or a link to one)
bool FolderExists(std::u16string_view path);   // a directory (or a link to one)
bool IsSymbolicLink(std::u16string_view path); // the entry itself is a symbolic link

/// The path made absolute against the working folder, as library text; the path itself when
/// the working folder cannot be read.
std::u16string AbsolutePath(std::u16string_view path);
/// True when the two paths lead to one file: one existing file however it is reached (a
/// relative path, a link, another hard link to it), or, when either does not exist, the same
/// path once it is absolute and its links, "." and ".." are resolved.
bool IsSameFile(std::u16string_view first, std::u16string_view second);

/// Which file on disk a path leads to, following links: its device and inode, and when the file
/// system keeps it, its time of birth, so that an inode the system hands to a new file after the
/// old one was removed is not taken for the old file. A file keeps its identity when it is renamed
/// or reached through another link; a file written beside and renamed over it is another file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    /// Nanoseconds since the epoch; 0 when the file system does not say.
    std::int64_t birth = 0;

    /// The same file: device and inode agree, and so do the births where both are known.
    bool IsSameAs(const FileIdentity& other) const noexcept {
        return device == other.device && inode == other.inode &&
               (birth == 0 || other.birth == 0 || birth == other.birth);
    }
};

/// The identity of the file at `path`; nullopt when there is none (or the path cannot be
/// reached).
std::optional<FileIdentity> IdentityOf(std::u16string_view path);

/// The whole file as bytes. A pipe, socket or device (also through a link) is refused with 75
/// naming it, unopened.
std::string ReadFileBytes(std::u16string_view path);
/// The same, with the identity of the very file that was read.
std::string ReadFileBytes(std::u16string_view path, FileIdentity& identity);

/// Whether the regular file `path` (or the one a link there names) holds exactly `bytes`; false
/// for anything else, which is never opened.
bool FileHoldsBytes(std::u16string_view path, std::string_view bytes);
/// Whether two regular files hold the same bytes, read side by side; false when either is
/// missing or no regular file.
bool FilesHoldSameBytes(std::u16string_view first, std::u16string_view second);

/// How far WriteFileAtomic takes a file to the disk before it returns.
enum class Durability {
    /// The bytes and the rename reach the disk (the file and its folder are flushed): for what
    /// the user made and cannot make again, such as a project file.
    Flushed,
    /// Only the rename is atomic: no reader ever sees half a file, but a crash may lose the newest
    /// bytes. For output the program makes again from its sources, such as generated pages, where
    /// two flushes a file would make a large site's generation wait on the disk.
    RenameOnly,
};

/// What a write does with a symbolic link that stands where the file goes.
enum class FinalLink {
    /// The link is replaced by the file: a link planted in a folder the program writes into
    /// (a site, a work folder) must not carry the write to its target elsewhere.
    Replace,
    /// The write goes to the file the link names, so that a settings file a user linked from
    /// elsewhere stays linked.
    Follow,
};

/// Replaces (or creates) the file with `bytes`. Write beside and rename, so that a crash never
/// leaves half a file: the bytes go to a temporary file in the same folder, are flushed to
/// disk (see Durability), and the temporary file is renamed over the target. On failure the old
/// file is left as it was, the temporary file is removed, and the error names the target. A new
/// file gets the permissions of the process's umask, a replaced one keeps its own.
void WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                     Durability durability = Durability::Flushed, FinalLink link = FinalLink::Replace);

/// Writes like WriteFileAtomic unless the file already holds exactly `bytes`: a file that would
/// not change is left alone, modification time and all (a link in its place is always replaced).
/// Returns whether it wrote.
bool WriteFileIfChanged(std::u16string_view path, std::string_view bytes);

/// A new file written beside the one it will replace, then renamed over it: write beside and
/// rename, so that a crash never leaves half a file. The temporary file is hidden, named after
/// the target (shortened when long) with a marker and a random suffix, and created with the
/// permissions of a new file (0666 less the umask). Until Replace succeeds, dropping the object
/// removes the temporary file, and the folder stays marked as holding a live temporary file, so
/// that no sweep (RemoveLeftoverTemporaries, another run's first write there) removes it, also
/// after Close. WriteFileAtomic and the package extraction both write through it.
class FileBeside {
public:
    /// Creates the temporary file beside `target`; raises the file error naming `shownName` (the
    /// target when empty) when it cannot.
    explicit FileBeside(const std::filesystem::path& target, std::u16string_view shownName = {});
    ~FileBeside();
    FileBeside(FileBeside&& other) noexcept;
    FileBeside& operator=(FileBeside&&) = delete;
    FileBeside(const FileBeside&) = delete;
    FileBeside& operator=(const FileBeside&) = delete;

    const std::filesystem::path& Target() const noexcept { return mTarget; }
    /// The open descriptor of the temporary file; -1 once closed.
    int Descriptor() const noexcept { return mFd; }
    /// Writes all of `bytes` at the current position.
    std::error_code Write(std::string_view bytes) noexcept;
    /// Closes the temporary file, reporting the failure a delayed write error shows only here.
    std::error_code Close() noexcept;
    /// Closes the temporary file when still open and renames it over the target. On failure the
    /// temporary file is removed and the target left as it was.
    std::error_code Replace() noexcept;
    /// The same, except that anything standing at the target (a file, a folder, a link) stays:
    /// file_exists then, with the temporary file removed.
    std::error_code Publish() noexcept;

private:
    /// Replace, or Publish with `keepExisting`.
    std::error_code Complete(bool keepExisting) noexcept;
    void Discard() noexcept;
    void ReleaseHeldFolder() noexcept;

    std::filesystem::path mTarget;
    std::filesystem::path mTemporary; ///< empty once renamed or removed
    std::string mHeldFolder;          ///< the folder marked as holding mTemporary; empty when none
    int mFd = -1;
};

/// How far RemoveLeftoverTemporaries looks.
enum class SweepDepth {
    Folder, ///< the folder alone
    Tree,   ///< the folder and every folder below it, not through links
};

/// Removes the temporary files that killed runs left in `folder`, as the first FileBeside of a
/// run there does: for a run that may find nothing to write there. Only files with the name
/// FileBeside gives go, and only while no live writer holds one in that folder; a folder busy
/// now is swept at a later call. Each folder is swept once a run. Nothing when the folder cannot
/// be listed.
void RemoveLeftoverTemporaries(std::u16string_view folder, SweepDepth depth = SweepDepth::Folder);
/// The same for the temporary files of one file alone, those its killed writes left beside it
/// (beside the file a link in its place names, with FinalLink::Follow): for a file in a folder
/// others write into too, such as the user's settings file. Other files' temporary files stay.
void RemoveLeftoverTemporariesOf(std::u16string_view file, FinalLink link = FinalLink::Replace);

/// Creates the folder and every missing folder above it; nothing when it exists. Raises when
/// a component exists as a file or cannot be created.
void CreateFolders(std::u16string_view path);

/// The folder `relative` below `root` (JoinInside's rules), made where missing. `root` is
/// taken as it is, but below it every component must be a real folder: a symbolic link there
/// is refused with 75 naming it, as is a file.
std::u16string CreateFoldersBelow(std::u16string_view root, std::u16string_view relative);
/// What stands where a folder should be: a file, a symbolic link (to a folder, a file or
/// nothing), which is never followed, or a pipe, socket or device, which is never opened. A
/// folder copy also meets a link or one of the last where it has a file.
struct NonFolder {
    std::u16string path;
    bool link = false;
    bool whereFile = false; ///< it stands where a file (not a folder) should be
    bool special = false;   ///< a pipe, socket or device
};
/// The first component of `relative` below `root` that exists and is no real folder, looked at
/// itself (never through a link); nullopt when each one up to the first missing one is a folder.
std::optional<NonFolder> FirstNonFolderBelow(std::u16string_view root, std::u16string_view relative);
/// Raises as CreateFoldersBelow does when a component of `relative` below `root` that exists is
/// a symbolic link; creates nothing.
void RefuseLinksBelow(std::u16string_view root, std::u16string_view relative);

/// Copies one file. Without `overwrite` an existing target raises 58; with it the target is
/// replaced atomically (see WriteFileAtomic; a link in its place is replaced, not followed).
/// The copy keeps the source's modification time. A source that is a pipe, socket or device is
/// refused as ReadFileBytes refuses it.
void CopyFile(std::u16string_view source, std::u16string_view target, bool overwrite);

/// Copies a folder with everything in it into `target` (created when missing). Existing files
/// are replaced when `overwrite` is true and raise 58 otherwise. Symbolic links are never
/// followed, so that nothing from elsewhere comes into the copy and nothing of the copy lands
/// elsewhere, and pipes, sockets and devices are never opened: one in `source` is not copied,
/// and one below `target` where the copy has a file or a folder, like a file where it has a
/// folder, is left as it is with what would have gone there; the rest is copied, and what was
/// left in the way is returned. A link at `target` itself is refused with 75 before anything is
/// copied.
std::vector<NonFolder> CopyFolder(std::u16string_view source, std::u16string_view target, bool overwrite);

/// Copies one file to a name where nothing stands yet (no file, folder or link, whatever a link
/// points at), as CopyFile does otherwise: the copy appears whole or not at all. False, with
/// nothing written, when something stands there, also when it came there during the copy.
bool CopyFileToNew(std::u16string_view source, std::u16string_view target);

/// Renames a file, or a link as itself, within its file system to a name where nothing stands
/// yet; false, with nothing moved, when something does.
bool MoveToNew(std::u16string_view source, std::u16string_view target);

/// Renames or moves a file or folder; an existing target file is replaced. Across file systems
/// a folder that holds a link, pipe, socket or device is refused with 75 before anything moves.
void MoveFile(std::u16string_view source, std::u16string_view target);

/// Deletes a file. Returns false when there was none; raises when it exists but cannot go.
bool DeleteFile(std::u16string_view path);

/// Deletes a folder and everything in it. Returns false when there was none. A file, link, pipe,
/// socket or device in its place is refused with 75 naming what it is, and left as it is.
bool DeleteFolder(std::u16string_view path);

/// The size of a file in bytes.
std::uint64_t FileSize(std::u16string_view path);

/// The modification time of a file or folder as a date serial in local time (days since
/// 30 December 1899, the time of day as the fraction, whole seconds), as the runtime's
/// FileDateTime gives it.
double FileModified(std::u16string_view path);

/// The names (not paths) of the entries of a folder, sorted by code unit. Each entry is taken as
/// it is, never through a link: a symbolic link (to a file, a folder or nothing) is listed apart,
/// so that a walk over files and folders never follows one, and so are pipes, sockets and
/// devices, so that it never opens one.
struct FolderEntries {
    std::vector<std::u16string> files;
    std::vector<std::u16string> folders;
    std::vector<std::u16string> links;
    std::vector<std::u16string> others; ///< pipes, sockets, devices
};
FolderEntries ListFolder(std::u16string_view path);

} // namespace qv::system
