#include "platform/automation/Variant.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"

#include <algorithm>
#include <limits>

namespace qv::automation {

// Elements are stored with the first subscript varying fastest, as the component model lays
// out its arrays: For Each walks a(0,0), a(1,0), a(0,1), ... and ReDim Preserve, which may only
// change the last dimension, only grows or shrinks the tail of the storage.

namespace {

/// The value a new element of a typed array starts with.
Variant InitialElement(VarType elementType) {
    switch (elementType) {
    case VarType::Variant:
    case VarType::Empty:
    case VarType::Null:
    case VarType::Error:
        return Variant();
    case VarType::Object:
        return Variant::Nothing();
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date:
    case VarType::String:
    case VarType::Boolean:
    case VarType::Byte:
        return ChangeType(Variant(), elementType);
    }
    return Variant();
}

/// The number of elements the bounds give; raises 7 past what a Long counts.
std::size_t ElementCountOf(std::span<const SafeArray::Bound> bounds) {
    std::size_t total = 1;
    for (const SafeArray::Bound& bound : bounds) {
        if (bound.count < 0) {
            Raise(ErrorNumber::SubscriptOutOfRange);
        }
        // An upper bound beyond the range of Long cannot be written in VB either.
        if (static_cast<std::int64_t>(bound.lower) + bound.count - 1 >
            std::numeric_limits<std::int32_t>::max()) {
            Raise(ErrorNumber::SubscriptOutOfRange);
        }
        const auto count = static_cast<std::size_t>(bound.count);
        if (count != 0 && total > std::numeric_limits<std::int32_t>::max() / count) {
            Raise(ErrorNumber::OutOfMemory);
        }
        total *= count;
    }
    return total;
}

/// Whether new elements of this type start Empty, so that growing needs no fill value.
bool StartsEmpty(VarType elementType) noexcept {
    return elementType == VarType::Variant || elementType == VarType::Empty || elementType == VarType::Null ||
           elementType == VarType::Error;
}

} // namespace

// An array is charged its own block and its bounds besides its elements: an empty array still
// takes a hundred bytes or more, and a script that nests arrays without end (a = Array(a)) must
// meet the ceiling like one that grows a single array.
std::size_t SafeArray::Footprint(std::size_t elementCount, std::size_t boundCount) noexcept {
    return HeapBlockSize(sizeof(SafeArray)) + HeapBlockSize(boundCount * sizeof(Bound)) +
           HeapBlockSize(elementCount * sizeof(Variant));
}

SafeArray::SafeArray(VarType elementType, std::vector<Bound> bounds, bool isFixed)
    : mElementType(elementType), mBounds(std::move(bounds)), mIsFixed(isFixed) {
    // At most a Long's count of elements: the footprint cannot overflow.
    const std::size_t count = ElementCountOf(mBounds);
    // An array of no dimensions, which Erase leaves, takes a few hundred bytes: it is charged
    // unchecked, so that Erase never fails at the ceiling; the next check still sees it.
    if (!mBounds.empty()) {
        CheckAllocation(1, Footprint(count, mBounds.capacity()));
    }
    mElements.resize(count, InitialElement(mElementType));
    Recharge();
}

SafeArray::SafeArray(const SafeArray& other)
    : RefCounted(other), mElementType(other.mElementType), mBounds(other.mBounds), mIsFixed(other.mIsFixed) {
    CheckAllocation(1, Footprint(other.mElements.size(), mBounds.capacity()));
    mElements = other.mElements;
    Recharge();
}

SafeArray::~SafeArray() {
    RefundMemory(mCharged);
}

void SafeArray::Recharge() noexcept {
    automation::Recharge(mCharged, Footprint(mElements.capacity(), mBounds.capacity()));
}

void SafeArray::RaiseBadUpperBound(std::int32_t upper) {
    if (upper < -1) {
        Raise(ErrorNumber::SubscriptOutOfRange);
    }
    Raise(ErrorNumber::OutOfMemory);
}

std::int32_t SafeArray::LowerBound(std::size_t dimension) const {
    if (dimension < 1 || dimension > mBounds.size()) {
        Raise(ErrorNumber::SubscriptOutOfRange);
    }
    return mBounds[dimension - 1].lower;
}

std::int32_t SafeArray::UpperBound(std::size_t dimension) const {
    if (dimension < 1 || dimension > mBounds.size()) {
        Raise(ErrorNumber::SubscriptOutOfRange);
    }
    const Bound& bound = mBounds[dimension - 1];
    return static_cast<std::int32_t>(static_cast<std::int64_t>(bound.lower) + bound.count - 1);
}

const Variant& SafeArray::At(std::span<const std::int32_t> subscripts) const {
    if (subscripts.size() != mBounds.size()) {
        Raise(ErrorNumber::SubscriptOutOfRange);
    }
    std::size_t index = 0;
    std::size_t stride = 1;
    for (std::size_t dimension = 0; dimension < mBounds.size(); ++dimension) {
        const Bound& bound = mBounds[dimension];
        const std::int64_t offset = static_cast<std::int64_t>(subscripts[dimension]) - bound.lower;
        if (offset < 0 || offset >= bound.count) {
            Raise(ErrorNumber::SubscriptOutOfRange);
        }
        index += static_cast<std::size_t>(offset) * stride;
        stride *= static_cast<std::size_t>(bound.count);
    }
    return mElements[index];
}

Variant& SafeArray::At(std::span<const std::int32_t> subscripts) {
    return const_cast<Variant&>(static_cast<const SafeArray&>(*this).At(subscripts));
}

void SafeArray::Redim(std::vector<Bound> bounds, bool preserve) {
    Redim(std::span<const Bound>(bounds), preserve);
}

void SafeArray::Redim(std::span<const Bound> bounds, bool preserve) {
    if (mIsFixed || IsLocked()) {
        Raise(ErrorNumber::ArrayFixedOrLocked);
    }
    const std::size_t count = ElementCountOf(bounds);
    if (!preserve) {
        // The old elements are given back before the new ones are made, so that an array made
        // smaller (ReDim a(0) to free memory) never fails at the ceiling. Nothing changes when
        // the new ones do not fit.
        mBounds.reserve(bounds.size());
        CheckReplacement(count, sizeof(Variant), mElements.capacity() * sizeof(Variant));
        std::vector<Variant>().swap(mElements);
        mBounds.clear();
        mElements.assign(count, InitialElement(mElementType));
        mBounds.assign(bounds.begin(), bounds.end());
        Recharge();
        return;
    }
    // Preserve keeps the storage, so only the extent of the last (slowest) dimension may change.
    if (bounds.size() != mBounds.size() || bounds.empty()) {
        Raise(ErrorNumber::SubscriptOutOfRange);
    }
    for (std::size_t dimension = 0; dimension < bounds.size(); ++dimension) {
        const bool isLast = dimension + 1 == bounds.size();
        if (bounds[dimension].lower != mBounds[dimension].lower ||
            (!isLast && bounds[dimension].count != mBounds[dimension].count)) {
            Raise(ErrorNumber::SubscriptOutOfRange);
        }
    }
    if (count > mElements.capacity()) {
        // Growth doubles the storage, and the old one stays until the elements have moved.
        CheckAllocation(std::max(count, mElements.capacity() * 2), sizeof(Variant));
    }
    const std::size_t capacity = mElements.capacity();
    if (StartsEmpty(mElementType)) {
        mElements.resize(count);
    } else {
        mElements.resize(count, InitialElement(mElementType));
    }
    if (mElements.capacity() != capacity) {
        Recharge();
    }
    // Same number of dimensions: the bounds are copied over the old ones, no allocation.
    std::copy(bounds.begin(), bounds.end(), mBounds.begin());
}

bool SafeArray::ResizeList(std::int32_t upper) {
    if (mIsFixed || IsLocked() || mBounds.size() != 1 || mBounds[0].lower != 0 || upper < -1 ||
        upper == std::numeric_limits<std::int32_t>::max() || !StartsEmpty(mElementType)) {
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(static_cast<std::int64_t>(upper) + 1);
    const std::size_t capacity = mElements.capacity();
    if (count > capacity) {
        const std::size_t grown = std::max(count, capacity * 2);
        CheckAllocation(grown, sizeof(Variant));
        mElements.reserve(grown);
        Recharge();
    }
    if (count == mElements.size() + 1) {
        mElements.emplace_back();
    } else {
        mElements.resize(count);
    }
    mBounds[0].count = static_cast<std::int32_t>(count);
    return true;
}

Ref<SafeArray> MakeArray(std::vector<Variant> elements) {
    auto array = MakeRef<SafeArray>(
        VarType::Variant, std::vector<SafeArray::Bound>{{0, static_cast<std::int32_t>(elements.size())}});
    array->mElements = std::move(elements);
    array->Recharge();
    return array;
}

} // namespace qv::automation
