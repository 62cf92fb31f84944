#include "core/FileLookup.h"

#include "core/Apartment.h"
#include "core/Captions.h"
#include "core/VbText.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"
#include "platform/xml/Document.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <optional>
#include <string>

namespace qv {

using automation::Variant;

std::optional<std::u16string> LocateFileNoCase(std::u16string_view folder, std::u16string_view name) {
    // Without a folder there is nothing to look in: never fall back to the current folder.
    if (folder.empty() || name.empty()) {
        return std::nullopt;
    }
    std::u16string exact = system::JoinInside(folder, name);
    if (system::FileExists(exact)) {
        return exact;
    }
    std::optional<std::u16string> found = system::FindNoCase(folder, name);
    if (found && system::FileExists(*found)) {
        return found;
    }
    return std::nullopt;
}

std::u16string FindExtensionFile(const TemplateFolders& folders, std::u16string_view fileName) {
    const ModuleState& state = State();
    // Only the template's own files can be replaced by an extension; a file of an extension
    // never comes from another one.
    if (folders.source == folders.templates && state.gExtensions) {
        automation::Object& extensions = *state.gExtensions;
        const std::int32_t count =
            automation::ToLong(automation::CallByName(extensions, u"Count", automation::InvokeRead));
        for (std::int32_t sequence = 1; sequence <= count; ++sequence) {
            Variant extension = automation::CallByName(extensions, u"Seq", automation::InvokeRead,
                                                       {Variant(static_cast<std::int16_t>(sequence))});
            if (!extension.IsObject() || !extension.ObjectValue()) {
                continue;
            }
            const std::u16string name = automation::ToString(
                automation::CallByName(*extension.ObjectValue(), u"Name", automation::InvokeRead));
            if (std::optional<std::u16string> path =
                    LocateFileNoCase(system::JoinInside(folders.extensions, name), fileName)) {
                return *path;
            }
        }
    }
    if (std::optional<std::u16string> path = LocateFileNoCase(TrimBlanks(folders.source), fileName)) {
        return *path;
    }
    return system::JoinInside(TrimBlanks(folders.source), fileName);
}

std::optional<xml::Document> LoadProductFile(std::u16string_view file, std::u16string_view kind) {
    std::optional<xml::Document> document = xml::Document::TryLoad(file);
    if (!document) {
        return std::nullopt;
    }
    const xml::Element root = document->DocumentElement();
    const std::u16string expectedRoot =
        automation::ToLower(RemoveSlashesAndSpaces(State().gProductName)) + u"." + automation::ToLower(kind);
    if (!root || automation::ToLower(root.LocalName()) != expectedRoot) {
        return std::nullopt;
    }
    return document;
}

} // namespace qv
