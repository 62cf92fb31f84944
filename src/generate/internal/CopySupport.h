#pragma once

#include <string>
#include <string_view>

namespace qv {

/// Whether two paths name one file, however they are spelt (links, "a/./b", another case of
/// a name on a folder that ignores it): same device and inode. False when either is missing.
bool IsSameFile(std::u16string_view first, std::u16string_view second);

/// The text in double quotes, as messages name files and folders.
std::u16string Quoted(std::u16string_view text);

/// Sets gProjErr to `what`, the quoted target and " failed!": "Copying to file \"...\" failed!".
/// `detail` (an error's description) follows after " Error = " when it is not empty.
void SetCopyFailed(std::u16string_view what, std::u16string_view target, std::u16string_view detail = {});

} // namespace qv
