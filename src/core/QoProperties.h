#pragma once

#include "core/TypedCollection.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct SettingInfo;

/// A counter that changes whenever a watched setting may have changed: when it takes another
/// value, by whatever path, and when settings are added to or removed from its bag. A list
/// keyed by its entities' names hands one to each entity, and keeps its name index while the
/// counter stands still; it watches their sequence numbers with another, for its index by number.
struct SettingWatch final : automation::RefCounted {
    std::uint64_t revision = 0;
};

/// One setting of an entity: its name, declared type, value and the flags that tell the
/// project file, the registry defaults and the custom-view loader what to do with it. Every
/// member is a plain stored value; Value is stored and returned as given.
class QoProperty final : public automation::Object {
public:
    QoProperty() = default;
    explicit QoProperty(const SettingInfo& info);

    const automation::ClassInfo& GetClassInfo() const override;

    const std::u16string& Key() const { return mKey; }
    void SetKey(std::u16string key) { mKey = std::move(key); }
    const std::u16string& Name() const { return mName; }
    void SetName(std::u16string name) { mName = std::move(name); }
    /// "String", "Boolean", "Integer", "Long" or "Variant".
    const std::u16string& DataType() const { return mDataType; }
    void SetDataType(std::u16string dataType) { mDataType = std::move(dataType); }
    const automation::Variant& Value() const { return mValue; }
    void SetValue(const automation::Variant& value) {
        if (mWatch && !SameValue(mValue, value)) {
            ++mWatch->revision;
        }
        mValue = value;
    }
    bool RegSave() const { return mRegSave; }
    void SetRegSave(bool regSave) { mRegSave = regSave; }
    /// Registry value type of the default: 1 text, 4 number, 0 when not kept there.
    std::int32_t RegFormat() const { return mRegFormat; }
    void SetRegFormat(std::int32_t regFormat) { mRegFormat = regFormat; }
    bool FileSave() const { return mFileSave; }
    void SetFileSave(bool fileSave) { mFileSave = fileSave; }
    bool Sync() const { return mSync; }
    void SetSync(bool sync) { mSync = sync; }

    /// Counts this setting's changes of value on `watch` from now on (nullptr: no longer).
    void SetWatch(automation::Ref<SettingWatch> watch) { mWatch = std::move(watch); }
    /// True when the two values are the same text, or both Empty; a watch counts any other
    /// store as a change, which is merely slower for its list, never wrong.
    static bool SameValue(const automation::Variant& stored, const automation::Variant& value) noexcept {
        if (stored.IsString() && value.IsString()) {
            return stored.StringValue() == value.StringValue();
        }
        return stored.IsEmpty() && value.IsEmpty();
    }

private:
    automation::Ref<SettingWatch> mWatch;
    std::u16string mKey;
    std::u16string mName;
    std::u16string mDataType;
    automation::Variant mValue;
    bool mRegSave = false;
    std::int32_t mRegFormat = 0;
    bool mFileSave = false;
    bool mSync = false;
};

/// The property bag of an entity: its settings in the order they were defined, keyed by name
/// without regard to letter case. Generic code (project file, registry defaults, custom views)
/// walks it by the settings' flags; the entity's typed accessors read and write its values.
class QoProperties final : public automation::Object {
public:
    QoProperties() = default;

    const automation::ClassInfo& GetClassInfo() const override;
    automation::Ref<automation::Enumerator> NewEnum() override { return mItems.NewEnum(); }

    /// Appends a setting with an Empty value. False, adding nothing, for an empty name or one
    /// that PropertyExist finds; a name differing from a present one only in letter case is
    /// refused by the key with 457.
    bool Add(std::u16string_view Name, std::u16string_view DataType = {}, bool RegSave = false,
             std::int32_t RegFormat = 0, bool FileSave = false, bool Sync = false);
    /// Appends the setting a settings table defines (its name is known to be new).
    QoProperty& Define(const SettingInfo& info);
    std::int32_t Count() const { return mItems.Count(); }
    /// Removes the setting of that exact name; False for an empty or unknown name (and for a
    /// position, which never equals a name).
    bool Delete(const automation::Variant& Index);
    /// True when a setting's name equals the index exactly, letter case included.
    bool PropertyExist(const automation::Variant& Index) const;
    /// The setting of a name (any letter case) or 1-based position; Nothing when there is none.
    automation::Ref<QoProperty> Item(const automation::Variant& Index) const;
    /// Removes every setting.
    void Clear();

    /// The setting of a name (any letter case), or nullptr.
    QoProperty* Find(std::u16string_view name) const { return mItems.Find(name); }
    QoProperty* At(std::int32_t position) const { return mItems.At(position); }
    /// Changes whenever a setting is added or removed, so that holders of QoProperty pointers
    /// know when to look them up again.
    std::uint64_t Generation() const noexcept { return mGeneration; }
    /// Counts every later addition or removal of settings on each of `watches` (none: no longer).
    void SetWatches(std::vector<automation::Ref<SettingWatch>> watches) { mWatches = std::move(watches); }

    auto begin() const { return mItems.begin(); }
    auto end() const { return mItems.end(); }

private:
    bool AddMember(std::u16string Name, std::optional<std::u16string> DataType, std::optional<bool> RegSave,
                   std::optional<std::int32_t> RegFormat, std::optional<bool> FileSave,
                   std::optional<bool> Sync);
    automation::Variant DeleteMember(const automation::Variant& Index) {
        return automation::Variant(Delete(Index));
    }
    /// NewEnum_prp by name: the bag itself, which For Each walks.
    automation::Ref<automation::Object> NewEnumMember() { return automation::Ref<automation::Object>(this); }

    /// A setting added or removed: pointers to settings must be looked up again.
    void Changed() {
        ++mGeneration;
        for (const automation::Ref<SettingWatch>& watch : mWatches) {
            ++watch->revision;
        }
    }

    TypedCollection<QoProperty> mItems;
    std::uint64_t mGeneration = 0;
    std::vector<automation::Ref<SettingWatch>> mWatches;
};

} // namespace qv
