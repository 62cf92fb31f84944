#pragma once

#include "platform/automation/Object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv::vbscript {

/// Scripting.Dictionary: items under unique keys, kept in the order they were added. Keys are
/// numbers (compared by value across subtypes: 1, 1.0 and CByte(1) are one key), strings
/// (compared binary or ignoring case, per CompareMode; "1" is not the key 1) or objects (by
/// identity). Lookups hash the key. Created by scripts through CreateObject.
class Dictionary final : public automation::Object {
public:
    Dictionary();

    const automation::ClassInfo& GetClassInfo() const override;
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
    std::int32_t Count() const { return static_cast<std::int32_t>(mIndex.size()); }

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

private:
    // What identifies a key: a number (every numeric subtype alike), a string, an object
    // identity, or Null. Strings compare binary or, in text mode, ignoring case; the hash and the
    // equality of the index carry the mode, so keys are stored as given and looked up through a
    // view without a copy.
    enum class KeyKind : std::uint8_t { Null, Number, Text, Object };
    struct KeyView {
        KeyKind kind = KeyKind::Null;
        double number = 0;
        std::u16string_view text;
        const void* object = nullptr;
    };
    struct StoredKey {
        KeyKind kind;
        double number;
        std::u16string text;
        const void* object;
        explicit StoredKey(const KeyView& view)
            : kind(view.kind), number(view.number), text(view.text), object(view.object) {}
        KeyView View() const { return {kind, number, text, object}; }
    };
    struct KeyHash {
        using is_transparent = void;
        bool isText;
        std::size_t operator()(const KeyView& key) const noexcept;
        std::size_t operator()(const StoredKey& key) const noexcept { return (*this)(key.View()); }
    };
    struct KeyEqual {
        using is_transparent = void;
        bool isText;
        bool operator()(const KeyView& a, const KeyView& b) const noexcept;
        bool operator()(const StoredKey& a, const KeyView& b) const noexcept { return (*this)(a.View(), b); }
        bool operator()(const KeyView& a, const StoredKey& b) const noexcept { return (*this)(a, b.View()); }
        bool operator()(const StoredKey& a, const StoredKey& b) const noexcept {
            return (*this)(a.View(), b.View());
        }
    };
    struct Entry {
        automation::Variant key;
        automation::Variant item;
        bool live = true;
    };
    using Index = std::unordered_map<StoredKey, std::size_t, KeyHash, KeyEqual>;

    /// The identity of `key`, viewing its text in place: valid while `key` is.
    KeyView MakeKey(const automation::Variant& key) const;
    Entry& Insert(const automation::Variant& key, const KeyView& identity, automation::Variant item);
    void Compact();

    std::vector<Entry> mEntries; // in order of addition; removed entries stay dead until compaction
    Index mIndex;
    std::int32_t mCompareMode = 0;
};

} // namespace qv::vbscript
