#include "model/field/QelField.h"

#include "model/internal/RegistryDefaults.h"

#include "core/Apartment.h"

namespace qv {

QelField::QelField() : SettingsEntity(Settings()) {
    LoadRegistryDefaults(*this, State().gRegKeyField);
}

const SettingsTable& QelField::Settings() {
    static constexpr SettingInfo rows[] = {
#define QV_SETTING QV_SETTING_ROW
#include "model/field/FieldSettings.def"
    };
    static const SettingsTable table(rows);
    return table;
}

const automation::ClassInfo& QelField::GetClassInfo() const {
    using namespace automation;
    // The settings are reached through the settings table; these are the other members.
    static const ClassInfo info(u"QelField", {
                                                 PropertiesMember(),
                                                 Property<&QelField::Key, &QelField::SetKey>(u"Key"),
                                                 Method<&QelField::FldParm>(u"FldParm"),
                                                 Method<&QelField::LoadFld_DAOMember>(u"LoadFld_DAO"),
                                                 Method<&QelField::LoadFld_ADOMember>(u"LoadFld_ADO"),
                                                 Method<&QelField::LoadFldDefault>(u"LoadFldDefault"),
                                             });
    return info;
}

std::u16string QelField::Key() const {
    return FldName();
}

void QelField::SetKey(std::u16string key) {
    SetFldName(key);
}

std::u16string QelField::FldParm() const {
    std::u16string variable = FldVar();
    return variable.size() < 3 ? std::u16string() : variable.substr(2);
}

} // namespace qv
