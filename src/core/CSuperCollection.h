#pragma once

#include "platform/automation/Object.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// Error numbers of the keyed collection besides the runtime's 9, 438 and 457.
namespace CollectionError {
inline constexpr std::int32_t AlreadyInitialized = static_cast<std::int32_t>(0x80000500u);
inline constexpr std::int32_t KeyNotFound = static_cast<std::int32_t>(0x80000501u);
inline constexpr std::int32_t MoveInLoop = static_cast<std::int32_t>(0x80000502u);
inline constexpr std::int32_t InvalidDatatype = static_cast<std::int32_t>(0x80000503u);
inline constexpr std::int32_t NoPositionSupplied = static_cast<std::int32_t>(0x80000504u);
} // namespace CollectionError

/// The "no position" marker: Add's default position and KeyExists' answer for a missing key.
inline constexpr std::int32_t NoPosition = 0x10000001;

/// Where Add puts a new item.
namespace InsertMode {
inline constexpr std::int32_t Before = 1;
inline constexpr std::int32_t After = 2;
inline constexpr std::int32_t First = 3;
inline constexpr std::int32_t Last = 4;
} // namespace InsertMode

/// Key comparison of a collection.
namespace KeyCompare {
inline constexpr std::int32_t Binary = 0;
inline constexpr std::int32_t Text = 1;
} // namespace KeyCompare

class CKeys;
class cEnumerationObject;

/// The library's keyed, ordered container: items addressed by a position counted from
/// BaseIndex or by an optional unique key, compared exactly or without regard to case. Every
/// property bag and entity list keeps its items in one.
///
/// Items live in position order; a hash index maps each key to its item, so a lookup by key
/// costs the same for ten items as for a hundred thousand. Enumerators walk a snapshot of the
/// order taken when they start: removed items are never yielded, items added while a loop runs
/// are, and moving items is refused while an enumerator is open, so a loop never sees an item
/// twice.
class CSuperCollection final : public automation::Object {
public:
    CSuperCollection();
    ~CSuperCollection() override;
    CSuperCollection(const CSuperCollection&) = delete;
    CSuperCollection& operator=(const CSuperCollection&) = delete;

    const automation::ClassInfo& GetClassInfo() const override;
    automation::Ref<automation::Enumerator> NewEnum() override;

    std::int32_t CompareMode() const { return mCompareMode; }
    /// Refused (AlreadyInitialized) once an item is in; 0 and 1 only (else 9).
    void SetCompareMode(std::int32_t mode);
    bool AllowItemAsignments() const { return mAllowItemAsignments; }
    void SetAllowItemAsignments(bool allow) { mAllowItemAsignments = allow; }
    std::int32_t BaseIndex() const { return mBaseIndex; }
    /// Refused (AlreadyInitialized) once an item is in.
    void SetBaseIndex(std::int32_t baseIndex);

    /// A fresh key list over this collection, in ascending key order.
    automation::Ref<CKeys> Keys();
    /// The key of the item at a position ("" for an unkeyed item); 9 outside the items.
    std::u16string Key(std::int32_t nIndex) const;
    /// The position of the item bearing the key, or NoPosition (always for "").
    std::int32_t KeyExists(std::u16string_view sKey) const;
    /// Gives the item bearing `sOldKey` the key `sNewKey` ("" leaves it unkeyed) and sets its
    /// Key property when it has one. A new key that another item bears raises 457.
    void ChangeKey(std::u16string_view sOldKey, std::u16string_view sNewKey);
    /// ChangeKey for the item at a position written as text; nothing outside the items.
    void ChangeKeyForIndex(std::u16string_view nIndex, std::u16string_view sNewKey);

    /// Adds an item under a key ("" for none), appended or placed by `eInsert` relative to
    /// `nPosition`. A key that exists raises 457 and nothing is added.
    void Add(const automation::Variant& vItem, std::u16string_view sKey = {},
             std::int32_t eInsert = InsertMode::Last, std::int32_t nPosition = NoPosition);
    std::int32_t Count() const { return static_cast<std::int32_t>(mOrder.size()); }
    /// Removes the item at a position (9 outside) or bearing a key (KeyNotFound).
    void Remove(const automation::Variant& vIndexKey);
    /// The item at a position or bearing a key; Empty when there is none.
    automation::Variant Item(const automation::Variant& vIndexKey) const;
    /// Replaces an item (438 unless AllowItemAsignments); its key stays.
    void SetItem(const automation::Variant& vIndexKey, const automation::Variant& vNewItem);
    /// Removes every item; the modes stay.
    automation::Variant Clear();
    /// Moves an item to another position and returns that position; refused while an
    /// enumerator is open.
    std::int32_t MoveItem(const automation::Variant& vMovedItem, const automation::Variant& vTargetPosition);

    // Typed access for the library's own callers; positions count from BaseIndex.

    /// The item bearing the key, or nullptr.
    const automation::Variant* Find(std::u16string_view key) const;
    /// The item at a position, or nullptr outside the items.
    const automation::Variant* At(std::int32_t position) const;
    /// The item enumerator, with its Skip, Reset and Clone.
    automation::Ref<cEnumerationObject> Enumerate();
    std::int32_t OpenEnumerators() const noexcept { return mOpenEnumerators; }

private:
    friend class CKeys;
    friend class cEnumerationObject;

    /// One item. Enumerators keep the nodes of their snapshot alive, so a removed node is
    /// marked rather than freed while one still looks at it.
    struct Node final : automation::RefCounted {
        std::u16string key; // first, beside the object header that a lookup touches anyway
        automation::Variant item;
        std::size_t index = 0;    ///< place in mOrder while in the collection
        std::uint64_t serial = 0; ///< order of addition; enumerators find late additions by it
        bool inCollection = true;
    };

    /// Lets enumerators and key lists learn whether their collection still exists without
    /// keeping it alive.
    struct Liveness final : automation::RefCounted {
        CSuperCollection* owner = nullptr;
    };

    /// Key to node, by open addressing over one array of (hash, node) slots, so that a lookup
    /// touches one slot and the node it names however many items there are. Keys are the
    /// nodes' own texts: a node's key may change only while it is out of the index.
    class KeyIndex {
    public:
        explicit KeyIndex(bool ignoreCase) noexcept : mIgnoreCase(ignoreCase) {}
        Node* Find(std::u16string_view key) const noexcept;
        void Insert(Node* node);
        void Erase(const Node* node) noexcept;
        void Clear() noexcept;
        std::size_t Size() const noexcept { return mSize; }
        template <class Visit> void ForEach(Visit visit) const {
            for (const Slot& slot : mSlots) {
                if (slot.node != nullptr) {
                    visit(*slot.node);
                }
            }
        }

    private:
        struct Slot {
            std::size_t hash = 0;
            Node* node = nullptr;
        };
        std::size_t Hash(std::u16string_view key) const noexcept;
        bool Equal(std::u16string_view a, std::u16string_view b) const noexcept;
        void Place(Slot slot) noexcept;

        std::vector<Slot> mSlots; // a power of two in size, at most half full
        std::size_t mSize = 0;
        bool mIgnoreCase;
    };

    /// An index argument read by its type: a position or a key.
    struct IndexArgument {
        std::optional<std::int32_t> position;
        std::u16string key;
    };
    static IndexArgument ReadIndex(const automation::Variant& vIndexKey);

    bool ContainsPosition(std::int32_t position) const noexcept {
        // In 64 bits: with a base far below zero the distance may not fit in 32.
        return position >= mBaseIndex && static_cast<std::int64_t>(position) - mBaseIndex < Count();
    }
    Node* FindNode(std::u16string_view key) const;
    /// The node an index argument names; `positionError` for a position outside the items,
    /// KeyNotFound for an unknown key.
    Node* NodeOf(const automation::Variant& vIndexKey, std::int32_t positionError) const;
    std::int32_t PositionOf(const Node& node) const noexcept {
        return mBaseIndex + static_cast<std::int32_t>(node.index);
    }
    void Renumber(std::size_t from, std::size_t to) noexcept;
    void Rekey(Node& node, std::u16string_view newKey);
    /// Sets the Key property of an object item that has one, before anything else changes, so
    /// that a refusal leaves the collection as it was.
    static void SetKeyProperty(const automation::Variant& item, std::u16string_view key);
    bool KeysLess(std::u16string_view a, std::u16string_view b) const noexcept;

    // Members the automation table calls.
    void AddMember(const automation::Variant& vItem, std::optional<std::u16string> sKey,
                   std::optional<std::int32_t> eInsert, std::optional<std::int32_t> nPosition);
    /// NewEnum by name: the collection itself, which For Each walks.
    automation::Ref<automation::Object> NewEnumMember() { return automation::Ref<automation::Object>(this); }
    std::int32_t KeyExistsMember(std::u16string sKey) const { return KeyExists(sKey); }
    void ChangeKeyMember(std::u16string sOldKey, std::u16string sNewKey) { ChangeKey(sOldKey, sNewKey); }
    void ChangeKeyForIndexMember(std::u16string nIndex, std::u16string sNewKey) {
        ChangeKeyForIndex(nIndex, sNewKey);
    }

    std::int32_t mCompareMode = KeyCompare::Binary;
    bool mAllowItemAsignments = false;
    std::int32_t mBaseIndex = 1;
    std::int32_t mOpenEnumerators = 0;
    std::uint64_t mNextSerial = 0;
    std::vector<automation::Ref<Node>> mOrder;
    KeyIndex mKeyIndex;
    automation::Ref<Liveness> mLiveness;
};

/// The item enumerator of a collection (For Each). Counts as open until released.
class cEnumerationObject final : public automation::Enumerator {
public:
    explicit cEnumerationObject(CSuperCollection& collection);
    ~cEnumerationObject() override;
    cEnumerationObject(const cEnumerationObject& other);
    cEnumerationObject& operator=(const cEnumerationObject&) = delete;

    bool Next(automation::Variant& item) override;
    /// Passes over up to `count` items; false when fewer were left.
    bool Skip(std::int32_t count);
    /// Starts again from the first item of the collection as it is now.
    void Reset();
    /// A new enumerator at the same place.
    automation::Ref<cEnumerationObject> Clone() const;

private:
    using Node = CSuperCollection::Node;
    /// The next node still in the collection, or nullptr at the end.
    Node* Advance();
    void TakeSnapshot(CSuperCollection& collection);

    automation::Ref<CSuperCollection::Liveness> mLiveness;
    std::vector<automation::Ref<Node>> mSnapshot;
    std::size_t mPosition = 0;
    /// Serial of the first item added after the snapshot was taken.
    std::uint64_t mSerialLimit = 0;
};

/// One key of a key list: the key and the position of the item bearing it.
class cKey final : public automation::Object {
public:
    cKey(std::u16string name, std::int32_t associatedIndex)
        : mName(std::move(name)), mAssociatedIndex(associatedIndex) {}

    const automation::ClassInfo& GetClassInfo() const override;

    std::u16string Name() const { return mName; }
    std::int32_t AssociatedIndex() const { return mAssociatedIndex; }

private:
    std::u16string mName;
    std::int32_t mAssociatedIndex;
};

/// The keys of a collection in ascending order under its CompareMode. The list is its own
/// enumerator: walking it once uses it up; each reading of Keys gives a fresh list. It does not
/// keep the collection alive and yields nothing once the collection is gone.
class CKeys final : public automation::Object {
public:
    explicit CKeys(CSuperCollection& collection);

    const automation::ClassInfo& GetClassInfo() const override;
    automation::Ref<automation::Enumerator> NewEnum() override;

    /// The number of keys the collection holds now.
    std::int32_t Count() const;
    /// The next key, or nullptr at the end.
    automation::Ref<cKey> Next();
    void Skip(std::int32_t count);
    void Reset() noexcept { mCursor->position = 0; }
    automation::Ref<CKeys> Clone() const;

private:
    struct Cursor final : automation::RefCounted {
        automation::Ref<CSuperCollection::Liveness> liveness;
        std::vector<std::u16string> keys;
        std::size_t position = 0;
    };
    class Walker;

    /// NewEnum by name: the list itself, its own enumerator.
    automation::Ref<automation::Object> NewEnumMember() { return automation::Ref<automation::Object>(this); }

    automation::Ref<Cursor> mCursor;

public:
    /// A list over an existing cursor (Clone).
    explicit CKeys(automation::Ref<Cursor> cursor) : mCursor(std::move(cursor)) {}
};

} // namespace qv
