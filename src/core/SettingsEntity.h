#pragma once

#include "core/QoProperties.h"
#include "core/Settings.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Object.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace qv {

/// Base of every entity that keeps its settings in a property bag (database, table, field,
/// project, chart, extension, custom script). Its bag holds the settings of the entity's
/// settings table, in table order. Typed accessors (see Settings.h) reach a setting by its
/// position without a lookup; late-bound callers reach it by name through an index, after the
/// members of the entity's own table, which therefore win for settings whose setters do more
/// than store.
///
/// The bag is made when somebody first asks for it: until then the values live in a plain array
/// by table position, which is what every accessor reads and writes. A schema load makes
/// thousands of fields whose bags nobody may ever walk, and a bag costs two objects per setting.
/// Once made, the bag holds the values, and settings deleted or added through it count.
class SettingsEntity : public automation::Object {
public:
    /// Member numbers from here on name settings (by their position in the table).
    static constexpr automation::DispId SettingDispIdBase = 0x10000;

    /// The bag, made from the values held so far on first use.
    const automation::Ref<QoProperties>& Properties() const;
    /// Whether the bag has been made; until then the entity's settings are exactly its table's,
    /// in table order.
    bool HasBag() const noexcept { return static_cast<bool>(mProperties); }
    const SettingsTable& SettingsOf() const noexcept { return mTable; }

    /// Deletes every setting and defines them all again, so that every value is Empty.
    void ResetSettings();

    /// Counts on `watch` every change of the setting at `ordinal` to another value, whether made
    /// through an accessor, late-bound or through the bag, and every setting added to or removed
    /// from the bag (nullptr: no longer). One watch per setting, replacing the one it had; a
    /// list keyed or numbered by the setting keeps its index by it.
    void WatchSetting(std::size_t ordinal, automation::Ref<SettingWatch> watch);

    std::optional<automation::DispId> GetDispId(std::u16string_view name) const override;
    automation::Variant Invoke(automation::DispId id, automation::InvokeKind kind,
                               std::span<automation::Variant> args) override;

    /// The stored value of a setting; raises 91 when the setting has been deleted from the bag.
    /// The reference is good until the setting changes or the bag is made.
    const automation::Variant& SettingValue(std::size_t ordinal) const {
        if (!mProperties) {
            return mValues[ordinal];
        }
        return SettingProperty(ordinal).Value();
    }
    /// Stores a value as given.
    void SetSettingValue(std::size_t ordinal, const automation::Variant& value) {
        if (!mProperties) {
            StoreValue(ordinal, value);
            return;
        }
        SettingProperty(ordinal).SetValue(value);
    }

    /// The value converted to the declared type: "", False and 0 for a value never stored;
    /// 13 for a value that does not convert.
    template <SettingType Type> typename SettingTraits<Type>::Value GetSetting(std::size_t ordinal) const {
        const automation::Variant& value = SettingValue(ordinal);
        if constexpr (Type == SettingType::String) {
            return automation::ToString(value);
        } else if constexpr (Type == SettingType::Boolean) {
            return automation::ToBoolean(value);
        } else if constexpr (Type == SettingType::Integer) {
            return automation::ToInteger(value);
        } else if constexpr (Type == SettingType::Long) {
            return automation::ToLong(value);
        } else {
            return value;
        }
    }

    /// A value converted as a Let of a setting of that type stores it.
    static automation::Variant ConvertForSetting(SettingType type, const automation::Variant& value);

protected:
    explicit SettingsEntity(const SettingsTable& table);

    /// The member table row of `Properties`, for the entity's own table.
    static automation::MemberInfo PropertiesMember();

private:
    automation::Ref<QoProperties> PropertiesMemberGet() const { return Properties(); }
    QoProperty& SettingProperty(std::size_t ordinal) const;
    /// A value stored before the bag is made.
    void StoreValue(std::size_t ordinal, const automation::Variant& value);
    /// Defines the bag's settings from the table, giving each the value held for it (and
    /// emptying that array).
    void DefineSettings() const;

    const SettingsTable& mTable;
    // The values by table position while there is no bag; empty once the bag holds them.
    mutable std::vector<automation::Variant> mValues;
    mutable automation::Ref<QoProperties> mProperties;
    // The bag's items by table position. Valid while the bag's generation is unchanged; a
    // setting deleted from the bag is nullptr after the next refresh.
    mutable std::vector<QoProperty*> mSettings;
    mutable std::uint64_t mSettingsGeneration = 0;
    struct WatchedSetting {
        std::size_t ordinal;
        automation::Ref<SettingWatch> watch;
    };
    /// Hands every watch to the bag, which counts additions and removals on them.
    void ShareWatchesWithBag() const;
    // At most one entry per setting; a handful at most, so a walk finds one.
    std::vector<WatchedSetting> mWatches;
};

} // namespace qv
