#include "platform/automation/Memory.h"

#include "platform/automation/Error.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

namespace qv::automation {

namespace detail {
thread_local constinit MemoryAccount tMemoryAccount;
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

/// What the thread holds while an engine runs: the heap count, or the account when that is more
/// (what was charged while no engine ran).
std::size_t Held(const detail::MemoryAccount& account) noexcept {
    return account.counting != 0 ? std::max(account.inUse, account.heapInUse) : account.inUse;
}

bool HeapOver(const detail::MemoryAccount& account) noexcept {
    return account.counting != 0 && account.heapInUse > account.ceiling;
}

/// Sets the default ceiling on first use; lets the quick test pass again once the heap count is
/// back under the ceiling.
void Refresh(detail::MemoryAccount& account) noexcept {
    const std::size_t ceiling = Ceiling(account);
    account.limit = HeapOver(account) ? 0 : ceiling;
}

bool Fits(std::size_t bytes) noexcept {
    detail::MemoryAccount& account = tMemoryAccount;
    Refresh(account);
    const std::size_t ceiling = account.ceiling;
    const std::size_t used = Held(account);
    return used <= ceiling && bytes <= ceiling - used;
}

// Counts a block by the heap's own rule, so that the block a sized delete gives back and the one
// malloc_usable_size reports (its usable part, the header and rounding left out) come to the
// same figure as the request did.
void CountTaken(std::size_t bytes) noexcept {
    detail::MemoryAccount& account = tMemoryAccount;
    if (account.counting != 0) {
        account.heapInUse += HeapBlockSize(bytes);
        if (account.heapInUse > account.ceiling) {
            account.limit = 0;
        }
    }
}

void CountGiven(std::size_t bytes) noexcept {
    detail::MemoryAccount& account = tMemoryAccount;
    const std::size_t block = HeapBlockSize(bytes);
    account.heapInUse -= block < account.heapInUse ? block : account.heapInUse;
}

void CountGiven(void* block) noexcept {
    if (block != nullptr && tMemoryAccount.heapInUse != 0) {
        CountGiven(malloc_usable_size(block));
    }
}

/// The standard loop of operator new around `allocate` (which returns null when the heap has no
/// block): the new-handler may make room, or the call ends in std::bad_alloc.
template <typename Allocate> void* TakeWith(std::size_t bytes, Allocate allocate) {
    for (;;) {
        if (void* block = allocate(bytes == 0 ? 1 : bytes)) {
            CountTaken(bytes);
            return block;
        }
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) {
            throw std::bad_alloc();
        }
        handler();
    }
}

void* Take(std::size_t bytes) {
    // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): this is the allocator under operator new
    return TakeWith(bytes, [](std::size_t size) { return std::malloc(size); });
}

void* TakeAligned(std::size_t bytes, std::align_val_t alignment) {
    const auto align = std::max(static_cast<std::size_t>(alignment), sizeof(void*));
    return TakeWith(bytes, [align](std::size_t size) -> void* {
        void* block = nullptr;
        return posix_memalign(&block, align, size) == 0 ? block : nullptr;
    });
}

void Give(void* block) noexcept {
    CountGiven(block);
    // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): this is the allocator under operator delete
    std::free(block);
}

void Give(void* block, std::size_t bytes) noexcept {
    if (block != nullptr && tMemoryAccount.heapInUse != 0) {
        CountGiven(bytes);
    }
    // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): this is the allocator under operator delete
    std::free(block);
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
    Refresh(tMemoryAccount);
}

std::size_t MemoryInUse() noexcept {
    return tMemoryAccount.inUse;
}

void detail::OpenCeilingScope(std::size_t bytes) noexcept {
    ++tMemoryAccount.counting;
    SetMemoryCeiling(bytes);
}

void detail::CloseCeilingScope(std::size_t previous) noexcept {
    --tMemoryAccount.counting;
    SetMemoryCeiling(previous);
}

void detail::CheckHeapSlow() {
    detail::MemoryAccount& account = tMemoryAccount;
    Refresh(account);
    if (HeapOver(account)) {
        RaiseOutOfMemory();
    }
}

void CheckAllocation(std::size_t count, std::size_t size) {
    CheckReplacement(count, size, 0);
}

void CheckReplacement(std::size_t count, std::size_t size, std::size_t released) {
    if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) {
        RaiseOutOfMemory();
    }
    const std::size_t bytes = count * size;
    if (bytes > released && !Fits(bytes - released)) {
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

// The library's own operator new and delete: the standard ones, with the count above. Every
// program that uses the account links this file, so a block the engine's thread takes anywhere
// (the engine, the standard library, a host object) is counted alike.
void* operator new(std::size_t bytes) {
    return qv::automation::Take(bytes);
}
void* operator new[](std::size_t bytes) {
    return qv::automation::Take(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t& /*unused*/) noexcept {
    try {
        return qv::automation::Take(bytes);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t bytes, const std::nothrow_t& /*unused*/) noexcept {
    try {
        return qv::automation::Take(bytes);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new(std::size_t bytes, std::align_val_t alignment) {
    return qv::automation::TakeAligned(bytes, alignment);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
    return qv::automation::TakeAligned(bytes, alignment);
}
void* operator new(std::size_t bytes, std::align_val_t alignment, const std::nothrow_t& /*unused*/) noexcept {
    try {
        return qv::automation::TakeAligned(bytes, alignment);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t bytes, std::align_val_t alignment,
                     const std::nothrow_t& /*unused*/) noexcept {
    try {
        return qv::automation::TakeAligned(bytes, alignment);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* block) noexcept {
    qv::automation::Give(block);
}
void operator delete[](void* block) noexcept {
    qv::automation::Give(block);
}
void operator delete(void* block, std::size_t bytes) noexcept {
    qv::automation::Give(block, bytes);
}
void operator delete[](void* block, std::size_t bytes) noexcept {
    qv::automation::Give(block, bytes);
}
void operator delete(void* block, const std::nothrow_t& /*unused*/) noexcept {
    qv::automation::Give(block);
}
void operator delete[](void* block, const std::nothrow_t& /*unused*/) noexcept {
    qv::automation::Give(block);
}
void operator delete(void* block, std::align_val_t /*alignment*/) noexcept {
    qv::automation::Give(block);
}
void operator delete[](void* block, std::align_val_t /*alignment*/) noexcept {
    qv::automation::Give(block);
}
void operator delete(void* block, std::size_t bytes, std::align_val_t /*alignment*/) noexcept {
    qv::automation::Give(block, bytes);
}
void operator delete[](void* block, std::size_t bytes, std::align_val_t /*alignment*/) noexcept {
    qv::automation::Give(block, bytes);
}
void operator delete(void* block, std::align_val_t /*alignment*/, const std::nothrow_t& /*unused*/) noexcept {
    qv::automation::Give(block);
}
void operator delete[](void* block, std::align_val_t /*alignment*/,
                       const std::nothrow_t& /*unused*/) noexcept {
    qv::automation::Give(block);
}
