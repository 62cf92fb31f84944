#include "platform/system/FileLock.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/file.h>
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
    pid_t process = 0; ///< a child made by fork inherits the table, not what it stands for
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

} // namespace

std::optional<FileLock> FileLock::Acquire(std::u16string_view lockFile, std::chrono::milliseconds wait) {
    std::string key = KeyOf(lockFile);
    LockTable& table = Locks();
    // Another holder in this process shares what it holds, also one that takes it while this
    // one waits.
    auto shareHeld = [&table, &key] {
        const std::lock_guard guard(table.mutex);
        auto found = table.held.find(key);
        if (found == table.held.end()) {
            return false;
        }
        if (found->second.process != ::getpid()) {
            ::close(found->second.fd);
            table.held.erase(found);
            return false;
        }
        ++found->second.holders;
        return true;
    };
    if (shareHeld()) {
        return FileLock(std::move(key));
    }
    const int fd = ::open(key.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        RaiseFileError({errno, std::system_category()}, lockFile);
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        // A file system without locks: the work goes on unguarded rather than not at all.
        if (error == ENOLCK || error == EOPNOTSUPP) {
            break;
        }
        if (error != EWOULDBLOCK && error != EINTR) {
            ::close(fd);
            RaiseFileError({error, std::system_category()}, lockFile);
        }
        if (shareHeld()) {
            ::close(fd);
            return FileLock(std::move(key));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::lock_guard guard(table.mutex);
    table.held[key] = HeldLock{fd, 1, ::getpid()};
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
