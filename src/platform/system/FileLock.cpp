#include "platform/system/FileLock.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace qv::system {

namespace {

namespace fs = std::filesystem;

struct HeldLock {
    int fd = -1;
    int holders = 0;
    bool shared = true; ///< whether other holders of this process may share it
    pid_t process = 0;  ///< a child made by fork inherits the table, not what it stands for
};

// The locks this process holds, by lock file. Process-wide by nature: the system's lock belongs
// to the open file, not to an apartment, so every apartment of the process must share it.
struct LockTable {
    std::mutex mutex;
    std::map<std::string, HeldLock> held;
};

LockTable& Locks() {
    static LockTable table;
    return table;
}

std::string KeyOf(std::u16string_view lockFile) {
    std::error_code error;
    fs::path native = ToNativePath(lockFile);
    fs::path absolute = fs::absolute(native, error);
    return (error ? native : absolute).lexically_normal().string();
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
    std::string key = KeyOf(lockFile);
    LockTable& table = Locks();
    enum class Held { No, Shared, Busy };
    // Another holder in this process shares what it holds, also one that takes it while this
    // one waits, unless one of the two shares with nobody.
    auto shareHeld = [&table, &key, sharing] {
        const std::lock_guard guard(table.mutex);
        auto found = table.held.find(key);
        if (found == table.held.end()) {
            return Held::No;
        }
        if (found->second.process != ::getpid()) {
            ::close(found->second.fd);
            table.held.erase(found);
            return Held::No;
        }
        if (sharing == Sharing::None || !found->second.shared) {
            return Held::Busy;
        }
        ++found->second.holders;
        return Held::Shared;
    };
    const auto deadline = std::chrono::steady_clock::now() + wait;
    // Short pauses first: a lock held for a few file operations is let go within milliseconds.
    std::chrono::milliseconds pause(1);
    int fd = -1;
    for (;;) {
        const Held held = shareHeld();
        if (held == Held::Shared) {
            if (fd >= 0) {
                ::close(fd);
            }
            return FileLock(std::move(key));
        }
        if (held == Held::No) {
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
    const std::lock_guard guard(table.mutex);
    table.held[key] = HeldLock{fd, 1, sharing == Sharing::Process, ::getpid()};
    return FileLock(std::move(key));
}

FileLock::FileLock(FileLock&& other) noexcept : mKey(std::exchange(other.mKey, std::string())) {}

FileLock::~FileLock() {
    if (mKey.empty()) {
        return;
    }
    LockTable& table = Locks();
    const std::lock_guard guard(table.mutex);
    auto found = table.held.find(mKey);
    if (found == table.held.end() || found->second.process != ::getpid() || --found->second.holders > 0) {
        return;
    }
    // Closing the only descriptor lets the lock go.
    ::close(found->second.fd);
    table.held.erase(found);
}

} // namespace qv::system
