// The classes CreateObject may create: none of them reaches files, processes or the network.
#include "platform/vbscript/internal/Builtins.h"
#include "platform/vbscript/library/Dictionary.h"
#include "platform/vbscript/library/RegExp.h"

#include "platform/automation/Text.h"

namespace qv::vbscript {

automation::Ref<automation::Object> CreateSafeObject(std::u16string_view progId, TrackedList* tracked) {
    if (automation::EqualsNoCase(progId, u"Scripting.Dictionary")) {
        auto dictionary = automation::MakeRef<Dictionary>();
        if (tracked) {
            dictionary->Track(automation::Ref<TrackedList>(tracked));
        }
        return dictionary;
    }
    if (automation::EqualsNoCase(progId, u"VBScript.RegExp")) {
        return automation::MakeRef<RegExp>();
    }
    return nullptr;
}

} // namespace qv::vbscript
