#include "model/table/QelTable.h"

#include "model/internal/RegistryDefaults.h"

#include "core/Apartment.h"

namespace qv {

QelTable::QelTable() : SettingsEntity(Settings()) {
    LoadRegistryDefaults(*this, State().gRegKeyTable);
}

QelTable::~QelTable() = default;

const SettingsTable& QelTable::Settings() {
    static constexpr SettingInfo rows[] = {
#define QV_SETTING QV_SETTING_ROW
#include "model/table/TableSettings.def"
    };
    static const SettingsTable table(rows);
    return table;
}

const automation::ClassInfo& QelTable::GetClassInfo() const {
    using namespace automation;
    // The settings are reached through the settings table; these are the other members.
    static const ClassInfo info(u"QelTable",
                                {
                                    PropertiesMember(),
                                    Method<&QelTable::Fields>(u"Fields"),
                                    Property<&QelTable::Key, &QelTable::SetKey>(u"Key"),
                                    Method<&QelTable::LoadTbl_DAOMember>(u"LoadTbl_DAO"),
                                    Method<&QelTable::LoadView_DAOMember>(u"LoadView_DAO"),
                                    Method<&QelTable::Load_ADOMember>(u"Load_ADO"),
                                    Method<&QelTable::Load_ADOCustomViewMember>(u"Load_ADOCustomView"),
                                    Method<&QelTable::ParseCustomSql>(u"ParseCustomSql"),
                                    Method<&QelTable::LoadTableDefault>(u"LoadTableDefault"),
                                });
    return info;
}

std::u16string QelTable::Key() const {
    return TblName();
}

void QelTable::SetKey(std::u16string key) {
    SetTblName(key);
}

const automation::Ref<QelFields>& QelTable::Fields() const {
    if (!mFields) {
        mFields = automation::MakeRef<QelFields>();
    }
    return mFields;
}

} // namespace qv
