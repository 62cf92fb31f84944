#include "project/internal/QelCustomScript.h"

namespace qv {

QelCustomScript::QelCustomScript() : SettingsEntity(Settings()) {}

const SettingsTable& QelCustomScript::Settings() {
    static constexpr SettingInfo rows[] = {
#define QV_SETTING QV_SETTING_ROW
#include "project/CustomScriptSettings.def"
    };
    static const SettingsTable table(rows);
    return table;
}

const automation::ClassInfo& QelCustomScript::GetClassInfo() const {
    using namespace automation;
    // The settings are reached through the settings table.
    static const ClassInfo info(u"QelCustomScript", {PropertiesMember()});
    return info;
}

QelCustomScript::PlaceTexts QelCustomScript::Place() const {
    return PlaceTexts{ScriptType(),   ScriptCodeType(), ScriptName(),
                      ScriptCtrlID(), ScriptL1Key(),    ScriptL2Key()};
}

void QelCustomScript::SetPlace(const ScriptPlace& place) {
    SetScriptType(place.scriptType);
    SetScriptCodeType(place.codeType);
    SetScriptName(place.name);
    SetScriptCtrlID(place.ctrlID);
    SetScriptL1Key(place.l1Key);
    SetScriptL2Key(place.l2Key);
}

std::u16string ScriptPlaceText(const ScriptPlace& place) {
    std::u16string text(place.scriptType);
    for (std::u16string_view part : {place.codeType, place.name, place.ctrlID, place.l1Key, place.l2Key}) {
        text += u'_';
        text += part;
    }
    return text;
}

} // namespace qv
