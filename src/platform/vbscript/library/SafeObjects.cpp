// The classes CreateObject may create: none of them reaches files, processes or the network.
#include "platform/vbscript/internal/Builtins.h"
#include "platform/vbscript/library/Dictionary.h"
#include "platform/vbscript/library/RegExp.h"

#include "platform/automation/Text.h"

namespace qv::vbscript {

automation::Ref<automation::Object> CreateSafeObject(std::u16string_view progId) {
    if (automation::EqualsNoCase(progId, u"Scripting.Dictionary")) {
        return automation::MakeRef<Dictionary>();
    }
    if (automation::EqualsNoCase(progId, u"VBScript.RegExp")) {
        return automation::MakeRef<RegExp>();
    }
    return nullptr;
}

} // namespace qv::vbscript
