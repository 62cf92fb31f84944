#pragma once

#include "platform/registry/Value.h"

#include "platform/automation/Text.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv::registry {

/// One key of a hive: its name as written, its values and its subkeys, both in the order they
/// were added (the order enumerations report). Names are matched without regard to letter
/// case; a value or key written again under another case keeps the name it was first given.
/// A key owns its subkeys; the addresses of keys stay valid until they are deleted. Names are
/// found through an index, so that a key of many values or subkeys loads in linear time.
class Key {
public:
    struct NamedValue {
        std::u16string name; // "" is the key's default value
        Value value;
    };

    explicit Key(std::u16string name) : mName(std::move(name)) {}
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    const std::u16string& Name() const noexcept { return mName; }

    /// The direct subkey of that name, or nullptr.
    Key* FindSubkey(std::u16string_view name) noexcept;
    const Key* FindSubkey(std::u16string_view name) const noexcept;
    /// The direct subkey of that name, added at the end when missing.
    Key& CreateSubkey(std::u16string_view name);
    /// Removes a direct subkey with everything below it; false when there was none.
    bool DeleteSubkey(std::u16string_view name);
    const std::vector<std::unique_ptr<Key>>& Subkeys() const noexcept { return mSubkeys; }

    /// The value of that name, or nullptr.
    const Value* FindValue(std::u16string_view name) const noexcept;
    /// Sets a value: replaced in place (keeping its name and position) or added at the end.
    void SetValue(std::u16string_view name, Value value);
    /// Removes a value; false when there was none.
    bool DeleteValue(std::u16string_view name);
    const std::vector<NamedValue>& Values() const noexcept { return mValues; }

    /// The key at a "\"-separated path below this one (empty components are skipped, so ""
    /// is this key), or nullptr.
    Key* FindPath(std::u16string_view path) noexcept;
    const Key* FindPath(std::u16string_view path) const noexcept;
    /// The key at a path below this one, creating the missing keys along it.
    Key& CreatePath(std::u16string_view path);

private:
    // Name (any letter case) to position in the vector it indexes.
    using NameIndex =
        std::unordered_map<std::u16string, std::size_t, automation::NoCaseHash, automation::NoCaseEqual>;

    std::u16string mName;
    std::vector<NamedValue> mValues;
    std::vector<std::unique_ptr<Key>> mSubkeys;
    NameIndex mValueIndex;
    NameIndex mSubkeyIndex;

    /// After the entry at `removed` was erased, the positions after it move down by one.
    static void CloseGap(NameIndex& index, std::size_t removed) noexcept;
};

} // namespace qv::registry
