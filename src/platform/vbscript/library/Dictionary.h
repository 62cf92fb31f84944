#pragma once

#include "platform/automation/Object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace qv::vbscript {

/// Scripting.Dictionary: items under unique keys, kept in the order they were added. Keys are
/// numbers (compared by value across subtypes: 1, 1.0 and CByte(1) are one key), strings
/// (compared binary or ignoring case, per CompareMode; "1" is not the key 1) or objects (by
/// identity). Lookups hash the key. Created by scripts through CreateObject.
class Dictionary final : public automation::Object {
public:
    Dictionary() = default;

    const automation::ClassInfo& GetClassInfo() const override;
    /// For Each walks the keys present when the loop starts.
    automation::Ref<automation::Enumerator> NewEnum() override;

    /// Raises 457 when the key is present already.
    void Add(automation::Variant key, automation::Variant item);
    bool Exists(automation::Variant key) const;
    /// Zero-based Variant arrays, in the order of addition.
    automation::Variant Items() const;
    automation::Variant Keys() const;
    /// Raises 32811 (Element not found) for a missing key.
    void Remove(automation::Variant key);
    void RemoveAll();
    std::int32_t Count() const { return static_cast<std::int32_t>(mIndex.size()); }

    /// The item of a key. Reading a missing key adds it with an Empty item, as the runtime's
    /// dictionary has always done; use Find to look without adding.
    automation::Variant GetItem(automation::Variant key);
    void LetItem(automation::Variant key, automation::Variant item);
    void SetItem(automation::Variant key, automation::Variant item);
    /// Renames a key in place: 32811 when `key` is missing, 457 when `newKey` is taken.
    void LetKey(automation::Variant key, automation::Variant newKey);
    /// 0 binary, 1 text (2, database, compares as text); changing it while items exist raises 5.
    std::int32_t GetCompareMode() const { return mCompareMode; }
    void LetCompareMode(std::int32_t mode);
    /// The runtime's hash of a key (0..1200).
    std::int32_t HashVal(automation::Variant key) const;

    /// The item of a key, or nullopt; never adds.
    std::optional<automation::Variant> Find(const automation::Variant& key) const;

private:
    // A key reduced to what identifies it: a number, a (case-folded) string, an object
    // identity, or Null.
    using KeyData = std::variant<std::monostate, double, std::u16string, const void*>;
    struct KeyHash {
        std::size_t operator()(const KeyData& key) const noexcept;
    };
    struct Entry {
        automation::Variant key;
        automation::Variant item;
        bool live = true;
    };

    KeyData MakeKey(const automation::Variant& key) const;
    Entry& Insert(const automation::Variant& key, automation::Variant item);
    void Compact();

    std::vector<Entry> mEntries; // in order of addition; removed entries stay dead until compaction
    std::unordered_map<KeyData, std::size_t, KeyHash> mIndex;
    std::int32_t mCompareMode = 0;
};

} // namespace qv::vbscript
