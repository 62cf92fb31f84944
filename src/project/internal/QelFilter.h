#pragma once

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

/// A read-only catalogue of filter options: named groups, each with options that carry a name,
/// a filter expression and an order number. Creatable by the host and the templates. Nothing
/// fills it (Load has no effect), so every catalogue stays empty and its lookups answer 0 and
/// "", as they would for a group or option that is not there.
class QelFilter final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    std::int32_t GroupCount() const noexcept { return static_cast<std::int32_t>(mGroups.size()); }
    /// The name of group `Order` (1 to GroupCount); "" outside, or for a value that is no
    /// number.
    std::u16string GroupName(const automation::Variant& Order) const;
    /// The number of options of the group; group names compared without regard to letter case.
    std::int32_t OptionCount(const automation::Variant& GroupName) const;
    /// The name and expression of the first option of the group whose order number is `Order`;
    /// "" when there is none.
    std::u16string OptionName(const automation::Variant& GroupName, const automation::Variant& Order) const;
    std::u16string Expression(const automation::Variant& GroupName, const automation::Variant& Order) const;
    /// Has no effect: nothing supplies filter options.
    void Load() {}

private:
    struct Option {
        std::u16string groupName;
        std::u16string optionName;
        std::u16string expression;
        std::int32_t order = 0;
    };
    const Option* FindOption(const automation::Variant& GroupName, const automation::Variant& Order) const;

    std::vector<std::u16string> mGroups;
    std::vector<Option> mOptions;
};

} // namespace qv
