#include "core/SettingsEntity.h"

#include "platform/automation/Error.h"

#include <cassert>

namespace qv {

using automation::DispId;
using automation::InvokeKind;
using automation::MakeRef;
using automation::Raise;
using automation::Variant;

SettingsEntity::SettingsEntity(const SettingsTable& table)
    : mTable(table), mProperties(MakeRef<QoProperties>()) {
    DefineSettings();
}

void SettingsEntity::DefineSettings() {
    mSettings.clear();
    mSettings.reserve(mTable.Size());
    for (const SettingInfo& info : mTable.Settings()) {
        mSettings.push_back(&mProperties->Define(info));
    }
    mSettingsGeneration = mProperties->Generation();
}

void SettingsEntity::ResetSettings() {
    mProperties->Clear();
    DefineSettings();
}

automation::MemberInfo SettingsEntity::PropertiesMember() {
    return automation::Method<&SettingsEntity::PropertiesMemberGet>(u"Properties");
}

QoProperty& SettingsEntity::SettingProperty(std::size_t ordinal) const {
    if (mSettingsGeneration != mProperties->Generation()) {
        // Somebody added or deleted settings through the bag: look every setting up again.
        for (std::size_t index = 0; index < mTable.Size(); ++index) {
            mSettings[index] = mProperties->Find(mTable[index].name);
        }
        mSettingsGeneration = mProperties->Generation();
    }
    QoProperty* property = mSettings[ordinal];
    if (property == nullptr) {
        Raise(automation::ErrorNumber::ObjectVariableNotSet);
    }
    return *property;
}

Variant SettingsEntity::ConvertForSetting(SettingType type, const Variant& value) {
    switch (type) {
    case SettingType::String:
        return Variant(automation::ToString(value));
    case SettingType::Boolean:
        return Variant(automation::ToBoolean(value));
    case SettingType::Integer:
        return Variant(automation::ToInteger(value));
    case SettingType::Long:
        return Variant(automation::ToLong(value));
    case SettingType::Variant:
        return value;
    }
    assert(false && "unknown setting type");
    return value;
}

std::optional<DispId> SettingsEntity::GetDispId(std::u16string_view name) const {
    if (std::optional<DispId> member = GetClassInfo().Find(name)) {
        return member;
    }
    if (std::optional<std::size_t> ordinal = mTable.Find(name)) {
        return SettingDispIdBase + static_cast<DispId>(*ordinal);
    }
    return std::nullopt;
}

Variant SettingsEntity::Invoke(DispId id, InvokeKind kind, std::span<Variant> args) {
    if (id < SettingDispIdBase || static_cast<std::size_t>(id - SettingDispIdBase) >= mTable.Size()) {
        return Object::Invoke(id, kind, args);
    }
    const std::size_t ordinal = static_cast<std::size_t>(id - SettingDispIdBase);
    const SettingType type = mTable[ordinal].dataType;
    if (HasKind(kind, InvokeKind::PropertyLet) ||
        (HasKind(kind, InvokeKind::PropertySet) && type == SettingType::Variant)) {
        if (args.size() != 1) {
            Raise(automation::ErrorNumber::WrongArgumentCount);
        }
        SetSettingValue(ordinal, ConvertForSetting(type, args[0].Deref()));
        return Variant();
    }
    if (!HasKind(kind, InvokeKind::PropertyGet) && !HasKind(kind, InvokeKind::Method)) {
        Raise(automation::ErrorNumber::ObjectDoesNotSupport);
    }
    // A setting takes no arguments and its value is never an object with a default member.
    if (!args.empty()) {
        Raise(automation::ErrorNumber::WrongArgumentCount);
    }
    return ConvertForSetting(type, SettingValue(ordinal));
}

} // namespace qv
