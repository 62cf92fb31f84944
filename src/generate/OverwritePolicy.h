#pragma once

#include <string_view>

namespace qv {

// Whether an output file or folder of a generation run may be replaced. The answer combines the
// caller's overwrite switch, the project's prompt switch and the answer remembered for the run
// (gOverwriteAnswer: "O" overwrite all, "S" skip all, "C" cancel), asking the host's overwrite
// prompt when needed. A replaced target first gets a ".bak" copy beside it when the backup
// preference is on. gOverwriteOK, gOverwriteFile and gOverwriteFolder keep the last decision.

/// In check-only mode: whether the file exists (nothing else happens). Otherwise: true when
/// the caller may write the file. A Cancel in the prompt ends the run (error -1). A failing
/// backup is shown in a message box and refuses the write.
bool CheckFileOverwrite(std::u16string_view path, bool overwrite, bool prompt, bool checkOnly,
                        bool backupFile);

/// The same decision for a folder; its backup replaces any older "<folder>.bak" whole.
bool CheckFolderOverwrite(std::u16string_view path, bool overwrite, bool prompt, bool checkOnly,
                          bool backupFile);

} // namespace qv
