#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include <sys/types.h>

namespace qv::system::internal {

/// The name a lock is known by in this process: the absolute, normalised path of what it locks,
/// so that two spellings of one file or folder meet in one entry.
std::string LockKeyOf(const std::filesystem::path& path);

/// The descriptors through which this process holds the system's locks, by lock key, counted by
/// their holders. Process-wide by nature: the system's lock belongs to the open file, not to an
/// apartment, so every apartment of the process must share it. A child made by fork inherits the
/// table but not what it stands for, so an entry of another process is dropped where it is met.
class HeldLocks {
public:
    enum class Join {
        Joined,   ///< held in this process and shared: one holder more
        NotHeld,  ///< nobody in this process holds it
        Exclusive ///< held in this process by a holder that shares it with nobody
    };

    /// Joins the holders of `key` where this process holds it and both sides share.
    Join JoinHeld(const std::string& key, bool wantShared);

    /// Records `fd`, through which the lock of `key` was just taken, with one holder. Where a
    /// holder of this process took it meanwhile, its descriptor serves both and `fd` is closed.
    void Record(const std::string& key, int fd, bool shared);

    /// One holder fewer; the last one closes the descriptor, which lets the lock go.
    void Release(const std::string& key) noexcept;

private:
    struct Entry {
        int fd = -1;
        int holders = 0;
        bool shared = true;
        pid_t process = 0;
    };
    std::mutex mMutex;
    std::map<std::string, Entry> mHeld;
};

} // namespace qv::system::internal
