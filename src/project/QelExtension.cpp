#include "project/QelExtension.h"

namespace qv {

QelExtension::QelExtension() : SettingsEntity(Settings()) {}

const SettingsTable& QelExtension::Settings() {
    static constexpr SettingInfo rows[] = {
#define QV_SETTING QV_SETTING_ROW
#include "project/ExtensionSettings.def"
    };
    static const SettingsTable table(rows);
    return table;
}

const automation::ClassInfo& QelExtension::GetClassInfo() const {
    using namespace automation;
    // The settings are reached through the settings table; these are the other members.
    static const ClassInfo info(u"QelExtension",
                                {
                                    PropertiesMember(),
                                    Property<&QelExtension::Key, &QelExtension::SetKey>(u"Key"),
                                });
    return info;
}

} // namespace qv
