#pragma once

#include "platform/system/FileSystem.h"

#include <optional>
#include <string>
#include <string_view>

namespace qv {

struct OutputTally;

/// Whether two paths name one file, however they are spelt (links, "a/./b", another case of
/// a name on a folder that ignores it): same device and inode. False when either is missing.
bool IsSameFile(std::u16string_view first, std::u16string_view second);

/// The text in double quotes, as messages name files and folders.
std::u16string Quoted(std::u16string_view text);

/// Sets gProjErr to `what`, the quoted target and " failed!": "Copying to file \"...\" failed!".
/// `detail` (an error's description) follows after " Error = " when it is not empty.
void SetCopyFailed(std::u16string_view what, std::u16string_view target, std::u16string_view detail = {});

/// What stands where a folder of the site should be, so that the folder can be neither made
/// nor used: a file, a symbolic link (to a folder, a file or nothing), or a pipe, socket or
/// device. A link is never followed: whatever went into the folder would land wherever it
/// points; the others are never opened.
using FolderObstacle = system::NonFolder;

/// The obstacle to the folder `relative` below the site's `root`: a file at the root or above
/// it (up to the first thing that exists), or a link or a file at one of the folders of
/// `relative` that exist; nullopt when each of them is a real folder or missing. The root
/// itself may be a link: the user named it.
std::optional<FolderObstacle> ObstacleBelow(std::u16string_view root, std::u16string_view relative);

/// Shows that `what` and the quoted `target` failed ("Copying to folder \"images\" failed!"),
/// then why: the file or link that stands where a folder (or a file of a folder copy) should be;
/// counts the output as failed in `tally` when given. What stands there is the user's and is left as it is;
/// the run goes on.
void ReportFolderObstacle(std::u16string_view what, std::u16string_view target,
                          const FolderObstacle& obstacle, OutputTally* tally);

} // namespace qv
