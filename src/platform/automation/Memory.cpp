#include "platform/automation/Memory.h"

#include "platform/automation/Error.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace qv::automation {

namespace detail {
thread_local MemoryAccount tMemoryAccount;
} // namespace detail

namespace {

using detail::tMemoryAccount;

std::size_t Ceiling(detail::MemoryAccount& account) noexcept {
    if (account.ceiling == 0) {
        account.ceiling = DefaultMemoryCeiling();
    }
    return account.ceiling;
}

[[noreturn]] void RaiseOutOfMemory() {
    Raise(ErrorNumber::OutOfMemory);
}

bool Fits(std::size_t bytes) noexcept {
    detail::MemoryAccount& account = tMemoryAccount;
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
    return Ceiling(tMemoryAccount);
}

void SetMemoryCeiling(std::size_t bytes) noexcept {
    tMemoryAccount.ceiling = bytes == 0 ? DefaultMemoryCeiling() : bytes;
}

std::size_t MemoryInUse() noexcept {
    return tMemoryAccount.inUse;
}

void CheckAllocation(std::size_t count, std::size_t size) {
    if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) {
        RaiseOutOfMemory();
    }
    if (!Fits(count * size)) {
        RaiseOutOfMemory();
    }
}

void detail::ChargeMemorySlow(std::size_t bytes) {
    if (!Fits(bytes)) {
        RaiseOutOfMemory();
    }
    tMemoryAccount.inUse += bytes;
}

void Recharge(std::size_t& charged, std::size_t charge) noexcept {
    if (charge > charged) {
        ChargeMemoryUnchecked(charge - charged);
    } else {
        RefundMemory(charged - charge);
    }
    charged = charge;
}

void RechargeChecked(std::size_t& charged, std::size_t charge) {
    if (charge > charged) {
        ChargeMemory(charge - charged);
        charged = charge;
        return;
    }
    Recharge(charged, charge);
}

void detail::CheckTextGrowth(const std::u16string& text, std::size_t added) {
    // Growth doubles the capacity; the old buffer stays until the copy is made.
    CheckAllocation(std::max(text.size() + added, text.capacity() * 2), sizeof(char16_t));
}

} // namespace qv::automation
