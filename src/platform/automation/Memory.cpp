#include "platform/automation/Memory.h"

#include "platform/automation/Error.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace qv::automation {

namespace {

// The account belongs to the apartment, and an apartment is one thread (see Locale.cpp).
struct MemoryAccount {
    std::size_t inUse = 0;
    std::size_t ceiling = 0; // 0: not set yet, the default applies
};
thread_local MemoryAccount tAccount;

std::size_t Ceiling(MemoryAccount& account) noexcept {
    if (account.ceiling == 0) {
        account.ceiling = DefaultMemoryCeiling();
    }
    return account.ceiling;
}

[[noreturn]] void RaiseOutOfMemory() {
    Raise(ErrorNumber::OutOfMemory);
}

bool Fits(std::size_t bytes) noexcept {
    MemoryAccount& account = tAccount;
    const std::size_t ceiling = Ceiling(account);
    return account.inUse <= ceiling && bytes <= ceiling - account.inUse;
}

} // namespace

std::size_t DefaultMemoryCeiling() noexcept {
    constexpr std::size_t OneGiB = std::size_t{1} << 30;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) {
        return OneGiB;
    }
    const std::uint64_t physical = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return static_cast<std::size_t>(std::min<std::uint64_t>(OneGiB, physical / 4));
}

std::size_t MemoryCeiling() noexcept {
    return Ceiling(tAccount);
}

void SetMemoryCeiling(std::size_t bytes) noexcept {
    tAccount.ceiling = bytes == 0 ? DefaultMemoryCeiling() : bytes;
}

std::size_t MemoryInUse() noexcept {
    return tAccount.inUse;
}

void CheckAllocation(std::size_t count, std::size_t size) {
    if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) {
        RaiseOutOfMemory();
    }
    if (!Fits(count * size)) {
        RaiseOutOfMemory();
    }
}

void ChargeMemory(std::size_t bytes) {
    if (!Fits(bytes)) {
        RaiseOutOfMemory();
    }
    tAccount.inUse += bytes;
}

void ChargeMemoryUnchecked(std::size_t bytes) noexcept {
    tAccount.inUse += bytes;
}

void RefundMemory(std::size_t bytes) noexcept {
    MemoryAccount& account = tAccount;
    account.inUse -= std::min(bytes, account.inUse);
}

void Recharge(std::size_t& charged, std::size_t charge) noexcept {
    if (charge > charged) {
        ChargeMemoryUnchecked(charge - charged);
    } else {
        RefundMemory(charged - charge);
    }
    charged = charge;
}

void AppendChecked(std::u16string& text, std::u16string_view piece) {
    if (text.size() + piece.size() > text.capacity()) {
        // Growth doubles the capacity; the old buffer stays until the copy is made.
        CheckAllocation(std::max(text.size() + piece.size(), text.capacity() * 2), sizeof(char16_t));
    }
    text.append(piece);
}

void ReserveChecked(std::u16string& text, std::size_t length) {
    if (length > text.capacity()) {
        CheckAllocation(length, sizeof(char16_t));
    }
    text.reserve(length);
}

} // namespace qv::automation
