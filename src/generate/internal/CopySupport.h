#pragma once

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

/// The file (anything but a folder) that stands at `folder` or at one of the folders above it,
/// so that the folder cannot be made; nullopt when there is none.
std::optional<std::u16string> FileInPlaceOfFolder(std::u16string_view folder);

/// Shows that `what` and the quoted `target` failed ("Copying to folder \"images\" failed!")
/// because `file` stands where a folder should be, and counts the output as failed in `tally`
/// when given. The file is the user's and is left as it is; the run goes on.
void ReportFileInPlaceOfFolder(std::u16string_view what, std::u16string_view target, std::u16string_view file,
                               OutputTally* tally);

} // namespace qv
