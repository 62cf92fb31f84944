// Construction of the project object: the module state every project of the apartment shares
// (product words, registry paths) and the first-run copy of the machine's default settings.

#include "project/Qel.h"

#include "core/Apartment.h"
#include "core/FolderPaths.h"
#include "core/QelStatus.h"
#include "core/RegistryValues.h"
#include "core/VbText.h"
#include "template/TemplateState.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/registry/Registry.h"
#include "platform/registry/Value.h"

#include <string>

namespace qv {

namespace {

constexpr std::u16string_view ProductName = u"Quorvane";
constexpr std::u16string_view ProductVersion = u"6.0";
constexpr std::u16string_view PageLanguage = u"ASP";
constexpr std::u16string_view PageExtension = u"asp";
constexpr std::int16_t StartDateFormat = 5;

} // namespace

void Qel::SetModuleState() {
    ModuleState& state = State();
    state.gMyDocumentsPath = GetSpecialFolderPath(mWindow, SpecialFolderPersonal);
    mDllVersion = GetDllVersion();
    mCurTable = nullptr;
    CurrentTemplateState().pageScript = nullptr;
    // Template and extension packages are extracted by the zip layer when a run needs them;
    // there is no component to create here.
    mProjInit = false;
    state.gScriptLanguage = PageLanguage;
    state.gProductName = ProductName;
    state.gMsgPrefix = ProductName;
    state.gProductVersion = ProductVersion;
    state.gMinTemplateVersion = ProductVersion;
    mDefaultExt = PageExtension;
    mDefaultPage = u"default." + mDefaultExt;
    SetdefaultDateFormat(StartDateFormat);

    const std::u16string base = u"Software\\" + state.gProductName + u"\\" + state.gProductVersion;
    state.gRegKeyGeneral = base + u"\\Settings\\General";
    state.gRegKeyProject = base + u"\\Settings\\Project";
    state.gRegKeyDatabase = base + u"\\Settings\\Database";
    state.gRegKeyTable = base + u"\\Settings\\Table";
    state.gRegKeyChart = base + u"\\Settings\\Chart";
    state.gRegKeyField = base + u"\\Settings\\Field";
    state.gRegKeyAdvancedFilters = base + u"\\AdvancedFilters";
    state.gRegKeyExtensions = base + u"\\Extensions";

    // Only a missing "Language" value marks a first run: a user who emptied it on purpose keeps
    // the defaults saved since, which a copy at every start would overwrite.
    const bool firstRun =
        !CurrentRegistry().ReadValue(registry::HiveKind::User, state.gRegKeyGeneral, u"Language");
    const automation::Variant language = GetRegValue(u"HKCU", state.gRegKeyGeneral, u"Language");
    mLanguageFile = language.IsEmpty() ? std::u16string() : TextOf(language).value_or(std::u16string());
    if (firstRun) {
        CopyDefaultSettings();
    }
}

std::u16string Qel::GetDllVersion() const {
    QelStatus& status = GetStatus();
    status.GetVer(LibraryFileName);
    return NumberText(status.mj1()) + u"." + NumberText(status.mj2()) + u"." + NumberText(status.mn1()) +
           u"." + NumberText(status.mn2());
}

void Qel::CopyDefaultSettings() {
    const ModuleState& state = State();
    for (const std::u16string* key :
         {&state.gRegKeyAdvancedFilters, &state.gRegKeyGeneral, &state.gRegKeyProject, &state.gRegKeyDatabase,
          &state.gRegKeyTable, &state.gRegKeyChart, &state.gRegKeyField, &state.gRegKeyExtensions}) {
        CopyRegistryKey(*key);
    }
}

void Qel::CopyRegistryKey(std::u16string_view key) {
    registry::Registry& hives = CurrentRegistry();
    for (const std::u16string& name : hives.ValueNames(registry::HiveKind::Machine, key)) {
        // The user's own values win: the copy only fills what the user hive lacks. A value that
        // cannot be copied is skipped, so that one bad value costs the user no other default.
        try {
            if (hives.ReadValue(registry::HiveKind::User, key, name)) {
                continue;
            }
            std::optional<registry::Value> value = hives.ReadValue(registry::HiveKind::Machine, key, name);
            if (value) {
                hives.WriteValue(registry::HiveKind::User, key, name, *value);
            }
        } catch (const automation::Error&) {
            continue;
        }
    }
    for (const std::u16string& subkey : hives.SubkeyNames(registry::HiveKind::Machine, key)) {
        CopyRegistryKey(std::u16string(key) + u"\\" + subkey);
    }
}

} // namespace qv
