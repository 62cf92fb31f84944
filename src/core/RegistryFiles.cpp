#include "core/RegistryFiles.h"

#include "core/Apartment.h"

#include "platform/registry/Registry.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

namespace qv {

namespace {

std::u16string MachineHiveFolder() {
    const std::u16string hive =
        system::FromNativePath(CurrentRegistry().HivePath(registry::HiveKind::Machine));
    return std::u16string(system::FolderOf(hive));
}

} // namespace

std::u16string ResolveRegistryFile(std::u16string_view name) {
    if (name.empty() || system::IsAbsolutePath(name)) {
        return std::u16string(name);
    }
    return system::JoinPath(MachineHiveFolder(), name);
}

std::u16string ShippedExtensionsFolder() {
    return system::JoinPath(MachineHiveFolder(), u"extensions");
}

std::u16string ResolveExtensionPackage(std::u16string_view name) {
    if (name.empty() || system::IsAbsolutePath(name)) {
        return std::u16string(name);
    }
    // A relative name is a package of the shipped folder and never one above it.
    return system::JoinInside(ShippedExtensionsFolder(), name);
}

} // namespace qv
