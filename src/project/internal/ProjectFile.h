#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

class Qel;

// The project file: what Qel.Save and Qel.Load forward to.

/// "Object doesn't support this action": what the functions below raise while this build
/// cannot write or read project files; Qel.Load shows its text rather than its own message.
inline constexpr std::int32_t ProjectFileNotAvailable = 445;

/// Writes the project to `projFile`, keeping the rotating backups. Raises on failure (the
/// host sees the error; ProjErr is not touched).
void SaveProjectFile(Qel& project, std::u16string_view projFile);

/// Reads the project from `projFile` into `project`: the settings from the defaults and the
/// file, then the entities, the table keys and, with AutoSync on, the synchronisation step.
/// May raise; Qel.Load turns a raised error into ProjErr.
void LoadProjectFile(Qel& project, std::u16string_view projFile);

} // namespace qv
