#pragma once

#include "core/Settings.h"
#include "core/SettingsEntity.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// The six texts that name the place of a custom script: script type, code type, script name,
/// control id, and two keys whose meaning follows from the code type ("table": a table name;
/// "field": a table name and a field name of it).
struct ScriptPlace {
    std::u16string_view scriptType;
    std::u16string_view codeType;
    std::u16string_view name;
    std::u16string_view ctrlID;
    std::u16string_view l1Key;
    std::u16string_view l2Key;
};

/// One piece of user code attached to one place of the generated application: the six place
/// texts and the code, kept in its bag. Owned by the project's script list (QelCustomScripts);
/// creatable by the host and the templates.
class QelCustomScript final : public SettingsEntity {
public:
    enum class Setting : std::uint16_t {
#define QV_SETTING QV_SETTING_ENUMERATOR
#include "project/CustomScriptSettings.def"
    };

#define QV_SETTING QV_SETTING_ACCESSORS
#include "project/CustomScriptSettings.def"

    QelCustomScript();

    /// The script's settings table.
    static const SettingsTable& Settings();
    const automation::ClassInfo& GetClassInfo() const override;

    /// Its place, as its six settings hold it now.
    struct PlaceTexts {
        std::u16string scriptType, codeType, name, ctrlID, l1Key, l2Key;
    };
    PlaceTexts Place() const;
    /// Sets the six place settings.
    void SetPlace(const ScriptPlace& place);
};

/// The display key of a place: the six texts joined by "_" (the list's curName). Only shown,
/// never used to find a script, since two places can give the same text.
std::u16string ScriptPlaceText(const ScriptPlace& place);

} // namespace qv
