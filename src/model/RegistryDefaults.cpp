#include "model/internal/RegistryDefaults.h"

#include "core/Apartment.h"
#include "core/QoProperties.h"
#include "core/RegistryValues.h"
#include "core/SettingConversion.h"
#include "core/SettingsEntity.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qv {

namespace {

/// The defaults read during the open RegistryDefaultsScope, one entry per kind of entity and key.
struct DefaultsMemo {
    struct Entry {
        const SettingsTable* table;
        std::u16string key;
        std::uint64_t revision; // of the registry when read; another one means read again
        std::vector<std::pair<std::size_t, automation::Variant>> values; // by ordinal, in table order
    };
    int depth = 0;
    std::vector<Entry> entries;
};

DefaultsMemo& Memo() {
    return ApartmentSlot<DefaultsMemo>();
}

} // namespace

void LoadRegistryDefaults(SettingsEntity& entity, std::u16string_view key) {
    // The key text may live in the module state, which the reads below do not change.
    const std::u16string section(key);
    auto userDefault = [&](std::u16string_view name, std::u16string_view dataType) {
        const automation::Variant value = GetRegValue(u"HKCU", section, name);
        return ConvertToDataType(value, automation::Variant(dataType));
    };
    if (entity.HasBag()) {
        for (QoProperty& setting : *entity.Properties()) {
            if (setting.RegSave()) {
                setting.SetValue(userDefault(setting.Name(), setting.DataType()));
            }
        }
        return;
    }

    // Without a bag the settings are the table's, in its order: walking the table reads the same
    // values and spares making a bag that nobody may ever walk.
    const SettingsTable& table = entity.SettingsOf();
    auto read = [&](std::size_t ordinal) {
        const SettingInfo& info = table[ordinal];
        automation::Variant value = userDefault(info.name, SettingTypeName(info.dataType));
        entity.SetSettingValue(ordinal, value);
        return value;
    };
    DefaultsMemo& memo = Memo();
    const std::uint64_t revision = CurrentRegistry().Revision();
    const auto known =
        std::find_if(memo.entries.begin(), memo.entries.end(), [&](const DefaultsMemo::Entry& entry) {
            return entry.table == &table && entry.key == section;
        });
    if (known != memo.entries.end() && known->revision == revision && !known->values.empty()) {
        for (std::size_t index = 0; index + 1 < known->values.size(); ++index) {
            entity.SetSettingValue(known->values[index].first, known->values[index].second);
        }
        read(known->values.back().first);
        return;
    }
    DefaultsMemo::Entry entry{&table, section, 0, {}};
    for (std::size_t ordinal = 0; ordinal < table.Size(); ++ordinal) {
        if (table[ordinal].regSave) {
            entry.values.emplace_back(ordinal, read(ordinal));
        }
    }
    if (memo.depth == 0) {
        return;
    }
    // Taken after the reads: the first of them may have read a hive from its file.
    entry.revision = CurrentRegistry().Revision();
    if (known != memo.entries.end()) {
        *known = std::move(entry);
    } else {
        memo.entries.push_back(std::move(entry));
    }
}

RegistryDefaultsScope::RegistryDefaultsScope() : mBatch(CurrentRegistry()) {
    ++Memo().depth;
}

RegistryDefaultsScope::~RegistryDefaultsScope() {
    DefaultsMemo& memo = Memo();
    // A reset apartment has a fresh memo, with no scope open.
    if (memo.depth > 0 && --memo.depth == 0) {
        memo.entries.clear();
    }
}

} // namespace qv
