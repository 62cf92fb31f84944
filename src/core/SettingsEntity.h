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
/// project, chart, extension, custom script). At construction it defines the bag from the
/// entity's settings table, in table order. Typed accessors (see Settings.h) reach a setting by
/// its position without a lookup; late-bound callers reach it by name through an index, after
/// the members of the entity's own table, which therefore win for settings whose setters do more
/// than store.
class SettingsEntity : public automation::Object {
public:
    /// Member numbers from here on name settings (by their position in the table).
    static constexpr automation::DispId SettingDispIdBase = 0x10000;

    /// The bag, created with the entity.
    const automation::Ref<QoProperties>& Properties() const noexcept { return mProperties; }
    const SettingsTable& SettingsOf() const noexcept { return mTable; }

    /// Deletes every setting and defines them all again, so that every value is Empty.
    void ResetSettings();

    std::optional<automation::DispId> GetDispId(std::u16string_view name) const override;
    automation::Variant Invoke(automation::DispId id, automation::InvokeKind kind,
                               std::span<automation::Variant> args) override;

    /// The stored value of a setting; raises 91 when the setting has been deleted from the bag.
    const automation::Variant& SettingValue(std::size_t ordinal) const {
        return SettingProperty(ordinal).Value();
    }
    /// Stores a value as given.
    void SetSettingValue(std::size_t ordinal, const automation::Variant& value) {
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
    automation::Ref<QoProperties> PropertiesMemberGet() const { return mProperties; }
    QoProperty& SettingProperty(std::size_t ordinal) const;
    void DefineSettings();

    const SettingsTable& mTable;
    automation::Ref<QoProperties> mProperties;
    // The bag's items by table position. Valid while the bag's generation is unchanged; a
    // setting deleted from the bag is nullptr after the next refresh.
    mutable std::vector<QoProperty*> mSettings;
    mutable std::uint64_t mSettingsGeneration = 0;
};

} // namespace qv
