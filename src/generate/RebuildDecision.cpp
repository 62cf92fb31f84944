#include "generate/internal/RebuildDecision.h"

#include "generate/internal/GenerationAbort.h"

#include "core/Apartment.h"
#include "core/Formatting.h"
#include "core/VbText.h"
#include "template/QelCache.h"
#include "template/QelControl.h"
#include "template/TemplateState.h"
#include "template/TemplateText.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

#include "platform/automation/Variant.h"

#include <optional>

namespace qv {

namespace {

constexpr std::u16string_view IncludeOpen = u"<!--##include";
constexpr std::u16string_view IncludeClose = u"##-->";

/// The file or folder `name` in `folder`, in another letter case when the exact one is missing.
std::optional<std::u16string> Find(std::u16string_view folder, std::u16string_view name) {
    std::u16string exact = system::JoinInside(folder, name);
    if (system::FileExists(exact) || system::FolderExists(exact)) {
        return exact;
    }
    return system::FindNoCase(folder, name);
}

[[noreturn]] void RaiseMissing(std::u16string_view name) {
    ModuleState& state = State();
    std::u16string text = u"Missing \"";
    text += name;
    text += u"\" in template folder \"";
    text += CurrentTemplateState().templateFolder;
    text += u"\". Generation aborted.";
    state.gProjErr = std::move(text);
    RaiseGenerationError();
}

bool IsNewer(std::u16string_view file, std::u16string_view cachedDate) {
    return FormatTimestamp(automation::Variant::FromDate(system::FileModified(file))) > cachedDate;
}

/// Checks one input file of the control (and its includes): true when it is newer than the
/// cached date. A missing file ends the run naming `listedName`.
bool InputChanged(std::u16string_view listedName, std::u16string_view cachedDate) {
    const std::optional<std::u16string> file =
        Find(CurrentTemplateState().sourceFolder, TrimBlanks(listedName));
    if (!file || !system::FileExists(*file)) {
        RaiseMissing(listedName);
    }
    if (IsNewer(*file, cachedDate)) {
        return true;
    }
    const std::u16string includes = ListIncludes(ReadSingleByteFile(*file));
    for (std::u16string_view include : SplitText(includes, u",")) {
        const std::u16string path = FindTemplateFile(include);
        if (!system::FileExists(path)) {
            RaiseMissing(include);
        }
        if (IsNewer(path, cachedDate)) {
            return true;
        }
    }
    return false;
}

bool NeedsBuild(QelControl& control, QelCache& cache) {
    TemplateState& folders = CurrentTemplateState();
    folders.sourceFolder = SourceFolderOf(control.CtrlExt());
    const std::u16string_view inputFolder = TrimBlanks(control.CtrlIFolder());
    if (!inputFolder.empty()) {
        const std::optional<std::u16string> folder = Find(folders.sourceFolder, inputFolder);
        if (!folder || !system::FolderExists(*folder)) {
            RaiseMissing(control.CtrlIFolder());
        }
    }
    const std::u16string script = PreparedScriptFile(control);
    const automation::Variant cached = cache.GetCacheDate(
        automation::Variant(u"temp"), automation::Variant(std::u16string(system::BaseName(script))));
    if (cached.Type() == automation::VarType::Date && cached.DateValue() == 0.0) {
        return true;
    }
    if (!system::FileExists(script)) {
        return true;
    }
    if (control.CtrlIFiles().empty()) {
        return false;
    }
    const std::u16string cachedDate = FormatTimestamp(cached);
    for (std::u16string_view name : SplitText(control.CtrlIFiles(), u",")) {
        if (InputChanged(name, cachedDate)) {
            return true;
        }
    }
    QelSessions& sessions = control.Sessions();
    for (std::int32_t position = 1; position <= sessions.Count(); ++position) {
        const automation::Ref<QelSession> session = sessions.Item(position);
        if (!session || session->SessType() != u"key") {
            continue;
        }
        folders.sourceFolder = SourceFolderOf(session->SessExt());
        if (!session->SessIFile().empty() && InputChanged(session->SessIFile(), cachedDate)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::u16string PreparedScriptFile(const QelControl& control) {
    std::u16string name = control.CtrlID();
    name += control.CtrlTagExt();
    name += u".tmp";
    return system::JoinInside(CurrentTemplateState().tempFolder, name);
}

bool ControlNeedsBuild(QelControl& control, QelCache& cache) {
    control.SetCtrlGen(false);
    const bool rebuild = NeedsBuild(control, cache);
    control.SetCtrlGen(rebuild);
    return rebuild;
}

std::u16string ListIncludes(std::u16string_view text) {
    std::u16string names;
    bool first = true;
    for (std::size_t open = FindTextNoCase(text, IncludeOpen); open != std::u16string_view::npos;) {
        const std::size_t close = FindTextNoCase(text, IncludeClose, open);
        if (close == std::u16string_view::npos) {
            break;
        }
        const std::size_t innerStart = open + IncludeOpen.size();
        std::u16string_view inner = text.substr(innerStart, close > innerStart ? close - innerStart : 0);
        if (const std::size_t slash = inner.rfind(u'/'); slash != std::u16string_view::npos) {
            inner = inner.substr(0, slash);
        }
        if (!first) {
            names += u',';
        }
        names += TrimBlanks(inner);
        first = false;
        open = FindTextNoCase(text, IncludeOpen, close + IncludeClose.size());
    }
    return names;
}

} // namespace qv
