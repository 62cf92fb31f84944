#include "project/internal/QelFilter.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <optional>

namespace qv {

using automation::Variant;

namespace {

/// The number a lookup argument holds, or nullopt for a value that is no number.
std::optional<double> NumberOf(const Variant& value) {
    try {
        return automation::ToDouble(value.Deref());
    } catch (const automation::Error&) {
        return std::nullopt;
    }
}

/// The group name a lookup argument holds, lower-cased, or nullopt for a value without text.
std::optional<std::u16string> GroupKey(const Variant& value) {
    try {
        return automation::ToLower(automation::ToString(value.Deref()));
    } catch (const automation::Error&) {
        return std::nullopt;
    }
}

} // namespace

const automation::ClassInfo& QelFilter::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelFilter", {
                                                  Method<&QelFilter::GroupCount>(u"GroupCount"),
                                                  Method<&QelFilter::GroupName>(u"GroupName"),
                                                  Method<&QelFilter::OptionCount>(u"OptionCount"),
                                                  Method<&QelFilter::OptionName>(u"OptionName"),
                                                  Method<&QelFilter::Expression>(u"Expression"),
                                                  Method<&QelFilter::Load>(u"Load"),
                                              });
    return info;
}

std::u16string QelFilter::GroupName(const Variant& Order) const {
    const std::optional<double> order = NumberOf(Order);
    if (!order || !(*order > 0) || *order > GroupCount()) {
        return std::u16string();
    }
    // The runtime takes a fractional position as its rounded index.
    const auto index = static_cast<std::size_t>(automation::ToLong(Variant(*order)));
    return index >= 1 && index <= mGroups.size() ? mGroups[index - 1] : std::u16string();
}

std::int32_t QelFilter::OptionCount(const Variant& GroupName) const {
    const std::optional<std::u16string> group = GroupKey(GroupName);
    if (!group) {
        return 0;
    }
    std::int32_t count = 0;
    for (const Option& option : mOptions) {
        count += automation::ToLower(option.groupName) == *group ? 1 : 0;
    }
    return count;
}

const QelFilter::Option* QelFilter::FindOption(const Variant& GroupName, const Variant& Order) const {
    const std::optional<std::u16string> group = GroupKey(GroupName);
    const std::optional<double> order = NumberOf(Order);
    if (!group || !order) {
        return nullptr;
    }
    for (const Option& option : mOptions) {
        if (automation::ToLower(option.groupName) == *group && option.order == *order) {
            return &option;
        }
    }
    return nullptr;
}

std::u16string QelFilter::OptionName(const Variant& GroupName, const Variant& Order) const {
    const Option* option = FindOption(GroupName, Order);
    return option != nullptr ? option->optionName : std::u16string();
}

std::u16string QelFilter::Expression(const Variant& GroupName, const Variant& Order) const {
    const Option* option = FindOption(GroupName, Order);
    return option != nullptr ? option->expression : std::u16string();
}

} // namespace qv
