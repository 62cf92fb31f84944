#include "platform/system/internal/HeldLocks.h"

#include <system_error>

#include <unistd.h>

namespace qv::system::internal {

std::string LockKeyOf(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? path : absolute).lexically_normal().string();
}

HeldLocks::Join HeldLocks::JoinHeld(const std::string& key, bool wantShared) {
    const std::lock_guard guard(mMutex);
    const auto found = mHeld.find(key);
    if (found == mHeld.end()) {
        return Join::NotHeld;
    }
    if (found->second.process != ::getpid()) {
        ::close(found->second.fd);
        mHeld.erase(found);
        return Join::NotHeld;
    }
    if (!wantShared || !found->second.shared) {
        return Join::Exclusive;
    }
    ++found->second.holders;
    return Join::Joined;
}

void HeldLocks::Record(const std::string& key, int fd, bool shared) {
    const std::lock_guard guard(mMutex);
    Entry& entry = mHeld[key];
    if (entry.holders > 0 && entry.process == ::getpid()) {
        ::close(fd);
        ++entry.holders;
        return;
    }
    if (entry.holders > 0) {
        ::close(entry.fd);
    }
    entry = Entry{fd, 1, shared, ::getpid()};
}

void HeldLocks::Release(const std::string& key) noexcept {
    const std::lock_guard guard(mMutex);
    const auto found = mHeld.find(key);
    if (found == mHeld.end() || found->second.process != ::getpid() || --found->second.holders > 0) {
        return;
    }
    ::close(found->second.fd);
    mHeld.erase(found);
}

} // namespace qv::system::internal
