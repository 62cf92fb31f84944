#pragma once

#include <cassert>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qv {

/// The most entries a resource list of the template engine holds (controls, sessions, cache
/// entries, code-base entries, phrases): their positions and counts are 16-bit numbers.
inline constexpr std::int32_t MaxResourceCount = 32767;

/// A 1-based list with a 16-bit count: entries keep file order, then the order of additions,
/// and a removal closes the gap. Adding to a full list fails and changes nothing, so that no
/// count ever wraps.
template <class T> class ResourceList {
public:
    std::int32_t Count() const noexcept { return static_cast<std::int32_t>(mItems.size()); }
    bool IsFull() const noexcept { return Count() >= MaxResourceCount; }
    bool IsValidPosition(std::int32_t position) const noexcept {
        return position >= 1 && position <= Count();
    }

    T& At(std::int32_t position) {
        assert(IsValidPosition(position) && "resource list position out of range");
        return mItems[static_cast<std::size_t>(position - 1)];
    }
    const T& At(std::int32_t position) const {
        assert(IsValidPosition(position) && "resource list position out of range");
        return mItems[static_cast<std::size_t>(position - 1)];
    }

    /// False, adding nothing, when the list is full.
    bool Append(T item) {
        if (IsFull()) {
            return false;
        }
        mItems.push_back(std::move(item));
        return true;
    }
    /// Puts the item at `position` (1 to Count + 1), moving the later ones up; false when full.
    bool Insert(std::int32_t position, T item) {
        assert(position >= 1 && position <= Count() + 1 && "insert position out of range");
        if (IsFull()) {
            return false;
        }
        mItems.insert(mItems.begin() + (position - 1), std::move(item));
        return true;
    }
    void RemoveAt(std::int32_t position) {
        assert(IsValidPosition(position) && "resource list position out of range");
        mItems.erase(mItems.begin() + (position - 1));
    }
    void Clear() noexcept { mItems.clear(); }

    auto begin() { return mItems.begin(); }
    auto end() { return mItems.end(); }
    auto begin() const { return mItems.begin(); }
    auto end() const { return mItems.end(); }

private:
    std::vector<T> mItems;
};

/// A resource list whose entries are also found by a key: the phrase and code-base tables.
/// Keys compare exactly (callers fold letter case into them). Entries are never removed, so a
/// key's position stays valid.
template <class T> class KeyedResourceList {
public:
    std::int32_t Count() const noexcept { return mEntries.Count(); }

    /// The entry of the key, or nullptr.
    T* Find(const std::u16string& key) {
        const auto found = mIndex.find(key);
        return found == mIndex.end() ? nullptr : &mEntries.At(found->second);
    }
    const T* Find(const std::u16string& key) const {
        const auto found = mIndex.find(key);
        return found == mIndex.end() ? nullptr : &mEntries.At(found->second);
    }

    /// Appends an entry under a key that no entry has; false, adding nothing, when the list is
    /// full.
    bool Append(std::u16string key, T entry) {
        assert(!mIndex.contains(key) && "a keyed resource list holds each key once");
        if (!mEntries.Append(std::move(entry))) {
            return false;
        }
        mIndex.emplace(std::move(key), mEntries.Count());
        return true;
    }

private:
    ResourceList<T> mEntries;
    std::unordered_map<std::u16string, std::int32_t> mIndex; ///< key -> position
};

} // namespace qv
