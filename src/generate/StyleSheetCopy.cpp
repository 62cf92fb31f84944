#include "generate/StyleSheetCopy.h"

#include "generate/CopySupport.h"
#include "generate/GenerationSettings.h"
#include "generate/OutputNames.h"
#include "generate/OverwritePolicy.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"
#include "template/TemplateText.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

namespace qv {

namespace {

/// What happened to one output of the step.
enum class Outcome { Done, Exists, Failed };

bool MayWrite(const GenerationSettings& settings, std::u16string_view path, bool checkOnly) {
    return CheckFileOverwrite(path, settings.OtherOverwrite, settings.PromptOnOverwrite, checkOnly,
                              settings.backupFile);
}

Outcome WriteProjectStyleSheet(const GenerationSettings& settings, std::u16string_view cssTemplate,
                               const StyleSheetServices& services, bool checkOnly) {
    std::u16string name = settings.ProjName + u".css";
    if (settings.OutputNameLCase) {
        name = automation::ToLower(name);
    }
    const std::u16string path = ResolveOutputFolder(settings, u"", name, checkOnly);
    if (!MayWrite(settings, path, checkOnly)) {
        return Outcome::Done;
    }
    if (checkOnly) {
        return Outcome::Exists;
    }
    if (cssTemplate.empty() || !system::FileExists(cssTemplate)) {
        return Outcome::Done;
    }
    try {
        std::u16string text = services.evaluate(ReadSingleByteFile(cssTemplate));
        if (!State().gProjErr.empty()) {
            return Outcome::Failed;
        }
        text += settings.CssStyles;
        services.writeText(path, text);
    } catch (const automation::Error& error) {
        if (error.Number() == -1) {
            throw;
        }
        SetCopyFailed(u"Copying to file ", path);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

/// Copies the file the setting names into the destination under its own name.
Outcome CopyIntoSite(const GenerationSettings& settings, std::u16string_view file, std::u16string_view info,
                     bool checkOnly) {
    const std::u16string path = ResolveOutputFolder(settings, u"", system::BaseName(file), checkOnly);
    // A setting that already names the output is never copied onto itself nor offered to the
    // overwrite decision.
    if (file == path || IsSameFile(file, path) || !MayWrite(settings, path, checkOnly)) {
        return Outcome::Done;
    }
    if (checkOnly) {
        return Outcome::Exists;
    }
    GetStatus().DispStatus(info);
    try {
        system::CopyFile(file, path, /*overwrite=*/true);
    } catch (const automation::Error&) {
        SetCopyFailed(u"Copying to file ", path);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

} // namespace

std::int16_t CopyCssAndLogo(const GenerationSettings& settings, std::u16string_view cssTemplate,
                            const StyleSheetServices& services, bool checkOnly) {
    if (WriteProjectStyleSheet(settings, cssTemplate, services, checkOnly) != Outcome::Done) {
        return 1;
    }
    if (!settings.CSS.empty() && system::FileExists(settings.CSS) &&
        CopyIntoSite(settings, settings.CSS, u"copying css...", checkOnly) != Outcome::Done) {
        return 1;
    }
    if (!settings.HeaderLogo.empty() && system::FileExists(settings.HeaderLogo) &&
        CopyIntoSite(settings, settings.HeaderLogo, u"Copying logo...", checkOnly) != Outcome::Done) {
        return 1;
    }
    return 0;
}

} // namespace qv
