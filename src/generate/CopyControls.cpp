#include "generate/internal/CopyControls.h"

#include "generate/OverwritePolicy.h"
#include "generate/internal/CopySupport.h"
#include "generate/internal/GenerationSettings.h"
#include "generate/internal/OutputContent.h"
#include "generate/internal/OutputNames.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"
#include "core/VbText.h"
#include "template/QelControls.h"
#include "template/TemplateState.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

#include "platform/automation/Error.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qv {

namespace {

std::u16string_view WithoutTrailingSeparator(std::u16string_view path) {
    while (path.size() > 1 && system::IsPathSeparator(path.back())) {
        path.remove_suffix(1);
    }
    return path;
}

void SetMissingSource(std::u16string_view what, std::u16string_view name) {
    ModuleState& state = State();
    state.gProjErr = state.gMsgPrefix;
    state.gProjErr += what;
    state.gProjErr += u"\"";
    state.gProjErr += name;
    state.gProjErr += u"\"! Check if correct template.";
}

/// How the copies of one control ended.
enum class ControlCopy {
    Done,
    SourceMissing, ///< the message is set; the copies of the other controls go on
    Failed,        ///< the message is set; the copies end
};

/// Copies the files of one control.
ControlCopy CopyFiles(QelControl& control, const GenerationSettings& settings, bool checkOnly,
                      std::int32_t& count, OutputTally* tally) {
    const std::u16string& sourceFolder = CurrentTemplateState().sourceFolder;
    for (std::u16string_view file : SplitText(control.CtrlIFiles(), u",")) {
        const std::u16string source = LocateSourcePath(sourceFolder, file);
        // Into a named folder the file goes without its own sub-folder.
        const std::u16string_view name = control.CtrlOFolder().empty() ? file : system::BaseName(file);
        if (source.empty()) {
            SetMissingSource(u": Source file does not exist - ", file);
            return ControlCopy::Failed;
        }
        const bool overwrite = control.CtrlOverwrite() && settings.OtherOverwrite;
        if (checkOnly) {
            const std::u16string target =
                ResolveOutputFolder(settings, control.CtrlOFolder(), name, checkOnly);
            count += CheckFileOverwrite(target, overwrite, settings.PromptOnOverwrite, checkOnly,
                                        settings.backupFile)
                         ? 1
                         : 0;
            continue;
        }
        // A file or a link where the copy's folder should be ("images") is the user's: it is
        // named, neither replaced nor followed, and the copies go on.
        if (std::optional<FolderObstacle> obstacle =
                OutputFolderObstacle(settings, control.CtrlOFolder(), name)) {
            ReportFolderObstacle(
                u"Copying to file ",
                ResolveOutputFolder(settings, control.CtrlOFolder(), name, /*checkOnly=*/true), *obstacle,
                tally);
            continue;
        }
        const std::u16string target = ResolveOutputFolder(settings, control.CtrlOFolder(), name, checkOnly);
        if (!MayWriteOutput(target, OutputContent::CopyOfFile(source), overwrite, settings.PromptOnOverwrite,
                            settings.backupFile, tally)) {
            continue;
        }
        GetStatus().DispStatus(u"Copying file " + std::u16string(file) + u"...");
        try {
            // A file with its own sub-folder ("images/logo.gif") needs that folder on a new site.
            CreateFolderPath(system::FolderOf(target));
            system::CopyFile(source, target, /*overwrite=*/true);
        } catch (const automation::Error&) {
            SetCopyFailed(u"Copying to file ", target);
            return ControlCopy::Failed;
        }
    }
    return ControlCopy::Done;
}

/// Copies the folder of one control.
ControlCopy CopyFolder(QelControl& control, const GenerationSettings& settings, bool checkOnly,
                       std::int32_t& count, OutputTally* tally) {
    const std::u16string& inputFolder = control.CtrlIFolder();
    const std::u16string source = LocateSourcePath(CurrentTemplateState().sourceFolder, inputFolder);
    if (source.empty()) {
        // Unlike a missing file, a missing folder does not end the copies; the text stays set
        // and ends the run after them.
        SetMissingSource(u": Source folder does not exist - ", inputFolder);
        return ControlCopy::SourceMissing;
    }
    const std::u16string_view outputFolder =
        control.CtrlOFolder().empty() ? inputFolder : control.CtrlOFolder();
    // The target is only named here, not created: created before the overwrite check, it would
    // always exist, so that a first run would be asked about it, or without a prompt copy
    // nothing at all.
    const std::u16string target(
        WithoutTrailingSeparator(ResolveOutputFolder(settings, outputFolder, u"", /*checkOnly=*/true)));
    const bool overwrite = control.CtrlOverwrite() && settings.OtherOverwrite;
    if (checkOnly) {
        count += CheckFolderOverwrite(target, overwrite, settings.PromptOnOverwrite, checkOnly,
                                      settings.backupFile)
                     ? 1
                     : 0;
        return ControlCopy::Done;
    }
    const std::u16string shownFolder(WithoutTrailingSeparator(inputFolder));
    // A file or a link where the folder itself should be is the user's: it is named, neither
    // replaced nor followed, and the copies go on.
    if (std::optional<FolderObstacle> obstacle = OutputFolderObstacle(settings, outputFolder, u"")) {
        ReportFolderObstacle(u"Copying to folder ", shownFolder, *obstacle, tally);
        return ControlCopy::Done;
    }
    // Counted once the copy shows whether it could be made whole.
    OutputTally decided;
    if (!MayWriteOutput(target, OutputContent::CopyOfFolder(WithoutTrailingSeparator(source)), overwrite,
                        settings.PromptOnOverwrite, settings.backupFile, &decided)) {
        AddOutputs(tally, decided);
        return ControlCopy::Done;
    }
    GetStatus().DispStatus(u"Copying folder " + shownFolder + u"...");
    std::vector<FolderObstacle> left;
    try {
        left = system::CopyFolder(WithoutTrailingSeparator(source), target, /*overwrite=*/true);
    } catch (const automation::Error&) {
        SetCopyFailed(u"Copying to folder ", shownFolder);
        return ControlCopy::Failed;
    }
    if (left.empty()) {
        AddOutputs(tally, decided);
        return ControlCopy::Done;
    }
    // A link or a file in the way below the folder is left as it is and named; everything else
    // is copied, and the folder counts once as not written whole.
    for (std::size_t index = 0; index < left.size(); ++index) {
        ReportFolderObstacle(u"Copying to folder ", shownFolder, left[index], index == 0 ? tally : nullptr);
    }
    return ControlCopy::Done;
}

} // namespace

std::optional<std::int16_t> CopyControlFiles(QelControls& controls, const GenerationSettings& settings,
                                             bool checkOnly, OutputTally* tally) {
    std::int32_t count = 0;
    bool sourceMissing = false;
    for (std::int32_t position = 1; position <= controls.Count(); ++position) {
        automation::Ref<QelControl> control = controls.Item(automation::Variant(position));
        if (!control || control->CtrlType() != u"copy") {
            continue;
        }
        CurrentTemplateState().sourceFolder = SourceFolderOf(control->CtrlExt());
        ControlCopy copied = ControlCopy::Done;
        if (!control->CtrlIFiles().empty()) {
            copied = CopyFiles(*control, settings, checkOnly, count, tally);
        } else if (!control->CtrlIFolder().empty()) {
            copied = CopyFolder(*control, settings, checkOnly, count, tally);
        }
        if (copied == ControlCopy::Failed) {
            return std::nullopt;
        }
        sourceMissing = sourceMissing || copied == ControlCopy::SourceMissing;
    }
    if (count > INT16_MAX) {
        automation::Raise(automation::ErrorNumber::Overflow);
    }
    if (sourceMissing) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(count);
}

} // namespace qv
