#include "model/table/QelDatabase.h"

#include "model/LoadSettings.h"
#include "model/internal/RegistryDefaults.h"

#include "core/Apartment.h"
#include "core/Formatting.h"
#include "core/QelStatus.h"

namespace qv {

using automation::Ref;

QelDatabase::QelDatabase() : SettingsEntity(Settings()) {
    LoadRegistryDefaults(*this, State().gRegKeyDatabase);
}

QelDatabase::~QelDatabase() {
    UnloadTables();
    CurrentLoadSettings().secDefault.clear();
}

const SettingsTable& QelDatabase::Settings() {
    static constexpr SettingInfo rows[] = {
#define QV_SETTING QV_SETTING_ROW
#include "model/table/DatabaseSettings.def"
    };
    static const SettingsTable table(rows);
    return table;
}

const automation::ClassInfo& QelDatabase::GetClassInfo() const {
    using namespace automation;
    // The settings are reached through the settings table; these are the other members, and the
    // settings whose accessors differ from a plain Get and Let.
    static const ClassInfo info(
        u"QelDatabase", {
                            PropertiesMember(),
                            Method<&QelDatabase::tables>(u"tables"),
                            Property<&QelDatabase::Key, &QelDatabase::SetKey>(u"Key"),
                            Method<&QelDatabase::DBADOVer>(u"DBADOVer"),
                            Method<&QelDatabase::DBDBMSName>(u"DBDBMSName"),
                            Method<&QelDatabase::DBDBMSVer>(u"DBDBMSVer"),
                            Method<&QelDatabase::DBOLEDBVer>(u"DBOLEDBVer"),
                            Method<&QelDatabase::DBProviderName>(u"DBProviderName"),
                            Method<&QelDatabase::DBProviderVer>(u"DBProviderVer"),
                            Property<&QelDatabase::SecDefault, &QelDatabase::SecDefaultLet>(u"SecDefault"),
                            Method<&QelDatabase::LoadADODB>(u"LoadADODB"),
                            Method<&QelDatabase::LoadADOCustomView>(u"LoadADOCustomView"),
                            Method<&QelDatabase::LoadDAODB>(u"LoadDAODB"),
                        });
    return info;
}

std::u16string QelDatabase::Key() const {
    return DBName();
}

void QelDatabase::SetKey(std::u16string key) {
    SetDBName(key);
}

const Ref<QelTables>& QelDatabase::tables() const {
    if (!mTables) {
        mTables = automation::MakeRef<QelTables>();
    }
    return mTables;
}

void QelDatabase::SecDefaultLet(std::u16string value) {
    SetSecDefault(value);
}

void QelDatabase::SetSecDefault(std::u16string_view value) {
    SetSettingValue(static_cast<std::size_t>(Setting::SecDefault), automation::Variant(value));
    CurrentLoadSettings().secDefault.assign(value);
}

namespace {

/// One call to the progress window. Unloading happens in a destructor: a window that fails
/// must neither stop the tables from going nor escape.
template <class Call> void ProgressStep(Call call) noexcept {
    try {
        call();
    } catch (const automation::Error&) {
        // Nothing to report to: the unloading goes on without this step.
    }
}

/// A table's setting as display text; "" for a value made unreadable through the bag.
std::u16string DisplayText(const QelTable& table, QelTable::Setting setting) noexcept {
    try {
        return table.GetSetting<SettingType::String>(static_cast<std::size_t>(setting));
    } catch (const automation::Error&) {
        return {};
    }
}

} // namespace

void QelDatabase::UnloadTables() noexcept {
    ModuleState& state = State();
    // Removal renumbers the list; visiting a snapshot reaches every table whatever it does.
    std::vector<Ref<QelTable>> snapshot;
    if (mTables) {
        for (QelTable& table : *mTables) {
            snapshot.emplace_back(&table);
        }
    }
    const auto total = static_cast<std::int32_t>(snapshot.size());
    state.gProgressTotal = total;
    state.gProgressPos = total;
    state.gStatusCaption = state.gMsgPrefix + u" - Unloading Database...";
    QelStatus& status = GetStatus();
    ProgressStep([&] { status.ShowStatus(0, FrameText(state.gStatusCaption)); });
    for (const Ref<QelTable>& table : snapshot) {
        const std::u16string line = u"Unloading " + DisplayText(*table, QelTable::Setting::TblType) + u" " +
                                    DisplayText(*table, QelTable::Setting::TblName) + u"...";
        ProgressStep([&] { status.DispStatus(line); });
        mTables->Remove(*table);
        --state.gProgressPos;
        ProgressStep([&] { status.SetStatus(Percent(state.gProgressPos, state.gProgressTotal)); });
    }
    ProgressStep([&] { status.CloseStatus(); });
}

} // namespace qv
