#include "project/internal/QelChart.h"

namespace qv {

QelChart::QelChart() : SettingsEntity(Settings()) {}

const SettingsTable& QelChart::Settings() {
    static constexpr SettingInfo rows[] = {
#define QV_SETTING QV_SETTING_ROW
#include "project/ChartSettings.def"
    };
    static const SettingsTable table(rows);
    return table;
}

const automation::ClassInfo& QelChart::GetClassInfo() const {
    using namespace automation;
    // The settings are reached through the settings table; these are the other members.
    static const ClassInfo info(u"QelChart", {
                                                 PropertiesMember(),
                                                 Property<&QelChart::Key, &QelChart::SetKey>(u"Key"),
                                             });
    return info;
}

} // namespace qv
