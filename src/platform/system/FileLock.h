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
    /// Takes the lock, trying again until `wait` has passed; nullopt when another process still
    /// holds it then. A lock file that cannot be opened raises the file error naming it.
    static std::optional<FileLock> Acquire(std::u16string_view lockFile, std::chrono::milliseconds wait);

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
