#pragma once

#include "platform/system/FileLock.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The private copy of a template package and its extensions that a generation run works on,
// kept per template file under the documents folder:
//   <documents>/<product>/Backup
//   <documents>/<product>/Sites/<record of one site folder>.xml (see SiteRecord)
//   <documents>/<product>/Templates/<template file>/{extensions/<name>, temp, <work>}
// with <work> "Script" for a generation and "Tmp" for a check. The folder paths go into the
// run's records (GenerationRun: the backup and extension folders; TemplateState: the
// extensions, temp and template folders, the last being the work folder), without a trailing
// separator.

/// The work folder of a generation run and of a check.
inline constexpr std::u16string_view ScriptWorkFolder = u"Script";
inline constexpr std::u16string_view CheckWorkFolder = u"Tmp";

/// The template package's file name as the work folders use it: the text after the last
/// separator of either kind, so that "C:\t\My.zip" and "/t/My.zip" both give "My.zip".
std::u16string TemplateFileNameOf(std::u16string_view templatePath);

/// The lock of one template's work tree, held by a generation or a check from the moment it sets
/// the tree up until it ends: the runs of one template share its extracted packages, prepared
/// scripts and cache, so a second run (of any command, in another program or another apartment)
/// waits for the first rather than extract, delete or rewrite what the first is reading. Empty
/// when the apartment holds the tree's lock already (a check started by a running generation).
class WorkFolderLock {
public:
    WorkFolderLock() = default;
    explicit WorkFolderLock(system::FileLock lock) : mLock(std::move(lock)) {}
    ~WorkFolderLock();
    WorkFolderLock(WorkFolderLock&& other) noexcept;
    WorkFolderLock& operator=(WorkFolderLock&& other) noexcept;
    WorkFolderLock(const WorkFolderLock&) = delete;
    WorkFolderLock& operator=(const WorkFolderLock&) = delete;

private:
    std::optional<system::FileLock> mLock;
};

/// Builds the tree for TemplateState::templateFileName, the extensions (by name, in sequence order) and the
/// work folder `workFolder`, creating every missing folder, and sets the folder paths. Takes the
/// template's lock first, waiting as long as another run holds it, and returns it for the caller
/// to keep until its run ends. A template file or extension name that would lead out of its
/// folder raises 52; a folder that cannot be created raises the file error.
[[nodiscard]] WorkFolderLock SetupWorkFolders(std::u16string_view workFolder,
                                              const std::vector<std::u16string>& extensionNames);

/// Deletes the folder with everything in it when it exists; errors are ignored.
void DeleteWorkFolder(std::u16string_view path);

/// Deletes every file directly in `folder` whose extension (the text after the last "." of its
/// name, "" without one) equals `extension`, letter case ignored. Raises the file error when the
/// folder cannot be listed or a file cannot go.
void DeleteFilesByExtension(std::u16string_view folder, std::u16string_view extension);

/// Whether a package must be extracted although the cache found it unchanged: its work folder
/// is gone or empty (or lacks `requiredFile`), so the recorded extraction no longer exists.
bool ExtractionMissing(std::u16string_view folder, std::u16string_view requiredFile = {});

} // namespace qv
