#include "template/internal/QoUserScript.h"

#include "template/ScriptModules.h"

namespace qv {

QoUserScript::QoUserScript() : mNames(1) {}

const automation::ClassInfo& QoUserScript::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QoUserScript",
                                {
                                    Method<&QoUserScript::AddUserModuleMember>(u"AddUserModule"),
                                    Method<&QoUserScript::UserModuleExistMember>(u"UserModuleExist"),
                                });
    return info;
}

void QoUserScript::AddUserModule(std::u16string_view sModule) {
    mNames.emplace_back(sModule);
}

bool QoUserScript::UserModuleExist(std::u16string_view sModule) const {
    return IsListedName(mNames, sModule);
}

} // namespace qv
