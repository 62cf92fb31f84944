#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::automation {

// The apartment's memory account. Strings, arrays, the engine's objects and its compiled code
// charge what they hold and refund it when they go; an allocation that would take the total past
// the ceiling raises 7 "Out of memory" before anything is allocated, so that a script that
// doubles a string in a loop or asks for ReDim a(200000000) fails as a script error instead of
// exhausting the host.
//
// What an object forgets to charge is still seen: the library's operator new counts the heap
// blocks the thread takes while an engine runs on it (a MemoryCeilingScope is open), and its
// operator delete takes off those given back. Past the ceiling the count only marks the account;
// the engine raises 7 at its next safe point (a charge or check, a backward jump, a clocked
// statement, a new stack segment), never from inside an allocation.

/// The ceiling an apartment starts with: 1 GiB, or a quarter of the machine's memory when that
/// is less. Page texts are megabytes at most, so a gigabyte of live strings and arrays is far
/// beyond any real template; the quarter leaves room on small machines for the transient second
/// copy a concatenation or a ReDim Preserve holds while it runs.
std::size_t DefaultMemoryCeiling() noexcept;
std::size_t MemoryCeiling() noexcept;
void SetMemoryCeiling(std::size_t bytes) noexcept;
/// Bytes the apartment's strings and arrays hold now.
std::size_t MemoryInUse() noexcept;

namespace detail {
/// The apartment's account. An apartment is one thread, and this layer sits below the
/// per-apartment context object, so the account is a thread_local (as the current locale is);
/// it is declared here so that every string's charge and refund stay inline.
struct MemoryAccount {
    std::size_t inUse = 0;
    std::size_t ceiling = 0; // 0: not set yet, the default applies
    /// What the quick test compares with: the ceiling, or 0 while it is not set or while the heap
    /// count has passed it, so that the next charge takes the slow path and raises.
    std::size_t limit = 0;
    /// Heap blocks the thread took while a scope was open and has not given back. Blocks given
    /// back are taken off whenever they go, but never below 0: a block taken before, or by another
    /// thread, cannot make room for more.
    std::size_t heapInUse = 0;
    /// Open MemoryCeilingScopes: the heap is counted while there is one.
    unsigned counting = 0;
};
extern thread_local constinit MemoryAccount tMemoryAccount;
/// ChargeMemory past the quick test: sets the default ceiling on first use, raises 7.
void ChargeMemorySlow(std::size_t bytes);
/// CheckHeap past the quick test.
void CheckHeapSlow();
void OpenCeilingScope(std::size_t bytes) noexcept;
void CloseCeilingScope(std::size_t previous) noexcept;
/// Raises 7 unless the text may grow by `added` units.
void CheckTextGrowth(const std::u16string& text, std::size_t added);
} // namespace detail

/// What the heap takes for a block of `bytes`: the allocator's header and its rounding to 16
/// bytes, never less than its smallest block; 0 for none. Objects and arrays charge their own
/// blocks at this size, so that a script that makes millions of small ones (an empty array, a
/// Dictionary, a class instance) is charged what they really take.
constexpr std::size_t HeapBlockSize(std::size_t bytes) noexcept {
    constexpr std::size_t Header = sizeof(std::size_t);
    constexpr std::size_t Smallest = 32;
    if (bytes == 0) {
        return 0;
    }
    const std::size_t block = (bytes + Header + 15) & ~std::size_t{15};
    return block < Smallest ? Smallest : block;
}

/// Raises 7 unless `count` items of `size` bytes each fit under the ceiling besides what is in
/// use. The product cannot overflow: a count too large for it raises as well.
void CheckAllocation(std::size_t count, std::size_t size);
/// CheckAllocation for items that take the place of `released` bytes, given back before they are
/// made: no more than those always fit, so that making something smaller never fails at the
/// ceiling.
void CheckReplacement(std::size_t count, std::size_t size, std::size_t released);

/// Checks and adds `bytes` to the account.
inline void ChargeMemory(std::size_t bytes) {
    detail::MemoryAccount& account = detail::tMemoryAccount;
    if (account.inUse < account.limit && bytes <= account.limit - account.inUse) {
        account.inUse += bytes;
        return;
    }
    detail::ChargeMemorySlow(bytes);
}
/// Whether the heap count of the running engine has passed the ceiling (or none is set yet).
inline bool HeapCheckDue() noexcept {
    return detail::tMemoryAccount.limit == 0;
}
/// Raises 7 when the heap blocks taken since the engine started running pass the ceiling: the
/// engine's safe points call it, so that memory no object charged still stops the script.
inline void CheckHeap() {
    if (HeapCheckDue()) {
        detail::CheckHeapSlow();
    }
}
/// Adds `bytes` without a check: memory already taken (a string that has just grown).
inline void ChargeMemoryUnchecked(std::size_t bytes) noexcept {
    detail::tMemoryAccount.inUse += bytes;
}
inline void RefundMemory(std::size_t bytes) noexcept {
    detail::MemoryAccount& account = detail::tMemoryAccount;
    account.inUse -= bytes < account.inUse ? bytes : account.inUse;
}
/// Moves a holder's charge from `charged` to `charge` bytes without a check (memory already
/// taken or given back) and records the new figure in `charged`.
void Recharge(std::size_t& charged, std::size_t charge) noexcept;
/// Moves a holder's charge from `charged` to `charge` bytes before the memory is taken: growth is
/// checked (7 past the ceiling, `charged` then unchanged), shrinking is refunded.
void RechargeChecked(std::size_t& charged, std::size_t charge);

/// A charge kept for what its owner holds and given back when the owner goes: also when the
/// owner's constructor fails after charging, where the owner's own destructor never runs.
class HeldCharge {
public:
    HeldCharge() = default;
    ~HeldCharge() { RefundMemory(mBytes); }
    HeldCharge(const HeldCharge&) = delete;
    HeldCharge& operator=(const HeldCharge&) = delete;

    /// Charges `bytes` more; raises 7 past the ceiling, the charge then unchanged.
    void Add(std::size_t bytes) {
        ChargeMemory(bytes);
        mBytes += bytes;
    }

private:
    std::size_t mBytes = 0;
};

/// Appends `piece` to `text`, checking first when the text must grow.
inline void AppendChecked(std::u16string& text, std::u16string_view piece) {
    if (text.size() + piece.size() > text.capacity()) {
        detail::CheckTextGrowth(text, piece.size());
    }
    text.append(piece);
}
/// Reserves room for `length` units, checked.
inline void ReserveChecked(std::u16string& text, std::size_t length) {
    if (length > text.capacity()) {
        CheckAllocation(length, sizeof(char16_t));
    }
    text.reserve(length);
}

/// Sets the ceiling for its lifetime and restores the one before: an engine applies its own
/// while it runs. The heap blocks taken while one is open are counted.
class MemoryCeilingScope {
public:
    explicit MemoryCeilingScope(std::size_t bytes) noexcept : mPrevious(MemoryCeiling()) {
        detail::OpenCeilingScope(bytes);
    }
    ~MemoryCeilingScope() { detail::CloseCeilingScope(mPrevious); }
    MemoryCeilingScope(const MemoryCeilingScope&) = delete;
    MemoryCeilingScope& operator=(const MemoryCeilingScope&) = delete;

private:
    std::size_t mPrevious;
};

} // namespace qv::automation
