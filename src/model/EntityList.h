#pragma once

#include "core/SettingsEntity.h"
#include "core/TypedCollection.h"

#include "platform/automation/Object.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv {

/// The position a numeric index names, or nullopt for a value that is no number or lies beyond
/// the 32-bit range (which no position reaches). A fraction rounds half to even.
std::optional<std::int32_t> PositionIndex(const automation::Variant& index);

/// The settings of its entities that a list keeps up to date, and how it makes a new entity.
struct EntityListShape {
    std::size_t nameSetting; ///< the entity's name, also its key in the list
    std::size_t seqSetting;  ///< its sequence number, kept 1 to Count without gaps
    std::size_t varSetting;  ///< its identifier, recomputed when the list renames it
    std::u16string_view varPrefix;
    automation::Ref<SettingsEntity> (*create)();
};

/// The common working of the field and table lists: entities in the order of addition, keyed by
/// name without regard to letter case, numbered by their sequence setting, with a current entity
/// (the cursor) that the generator selects before it runs a page script.
///
/// Lookups by name (Exists, Item, SetItem, Delete, Change) compare each entity's name setting
/// exactly, letter case included, while the keys ignore case. They go through an index of the
/// exact names, which a watch on every entity's name setting (SettingsEntity::WatchSetting)
/// tells when to build again: a name changed through an accessor or the bag is found by its new
/// text at once, as if every entity had been compared. Add therefore also refuses a name
/// that differs from a present one only in letter case: it answers False, as for an exact
/// duplicate, so that a loader meeting two such columns or tables keeps the first, reports the
/// second as a duplicate and goes on. IsNameTaken answers beforehand whether a name is so taken.
///
/// Lookups by number (Seq, SetSeq) go through an index of the sequence numbers kept the same way,
/// by a second watch on every entity's sequence setting: a template that visits every entity by
/// its number costs one walk of the list, not one per entity.
///
/// Members that the system runs "with errors ignored" (Delete, Item, Seq, SetItem, SetSeq) never
/// raise: an entity whose name or number has been made unreadable through its bag is passed over.
class EntityList : public automation::Object {
public:
    /// Sequence numbers are 16-bit, so a list holds at most this many entities.
    static constexpr std::int32_t MaxCount = 32767;

    /// The name of the current entity; "" until one is made current.
    std::u16string curName() const { return mCurName; }
    /// The sequence number of the current entity; 0 until one is made current.
    std::int16_t curSeq() const { return mCurSeq; }

    /// Appends a new entity named `Name`, numbered Count, and makes it current. False, changing
    /// nothing, for "" and for a name that IsNameTaken finds. Raises 6 (overflow), changing
    /// nothing, when the list already holds MaxCount entities.
    bool Add(std::u16string Name);
    /// Renames the entity named `OldName` (exactly) to `NewName`: its key and name follow, its
    /// identifier is derived again, it keeps its place and number and becomes current. False for
    /// an empty name or an unknown `OldName`; 457 when another entity bears `NewName` as its key
    /// (letter case ignored), with nothing changed. A change of letter case only renames in place.
    bool Change(std::u16string OldName, std::u16string NewName);
    std::int32_t Count() const { return mItems.Count(); }
    /// Removes the entity named `Index` (exactly) and closes the gap in the numbering; the cursor
    /// stays. False for "" or an unknown name.
    bool Delete(std::u16string_view Index);
    /// True when an entity's name equals the index exactly; a value that is not text never does.
    bool Exists(const automation::Variant& Index) const;
    /// True when Add would refuse the name as a duplicate: an entity bears it exactly, or as its
    /// key in another letter case.
    bool IsNameTaken(std::u16string_view name) const;
    /// Makes the entity named `Index` (exactly) current; nothing for another value or no match.
    void SetItem(const automation::Variant& Index);
    /// Makes the first entity numbered `Index` current; nothing when there is none.
    void SetSeq(std::int16_t Index);

    /// Removes this entity (found by identity) as Delete does; false when it is not in the list.
    bool Remove(const SettingsEntity& entity);

    automation::Ref<automation::Enumerator> NewEnum() override { return mItems.NewEnum(); }

protected:
    explicit EntityList(const EntityListShape& shape);

    /// The entity at a position (a number) or bearing a name exactly (text); it becomes current.
    /// Nothing for another kind of value or no match, leaving the cursor.
    SettingsEntity* ItemEntity(const automation::Variant& Index);
    /// The first entity numbered `Index`, in list order; the cursor stays.
    SettingsEntity* SeqEntity(std::int16_t Index) const;
    /// SeqEntity(1) to SeqEntity(Count) in one walk of the list (null where no entity has the
    /// number), for a caller that visits every entity by its number.
    std::vector<SettingsEntity*> SeqEntities() const;
    /// The first entity named `name` exactly; the cursor stays.
    SettingsEntity* FindEntity(std::u16string_view name) const;

    const TypedCollection<SettingsEntity>& Items() const noexcept { return mItems; }

    // Members the automation tables call.
    bool AddMember(std::u16string Name) { return Add(std::move(Name)); }
    bool ChangeMember(std::u16string OldName, std::u16string NewName) {
        return Change(std::move(OldName), std::move(NewName));
    }
    /// Delete for a late-bound index: only a text names an entity.
    bool DeleteMember(const automation::Variant& Index);
    /// The enumeration member: the list itself, which For Each walks in list order.
    automation::Ref<automation::Object> NewEnumMember() { return automation::Ref<automation::Object>(this); }

private:
    /// The 1-based position of the first entity named `name` exactly.
    std::optional<std::int32_t> PositionOf(std::u16string_view name) const;
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::u16string_view text) const noexcept {
            return std::hash<std::u16string_view>()(text);
        }
    };
    using NameIndexMap =
        std::unordered_map<std::u16string, std::vector<std::int32_t>, TextHash, std::equal_to<>>;
    /// The name index, built again when a name may have changed since it was built.
    const NameIndexMap& NameIndex() const;
    using SeqIndexMap = std::unordered_map<std::int16_t, std::int32_t>;
    /// The number index, built again when a number may have changed since it was built.
    const SeqIndexMap& SeqIndex() const;
    /// Watches an entity's name and number for the indexes, or no longer.
    void Watch(SettingsEntity& entity, bool watched) const;
    void RemoveAt(std::int32_t position);
    void MakeCurrent(const SettingsEntity& entity);
    std::optional<std::u16string> NameOf(const SettingsEntity& entity) const;
    std::optional<std::int16_t> SeqOf(const SettingsEntity& entity) const;

    EntityListShape mShape;
    TypedCollection<SettingsEntity> mItems;
    std::u16string mCurName;
    std::int16_t mCurSeq = 0;

    // Exact name to the positions of the entities bearing it, in list order. Valid while the
    // watch stands at mIndexRevision; an entity whose name cannot be read is in no entry.
    automation::Ref<SettingWatch> mNameWatch = automation::MakeRef<SettingWatch>();
    mutable NameIndexMap mPositionsByName;
    mutable std::optional<std::uint64_t> mIndexRevision;

    // Sequence number to the position of the first entity bearing it, in list order. Valid
    // while its watch stands at mSeqIndexRevision; an entity whose number cannot be read is in
    // no entry.
    automation::Ref<SettingWatch> mSeqWatch = automation::MakeRef<SettingWatch>();
    mutable SeqIndexMap mPositionBySeq;
    mutable std::optional<std::uint64_t> mSeqIndexRevision;
};

/// The typed face of an EntityList whose entities are all of class T.
template <class T> class EntityListOf : public EntityList {
public:
    /// The entity at a 1-based position (a number) or named exactly (text), made current; no
    /// object for another kind of value or no match, leaving the cursor.
    automation::Ref<T> Item(const automation::Variant& Index) {
        return automation::Ref<T>(Cast(ItemEntity(Index)));
    }
    /// The first entity whose sequence number is `Index`; the cursor stays.
    automation::Ref<T> Seq(std::int16_t Index) const { return automation::Ref<T>(Cast(SeqEntity(Index))); }
    /// Seq(1) to Seq(Count), in one walk of the list.
    std::vector<automation::Ref<T>> InSequenceOrder() const {
        std::vector<automation::Ref<T>> entities;
        for (SettingsEntity* entity : SeqEntities()) {
            entities.emplace_back(Cast(entity));
        }
        return entities;
    }
    /// The first entity named `name` exactly, or nullptr; the cursor stays.
    T* Find(std::u16string_view name) const { return Cast(FindEntity(name)); }
    /// The entity at a 1-based position, or nullptr; the cursor stays.
    T* At(std::int32_t position) const { return Cast(Items().At(position)); }

    /// Walks the entities like For Each: one removed during the walk is not visited.
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = T*;
        using reference = T&;

        Iterator() = default;
        explicit Iterator(TypedCollection<SettingsEntity>::Iterator inner) : mInner(std::move(inner)) {}
        T& operator*() const { return static_cast<T&>(*mInner); }
        T* operator->() const { return &**this; }
        Iterator& operator++() {
            ++mInner;
            return *this;
        }
        bool operator==(const Iterator& other) const noexcept { return mInner == other.mInner; }

    private:
        TypedCollection<SettingsEntity>::Iterator mInner;
    };

    Iterator begin() const { return Iterator(Items().begin()); }
    Iterator end() const { return Iterator(); }

protected:
    using EntityList::EntityList;

private:
    static T* Cast(SettingsEntity* entity) noexcept { return static_cast<T*>(entity); }
};

} // namespace qv
