#pragma once

#include "platform/vbscript/internal/TrackedObjects.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::vbscript {

/// Scripting.Dictionary: items under unique keys, kept in the order they were added. Keys are
/// numbers (compared by value across subtypes: 1, 1.0 and CByte(1) are one key), strings
/// (compared binary or ignoring case, per CompareMode; "1" is not the key 1) or objects (by
/// identity). Lookups hash the key. Created by scripts through CreateObject.
class Dictionary final : public automation::Object {
public:
    Dictionary();
    ~Dictionary() override;
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;

    const automation::ClassInfo& GetClassInfo() const override;
    /// Item and Exists, which loops call most, go straight to their methods; the rest through
    /// the member table.
    automation::Variant Invoke(automation::DispId id, automation::InvokeKind kind,
                               std::span<automation::Variant> args) override;
    /// For Each walks the keys present when the loop starts.
    automation::Ref<automation::Enumerator> NewEnum() override;

    /// Raises 457 when the key is present already.
    void Add(const automation::Variant& key, automation::Variant item);
    bool Exists(const automation::Variant& key) const;
    /// Zero-based Variant arrays, in the order of addition.
    automation::Variant Items() const;
    automation::Variant Keys() const;
    /// Raises 32811 (Element not found) for a missing key.
    void Remove(const automation::Variant& key);
    void RemoveAll();
    std::int32_t Count() const { return static_cast<std::int32_t>(mLiveCount); }

    /// The item of a key. Reading a missing key adds it with an Empty item, as the runtime's
    /// dictionary has always done; use Find to look without adding.
    automation::Variant GetItem(const automation::Variant& key);
    void LetItem(const automation::Variant& key, automation::Variant item);
    void SetItem(const automation::Variant& key, automation::Variant item);
    /// Renames a key in place: 32811 when `key` is missing, 457 when `newKey` is taken.
    void LetKey(const automation::Variant& key, const automation::Variant& newKey);
    /// 0 binary, 1 text (2, database, compares as text); changing it while items exist raises 5.
    std::int32_t GetCompareMode() const { return mCompareMode; }
    void LetCompareMode(std::int32_t mode);
    /// The runtime's hash of a key (0..1200).
    std::int32_t HashVal(const automation::Variant& key) const;

    /// The item of a key, or nullopt; never adds.
    std::optional<automation::Variant> Find(const automation::Variant& key) const;

    /// Joins the list of objects an engine looks through for cycles at its end.
    void Track(automation::Ref<TrackedList> list) noexcept { mPlace.Join(std::move(list), *this); }
    /// Calls `visit` with every key and item held.
    template <class Visit> void VisitValues(Visit&& visit) const {
        for (const Entry& entry : mEntries) {
            if (entry.live) {
                visit(entry.key);
                visit(entry.item);
            }
        }
    }

private:
    // Positions of members in the member table, for Invoke.
    static constexpr automation::DispId ExistsMember = 1;
    static constexpr automation::DispId ItemMember = 7;

    // What identifies a key: a number (every numeric subtype alike), a string, an object
    // identity, or Null. Strings compare binary or, in text mode, ignoring case. Lookups read the
    // caller's key in place, without a copy.
    enum class KeyKind : std::uint8_t { Null, Number, Text, Object };
    struct KeyView {
        KeyKind kind = KeyKind::Null;
        double number = 0;
        std::u16string_view text;
        const void* object = nullptr;
    };
    struct Entry {
        automation::Variant key;
        automation::Variant item;
        // The key's identity and hash, kept so that probing and growing never recompute them.
        // The text view points into the key's own string, which nothing changes while the entry
        // holds it (a string is appended to in place only by its sole holder).
        KeyView identity;
        std::size_t hash = 0;
        bool live = true;
    };
    static constexpr std::size_t NotFound = static_cast<std::size_t>(-1);

    /// The identity of `key`, viewing its text in place: valid while `key` is.
    KeyView MakeKey(const automation::Variant& key) const;
    /// The hash of `key`, the identity of `source`.
    std::size_t Hash(const automation::Variant& source, const KeyView& key) const noexcept;
    bool Equal(const KeyView& a, const KeyView& b) const noexcept;
    /// The slot of the live entry with this key, or NotFound.
    std::size_t SlotOf(const KeyView& key, std::size_t hash) const;
    /// The position in mEntries of the entry with this key, or NotFound.
    std::size_t PositionOf(const KeyView& key, std::size_t hash) const;
    /// Adds an entry for a key known to be absent.
    Entry& Insert(const automation::Variant& key, std::size_t hash, automation::Variant item);
    /// Sets an entry's key and the identity kept with it.
    void SetKey(Entry& entry, const automation::Variant& key, std::size_t hash);
    /// Gives entry `position` a slot, growing the table first when it is three quarters used.
    void Place(std::size_t position);
    /// Rebuilds the slots of the live entries.
    void Reindex();
    void Compact();
    /// Brings the memory charge in line with the storage of entries and slots.
    void Recharge() noexcept;

    std::vector<Entry> mEntries; // in order of addition; removed entries stay dead until compaction
    // Open addressing with linear probing: a power-of-two number of slots, each Empty, Removed
    // or the position of an entry plus one.
    static constexpr std::uint32_t EmptySlot = 0;
    static constexpr std::uint32_t RemovedSlot = static_cast<std::uint32_t>(-1);
    std::vector<std::uint32_t> mSlots;
    std::size_t mUsedSlots = 0; // not Empty: live and removed
    std::size_t mLiveCount = 0;
    std::int32_t mCompareMode = 0;
    std::size_t mCharged = 0; // its own block, entries and slots on the apartment's memory account
    TrackedPlace mPlace;      // in the list of the engine whose script made it, if one did
};

} // namespace qv::vbscript
