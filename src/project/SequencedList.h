#pragma once

#include "core/TypedCollection.h"
#include "core/VbText.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace qv {

/// The texts that identify an entry of a sequenced list: one name for an extension or a chart,
/// master and detail table for a master/detail pair, the six place texts of a custom script.
using EntryNames = std::span<const std::u16string_view>;

/// How an entry's identifying texts are compared with the texts given.
enum class NameCompare : std::uint8_t {
    Exact,       ///< the list's own test for an existing entry (its Exist member)
    IgnoringCase ///< every text without regard to letter case
};

/// The common working of the project's secondary lists (extensions, master/detail pairs,
/// custom scripts, charts): entries in the order of adding, numbered 1 to Count by their
/// sequence number, with a cursor that the derived list keeps.
///
/// The collection underneath keys each entry by a serial number of the list, never by its
/// names: a key joined from names collides ("A_" + "B" against "A" + "_B"), and goes stale when
/// an entry is renamed through its own setters. Every lookup therefore compares the entry's
/// current names, and an entry leaves the list by identity.
///
/// The one case rule of these lists (ResolveEntry): texts denote the entry they name exactly,
/// else the first entry they name when letter case is ignored. Add, the project-file reader and
/// the registry import all go through it (the lists' AddOrFind), so that "Stamp" registered and
/// "stamp" read from a file are one extension instead of a duplicate-key failure.
class SequencedList : public automation::Object {
public:
    /// Sequence numbers are 16-bit, so a list holds at most this many entries.
    static constexpr std::int32_t MaxCount = 32767;

    std::int32_t Count() const noexcept { return mItems.Count(); }
    automation::Ref<automation::Enumerator> NewEnum() override { return mItems.NewEnum(); }

protected:
    SequencedList() = default;

    /// Whether the entry bears these texts. An entry whose texts cannot be read (made
    /// unreadable through its bag) bears none.
    virtual bool Matches(const automation::Object& entry, EntryNames names, NameCompare compare) const = 0;
    /// The entry's sequence number, or nullopt when it cannot be read.
    virtual std::optional<std::int16_t> EntrySeq(const automation::Object& entry) const = 0;
    virtual void SetEntrySeq(automation::Object& entry, std::int16_t seq) = 0;
    /// Moves the cursor to the entry.
    virtual void MakeCurrent(const automation::Object& entry) = 0;
    /// A new entry bearing the texts (its sequence number is set by the list).
    virtual automation::Ref<automation::Object> CreateEntry(EntryNames names) = 0;

    /// Matches, with an entry whose texts cannot be read bearing none.
    bool SafeMatches(const automation::Object& entry, EntryNames names, NameCompare compare) const;
    /// The first entry bearing the texts as compared; the cursor stays.
    automation::Object* FindEntry(EntryNames names, NameCompare compare) const;
    /// The entry the texts denote under the case rule; the cursor stays.
    automation::Object* ResolveEntry(EntryNames names) const;
    /// The entry the texts denote under the case rule, or a new one appended at the end and
    /// numbered Count; either way it becomes current. Raises 6 (overflow), changing nothing,
    /// when the list is full.
    automation::Object* AdmitEntry(EntryNames names);
    /// The first entry numbered `seq`; the cursor stays.
    automation::Object* EntryBySeq(std::int16_t seq) const;
    /// The entry at a 1-based position, or nullptr.
    automation::Object* EntryAt(std::int32_t position) const { return mItems.At(position); }
    /// Removes the entry (found by identity) and numbers the entries after it by their
    /// positions again; false when it is not in the list. The cursor stays.
    bool RemoveEntry(const automation::Object& entry);

    // For the lists whose entries have one name (extensions, charts).

    /// Compares an entry's name with a given one.
    static bool NameMatches(std::u16string_view own, std::u16string_view given, NameCompare compare) noexcept;
    /// The first entry named exactly by a text index; nullptr for another value or no match.
    automation::Object* FindNamed(const automation::Variant& index) const;
    /// FindNamed, the entry found made current.
    automation::Object* SelectNamed(const automation::Variant& index);
    /// Removes the entry FindNamed finds; false for "" and when it finds none.
    bool RemoveNamed(const automation::Variant& index);
    /// AdmitEntry for one name; nullptr, changing nothing, for "".
    automation::Object* AdmitNamed(std::u16string_view name);

    /// The enumeration member: the list itself, which For Each walks in list order.
    automation::Ref<automation::Object> NewEnumMember() { return automation::Ref<automation::Object>(this); }

private:
    TypedCollection<automation::Object> mItems;
    std::uint64_t mNextKey = 0;
};

/// The typed face of a SequencedList whose entries are all of class T.
template <class T> class SequencedListOf : public SequencedList {
public:
    /// The first entry whose sequence number is `Index`, or no object; the cursor stays.
    automation::Ref<T> Seq(std::int16_t Index) const { return automation::Ref<T>(Cast(EntryBySeq(Index))); }
    /// The entry at a 1-based position, or nullptr; the cursor stays.
    T* At(std::int32_t position) const { return Cast(EntryAt(position)); }
    /// Removes this entry (found by identity, whatever its names have become) as Delete does;
    /// false when it is not in the list.
    bool Remove(const T& entry) { return RemoveEntry(entry); }

protected:
    static T* Cast(automation::Object* entry) noexcept { return static_cast<T*>(entry); }
    static const T& Cast(const automation::Object& entry) noexcept { return static_cast<const T&>(entry); }
    static T& Cast(automation::Object& entry) noexcept { return static_cast<T&>(entry); }
};

/// A SequencedListOf whose cursor is one text and a sequence number (curName, curSeq), as the
/// extensions, charts and custom scripts keep it. The list's MakeCurrent sets it.
template <class T> class NamedCursorListOf : public SequencedListOf<T> {
public:
    /// The text of the entry last added or looked up; "" at first.
    std::u16string curName() const { return mCurName; }
    /// The cursor's sequence number as decimal text; "0" at first.
    std::u16string curSeq() const { return NumberText(mCurSeq); }

protected:
    void SetCursor(std::u16string name, std::int16_t seq) {
        mCurName = std::move(name);
        mCurSeq = seq;
    }

private:
    std::u16string mCurName;
    std::int16_t mCurSeq = 0;
};

} // namespace qv
