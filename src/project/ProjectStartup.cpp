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
#include "platform/registry/Key.h"
#include "platform/registry/Registry.h"
#include "platform/registry/Value.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

namespace qv {

namespace {

constexpr std::u16string_view ProductName = u"Quorvane";
constexpr std::u16string_view ProductVersion = u"6.0";
constexpr std::u16string_view PageLanguage = u"ASP";
constexpr std::u16string_view PageExtension = u"asp";
constexpr std::int16_t StartDateFormat = 5;

std::u16string ProductKey(const ModuleState& state) {
    return u"Software\\" + state.gProductName + u"\\" + state.gProductVersion;
}

/// Whether a text holds more than blanks: one of blanks alone names no file, as an empty one.
bool HoldsText(std::u16string_view text) {
    return text.find_first_not_of(u" \t\r\n") != std::u16string_view::npos;
}

/// Whether a registry value holds anything: a text or list of texts that is not empty or blank,
/// bytes, or a number.
bool HoldsSomething(const registry::Value& value) {
    switch (value.Kind()) {
    case registry::DataKind::Text:
        return HoldsText(value.AsText());
    case registry::DataKind::MultiText:
        return std::any_of(value.AsMultiText().begin(), value.AsMultiText().end(),
                           [](const std::u16string& text) { return HoldsText(text); });
    case registry::DataKind::Number:
        return true;
    case registry::DataKind::Bytes:
        return !value.AsBytes().empty();
    }
    return false;
}

/// A hive's value under the General key, when it holds something.
const registry::Value* GeneralValue(const registry::Key& hive, std::u16string_view generalKey,
                                    std::u16string_view name) {
    const registry::Key* general = hive.FindPath(generalKey);
    const registry::Value* value = general != nullptr ? general->FindValue(name) : nullptr;
    return value != nullptr && HoldsSomething(*value) ? value : nullptr;
}

/// The user's "Language" value under the General key, when it holds something: only then has the
/// user had a first run. An empty or blank one names no language file and counts as missing.
const registry::Value* UsersLanguage(const registry::Key& user, std::u16string_view generalKey) {
    return GeneralValue(user, generalKey, u"Language");
}

/// Marks, under the user's General key, a first run whose copy left "Language" holding nothing
/// (the machine's holds nothing either): without it every start would be a first run again and
/// put back each default the user has removed since.
constexpr std::u16string_view DefaultsCopiedValue = u"DefaultsCopied";

/// Whether a start with this user hive is a first run.
bool IsFirstRun(const registry::Key& user, std::u16string_view generalKey) {
    return UsersLanguage(user, generalKey) == nullptr &&
           GeneralValue(user, generalKey, DefaultsCopiedValue) == nullptr;
}

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

    const std::u16string base = ProductKey(state);
    state.gRegKeyGeneral = base + u"\\Settings\\General";
    state.gRegKeyProject = base + u"\\Settings\\Project";
    state.gRegKeyDatabase = base + u"\\Settings\\Database";
    state.gRegKeyTable = base + u"\\Settings\\Table";
    state.gRegKeyChart = base + u"\\Settings\\Chart";
    state.gRegKeyField = base + u"\\Settings\\Field";
    state.gRegKeyAdvancedFilters = base + u"\\AdvancedFilters";
    state.gRegKeyExtensions = base + u"\\Extensions";

    // Only a missing, empty or blank "Language" value marks a first run: a user file that has one
    // is the user's own, however it came to be (an earlier version, an administrator, a hand
    // edit), and is left exactly as it is. A user who removed a default keeps that choice, also
    // where the machine's "Language" holds nothing, since the first run then marks itself.
    registry::Registry& hives = CurrentRegistry();
    const bool firstRun = IsFirstRun(hives.Root(registry::HiveKind::User), state.gRegKeyGeneral);
    const automation::Variant language = GetRegValue(u"HKCU", state.gRegKeyGeneral, u"Language");
    mLanguageFile = language.IsEmpty() ? std::u16string() : TextOf(language).value_or(std::u16string());
    if (firstRun) {
        CopyDefaultSettings();
    }
    // A start killed while it saved the user file left a temporary file beside it, and a start
    // that saves nothing there would never sweep it away.
    hives.RemoveLeftovers(registry::HiveKind::User);
}

std::u16string Qel::GetDllVersion() const {
    QelStatus& status = GetStatus();
    status.GetVer(LibraryFileName);
    return NumberText(status.mj1()) + u"." + NumberText(status.mj2()) + u"." + NumberText(status.mn1()) +
           u"." + NumberText(status.mn2());
}

void Qel::CopyDefaultSettings() {
    const ModuleState& state = State();
    registry::Registry& hives = CurrentRegistry();
    const registry::Key& machine = hives.Root(registry::HiveKind::Machine);
    // The whole copy is one save, made under the user hive's lock into what its file holds by
    // then: a start killed meanwhile leaves the hive as it was, and starts running together
    // copy once and lose nothing. One save also keeps the copy linear in the number of values.
    const auto copy = [&](registry::Key& user) {
        // Another first run that held the lock before this one has copied already; what the
        // file holds now is the user's, as in any later start.
        if (!IsFirstRun(user, state.gRegKeyGeneral)) {
            return false;
        }
        std::size_t copied = 0;
        // An empty or blank "Language" is filled like a missing one; every other value the user
        // has stays.
        registry::Key* general = user.FindPath(state.gRegKeyGeneral);
        if (const registry::Value* language = UsersLanguage(machine, state.gRegKeyGeneral);
            language != nullptr && general != nullptr && general->FindValue(u"Language") != nullptr) {
            general->SetValue(u"Language", *language);
            ++copied;
        }
        for (const std::u16string* key :
             {&state.gRegKeyAdvancedFilters, &state.gRegKeyGeneral, &state.gRegKeyProject,
              &state.gRegKeyDatabase, &state.gRegKeyTable, &state.gRegKeyChart, &state.gRegKeyField,
              &state.gRegKeyExtensions}) {
            copied += CopyRegistryKey(machine, user, *key);
        }
        // A machine hive without defaults gives no first run: a later start tries again, and
        // finds them once they are installed.
        if (UsersLanguage(user, state.gRegKeyGeneral) == nullptr &&
            machine.FindPath(state.gRegKeyGeneral) != nullptr) {
            user.CreatePath(state.gRegKeyGeneral).SetValue(DefaultsCopiedValue, registry::Value::Number(1));
            ++copied;
        }
        return copied > 0;
    };
    try {
        hives.Update(registry::HiveKind::User, copy);
    } catch (const automation::Error&) {
        // A refused write passes silently and the start goes on: a user hive that cannot be
        // saved gets no defaults, and the next start tries again.
    }
}

std::size_t Qel::CopyRegistryKey(const registry::Key& machine, registry::Key& user, std::u16string_view key) {
    const registry::Key* source = machine.FindPath(key);
    if (source == nullptr) {
        return 0;
    }
    // The user's own values win: the copy only fills what the user hive lacks.
    std::size_t copied = 0;
    registry::Key* target = user.FindPath(key);
    for (const registry::Key::NamedValue& entry : source->Values()) {
        if (target != nullptr && target->FindValue(entry.name) != nullptr) {
            continue;
        }
        if (target == nullptr) {
            target = &user.CreatePath(key);
        }
        target->SetValue(entry.name, entry.value);
        ++copied;
    }
    for (const std::unique_ptr<registry::Key>& subkey : source->Subkeys()) {
        copied += CopyRegistryKey(machine, user, std::u16string(key) + u"\\" + subkey->Name());
    }
    return copied;
}

} // namespace qv
