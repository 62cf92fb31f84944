#pragma once

#include "core/CSuperCollection.h"

#include <cassert>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <type_traits>

namespace qv {

/// A keyed collection whose items are all objects of class T: the typed face of a
/// CSuperCollection for the entity lists and the property bag. Keys ignore letter case unless
/// asked otherwise; positions count from 1. Only Add puts items in, so every item is a T and
/// the typed accessors need no run-time check. The underlying collection is shared with
/// late-bound callers through Collection().
template <class T> class TypedCollection {
    static_assert(std::is_base_of_v<automation::Object, T>, "items must be automation objects");

public:
    explicit TypedCollection(std::int32_t compareMode = KeyCompare::Text)
        : mItems(automation::MakeRef<CSuperCollection>()) {
        mItems->SetCompareMode(compareMode);
    }

    std::int32_t Count() const noexcept { return mItems->Count(); }
    /// Appends an item under a key ("" for none); 457 when an item bears the key already.
    void Add(const automation::Ref<T>& item, std::u16string_view key) {
        assert(item && "a typed collection holds no Nothing");
        mItems->Add(automation::Variant(automation::Ref<automation::Object>(item)), key);
    }
    /// The item bearing the key, or nullptr.
    T* Find(std::u16string_view key) const { return Cast(mItems->Find(key)); }
    /// The item at a 1-based position, or nullptr.
    T* At(std::int32_t position) const { return Cast(mItems->At(position)); }
    /// The position of the item bearing the key, or NoPosition.
    std::int32_t PositionOf(std::u16string_view key) const { return mItems->KeyExists(key); }
    void Remove(std::u16string_view key) { mItems->Remove(automation::Variant(key)); }
    void RemoveAt(std::int32_t position) { mItems->Remove(automation::Variant(position)); }
    void ChangeKey(std::u16string_view oldKey, std::u16string_view newKey) {
        mItems->ChangeKey(oldKey, newKey);
    }
    void Clear() { mItems->Clear(); }

    CSuperCollection& Collection() const noexcept { return *mItems; }
    automation::Ref<automation::Enumerator> NewEnum() const { return mItems->NewEnum(); }

    /// Walks the items like For Each: an item removed during the walk is not visited, one added
    /// is, and the walk counts as an open enumerator.
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = T*;
        using reference = T&;

        Iterator() = default;
        explicit Iterator(automation::Ref<cEnumerationObject> enumerator)
            : mEnumerator(std::move(enumerator)) {
            ++*this;
        }
        T& operator*() const { return *mCurrent; }
        T* operator->() const { return mCurrent; }
        Iterator& operator++() {
            automation::Variant item;
            if (mEnumerator && mEnumerator->Next(item)) {
                mHeld = item.ObjectValue();
                mCurrent = static_cast<T*>(mHeld.Get());
            } else {
                mEnumerator = nullptr;
                mHeld = nullptr;
                mCurrent = nullptr;
            }
            return *this;
        }
        bool operator==(const Iterator& other) const noexcept { return mCurrent == other.mCurrent; }

    private:
        automation::Ref<cEnumerationObject> mEnumerator;
        automation::Ref<automation::Object> mHeld; // keeps the item alive while it is visited
        T* mCurrent = nullptr;
    };

    Iterator begin() const { return Iterator(mItems->Enumerate()); }
    Iterator end() const { return Iterator(); }

private:
    static T* Cast(const automation::Variant* item) {
        if (item == nullptr) {
            return nullptr;
        }
        automation::Object* object = item->ObjectValue().Get();
        assert(dynamic_cast<T*>(object) != nullptr && "a typed collection holds only its own type");
        return static_cast<T*>(object);
    }

    automation::Ref<CSuperCollection> mItems;
};

} // namespace qv
