#include "platform/system/FileSystem.h"

#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

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

// Opens a file (not a folder) for reading, with its status; raises naming `path`.
FileDescriptor OpenForReading(std::u16string_view path, struct stat& status) {
    FileDescriptor file(::open(ToNativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid() || ::fstat(file.Get(), &status) != 0) {
        RaiseFileError(LastError(), path);
    }
    if (S_ISDIR(status.st_mode)) {
        RaiseFileError(std::make_error_code(std::errc::is_a_directory), path);
    }
    return file;
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
};

// Write beside and rename, so that a crash never leaves half a file. `fill` writes the
// contents into the temporary file.
void ReplaceFile(std::u16string_view path, const std::function<std::error_code(int)>& fill,
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
        error = file.Replace();
    }
    if (error) {
        RaiseFileError(error, path);
    }
    if (attributes.durability == Durability::RenameOnly) {
        return;
    }
    // The rename itself reaches the disk with the folder's entry.
    FileDescriptor folder(::open(target.has_parent_path() ? target.parent_path().c_str() : ".",
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) {
        ::fsync(folder.Get());
    }
}

struct stat StatOrRaise(std::u16string_view path) {
    struct stat status {};
    if (::stat(ToNativePath(path).c_str(), &status) != 0) {
        RaiseFileError(LastError(), path);
    }
    return status;
}

std::u16string Quoted(std::u16string_view path) {
    return u"'" + std::u16string(path) + u"'";
}

[[noreturn]] void RaiseLinkInPlaceOfFolder(std::u16string_view path) {
    automation::Raise(FileErrorNumber::PathFileAccessError, u"",
                      std::u16string(automation::StandardErrorText(FileErrorNumber::PathFileAccessError)) +
                          u": " + Quoted(path) + u" (a symbolic link stands where a folder is expected)");
}

bool IsLink(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// When this run began: a temporary file older than that was left by an earlier run. Read from
// the coarse clock that stamps files: the precise clock runs up to a tick ahead of it, so a file
// made just after the start could otherwise look older than the run and be swept.
timespec Now() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}
const timespec RunStart = Now();

bool IsBefore(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// ".NAME.tmp-" and eight hexadecimal digits: the name FileBeside gives its temporary files.
bool IsTemporaryName(std::string_view name) {
    constexpr std::string_view Marker = ".tmp-";
    constexpr std::size_t Digits = 8;
    if (name.size() < 1 + 1 + Marker.size() + Digits || name.front() != '.') {
        return false;
    }
    const std::string_view suffix = name.substr(name.size() - Digits);
    return name.substr(name.size() - Digits - Marker.size(), Marker.size()) == Marker &&
           suffix.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// Removes what killed runs left in `folder`, once a run: temporary files older than the run
// that no program holds open.
void RemoveLeftovers(const fs::path& folder) {
    // Process-wide by nature, as the run is: each folder is looked at once, not at every write.
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::error_code error;
        const fs::path absolute = fs::absolute(folder, error);
        const std::lock_guard guard(mutex);
        if (!swept.insert((error ? folder : absolute).lexically_normal().string()).second) {
            return;
        }
    }
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return;
    }
    const int folderFd = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        if (!IsTemporaryName(entry->d_name)) {
            continue;
        }
        struct stat status {};
        if (::fstatat(folderFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode) || !IsBefore(status.st_mtim, RunStart)) {
            continue;
        }
        // A file another program still writes is locked; one it has closed is renamed at once.
        const FileDescriptor file(::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (file.Valid() && ::flock(file.Get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(folderFd, entry->d_name, 0);
        }
    }
    ::closedir(listing);
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
    RemoveLeftovers(folder);
    std::error_code error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::array<char, 16> suffix{};
        std::snprintf(suffix.data(), suffix.size(), "%08x", TemporarySuffix());
        // Appended piece by piece: `"." + std::string&&` trips GCC 12's false -Wrestrict at -O3.
        std::string hiddenName(".");
        hiddenName += target.filename().string();
        hiddenName += ".tmp-";
        hiddenName += suffix.data();
        fs::path temporary = folder / hiddenName;
        mFd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (mFd >= 0) {
            // Tells another run that sweeps the folder that this file is being written.
            ::flock(mFd, LOCK_EX | LOCK_NB);
            mTemporary = std::move(temporary);
            return;
        }
        error = LastError();
        if (errno != EEXIST) {
            break;
        }
    }
    RaiseFileError(error, shownName.empty() ? FromNativePath(target) : std::u16string(shownName));
}

FileBeside::FileBeside(FileBeside&& other) noexcept
    : mTarget(std::move(other.mTarget)), mTemporary(std::exchange(other.mTemporary, fs::path())),
      mFd(std::exchange(other.mFd, -1)) {}

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
    std::error_code error = Close();
    if (!error && ::rename(mTemporary.c_str(), mTarget.c_str()) != 0) {
        error = LastError();
    }
    if (error) {
        Discard();
        return error;
    }
    mTemporary.clear();
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
}

void RemoveLeftoverTemporaries(std::u16string_view folder) {
    if (!folder.empty()) {
        RemoveLeftovers(ToNativePath(folder));
    }
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

std::string ReadFileBytes(std::u16string_view path) {
    struct stat status {};
    FileDescriptor file = OpenForReading(path, status);
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
    FileDescriptor file(::open(ToNativePath(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (file.Valid() && ::fstat(file.Get(), &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::uint64_t>(status.st_size) == bytes.size()) {
        std::string_view rest = bytes;
        const std::error_code error = ReadChunks(file.Get(), [&rest](std::string_view chunk) {
            if (chunk.size() > rest.size() || chunk != rest.substr(0, chunk.size())) {
                return std::make_error_code(std::errc::operation_canceled);
            }
            rest.remove_prefix(chunk.size());
            return std::error_code();
        });
        if (!error && rest.empty()) {
            return false;
        }
    }
    WriteFileAtomic(path, bytes);
    return true;
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

// Walks the components of `relative` below `root`, lstat'ing each one that exists: a link is
// refused, a file too when `create`, and with `create` the missing folders are made.
void WalkBelow(std::u16string_view root, std::u16string_view relative, bool create) {
    std::u16string path(root);
    while (!relative.empty()) {
        const std::size_t separator = relative.find_first_of(u"\\/");
        const std::u16string_view name = relative.substr(0, separator);
        relative.remove_prefix(separator == std::u16string_view::npos ? relative.size() : separator + 1);
        if (name.empty() || name == u".") {
            continue;
        }
        path = JoinPath(path, name);
        const fs::path native = ToNativePath(path);
        struct stat status {};
        if (::lstat(native.c_str(), &status) == 0) {
            if (S_ISLNK(status.st_mode)) {
                RaiseLinkInPlaceOfFolder(path);
            }
            if (create && !S_ISDIR(status.st_mode)) {
                RaiseFileError(std::make_error_code(std::errc::file_exists), path);
            }
            continue;
        }
        if (!create) {
            return;
        }
        if (::mkdir(native.c_str(), 0777) != 0 && errno != EEXIST) {
            RaiseFileError(LastError(), path);
        }
    }
}

} // namespace

std::u16string CreateFoldersBelow(std::u16string_view root, std::u16string_view relative) {
    std::u16string folder = JoinInside(root, relative);
    if (!FolderExists(root)) {
        CreateFolders(root);
    }
    WalkBelow(root, relative, /*create=*/true);
    return folder;
}

void RefuseLinksBelow(std::u16string_view root, std::u16string_view relative) {
    JoinInside(root, relative);
    WalkBelow(root, relative, /*create=*/false);
}

void CopyFile(std::u16string_view source, std::u16string_view target, bool overwrite) {
    struct stat status {};
    FileDescriptor from = OpenForReading(source, status);
    if (!overwrite && FileExists(target)) {
        RaiseFileError(std::make_error_code(std::errc::file_exists), target);
    }
    // A copy keeps the source's permissions and modification time.
    ReplaceFile(target,
                [&from](int fd) {
                    return ReadChunks(from.Get(),
                                      [fd](std::string_view chunk) { return WriteAll(fd, chunk); });
                },
                {.mode = status.st_mode & 0777, .modified = status.st_mtim});
}

void CopyFolder(std::u16string_view source, std::u16string_view target, bool overwrite) {
    if (!FolderExists(source)) {
        RaiseFileError(std::make_error_code(std::errc::no_such_file_or_directory), source);
    }
    if (IsLink(ToNativePath(target))) {
        RaiseLinkInPlaceOfFolder(target);
    }
    CreateFolders(target);
    FolderEntries entries = ListFolder(source);
    for (const std::u16string& name : entries.folders) {
        CopyFolder(JoinPath(source, name), JoinPath(target, name), overwrite);
    }
    for (const std::u16string& name : entries.files) {
        CopyFile(JoinPath(source, name), JoinPath(target, name), overwrite);
    }
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
        CopyFolder(source, target, true);
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
    std::error_code error;
    if (!fs::exists(fs::symlink_status(native, error))) {
        return false;
    }
    if (!fs::is_directory(fs::symlink_status(native, error))) {
        RaiseFileError(std::make_error_code(std::errc::not_a_directory), path);
    }
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
        if (iterator->is_directory(ignored)) {
            entries.folders.push_back(std::move(name));
        } else {
            entries.files.push_back(std::move(name));
        }
    }
    if (error) {
        RaiseFileError(error, path);
    }
    std::ranges::sort(entries.files);
    std::ranges::sort(entries.folders);
    return entries;
}

} // namespace qv::system
