#include "template/TemplateState.h"

#include "core/Apartment.h"
#include "core/FileLookup.h"

#include "platform/system/SafeJoin.h"

namespace qv {

TemplateState& CurrentTemplateState() {
    return ApartmentSlot<TemplateState>();
}

std::u16string SourceFolderOf(std::u16string_view extensionName) {
    const TemplateState& state = CurrentTemplateState();
    if (extensionName.empty()) {
        return state.templateFolder;
    }
    return system::JoinInside(state.extensionsFolder, extensionName);
}

std::u16string FindTemplateFile(std::u16string_view fileName) {
    const TemplateState& state = CurrentTemplateState();
    return FindExtensionFile({state.sourceFolder, state.templateFolder, state.extensionsFolder}, fileName);
}

QelLanguage& GetLanguage() {
    automation::Ref<QelLanguage>& language = CurrentTemplateState().language;
    if (!language) {
        language = automation::MakeRef<QelLanguage>();
    }
    return *language;
}

QelCodeBase& GetCodeBase() {
    automation::Ref<QelCodeBase>& codeBase = CurrentTemplateState().codeBase;
    if (!codeBase) {
        codeBase = automation::MakeRef<QelCodeBase>();
    }
    return *codeBase;
}

} // namespace qv
