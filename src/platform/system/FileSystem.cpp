#include "platform/system/FileSystem.h"

#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"
#include "platform/system/internal/HeldLocks.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <random>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace qv::system {

namespace {

namespace fs = std::filesystem;

constexpr std::int32_t DiskFull = 61;

std::error_code LastError() {
    return {errno, std::system_category()};
}

// A file descriptor closed when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) noexcept : mFd(fd) {}
    ~FileDescriptor() {
        if (mFd >= 0) {
            ::close(mFd);
        }
    }
    FileDescriptor(FileDescriptor&& other) noexcept : mFd(std::exchange(other.mFd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const noexcept { return mFd; }
    bool Valid() const noexcept { return mFd >= 0; }
    /// Closes now, reporting the failure a delayed write error shows only here.
    std::error_code Close() noexcept {
        int fd = std::exchange(mFd, -1);
        return ::close(fd) == 0 ? std::error_code() : LastError();
    }

private:
    int mFd;
};

std::error_code WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

// Hands what is left of the file to `consume` piece by piece; stops at its first error.
std::error_code ReadChunks(int fd, const std::function<std::error_code(std::string_view)>& consume) {
    std::array<char, 65536> buffer;
    for (;;) {
        ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        if (got == 0) {
            return {};
        }
        if (std::error_code error = consume({buffer.data(), static_cast<std::size_t>(got)})) {
            return error;
        }
    }
}

constexpr unsigned IdentityFields = STATX_INO | STATX_BTIME;

FileIdentity IdentityFrom(const struct statx& status) {
    FileIdentity identity{(std::uint64_t{status.stx_dev_major} << 32) | status.stx_dev_minor, status.stx_ino,
                          0};
    if ((status.stx_mask & STATX_BTIME) != 0) {
        identity.birth = status.stx_btime.tv_sec * std::int64_t{1'000'000'000} + status.stx_btime.tv_nsec;
    }
    return identity;
}

std::u16string Quoted(std::u16string_view path) {
    return u"'" + std::u16string(path) + u"'";
}

// A pipe, socket or device: what is neither a regular file, a folder nor a link.
bool IsSpecial(mode_t mode) {
    return !S_ISREG(mode) && !S_ISDIR(mode) && !S_ISLNK(mode);
}

// What an entry is, for a message: "a file", "a named pipe", ...
std::u16string_view EntryKind(mode_t mode) {
    if (S_ISLNK(mode)) {
        return u"a symbolic link";
    }
    if (S_ISDIR(mode)) {
        return u"a folder";
    }
    if (S_ISFIFO(mode)) {
        return u"a named pipe";
    }
    if (S_ISSOCK(mode)) {
        return u"a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return u"a device";
    }
    return u"a file";
}

[[noreturn]] void RaiseAccessError(std::u16string_view path, std::u16string_view reason) {
    automation::Raise(FileErrorNumber::PathFileAccessError, u"",
                      std::u16string(automation::StandardErrorText(FileErrorNumber::PathFileAccessError)) +
                          u": " + Quoted(path) + u" (" + std::u16string(reason) + u")");
}

// Raises for what a read cannot take: a folder (EISDIR), a pipe, socket or device (named).
void RefuseNonFile(const struct stat& status, std::u16string_view path) {
    if (S_ISDIR(status.st_mode)) {
        RaiseFileError(std::make_error_code(std::errc::is_a_directory), path);
    }
    if (IsSpecial(status.st_mode)) {
        RaiseAccessError(path, std::u16string(EntryKind(status.st_mode)) + u", which is never opened");
    }
}

// Opens a regular file for reading, with its status. A pipe, socket or device is never opened:
// what is there is looked at first, and should one take its place before the open, the open does
// not wait for a writer (O_NONBLOCK) and the status of what it opened shows it. Raises naming
// `path`.
FileDescriptor OpenForReading(std::u16string_view path, struct stat& status) {
    const fs::path native = ToNativePath(path);
    if (::stat(native.c_str(), &status) != 0) {
        RaiseFileError(LastError(), path);
    }
    RefuseNonFile(status, path);
    FileDescriptor file(::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.Valid() || ::fstat(file.Get(), &status) != 0) {
        RaiseFileError(LastError(), path);
    }
    RefuseNonFile(status, path);
    return file;
}

// The same as a question: an invalid descriptor for anything but a regular file (through a link
// only with `follow`), or when it cannot be opened.
FileDescriptor OpenRegularFile(const fs::path& path, bool follow, struct stat& status) {
    const int found = follow ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
    if (found != 0 || !S_ISREG(status.st_mode)) {
        return FileDescriptor(-1);
    }
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW)));
    if (!file.Valid() || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return FileDescriptor(-1);
    }
    return file;
}

// Reads into `buffer` until it is full or the file ends; the count read, or -1 on an error.
ssize_t ReadFull(int fd, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t count = ::read(fd, buffer + got, size - got);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return -1;
        }
        if (count == 0) {
            break;
        }
        got += static_cast<std::size_t>(count);
    }
    return static_cast<ssize_t>(got);
}

// Whether the regular file at `path` holds exactly `bytes`: sizes first, so that a changed file
// is mostly told apart without reading it.
bool RegularFileHolds(const fs::path& path, std::string_view bytes, bool follow) {
    struct stat status {};
    FileDescriptor file = OpenRegularFile(path, follow, status);
    if (!file.Valid() || static_cast<std::uint64_t>(status.st_size) != bytes.size()) {
        return false;
    }
    std::string_view rest = bytes;
    const std::error_code error = ReadChunks(file.Get(), [&rest](std::string_view chunk) {
        if (chunk.size() > rest.size() || chunk != rest.substr(0, chunk.size())) {
            return std::make_error_code(std::errc::operation_canceled);
        }
        rest.remove_prefix(chunk.size());
        return std::error_code();
    });
    return !error && rest.empty();
}

// The file that writing through `target` replaces: the target itself, or with FinalLink::Follow
// the end of a symbolic link.
fs::path ReplacedFile(const fs::path& target, FinalLink link) {
    std::error_code error;
    if (link == FinalLink::Replace || !fs::is_symlink(target, error)) {
        return target;
    }
    fs::path resolved = fs::canonical(target, error);
    return error ? target : resolved;
}

// What a replaced file gets besides its contents; by default the permissions of the file it
// replaces (or those of a new file) and the current time.
struct FileAttributes {
    std::optional<mode_t> mode;
    std::optional<timespec> modified;
    Durability durability = Durability::Flushed;
    FinalLink link = FinalLink::Replace;
    /// The file is only made where nothing stands yet: what is there stays, and nothing is written.
    bool keepExisting = false;
};

// Write beside and rename, so that a crash never leaves half a file. `fill` writes the
// contents into the temporary file.
bool ReplaceFile(std::u16string_view path, const std::function<std::error_code(int)>& fill,
                 FileAttributes attributes) {
    FileBeside file(ReplacedFile(ToNativePath(path), attributes.link), path);
    const fs::path& target = file.Target();
    struct stat existing {};
    std::optional<mode_t> mode = attributes.mode;
    if (!mode && ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & 07777; // a replaced file keeps its permissions
    }
    std::error_code error = fill(file.Descriptor());
    // A modification time to the nanosecond, so that a reader comparing times sees every
    // replacement, even two within one tick of the file system's clock.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const timespec times[2] = {now, attributes.modified.value_or(now)};
    if (!error && ::futimens(file.Descriptor(), times) != 0) {
        error = LastError();
    }
    if (!error && mode && ::fchmod(file.Descriptor(), *mode) != 0) {
        error = LastError();
    }
    if (!error && attributes.durability == Durability::Flushed && ::fsync(file.Descriptor()) != 0) {
        error = LastError();
    }
    if (!error) {
        error = attributes.keepExisting ? file.Publish() : file.Replace();
    }
    if (attributes.keepExisting && error == std::errc::file_exists) {
        return false;
    }
    if (error) {
        RaiseFileError(error, path);
    }
    if (attributes.durability == Durability::RenameOnly) {
        return true;
    }
    // The rename itself reaches the disk with the folder's entry.
    FileDescriptor folder(::open(target.has_parent_path() ? target.parent_path().c_str() : ".",
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) {
        ::fsync(folder.Get());
    }
    return true;
}

/// Renames `from` to `to` unless something stands at `to` (file_exists then); a link is moved as
/// itself. Where the file system cannot rename so, a hard link and the removal of the old name do
/// the same for anything but a folder.
std::error_code RenameKeepingTarget(const fs::path& from, const fs::path& to) noexcept {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return LastError();
    }
    if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) != 0) {
        return LastError();
    }
    return ::unlink(from.c_str()) == 0 ? std::error_code() : LastError();
}

struct stat StatOrRaise(std::u16string_view path) {
    struct stat status {};
    if (::stat(ToNativePath(path).c_str(), &status) != 0) {
        RaiseFileError(LastError(), path);
    }
    return status;
}

// Names what stands where a folder should be (`mode`, as lstat gives it).
[[noreturn]] void RaiseInPlaceOfFolder(std::u16string_view path, mode_t mode) {
    RaiseAccessError(path, std::u16string(EntryKind(mode)) + u" stands where a folder is expected");
}

[[noreturn]] void RaiseLinkInPlaceOfFolder(std::u16string_view path) {
    RaiseInPlaceOfFolder(path, S_IFLNK);
}

bool IsLink(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// Temporary files are named ".NAME" + Marker + sixteen hexadecimal digits, a name no user picks,
// so that a sweep never takes a file of someone else's for a leftover of ours.
constexpr std::string_view Marker = ".~qvtmp-";
constexpr std::size_t SuffixDigits = 16;

bool IsTemporaryName(std::string_view name) {
    if (name.size() < 1 + Marker.size() + SuffixDigits || name.front() != '.') {
        return false;
    }
    const std::string_view suffix = name.substr(name.size() - SuffixDigits);
    return name.substr(name.size() - SuffixDigits - Marker.size(), Marker.size()) == Marker &&
           suffix.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// A folder that holds temporary files of this process not yet renamed is locked shared for as
// long as it does; a sweep locks it exclusively, without waiting, and so never removes a file
// that a live writer can still rename: also not one that is closed until the renames at the end
// of an extraction, or one that carries the old time of the file it copies. The lock is on the
// folder rather than on each file so that an extraction of many files holds one descriptor per
// folder. Process-wide by nature, as the system's locks are: the writers of this process share
// one descriptor per folder, counted.
internal::HeldLocks& Pending() {
    static internal::HeldLocks table;
    return table;
}

// Counts one more writer in `folder`; false when it holds nothing (the folder cannot be opened
// or has no locks, where no sweep can lock it either).
bool HoldFolder(const std::string& key) {
    if (Pending().JoinHeld(key, true) == internal::HeldLocks::Join::Joined) {
        return true;
    }
    const int fd = ::open(key.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // Waits only for a sweep in progress, which never waits itself.
    int locked = 0;
    while ((locked = ::flock(fd, LOCK_SH)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        ::close(fd);
        return false;
    }
    Pending().Record(key, fd, true);
    return true;
}

void ReleaseFolder(const std::string& key) noexcept {
    Pending().Release(key);
}

// Whether `name` is the name FileBeside gives a temporary file of the file `target` (a name
// without folder), shortened alike when long: a shortened one ends its cut of the target's name
// with a tag of its own, a hash that takes in the random suffix.
bool IsTemporaryNameOf(std::string_view name, std::string_view target) {
    if (!IsTemporaryName(name)) {
        return false;
    }
    std::string ending(Marker);
    ending.append(SuffixDigits, '0');
    const std::string fitted = FitFileName(".", target, ending);
    if (name.size() != fitted.size()) {
        return false;
    }
    constexpr std::size_t TagSize = 17; // "~" and sixteen hexadecimal digits
    const bool shortened = fitted.size() != 1 + target.size() + ending.size();
    const std::size_t same = fitted.size() - ending.size() - (shortened ? TagSize : 0);
    return name.substr(0, same) == std::string_view(fitted).substr(0, same);
}

// Removes what killed runs left in `folder` when no live writer has a temporary file there:
// every temporary file, or with `only` those of that file alone. False when a writer has one:
// the folder is to be looked at again later.
bool SweepFolder(const fs::path& folder, std::string_view only = {}) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK || errno == EINTR;
        ::close(fd);
        // Without locks nobody can tell a live writer's file from a leftover: it stays.
        return !busy;
    }
    DIR* listing = ::fdopendir(fd);
    if (listing == nullptr) {
        ::close(fd);
        return true;
    }
    while (const dirent* entry = ::readdir(listing)) {
        struct stat status {};
        if ((only.empty() ? IsTemporaryName(entry->d_name) : IsTemporaryNameOf(entry->d_name, only)) &&
            ::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode)) {
            ::unlinkat(fd, entry->d_name, 0);
        }
    }
    // Closing the listing lets the lock go.
    ::closedir(listing);
    return true;
}

// Sweeps `folder` (for `only`, see SweepFolder) once a run: each folder is looked at until a
// sweep finds it free, not at every write.
void RemoveLeftovers(const fs::path& folder, const std::string& key, std::string_view only = {}) {
    // Process-wide by nature, as the run is.
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        const std::lock_guard guard(mutex);
        if (swept.count(key) != 0) {
            return;
        }
    }
    if (SweepFolder(folder, only)) {
        const std::lock_guard guard(mutex);
        swept.insert(key);
    }
}

void RemoveLeftovers(const fs::path& folder) {
    RemoveLeftovers(folder, internal::LockKeyOf(folder));
}

// The same for every folder below `folder`, not through links.
void RemoveLeftoversBelow(const fs::path& folder) {
    RemoveLeftovers(folder);
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        std::error_code ignored;
        if (entry->is_directory(ignored) && !entry->is_symlink(ignored)) {
            RemoveLeftoversBelow(entry->path());
        }
    }
}

// A random suffix for a temporary file's name. The operating system's source of randomness
// costs a system call and an open device each time it is asked; a generation writes thousands of
// files, so each thread asks it once, for the seed of its own engine. The suffix needs to be
// unlikely to collide, not unpredictable: O_EXCL refuses a name that is taken, and the next try
// draws again.
unsigned TemporarySuffix() {
    thread_local std::mt19937 engine{std::random_device()()};
    return static_cast<unsigned>(engine());
}

} // namespace

FileBeside::FileBeside(const fs::path& target, std::u16string_view shownName) : mTarget(target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string folderKey = internal::LockKeyOf(folder);
    RemoveLeftovers(folder, folderKey);
    if (HoldFolder(folderKey)) {
        mHeldFolder = std::move(folderKey);
    }
    std::error_code error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::array<char, 24> suffix{};
        std::snprintf(suffix.data(), suffix.size(), "%08x%08x", TemporarySuffix(), TemporarySuffix());
        std::string ending(Marker);
        ending += suffix.data();
        // A long target name is shortened, so that every file that can be named can be replaced.
        const fs::path temporary = folder / FitFileName(".", target.filename().string(), ending);
        mFd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (mFd >= 0) {
            mTemporary = temporary;
            return;
        }
        error = LastError();
        if (errno != EEXIST) {
            break;
        }
    }
    Discard();
    RaiseFileError(error, shownName.empty() ? FromNativePath(target) : std::u16string(shownName));
}

FileBeside::FileBeside(FileBeside&& other) noexcept
    : mTarget(std::move(other.mTarget)), mTemporary(std::exchange(other.mTemporary, fs::path())),
      mHeldFolder(std::exchange(other.mHeldFolder, std::string())), mFd(std::exchange(other.mFd, -1)) {}

FileBeside::~FileBeside() {
    Discard();
}

std::error_code FileBeside::Write(std::string_view bytes) noexcept {
    return WriteAll(mFd, bytes);
}

std::error_code FileBeside::Close() noexcept {
    if (mFd < 0) {
        return {};
    }
    return ::close(std::exchange(mFd, -1)) == 0 ? std::error_code() : LastError();
}

std::error_code FileBeside::Replace() noexcept {
    return Complete(/*keepExisting=*/false);
}

std::error_code FileBeside::Publish() noexcept {
    return Complete(/*keepExisting=*/true);
}

std::error_code FileBeside::Complete(bool keepExisting) noexcept {
    std::error_code error = Close();
    if (!error) {
        if (keepExisting) {
            error = RenameKeepingTarget(mTemporary, mTarget);
        } else if (::rename(mTemporary.c_str(), mTarget.c_str()) != 0) {
            error = LastError();
        }
    }
    if (error) {
        Discard();
        return error;
    }
    mTemporary.clear();
    ReleaseHeldFolder();
    return {};
}

void FileBeside::Discard() noexcept {
    if (mFd >= 0) {
        ::close(std::exchange(mFd, -1));
    }
    if (!mTemporary.empty()) {
        ::unlink(mTemporary.c_str());
        mTemporary.clear();
    }
    ReleaseHeldFolder();
}

void FileBeside::ReleaseHeldFolder() noexcept {
    if (!mHeldFolder.empty()) {
        ReleaseFolder(mHeldFolder);
        mHeldFolder.clear();
    }
}

void RemoveLeftoverTemporaries(std::u16string_view folder, SweepDepth depth) {
    if (folder.empty()) {
        return;
    }
    if (depth == SweepDepth::Tree) {
        RemoveLeftoversBelow(ToNativePath(folder));
        return;
    }
    RemoveLeftovers(ToNativePath(folder));
}

void RemoveLeftoverTemporariesOf(std::u16string_view file, FinalLink link) {
    if (file.empty()) {
        return;
    }
    const fs::path target = ReplacedFile(ToNativePath(file), link);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string name = target.filename().string();
    // Counted apart from a sweep of the whole folder: keyed by the file's path, which is no
    // folder's key.
    RemoveLeftovers(folder, internal::LockKeyOf(folder) + "/" + name, name);
}

void RaiseFileError(std::error_code error, std::u16string_view path) {
    std::int32_t number = FileErrorNumber::PathFileAccessError;
    if (error == std::errc::no_such_file_or_directory) {
        std::error_code ignored;
        fs::path folder = ToNativePath(path).parent_path();
        bool folderExists = folder.empty() || fs::is_directory(folder, ignored);
        number = folderExists ? FileErrorNumber::FileNotFound : FileErrorNumber::PathNotFound;
    } else if (error == std::errc::not_a_directory) {
        number = FileErrorNumber::PathNotFound;
    } else if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
               error == std::errc::read_only_file_system) {
        number = FileErrorNumber::PermissionDenied;
    } else if (error == std::errc::file_exists) {
        number = FileErrorNumber::FileAlreadyExists;
    } else if (error == std::errc::no_space_on_device) {
        number = DiskFull;
    }
    std::u16string description = std::u16string(automation::StandardErrorText(number)) + u": " + Quoted(path);
    if (number == FileErrorNumber::PathFileAccessError) {
        description += u" (" + automation::FromUtf8(error.message()) + u")";
    }
    automation::Raise(number, u"", std::move(description));
}

bool FileExists(std::u16string_view path) {
    std::error_code ignored;
    return fs::is_regular_file(ToNativePath(path), ignored);
}

bool FolderExists(std::u16string_view path) {
    std::error_code ignored;
    return fs::is_directory(ToNativePath(path), ignored);
}

bool IsSymbolicLink(std::u16string_view path) {
    return IsLink(ToNativePath(path));
}

std::u16string AbsolutePath(std::u16string_view path) {
    std::error_code error;
    const fs::path native = ToNativePath(path);
    const fs::path absolute = fs::absolute(native, error);
    return FromNativePath(error ? native : absolute);
}

bool IsSameFile(std::u16string_view first, std::u16string_view second) {
    const fs::path one = ToNativePath(first);
    const fs::path other = ToNativePath(second);
    std::error_code error;
    if (fs::equivalent(one, other, error) && !error) {
        return true;
    }
    const auto resolved = [](const fs::path& path) {
        std::error_code failed;
        fs::path absolute = fs::absolute(path, failed);
        if (failed) {
            absolute = path;
        }
        const fs::path canonical = fs::weakly_canonical(absolute, failed);
        return (failed ? absolute : canonical).lexically_normal();
    };
    return resolved(one) == resolved(other);
}

std::optional<FileIdentity> IdentityOf(std::u16string_view path) {
    struct statx status {};
    if (::statx(AT_FDCWD, ToNativePath(path).c_str(), AT_STATX_SYNC_AS_STAT, IdentityFields, &status) != 0) {
        return std::nullopt;
    }
    return IdentityFrom(status);
}

std::string ReadFileBytes(std::u16string_view path) {
    FileIdentity ignored;
    return ReadFileBytes(path, ignored);
}

std::string ReadFileBytes(std::u16string_view path, FileIdentity& identity) {
    struct stat status {};
    FileDescriptor file = OpenForReading(path, status);
    struct statx opened {};
    if (::statx(file.Get(), "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, IdentityFields, &opened) == 0) {
        identity = IdentityFrom(opened);
    } else {
        identity = {(std::uint64_t{major(status.st_dev)} << 32) | minor(status.st_dev),
                    static_cast<std::uint64_t>(status.st_ino), 0};
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    if (std::error_code error = ReadChunks(file.Get(), [&bytes](std::string_view chunk) {
            bytes.append(chunk);
            return std::error_code();
        })) {
        RaiseFileError(error, path);
    }
    return bytes;
}

void WriteFileAtomic(std::u16string_view path, std::string_view bytes, Durability durability,
                     FinalLink link) {
    ReplaceFile(
        path, [bytes](int fd) { return WriteAll(fd, bytes); },
        FileAttributes{
            .mode = std::nullopt, .modified = std::nullopt, .durability = durability, .link = link});
}

bool WriteFileIfChanged(std::u16string_view path, std::string_view bytes) {
    if (RegularFileHolds(ToNativePath(path), bytes, /*follow=*/false)) {
        return false;
    }
    WriteFileAtomic(path, bytes);
    return true;
}

bool FileHoldsBytes(std::u16string_view path, std::string_view bytes) {
    return RegularFileHolds(ToNativePath(path), bytes, /*follow=*/true);
}

bool FilesHoldSameBytes(std::u16string_view first, std::u16string_view second) {
    struct stat firstStatus {};
    struct stat secondStatus {};
    FileDescriptor one = OpenRegularFile(ToNativePath(first), /*follow=*/true, firstStatus);
    FileDescriptor other = OpenRegularFile(ToNativePath(second), /*follow=*/true, secondStatus);
    if (!one.Valid() || !other.Valid() || firstStatus.st_size != secondStatus.st_size) {
        return false;
    }
    // Side by side in chunks: a database copy may be large.
    std::array<char, 65536> chunk{};
    std::array<char, 65536> otherChunk{};
    for (;;) {
        const ssize_t got = ReadFull(one.Get(), chunk.data(), chunk.size());
        const ssize_t otherGot = ReadFull(other.Get(), otherChunk.data(), otherChunk.size());
        if (got < 0 || got != otherGot ||
            std::string_view(chunk.data(), static_cast<std::size_t>(got)) !=
                std::string_view(otherChunk.data(), static_cast<std::size_t>(got))) {
            return false;
        }
        if (got == 0) {
            return true;
        }
    }
}

void CreateFolders(std::u16string_view path) {
    std::error_code error;
    fs::path native = ToNativePath(path);
    fs::create_directories(native, error);
    if (error) {
        RaiseFileError(error, path);
    }
    if (!fs::is_directory(native, error)) {
        RaiseFileError(std::make_error_code(std::errc::file_exists), path);
    }
}

namespace {

// Walks the components of `relative` below `root`, each joined to the ones before it, handing
// `visit` each path and its lstat (null when nothing is there); `visit` returns whether to go on.
template <typename Visit>
void WalkBelow(std::u16string_view root, std::u16string_view relative, Visit visit) {
    std::u16string path(root);
    while (!relative.empty()) {
        const std::size_t separator = relative.find_first_of(u"\\/");
        const std::u16string_view name = relative.substr(0, separator);
        relative.remove_prefix(separator == std::u16string_view::npos ? relative.size() : separator + 1);
        if (name.empty() || name == u".") {
            continue;
        }
        path = JoinPath(path, name);
        struct stat status {};
        const bool exists = ::lstat(ToNativePath(path).c_str(), &status) == 0;
        if (!visit(path, exists ? &status : nullptr)) {
            return;
        }
    }
}

} // namespace

std::optional<NonFolder> FirstNonFolderBelow(std::u16string_view root, std::u16string_view relative) {
    std::optional<NonFolder> found;
    // Nothing is below what is missing, and nothing below a file or a link is looked at.
    WalkBelow(root, relative, [&](const std::u16string& path, const struct stat* status) {
        if (status != nullptr && !S_ISDIR(status->st_mode)) {
            found = NonFolder{.path = path,
                              .link = S_ISLNK(status->st_mode),
                              .whereFile = false,
                              .special = IsSpecial(status->st_mode)};
        }
        return status != nullptr && !found;
    });
    return found;
}

std::u16string CreateFoldersBelow(std::u16string_view root, std::u16string_view relative) {
    std::u16string folder = JoinInside(root, relative);
    if (!FolderExists(root)) {
        CreateFolders(root);
    }
    WalkBelow(root, relative, [](const std::u16string& path, const struct stat* status) {
        if (status == nullptr) {
            if (::mkdir(ToNativePath(path).c_str(), 0777) != 0 && errno != EEXIST) {
                RaiseFileError(LastError(), path);
            }
            return true;
        }
        if (S_ISLNK(status->st_mode)) {
            RaiseLinkInPlaceOfFolder(path);
        }
        if (!S_ISDIR(status->st_mode)) {
            RaiseFileError(std::make_error_code(std::errc::file_exists), path);
        }
        return true;
    });
    return folder;
}

void RefuseLinksBelow(std::u16string_view root, std::u16string_view relative) {
    JoinInside(root, relative);
    if (std::optional<NonFolder> found = FirstNonFolderBelow(root, relative); found && found->link) {
        RaiseLinkInPlaceOfFolder(found->path);
    }
}

namespace {

// Copies the opened file `from` (of `status`) to `target` through a file beside it; a copy keeps
// the source's permissions and modification time. With `keepExisting` the copy only goes where
// nothing stands yet, and false says something did.
bool CopyOpened(const FileDescriptor& from, const struct stat& status, std::u16string_view target,
                bool keepExisting) {
    return ReplaceFile(
        target,
        [&from](int fd) {
            return ReadChunks(from.Get(), [fd](std::string_view chunk) { return WriteAll(fd, chunk); });
        },
        {.mode = status.st_mode & 0777, .modified = status.st_mtim, .keepExisting = keepExisting});
}

} // namespace

void CopyFile(std::u16string_view source, std::u16string_view target, bool overwrite) {
    struct stat status {};
    FileDescriptor from = OpenForReading(source, status);
    if (!overwrite && FileExists(target)) {
        RaiseFileError(std::make_error_code(std::errc::file_exists), target);
    }
    CopyOpened(from, status, target, /*keepExisting=*/false);
}

namespace {

// Copies what `source` holds into the folder `target`, which is a real folder or missing; what
// stands in the way goes to `left`.
void CopyFolderInto(std::u16string_view source, std::u16string_view target, bool overwrite,
                    std::vector<NonFolder>& left) {
    CreateFolders(target);
    const FolderEntries entries = ListFolder(source);
    // Links, pipes, sockets and devices in the source are neither followed nor opened, and
    // stay out of the copy.
    for (const std::u16string& name : entries.folders) {
        std::u16string folder = JoinPath(target, name);
        struct stat status {};
        if (::lstat(ToNativePath(folder).c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
            left.push_back({.path = std::move(folder),
                            .link = S_ISLNK(status.st_mode),
                            .whereFile = false,
                            .special = IsSpecial(status.st_mode)});
            continue;
        }
        CopyFolderInto(JoinPath(source, name), folder, overwrite, left);
    }
    for (const std::u16string& name : entries.files) {
        std::u16string file = JoinPath(target, name);
        struct stat status {};
        if (::lstat(ToNativePath(file).c_str(), &status) == 0 &&
            (S_ISLNK(status.st_mode) || IsSpecial(status.st_mode))) {
            left.push_back({.path = std::move(file),
                            .link = S_ISLNK(status.st_mode),
                            .whereFile = true,
                            .special = IsSpecial(status.st_mode)});
            continue;
        }
        CopyFile(JoinPath(source, name), file, overwrite);
    }
}

// The first symbolic link, pipe, socket or device in `folder` or below it, with what it is.
std::optional<std::pair<std::u16string, mode_t>> FirstUnmovableIn(std::u16string_view folder) {
    const FolderEntries entries = ListFolder(folder);
    for (const std::vector<std::u16string>* names : {&entries.links, &entries.others}) {
        if (!names->empty()) {
            std::u16string path = JoinPath(folder, names->front());
            struct stat status {};
            ::lstat(ToNativePath(path).c_str(), &status);
            return std::pair{std::move(path), status.st_mode};
        }
    }
    for (const std::u16string& name : entries.folders) {
        if (auto found = FirstUnmovableIn(JoinPath(folder, name))) {
            return found;
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<NonFolder> CopyFolder(std::u16string_view source, std::u16string_view target, bool overwrite) {
    if (!FolderExists(source)) {
        RaiseFileError(std::make_error_code(std::errc::no_such_file_or_directory), source);
    }
    if (IsLink(ToNativePath(target))) {
        RaiseLinkInPlaceOfFolder(target);
    }
    std::vector<NonFolder> left;
    CopyFolderInto(source, target, overwrite, left);
    return left;
}

bool CopyFileToNew(std::u16string_view source, std::u16string_view target) {
    struct stat status {};
    FileDescriptor from = OpenForReading(source, status);
    return CopyOpened(from, status, target, /*keepExisting=*/true);
}

bool MoveToNew(std::u16string_view source, std::u16string_view target) {
    const std::error_code error = RenameKeepingTarget(ToNativePath(source), ToNativePath(target));
    if (error == std::errc::file_exists) {
        return false;
    }
    if (error) {
        RaiseFileError(error, error == std::errc::no_such_file_or_directory ? source : target);
    }
    return true;
}

void MoveFile(std::u16string_view source, std::u16string_view target) {
    fs::path from = ToNativePath(source);
    if (::rename(from.c_str(), ToNativePath(target).c_str()) == 0) {
        return;
    }
    std::error_code error = LastError();
    if (error != std::errc::cross_device_link) {
        RaiseFileError(error,
                       error == std::errc::no_such_file_or_directory && !fs::exists(from) ? source : target);
    }
    if (FolderExists(source)) {
        // A folder copy neither follows nor makes links, and leaves what stands in its way: the
        // source is deleted only once all of it is in the target.
        if (const auto unmovable = FirstUnmovableIn(source)) {
            RaiseAccessError(unmovable->first,
                             std::u16string(EntryKind(unmovable->second)) +
                                 u" cannot be moved to another file system; nothing was moved");
        }
        if (std::vector<NonFolder> left = CopyFolder(source, target, true); !left.empty()) {
            RaiseFileError(std::make_error_code(std::errc::file_exists), left.front().path);
        }
        DeleteFolder(source);
        return;
    }
    CopyFile(source, target, true);
    DeleteFile(source);
}

bool DeleteFile(std::u16string_view path) {
    if (::unlink(ToNativePath(path).c_str()) == 0) {
        return true;
    }
    std::error_code error = LastError();
    if (error == std::errc::no_such_file_or_directory) {
        return false;
    }
    RaiseFileError(error, path);
}

bool DeleteFolder(std::u16string_view path) {
    fs::path native = ToNativePath(path);
    struct stat status {};
    if (::lstat(native.c_str(), &status) != 0) {
        return false;
    }
    // What stands there is somebody's, and is named rather than removed or followed.
    if (!S_ISDIR(status.st_mode)) {
        RaiseInPlaceOfFolder(path, status.st_mode);
    }
    std::error_code error;
    fs::remove_all(native, error);
    if (error) {
        RaiseFileError(error, path);
    }
    return true;
}

std::uint64_t FileSize(std::u16string_view path) {
    struct stat status = StatOrRaise(path);
    if (S_ISDIR(status.st_mode)) {
        RaiseFileError(std::make_error_code(std::errc::is_a_directory), path);
    }
    return static_cast<std::uint64_t>(status.st_size);
}

double FileModified(std::u16string_view path) {
    struct stat status = StatOrRaise(path);
    std::tm local{};
    time_t seconds = status.st_mtime;
    localtime_r(&seconds, &local);
    std::optional<double> day =
        automation::DateFromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    double time = automation::TimeFromParts(local.tm_hour, local.tm_min, local.tm_sec);
    // Before 1899-12-30 the serial's day is negative and its time still counts forward.
    return *day < 0 ? *day - time : *day + time;
}

FolderEntries ListFolder(std::u16string_view path) {
    FolderEntries entries;
    std::error_code error;
    fs::directory_iterator iterator(ToNativePath(path), error);
    for (fs::directory_iterator end; !error && iterator != end; iterator.increment(error)) {
        std::error_code ignored;
        std::u16string name = FromNativePath(iterator->path().filename());
        const fs::file_type type = iterator->symlink_status(ignored).type();
        if (type == fs::file_type::none || type == fs::file_type::not_found) {
            continue; // gone since the listing was read
        }
        if (type == fs::file_type::symlink) {
            entries.links.push_back(std::move(name));
        } else if (type == fs::file_type::directory) {
            entries.folders.push_back(std::move(name));
        } else if (type == fs::file_type::regular) {
            entries.files.push_back(std::move(name));
        } else {
            entries.others.push_back(std::move(name));
        }
    }
    if (error) {
        RaiseFileError(error, path);
    }
    std::ranges::sort(entries.files);
    std::ranges::sort(entries.folders);
    std::ranges::sort(entries.links);
    std::ranges::sort(entries.others);
    return entries;
}

} // namespace qv::system
