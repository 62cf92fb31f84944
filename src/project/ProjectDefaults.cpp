// The user's default settings of new projects: read from and written to the registry.

#include "project/Qel.h"

#include "project/QelExtension.h"
#include "project/QelExtensions.h"

#include "model/LoadSettings.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"

#include "core/Apartment.h"
#include "core/Charsets.h"
#include "core/QoProperties.h"
#include "core/RegistryValues.h"
#include "core/SettingConversion.h"
#include "core/VbText.h"
#include "template/TemplateState.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <optional>
#include <string>

namespace qv {

using automation::Variant;

namespace {

/// How many tables the host unloads before it asks, when the registry says nothing usable.
constexpr std::int16_t DefaultUnloadThreshold = 20;

/// A registry value read as text: "" for a missing value or one without text.
std::u16string ReadText(std::u16string_view key, std::u16string_view name) {
    const Variant value = GetRegValue(u"HKCU", key, name);
    if (value.IsEmpty()) {
        return {};
    }
    return TextOf(value).value_or(std::u16string());
}

/// A registry value read as text and converted like a setting of that type: Empty when it is
/// missing or does not convert.
Variant ReadConverted(std::u16string_view key, std::u16string_view name, std::u16string_view dataType) {
    return ConvertToDataType(Variant(ReadText(key, name)), Variant(dataType));
}

/// An Integer read from a converted value; `fallback` for Empty.
std::int16_t IntegerOr(const Variant& value, std::int16_t fallback) {
    return value.IsEmpty() ? fallback : value.IntegerValue();
}

/// The value as an Integer when it reads as a number (Empty reads as 0), else nullopt.
std::optional<std::int16_t> NumericInteger(const Variant& value) {
    if (value.IsEmpty()) {
        return std::int16_t{0};
    }
    const Variant converted = ConvertToDataType(value, Variant(u"Integer"));
    if (converted.IsEmpty()) {
        return std::nullopt;
    }
    return converted.IntegerValue();
}

/// Writes each setting of the bag kept in the registry under `key`, typed by its RegFormat. A
/// number format holds only whole numbers: a setting that holds none (Empty, never set) writes
/// nothing, as a registry number cannot say "no value".
void SaveSettings(const QoProperties& bag, std::u16string_view key) {
    for (QoProperty& setting : bag) {
        if (!setting.RegSave()) {
            continue;
        }
        std::int32_t format = setting.RegFormat();
        const Variant& value = setting.Value();
        const bool whole =
            value.Type() == automation::VarType::Integer || value.Type() == automation::VarType::Long;
        if ((format == 4 || format == 5) && !whole) {
            continue;
        }
        SetRegValue(u"HKCU", key, setting.Name(), format, value);
    }
}

} // namespace

void Qel::LoadDefault() {
    ModuleState& state = State();
    // Each value is read as text and converted by the setting's type, so that a missing or
    // unconvertible value leaves a Boolean or number setting Empty and a String setting "".
    for (QoProperty& setting : *Properties()) {
        if (setting.RegSave()) {
            setting.SetValue(ReadConverted(state.gRegKeyProject, setting.Name(), setting.DataType()));
        }
    }
    mLanguage = ReadText(state.gRegKeyGeneral, u"Language");
    const Variant backup = ReadConverted(state.gRegKeyGeneral, u"BackupFile", u"Boolean");
    mBackupFile = !backup.IsEmpty() && backup.BooleanValue();
    CurrentLoadSettings().defaultDateFormat =
        NumericInteger(SettingValue(static_cast<std::size_t>(Setting::defaultDateFormat))).value_or(0);
    mUserCode = ReadText(state.gRegKeyGeneral, u"USERCODE");
    const Variant timeout = ReadConverted(state.gRegKeyGeneral, u"ScriptEngineTimeout", u"Long");
    CurrentTemplateState().scriptEngineTimeout = timeout.IsEmpty() ? 0 : timeout.LongValue();

    SetSecType(u"None");
    SetSecLoginID(u"");
    SetSecPasswd(u"");
    SetSecTbl(u"");
    SetSecLoginIDFld(u"");
    SetSecPasswdFld(u"");
    SetAutoSync(true);
    SetAutoBrowse(false);
    SetCreateVDir(false);
    SetSessTimeOut(0);
    if (XMLEncoding().empty()) {
        InitSystemCharset();
        SetXMLEncoding(state.gXmlEncoding);
    }
    SetOtherGen(true);
    SetOtherOverwrite(true);
    SetPromptOnOverwrite(true);
    SetLinkOnLeft(false);
    SetPagerStyle(2);
    SetMultiDelete(false);

    // A threshold that is no number counts as missing: it must not make every new project fail.
    const Variant threshold = ReadConverted(state.gRegKeyGeneral, u"UnloadThresholdCount", u"Integer");
    mUnloadThresholdCount = IntegerOr(threshold, 0);
    if (mUnloadThresholdCount < 1) {
        mUnloadThresholdCount = DefaultUnloadThreshold;
    }
}

void Qel::SaveDefault() {
    ModuleState& state = State();
    SaveSettings(*Properties(), state.gRegKeyProject);
    if (DBCnt() > 0) {
        SaveSettings(*Database().Properties(), state.gRegKeyDatabase);
    }
    std::int32_t text = 1;
    std::int32_t number = 4;
    SetRegValue(u"HKCU", state.gRegKeyGeneral, u"Language", text, Variant(mLanguage));
    SetRegValue(u"HKCU", state.gRegKeyGeneral, u"BackupFile", text, Variant(mBackupFile));
    SetRegValue(u"HKCU", state.gRegKeyGeneral, u"USERCODE", text, Variant(mUserCode));
    SetRegValue(u"HKCU", state.gRegKeyGeneral, u"ScriptEngineTimeout", number,
                Variant(CurrentTemplateState().scriptEngineTimeout));

    // The registered extensions; values of extensions no longer listed stay.
    QelExtensions& extensions = GetExtensions();
    for (std::int32_t seq = 1; seq <= extensions.Count(); ++seq) {
        const automation::Ref<QelExtension> extension = extensions.Seq(static_cast<std::int16_t>(seq));
        if (!extension) {
            continue;
        }
        SetRegValue(u"HKCU", state.gRegKeyExtensions, extension->Name(), text,
                    Variant(extension->Template()));
    }
}

} // namespace qv
