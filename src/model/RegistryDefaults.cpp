#include "model/RegistryDefaults.h"

#include "core/Apartment.h"
#include "core/Common.h"
#include "core/QoProperties.h"
#include "core/SettingsEntity.h"

#include <string>

namespace qv {

void LoadRegistryDefaults(SettingsEntity& entity, std::u16string_view key) {
    ModuleState& state = State();
    // The key text may live in the module state, which the reads below do not change.
    const std::u16string section(key);
    for (QoProperty& setting : *entity.Properties()) {
        if (!setting.RegSave()) {
            continue;
        }
        state.gRegValueName = setting.Name();
        const automation::Variant value = GetRegValue(u"HKCU", section, state.gRegValueName);
        setting.SetValue(ConvertToDataType(value, automation::Variant(setting.DataType())));
    }
}

} // namespace qv
