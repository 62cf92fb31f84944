#pragma once

#include <string_view>

namespace qv {

class SettingsEntity;

/// Gives each setting of the entity that is marked for the registry the user's default: the
/// value named like the setting under `key` of the user hive, converted by the setting's
/// DataType. A value the hive does not hold converts like an empty value (False, 0 or ""), so
/// such a setting never stays Empty; a value the conversion refuses leaves it Empty. Walks the
/// bag in its order, setting gRegValueName before each read.
void LoadRegistryDefaults(SettingsEntity& entity, std::u16string_view key);

} // namespace qv
