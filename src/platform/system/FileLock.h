#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace qv::system {

/// An advisory lock on a lock file, shared by every holder in this process and exclusive
/// against other processes (flock on the file, created when missing and never removed, so that
/// two processes always lock the same file). The system's locks belong to an open file, so a
/// process that opened the lock file twice would lock itself out: holders in one process share
/// one descriptor, counted, and the lock is let go with the last of them. Programs that do not
/// take the lock are not stopped by it, and on a file system that has no locks it guards nothing.
class FileLock {
public:
    /// Who in this process shares a lock.
    enum class Sharing {
        /// Every holder in this process: a program that holds it may take it again inside.
        Process,
        /// Nobody: a holder in another apartment of this process waits as another process does.
        None,
    };

    /// Takes the lock, trying again until `wait` has passed; nullopt when another holder still
    /// has it then. A lock file that cannot be opened raises the file error naming it; a symbolic
    /// link or anything but a file in its place is refused (75), never followed, so that a link
    /// planted there cannot make the lock create or lock a file elsewhere.
    static std::optional<FileLock> Acquire(std::u16string_view lockFile, std::chrono::milliseconds wait,
                                           Sharing sharing = Sharing::Process);

    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&&) = delete;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(std::string key) : mKey(std::move(key)) {}

    std::string mKey; ///< the lock file's absolute path; empty once moved from
};

} // namespace qv::system
