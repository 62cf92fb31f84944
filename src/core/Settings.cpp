#include "core/Settings.h"

#include <cassert>

namespace qv {

std::u16string_view SettingTypeName(SettingType type) noexcept {
    switch (type) {
    case SettingType::String:
        return u"String";
    case SettingType::Boolean:
        return u"Boolean";
    case SettingType::Integer:
        return u"Integer";
    case SettingType::Long:
        return u"Long";
    case SettingType::Variant:
        return u"Variant";
    }
    assert(false && "unknown setting type");
    return u"Variant";
}

SettingsTable::SettingsTable(std::span<const SettingInfo> settings) : mSettings(settings) {
    mIndex.reserve(settings.size());
    for (std::size_t ordinal = 0; ordinal < settings.size(); ++ordinal) {
        [[maybe_unused]] const bool added = mIndex.emplace(settings[ordinal].name, ordinal).second;
        assert(added && "setting names must be unique without regard to case");
    }
}

std::optional<std::size_t> SettingsTable::Find(std::u16string_view name) const {
    auto found = mIndex.find(name);
    if (found == mIndex.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace qv
