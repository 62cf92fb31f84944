#pragma once

#include "core/Settings.h"
#include "core/SettingsEntity.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>

namespace qv {

/// One chart of the generated application: the fields of its two axes, its kind, size,
/// colours, axis texts and display options, 35 settings in its bag. Nothing in the library
/// reads charts; the host and the templates create them, alone or in a QelCharts list, which
/// owns its charts.
class QelChart final : public SettingsEntity {
public:
    enum class Setting : std::uint16_t {
#define QV_SETTING QV_SETTING_ENUMERATOR
#include "project/ChartSettings.def"
    };

#define QV_SETTING QV_SETTING_ACCESSORS
#include "project/ChartSettings.def"

    QelChart();

    /// The chart's settings table.
    static const SettingsTable& Settings();
    const automation::ClassInfo& GetClassInfo() const override;

    /// A second name for ChartName: the same bag entry. Writing it does not rename the chart in
    /// a list by itself; the list finds charts by their current names.
    std::u16string Key() const {
        return ChartName();
    }
    void SetKey(std::u16string key) {
        SetChartName(key);
    }
};

} // namespace qv
