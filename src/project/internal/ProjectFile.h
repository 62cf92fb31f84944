#pragma once

#include "project/internal/SaveGuard.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

class Qel;

// The project file: what Qel.Save and Qel.Load forward to.

/// "Object doesn't support this action": what the functions below raise while this build
/// cannot write or read project files; Qel.Load shows its text rather than its own message.
inline constexpr std::int32_t ProjectFileNotAvailable = 445;

/// Writes the project to `projFile`, keeping the rotating backups, and returns the bytes
/// written. Raises on failure (the host sees the error; ProjErr is not touched).
std::string SaveProjectFile(Qel& project, std::u16string_view projFile);

/// How far a load came, whether it fails or not.
struct ProjectFileLoad {
    /// The file as it was read; without identity when there was none.
    ProjectFileMark file;
    /// The project was reset and the file began to be read into it.
    bool projectChanged = false;
    /// The whole file, with its database, is in the project: what follows (the comparison with
    /// the database) no longer makes the load one that read the file in part.
    bool fileRead = false;
};

/// Reads the project from `projFile` into `project`: the settings from the defaults and the
/// file, then the entities, the table keys and, with AutoSync on, the synchronisation step.
/// May raise; Qel.Load turns a raised error into ProjErr. `load` says how far it came.
void LoadProjectFile(Qel& project, std::u16string_view projFile, ProjectFileLoad& load);

} // namespace qv
