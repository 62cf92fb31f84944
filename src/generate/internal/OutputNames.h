#pragma once

#include "generate/internal/CopySupport.h"

#include <optional>
#include <string>
#include <string_view>

namespace qv {

struct GenerationSettings;

/// The file name of a page: baseName, "_" and partName when there is one, the page word, the
/// project's extra name text placed by OutputNameType ("prefix", "infix" or "suffix", letter
/// case ignored; "infix" only with a base), "." and the extension (the dot even for none);
/// lower-cased whole when OutputNameLCase is on.
std::u16string BuildOutputFileName(const GenerationSettings& settings, std::u16string_view baseName,
                                   std::u16string_view partName, std::u16string_view pageWord,
                                   std::u16string_view extension);

/// The trimmed AppRootFolder (`appRoot`) or Destination. One that is not set ends the run
/// (gProjErr and error -1): every output would otherwise land in the current folder.
std::u16string OutputRoot(const GenerationSettings& settings, bool appRoot);

/// The output path of `fileName` in a control's output folder: a folder starting with "~\" or
/// "~/" lies under AppRootFolder, any other under Destination; an empty folder is the root
/// itself, and an empty file name gives the folder (without a trailing separator). Unless
/// `checkOnly`, a named folder is created. A root that is not set ends the run (gProjErr and
/// error -1): outputs would otherwise land in the current folder. A folder or name that would
/// leave its root raises 52.
std::u16string ResolveOutputFolder(const GenerationSettings& settings, std::u16string_view folder,
                                   std::u16string_view fileName, bool checkOnly);

/// What stands where ResolveOutputFolder puts the folder of an output (the control's folder and
/// the folders `fileName` names), so that nothing may be written there: a file, or a link below
/// the root, which is never followed (see ObstacleBelow). Callers that write ask before
/// ResolveOutputFolder makes the folder, and show and count the output instead.
std::optional<FolderObstacle> OutputFolderObstacle(const GenerationSettings& settings,
                                                   std::u16string_view folder, std::u16string_view fileName);

/// Creates the folder and every missing folder above it. Never reports an error: a folder that
/// was not created shows up when the file written into it fails.
void CreateFolderPath(std::u16string_view path);

/// The path of the file or folder `name` (one or more levels) in `folder`, found in another
/// letter case when the exact name is missing; "" after closing the progress window when there
/// is none. A name that would leave `folder` raises 52.
std::u16string LocateSourcePath(std::u16string_view folder, std::u16string_view name);

} // namespace qv
