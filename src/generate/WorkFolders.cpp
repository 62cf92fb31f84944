#include "generate/internal/WorkFolders.h"

#include "generate/internal/GenerationRun.h"

#include "template/TemplateState.h"

#include "core/Apartment.h"
#include "core/Captions.h"
#include "core/FolderPaths.h"
#include "core/VbText.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <chrono>
#include <utility>

namespace qv {

namespace {

/// `name` below `parent`, made where missing: the folder that packages are extracted into and
/// scripts written to, like every work folder, is refused when a link stands in its place, since
/// all that would land wherever it points.
std::u16string ExtractionFolder(std::u16string_view parent, std::u16string_view name) {
    return system::CreateFoldersBelow(parent, name);
}

/// The template's lock, waited for as long as another run holds it: a run that gave up would
/// fail the user's command for no fault of its own.
WorkFolderLock LockTemplateFolder(std::u16string_view templateFolder) {
    GenerationRun& run = CurrentRun();
    if (!run.lockedTemplateFolder.empty()) {
        // This apartment's run holds it: waiting for itself would never end.
        return WorkFolderLock();
    }
    const std::u16string lockFile = system::JoinPath(templateFolder, u".run.lock");
    for (;;) {
        std::optional<system::FileLock> lock =
            system::FileLock::Acquire(lockFile, std::chrono::seconds(1), system::FileLock::Sharing::None);
        if (lock) {
            run.lockedTemplateFolder = templateFolder;
            return WorkFolderLock(std::move(*lock));
        }
    }
}

} // namespace

WorkFolderLock::~WorkFolderLock() {
    if (mLock) {
        CurrentRun().lockedTemplateFolder.clear();
    }
}

WorkFolderLock::WorkFolderLock(WorkFolderLock&& other) noexcept {
    if (other.mLock) {
        mLock.emplace(std::move(*other.mLock));
        other.mLock.reset();
    }
}

WorkFolderLock& WorkFolderLock::operator=(WorkFolderLock&& other) noexcept {
    if (this != &other) {
        if (mLock) {
            CurrentRun().lockedTemplateFolder.clear();
        }
        mLock.reset();
        if (other.mLock) {
            mLock.emplace(std::move(*other.mLock));
            other.mLock.reset();
        }
    }
    return *this;
}

std::u16string TemplateFileNameOf(std::u16string_view templatePath) {
    return std::u16string(system::BaseName(templatePath));
}

WorkFolderLock SetupWorkFolders(std::u16string_view workFolder,
                                const std::vector<std::u16string>& extensionNames) {
    GenerationRun& run = CurrentRun();
    TemplateState& folders = CurrentTemplateState();
    // The file cache finds its folder the same way: both must name one tree.
    run.backupFolder = ProductWorkFolder(u"Backup");
    run.siteRecordFolder = ProductWorkFolder(u"Sites");
    const std::u16string templates = ProductWorkFolder(u"Templates");
    const std::u16string templateFolder =
        ExtractionFolder(templates, RemoveSlashesAndSpaces(folders.templateFileName));
    WorkFolderLock lock = LockTemplateFolder(templateFolder);
    folders.extensionsFolder = ExtractionFolder(templateFolder, u"extensions");
    for (const std::u16string& name : extensionNames) {
        run.extensionFolder = ExtractionFolder(folders.extensionsFolder, name);
    }
    folders.tempFolder = ExtractionFolder(templateFolder, u"temp");
    folders.templateFolder = ExtractionFolder(templateFolder, workFolder);
    return lock;
}

void DeleteWorkFolder(std::u16string_view path) {
    try {
        system::DeleteFolder(path);
    } catch (const automation::Error&) {
        // A folder that will not go is left for the next run to reuse.
    }
}

void DeleteFilesByExtension(std::u16string_view folder, std::u16string_view extension) {
    for (const std::u16string& name : system::ListFolder(folder).files) {
        const std::size_t dot = name.rfind(u'.');
        const std::u16string_view own =
            dot == std::u16string::npos ? std::u16string_view() : std::u16string_view(name).substr(dot + 1);
        if (automation::EqualsNoCase(own, extension)) {
            system::DeleteFile(system::JoinPath(folder, name));
        }
    }
}

bool ExtractionMissing(std::u16string_view folder, std::u16string_view requiredFile) {
    if (!system::FolderExists(folder)) {
        return true;
    }
    if (!requiredFile.empty()) {
        return !system::FileExists(system::JoinPath(folder, requiredFile));
    }
    const system::FolderEntries entries = system::ListFolder(folder);
    return entries.files.empty() && entries.folders.empty();
}

} // namespace qv
