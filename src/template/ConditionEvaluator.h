#pragma once

#include "platform/automation/Variant.h"

#include <string>
#include <string_view>

namespace qv {

class ProjectServices;
class QoProperties;

/// The condition language of controls and sessions: ","-separated terms of the form
/// [custom:]object/attribute/operator/value[|value...], comparing a setting of the project, the
/// database, the current table or field, an attribute of the current control or the result of a
/// system function with literal values. The project object forwards its condition members here.
///
/// Evaluation never raises: a malformed term, an unknown object, attribute or operator, and any
/// runtime error count as true.
class ConditionEvaluator {
public:
    explicit ConditionEvaluator(ProjectServices& services) : mServices(services) {}

    /// True when every term holds; the empty condition holds.
    bool EvaluateCondition(std::u16string_view condition);
    /// The operand of an alternative for a setting of `bag`: "%" and a setting's name stands
    /// for that setting's value; converted by the setting's data type.
    automation::Variant GetConditionOperand(const QoProperties& bag, std::u16string_view value,
                                            std::u16string_view dataType) const;
    /// The text the page engine's system function `name` returns; "" without a page engine or
    /// when the function fails.
    std::u16string EvaluateCustomCode(std::u16string_view name) const;
    /// Trimmed and stripped of matching outer quotes, repeatedly.
    static std::u16string StripQuotes(std::u16string_view value);

private:
    /// Whether one term holds; raises for the runtime errors that make the whole condition true.
    bool EvaluateTerm(std::u16string_view term);

    ProjectServices& mServices;
};

} // namespace qv
