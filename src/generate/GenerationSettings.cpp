#include "generate/internal/GenerationSettings.h"

#include "core/QoProperties.h"

#include "platform/automation/Conversion.h"

namespace qv {

namespace {

std::u16string TextSetting(const QoProperties& properties, std::u16string_view name) {
    const QoProperty* setting = properties.Find(name);
    return setting != nullptr && !setting->Value().IsEmpty() ? automation::ToString(setting->Value())
                                                             : std::u16string();
}

bool FlagSetting(const QoProperties& properties, std::u16string_view name) {
    const QoProperty* setting = properties.Find(name);
    return setting != nullptr && !setting->Value().IsEmpty() && automation::ToBoolean(setting->Value());
}

} // namespace

GenerationSettings GenerationSettings::FromProperties(const QoProperties& properties, bool backupFile) {
    GenerationSettings settings;
    settings.Destination = TextSetting(properties, u"Destination");
    settings.AppRootFolder = TextSetting(properties, u"AppRootFolder");
    settings.OutputNameType = TextSetting(properties, u"OutputNameType");
    settings.OutputNameExt = TextSetting(properties, u"OutputNameExt");
    settings.OutputNameLCase = FlagSetting(properties, u"OutputNameLCase");
    settings.OtherOverwrite = FlagSetting(properties, u"OtherOverwrite");
    settings.PromptOnOverwrite = FlagSetting(properties, u"PromptOnOverwrite");
    settings.ProjName = TextSetting(properties, u"ProjName");
    settings.CssStyles = TextSetting(properties, u"CssStyles");
    settings.CSS = TextSetting(properties, u"CSS");
    settings.HeaderLogo = TextSetting(properties, u"HeaderLogo");
    settings.UploadPath = TextSetting(properties, u"UploadPath");
    settings.AuditTrailPath = TextSetting(properties, u"AuditTrailPath");
    settings.backupFile = backupFile;
    return settings;
}

} // namespace qv
