#include "platform/system/FileLock.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/internal/HeldLocks.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace qv::system {

namespace {

namespace fs = std::filesystem;

// Every lock file this process holds. Process-wide by nature, as the system's locks are.
internal::HeldLocks& Locks() {
    static internal::HeldLocks table;
    return table;
}

// Opens (or creates) the lock file itself: never through a link, and only a file.
int OpenLockFile(const std::string& key, std::u16string_view lockFile) {
    const int fd = ::open(key.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        // A link in its place gives ELOOP, reported as the access error it is.
        RaiseFileError({errno, std::system_category()}, lockFile);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        RaiseFileError(std::make_error_code(std::errc::not_supported), lockFile);
    }
    return fd;
}

} // namespace

std::optional<FileLock> FileLock::Acquire(std::u16string_view lockFile, std::chrono::milliseconds wait,
                                          Sharing sharing) {
    std::string key = internal::LockKeyOf(ToNativePath(lockFile));
    internal::HeldLocks& table = Locks();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    // Short pauses first: a lock held for a few file operations is let go within milliseconds.
    std::chrono::milliseconds pause(1);
    int fd = -1;
    for (;;) {
        // Another holder in this process shares what it holds, also one that takes it while this
        // one waits, unless one of the two shares with nobody.
        const internal::HeldLocks::Join held = table.JoinHeld(key, sharing == Sharing::Process);
        if (held == internal::HeldLocks::Join::Joined) {
            if (fd >= 0) {
                ::close(fd);
            }
            return FileLock(std::move(key));
        }
        if (held == internal::HeldLocks::Join::NotHeld) {
            if (fd < 0) {
                fd = OpenLockFile(key, lockFile);
            }
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                break;
            }
            const int error = errno;
            // A file system without locks: the work goes on unguarded rather than not at all.
            if (error == ENOLCK || error == EOPNOTSUPP) {
                break;
            }
            if (error != EWOULDBLOCK && error != EINTR) {
                ::close(fd);
                RaiseFileError({error, std::system_category()}, lockFile);
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            if (fd >= 0) {
                ::close(fd);
            }
            return std::nullopt;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    table.Record(key, fd, sharing == Sharing::Process);
    return FileLock(std::move(key));
}

FileLock::FileLock(FileLock&& other) noexcept : mKey(std::exchange(other.mKey, std::string())) {}

FileLock::~FileLock() {
    if (mKey.empty()) {
        return;
    }
    Locks().Release(mKey);
}

} // namespace qv::system
