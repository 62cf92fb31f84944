#pragma once

#include "platform/automation/Object.h"

#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// The list of user functions that scripts see as "SCRPT": system functions ask it whether the
/// user overrides them. Owned by its QoScript, which appends the procedure names of the user
/// module as it loads them.
class QoUserScript final : public automation::Object {
public:
    QoUserScript();

    const automation::ClassInfo& GetClassInfo() const override;

    /// Appends a name; names already listed are appended again.
    void AddUserModule(std::u16string_view sModule);
    /// True when a listed name equals `sModule`, ignoring letter case.
    bool UserModuleExist(std::u16string_view sModule) const;

private:
    void AddUserModuleMember(std::u16string sModule) { AddUserModule(sModule); }
    bool UserModuleExistMember(std::u16string sModule) const { return UserModuleExist(sModule); }

    /// Element 0 stays empty; names start at 1.
    std::vector<std::u16string> mNames;
};

} // namespace qv
