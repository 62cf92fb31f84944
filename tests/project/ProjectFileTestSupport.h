#pragma once

#include "model/ModelFixture.h"

#include "core/QoProperties.h"
#include "core/SettingsEntity.h"

#include "platform/automation/Ref.h"
#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

namespace qv::test {

/// One setting of a hand-made bag: name, DataType, whether it goes to the file, and its value.
struct SettingRow {
    std::u16string_view name;
    std::u16string_view dataType;
    bool fileSave;
    automation::Variant value;
};

/// Appends the rows to a bag, in order.
inline void AddSettings(QoProperties& bag, std::initializer_list<SettingRow> rows) {
    for (const SettingRow& row : rows) {
        bag.Add(row.name, row.dataType, false, 0, row.fileSave, false);
        bag.Item(automation::Variant(row.name))->SetValue(row.value);
    }
}

inline automation::Ref<QoProperties> MakeSettings(std::initializer_list<SettingRow> rows) {
    auto bag = automation::MakeRef<QoProperties>();
    AddSettings(*bag, rows);
    return bag;
}

/// Replaces an entity's settings by the rows, so that a file shows only what a test is about.
inline void ReplaceSettings(SettingsEntity& entity, std::initializer_list<SettingRow> rows) {
    entity.Properties()->Clear();
    AddSettings(*entity.Properties(), rows);
}

inline std::string ReadFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace qv::test
