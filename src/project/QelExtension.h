#pragma once

#include "core/Settings.h"
#include "core/SettingsEntity.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>

namespace qv {

/// One extension package in use by the project: its name (the folder its package is
/// extracted to) and Template, the package's file name in the application's extensions folder.
/// Its three settings live in its bag, so that the project file walks them by their flags.
/// Owned by the extension list (QelExtensions); creatable by the host and the templates.
class QelExtension final : public SettingsEntity {
public:
    enum class Setting : std::uint16_t {
#define QV_SETTING QV_SETTING_ENUMERATOR
#include "project/ExtensionSettings.def"
    };

#define QV_SETTING QV_SETTING_ACCESSORS
#include "project/ExtensionSettings.def"

    QelExtension();

    /// The extension's settings table.
    static const SettingsTable& Settings();
    const automation::ClassInfo& GetClassInfo() const override;

    /// A second name for the setting Name: the same bag entry.
    std::u16string Key() const {
        return Name();
    }
    void SetKey(std::u16string key) {
        SetName(key);
    }
};

} // namespace qv
