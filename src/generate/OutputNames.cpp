#include "generate/internal/OutputNames.h"

#include "generate/internal/GenerationAbort.h"
#include "generate/internal/GenerationSettings.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"
#include "core/VbText.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

namespace qv {

std::u16string BuildOutputFileName(const GenerationSettings& settings, std::u16string_view baseName,
                                   std::u16string_view partName, std::u16string_view pageWord,
                                   std::u16string_view extension) {
    std::u16string stem(baseName);
    if (!partName.empty()) {
        stem += u'_';
        stem += partName;
    }
    const std::u16string& extra = settings.OutputNameExt;
    const std::u16string type = automation::ToLower(settings.OutputNameType);
    std::u16string name;
    if (type == u"prefix") {
        name = extra + stem;
        name += pageWord;
    } else if (type == u"infix") {
        // Without a base (other pages) there is nothing to put the text after.
        name = stem.empty() ? std::u16string(pageWord) : stem + extra + std::u16string(pageWord);
    } else if (type == u"suffix") {
        name = stem;
        name += pageWord;
        name += extra;
    } else {
        name = stem;
        name += pageWord;
    }
    name += u'.';
    name += extension;
    return settings.OutputNameLCase ? automation::ToLower(name) : name;
}

std::u16string OutputRoot(const GenerationSettings& settings, bool appRoot) {
    std::u16string root(TrimBlanks(appRoot ? settings.AppRootFolder : settings.Destination));
    if (root.empty()) {
        ModuleState& state = State();
        state.gProjErr = state.gMsgPrefix;
        state.gProjErr += appRoot ? u": Application root folder not set! Generation aborted!"
                                  : u": Destination folder not set! Generation aborted!";
        RaiseGenerationError();
    }
    return root;
}

namespace {

/// Whether a control's output folder lies under AppRootFolder ("~\" or "~/") rather than
/// under Destination.
bool IsUnderAppRoot(std::u16string_view folder) {
    return folder.size() >= 2 && folder[0] == u'~' && system::IsPathSeparator(folder[1]);
}

} // namespace

std::u16string ResolveOutputFolder(const GenerationSettings& settings, std::u16string_view folder,
                                   std::u16string_view fileName, bool checkOnly) {
    const bool underAppRoot = IsUnderAppRoot(folder);
    const std::u16string root = OutputRoot(settings, underAppRoot);
    const std::u16string_view relative = underAppRoot ? folder.substr(2) : folder;
    std::u16string directory = system::JoinInside(root, relative);
    if (!relative.empty() && !checkOnly) {
        // Below the site's root every folder must be its own: a link there would carry the
        // pages to wherever it points.
        system::RefuseLinksBelow(root, relative);
        CreateFolderPath(directory);
    }
    return system::JoinInside(directory, fileName);
}

std::optional<FolderObstacle> OutputFolderObstacle(const GenerationSettings& settings,
                                                   std::u16string_view folder, std::u16string_view fileName) {
    const bool underAppRoot = IsUnderAppRoot(folder);
    std::u16string relative(underAppRoot ? folder.substr(2) : folder);
    // A file name with folders of its own ("images/logo.gif") lies in them.
    const std::size_t separator = fileName.find_last_of(u"\\/");
    if (separator != std::u16string_view::npos) {
        relative += u'/';
        relative += fileName.substr(0, separator);
    }
    return ObstacleBelow(OutputRoot(settings, underAppRoot), relative);
}

void CreateFolderPath(std::u16string_view path) {
    try {
        system::CreateFolders(path);
    } catch (const automation::Error&) {
        // Reported by the write into the folder that follows.
    }
}

std::u16string LocateSourcePath(std::u16string_view folder, std::u16string_view name) {
    std::u16string path = system::JoinInside(folder, name);
    if (system::FileExists(path) || system::FolderExists(path)) {
        return path;
    }
    // Packages written on Windows may spell a name in another letter case than the control file.
    if (std::optional<std::u16string> found = system::FindNoCase(folder, name)) {
        return *found;
    }
    GetStatus().CloseStatus();
    return {};
}

} // namespace qv
