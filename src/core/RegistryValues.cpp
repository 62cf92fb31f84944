#include "core/RegistryValues.h"

#include "core/Apartment.h"
#include "core/cRegistry.h"

#include "platform/automation/Error.h"

#include <string>

namespace qv {

using automation::Variant;

Variant GetRegValue(std::u16string_view root, std::u16string_view section, std::u16string_view name) {
    cRegistry& registry = GetRegistry();
    registry.SetClassKey(root == u"HKLM" ? RootKey::LocalMachine : RootKey::CurrentUser);
    registry.SetSectionKey(std::u16string(section));
    registry.SetValueKey(std::u16string(name));
    Variant value;
    try {
        value = registry.Value();
    } catch (const automation::Error&) {
        // A hive that cannot be read reads like a missing value.
        value = registry.Default();
    }
    return value;
}

void SetRegValue(std::u16string_view root, std::u16string_view section, std::u16string_view name,
                 std::int32_t& valueType, const Variant& value) {
    cRegistry& registry = GetRegistry();
    registry.SetClassKey(root == u"HKLM" ? RootKey::LocalMachine : RootKey::CurrentUser);
    registry.SetSectionKey(std::u16string(section));
    registry.SetValueKey(std::u16string(name));
    registry.SetValueType(valueType);
    registry.SetValue(value);
}

} // namespace qv
