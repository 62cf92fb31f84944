#include "core/FolderPaths.h"

#include "core/VbText.h"

#include "platform/system/KnownFolders.h"
#include "platform/system/Paths.h"

#include <string>

namespace qv {

std::u16string GetSpecialFolderPath(std::int32_t /*window*/, std::int32_t folder) {
    if (folder != SpecialFolderPersonal) {
        return {};
    }
    std::u16string path = system::DocumentsFolder();
    std::erase(path, u'\0');
    std::u16string trimmed(TrimBlanks(path));
    // Work folders below an empty path would land at the root of the file system.
    if (trimmed.empty()) {
        trimmed = system::JoinPath(system::HomeFolder(), u"Documents");
    }
    return trimmed;
}

std::u16string AddTrailingBackslash(std::u16string_view path) {
    std::u16string result(TrimBlanks(path));
    if (!result.empty() && !system::IsPathSeparator(result.back())) {
        result.push_back(u'\\');
    }
    return result;
}

} // namespace qv
