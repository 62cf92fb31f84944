#include "core/SettingsEntity.h"

#include "platform/automation/Error.h"

#include <algorithm>
#include <cassert>

namespace qv {

using automation::DispId;
using automation::InvokeKind;
using automation::MakeRef;
using automation::Raise;
using automation::Variant;

SettingsEntity::SettingsEntity(const SettingsTable& table) : mTable(table), mValues(table.Size()) {}

const automation::Ref<QoProperties>& SettingsEntity::Properties() const {
    if (!mProperties) {
        mProperties = MakeRef<QoProperties>();
        DefineSettings();
        ShareWatchesWithBag();
    }
    return mProperties;
}

void SettingsEntity::DefineSettings() const {
    mSettings.clear();
    mSettings.reserve(mTable.Size());
    for (std::size_t ordinal = 0; ordinal < mTable.Size(); ++ordinal) {
        QoProperty& property = mProperties->Define(mTable[ordinal]);
        if (ordinal < mValues.size()) {
            property.SetValue(mValues[ordinal]);
        }
        mSettings.push_back(&property);
    }
    for (const WatchedSetting& watched : mWatches) {
        mSettings[watched.ordinal]->SetWatch(watched.watch);
    }
    mValues.clear();
    mValues.shrink_to_fit();
    mSettingsGeneration = mProperties->Generation();
}

void SettingsEntity::ResetSettings() {
    if (!mProperties) {
        for (std::size_t ordinal = 0; ordinal < mValues.size(); ++ordinal) {
            StoreValue(ordinal, Variant());
        }
        return;
    }
    mProperties->Clear();
    DefineSettings();
}

void SettingsEntity::StoreValue(std::size_t ordinal, const Variant& value) {
    for (const WatchedSetting& watched : mWatches) {
        if (watched.ordinal == ordinal && !QoProperty::SameValue(mValues[ordinal], value)) {
            ++watched.watch->revision;
        }
    }
    mValues[ordinal] = value;
}

void SettingsEntity::WatchSetting(std::size_t ordinal, automation::Ref<SettingWatch> watch) {
    assert(ordinal < mTable.Size() && "a setting of the entity's table");
    const auto found = std::find_if(mWatches.begin(), mWatches.end(), [&](const WatchedSetting& watched) {
        return watched.ordinal == ordinal;
    });
    if (mProperties) {
        // Whatever bears the setting's name now: it may have been deleted and added again.
        if (QoProperty* property = mProperties->Find(mTable[ordinal].name)) {
            property->SetWatch(watch);
        }
    }
    if (!watch) {
        if (found != mWatches.end()) {
            mWatches.erase(found);
        }
    } else if (found != mWatches.end()) {
        found->watch = std::move(watch);
    } else {
        mWatches.push_back({ordinal, std::move(watch)});
    }
    if (mProperties) {
        ShareWatchesWithBag();
    }
}

void SettingsEntity::ShareWatchesWithBag() const {
    std::vector<automation::Ref<SettingWatch>> watches;
    watches.reserve(mWatches.size());
    for (const WatchedSetting& watched : mWatches) {
        watches.push_back(watched.watch);
    }
    mProperties->SetWatches(std::move(watches));
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
