#include "core/FolderPaths.h"

#include "core/Apartment.h"
#include "core/Captions.h"
#include "core/VbText.h"

#include "platform/system/FileSystem.h"
#include "platform/system/KnownFolders.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

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

std::u16string ProductFolder() {
    const ModuleState& state = State();
    std::u16string documents(TrimBlanks(state.gMyDocumentsPath));
    // Work folders below an empty path would land in the current directory.
    if (documents.empty()) {
        documents = GetSpecialFolderPath(0, SpecialFolderPersonal);
    }
    std::u16string folder = system::JoinInside(documents, RemoveSlashesAndSpaces(state.gProductName));
    if (!system::FolderExists(folder)) {
        system::CreateFolders(folder);
    }
    return folder;
}

std::u16string ProductWorkFolder(std::u16string_view relative) {
    return system::CreateFoldersBelow(ProductFolder(), relative);
}

std::u16string AddTrailingBackslash(std::u16string_view path) {
    std::u16string result(TrimBlanks(path));
    if (!result.empty() && !system::IsPathSeparator(result.back())) {
        result.push_back(u'\\');
    }
    return result;
}

} // namespace qv
