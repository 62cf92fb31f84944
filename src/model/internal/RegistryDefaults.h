#pragma once

#include "platform/registry/Registry.h"

#include <string_view>

namespace qv {

class SettingsEntity;

/// Gives each setting of the entity that is marked for the registry the user's default: the
/// value named like the setting under `key` of the user hive, converted by the setting's
/// DataType. A value the hive does not hold converts like an empty value (False, 0 or ""), so
/// such a setting never stays Empty; a value the conversion refuses leaves it Empty. Walks the
/// bag in its order; the registry object is left addressing the last value read.
void LoadRegistryDefaults(SettingsEntity& entity, std::u16string_view key);

/// For one operation that makes many entities (a schema load): while it lives, the hive files
/// are looked at once (registry::Registry::Batch), and LoadRegistryDefaults reads the defaults
/// of each kind of entity under each key once and gives the later entities of that kind the
/// same values. Only the last value of each walk is read again, so that the module state and
/// the registry object end as a full walk leaves them. What the registry holds is read afresh
/// by the next scope. Scopes may nest; the apartment's registry must not be replaced meanwhile.
class RegistryDefaultsScope {
public:
    RegistryDefaultsScope();
    ~RegistryDefaultsScope();
    RegistryDefaultsScope(const RegistryDefaultsScope&) = delete;
    RegistryDefaultsScope& operator=(const RegistryDefaultsScope&) = delete;

private:
    registry::Registry::Batch mBatch;
};

} // namespace qv
