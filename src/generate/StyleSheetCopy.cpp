#include "generate/internal/StyleSheetCopy.h"

#include "generate/OverwritePolicy.h"
#include "generate/internal/CopySupport.h"
#include "generate/internal/GenerationSettings.h"
#include "generate/internal/OutputContent.h"
#include "generate/internal/OutputNames.h"

#include "core/QelStatus.h"
#include "template/ScriptHost.h"
#include "template/TemplateText.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

namespace qv {

namespace {

/// What happened to one output of the step.
enum class Outcome { Done, Exists, Failed };

bool ExistsInCheck(const GenerationSettings& settings, std::u16string_view path) {
    return CheckFileOverwrite(path, settings.OtherOverwrite, settings.PromptOnOverwrite, /*checkOnly=*/true,
                              settings.backupFile);
}

bool MayWrite(const GenerationSettings& settings, std::u16string_view path, const OutputContent& content,
              OutputTally* tally) {
    return MayWriteOutput(path, content, settings.OtherOverwrite, settings.PromptOnOverwrite,
                          settings.backupFile, tally);
}

Outcome WriteProjectStyleSheet(const GenerationSettings& settings, std::u16string_view cssTemplate,
                               const StyleSheetServices& services, bool checkOnly, OutputTally* tally) {
    std::u16string name = settings.ProjName + u".css";
    if (settings.OutputNameLCase) {
        name = automation::ToLower(name);
    }
    const std::u16string path = ResolveOutputFolder(settings, u"", name, checkOnly);
    if (checkOnly) {
        return ExistsInCheck(settings, path) ? Outcome::Exists : Outcome::Done;
    }
    // A style sheet that stays as it is whatever it would say is not built.
    if (cssTemplate.empty() || !system::FileExists(cssTemplate) ||
        KeepsExistingFile(path, settings.OtherOverwrite, tally)) {
        return Outcome::Done;
    }
    try {
        std::u16string text = services.evaluate(ReadSingleByteFile(cssTemplate));
        if (ScriptReportedError()) {
            return Outcome::Failed;
        }
        text += settings.CssStyles;
        // Built first, so that a style sheet that comes out the same is not asked about.
        const std::string bytes = services.fileBytes(text);
        if (MayWrite(settings, path, OutputContent::Bytes(bytes), tally)) {
            system::WriteFileAtomic(path, bytes);
        }
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
                     bool checkOnly, OutputTally* tally) {
    const std::u16string path = ResolveOutputFolder(settings, u"", system::BaseName(file), checkOnly);
    // A setting that already names the output is never copied onto itself nor offered to the
    // overwrite decision.
    if (file == path || IsSameFile(file, path)) {
        return Outcome::Done;
    }
    if (checkOnly) {
        return ExistsInCheck(settings, path) ? Outcome::Exists : Outcome::Done;
    }
    if (!MayWrite(settings, path, OutputContent::CopyOfFile(file), tally)) {
        return Outcome::Done;
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

std::optional<std::int16_t> CopyCssAndLogo(const GenerationSettings& settings,
                                           std::u16string_view cssTemplate,
                                           const StyleSheetServices& services, bool checkOnly,
                                           OutputTally* tally) {
    // The first output that exists (check-only) or fails ends the step.
    const auto ended = [](Outcome outcome) -> std::optional<std::int16_t> {
        if (outcome == Outcome::Failed) {
            return std::nullopt;
        }
        return std::int16_t{1};
    };
    if (const Outcome outcome = WriteProjectStyleSheet(settings, cssTemplate, services, checkOnly, tally);
        outcome != Outcome::Done) {
        return ended(outcome);
    }
    if (!settings.CSS.empty() && system::FileExists(settings.CSS)) {
        if (const Outcome outcome = CopyIntoSite(settings, settings.CSS, u"copying css...", checkOnly, tally);
            outcome != Outcome::Done) {
            return ended(outcome);
        }
    }
    if (!settings.HeaderLogo.empty() && system::FileExists(settings.HeaderLogo)) {
        if (const Outcome outcome =
                CopyIntoSite(settings, settings.HeaderLogo, u"Copying logo...", checkOnly, tally);
            outcome != Outcome::Done) {
            return ended(outcome);
        }
    }
    return std::int16_t{0};
}

} // namespace qv
