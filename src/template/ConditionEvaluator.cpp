#include "template/ConditionEvaluator.h"

#include "template/ProjectServices.h"
#include "template/QelControls.h"
#include "template/ScriptHost.h"
#include "template/TemplateState.h"
#include "template/TemplateText.h"

#include "core/QoProperties.h"
#include "core/SettingConversion.h"
#include "core/VbText.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <vector>

namespace qv {

using automation::Variant;

namespace {

constexpr std::u16string_view CustomPrefix = u"custom:";

using ControlReader = Variant (*)(const QelControl&);

/// The reader of the control member that a "ctrl" attribute names; nullptr for any other
/// attribute.
ControlReader FindControlAttribute(std::u16string_view lowerAttribute) {
    struct Member {
        std::u16string_view attribute;
        ControlReader read;
    };
    static constexpr Member members[] = {
        {u"ctrlid", [](const QelControl& c) { return Variant(c.CtrlID()); }},
        {u"ctrltype", [](const QelControl& c) { return Variant(c.CtrlType()); }},
        {u"ctrlofile", [](const QelControl& c) { return Variant(c.CtrlOFile()); }},
        {u"ctrloext", [](const QelControl& c) { return Variant(c.CtrlOExt()); }},
        {u"ctrlofolder", [](const QelControl& c) { return Variant(c.CtrlOFolder()); }},
        {u"ctrlifiles", [](const QelControl& c) { return Variant(c.CtrlIFiles()); }},
        {u"ctrlifolder", [](const QelControl& c) { return Variant(c.CtrlIFolder()); }},
        {u"ctrlcond", [](const QelControl& c) { return Variant(c.CtrlCond()); }},
        {u"ctrltagext", [](const QelControl& c) { return Variant(c.CtrlTagExt()); }},
        {u"ctrlparm", [](const QelControl& c) { return Variant(c.CtrlParm()); }},
        {u"ctrlspace", [](const QelControl& c) { return Variant(c.CtrlSpace()); }},
        {u"ctrlgen", [](const QelControl& c) { return Variant(c.CtrlGen()); }},
        {u"ctrlext", [](const QelControl& c) { return Variant(c.CtrlExt()); }},
        {u"ctrlaction", [](const QelControl& c) { return Variant(c.CtrlAction()); }},
        {u"ctrloverwrite", [](const QelControl& c) { return Variant(c.CtrlOverwrite()); }},
    };
    for (const Member& member : members) {
        if (member.attribute == lowerAttribute) {
            return member.read;
        }
    }
    return nullptr;
}

/// InStr(1, text, part, vbTextCompare) > 0, or its negation; Null on either side holds neither.
bool HoldsContains(const Variant& left, const Variant& right, bool wanted) {
    if (left.IsNull() || right.IsNull()) {
        return false;
    }
    const std::u16string text = automation::ToString(left);
    const std::u16string part = automation::ToString(right);
    // As InStr: nothing is found in an empty text, and an empty part is found at the start.
    const bool found = !text.empty() && (part.empty() || FindTextNoCase(text, part) != std::u16string::npos);
    return found == wanted;
}

/// Whether `left <operator> right` holds by the runtime's comparison rules.
bool Holds(std::u16string_view lowerOperator, const Variant& left, const Variant& right) {
    struct Comparison {
        std::u16string_view name;
        automation::BinaryOp op;
    };
    static constexpr Comparison comparisons[] = {
        {u"eq", automation::BinaryOp::Equal},   {u"ne", automation::BinaryOp::NotEqual},
        {u"gt", automation::BinaryOp::Greater}, {u"ge", automation::BinaryOp::GreaterEqual},
        {u"lt", automation::BinaryOp::Less},    {u"le", automation::BinaryOp::LessEqual},
    };
    for (const Comparison& comparison : comparisons) {
        if (comparison.name == lowerOperator) {
            return automation::IsTrue(automation::Evaluate(comparison.op, left, right));
        }
    }
    if (lowerOperator == u"in") {
        return HoldsContains(left, right, true);
    }
    if (lowerOperator == u"ni") {
        return HoldsContains(left, right, false);
    }
    return true;
}

/// Whether the left value satisfies the operator for one of the alternatives, each converted to
/// an operand first. No alternative at all: False.
template <class Operand>
bool AnyAlternativeHolds(std::u16string_view lowerOperator, const Variant& left,
                         const std::vector<std::u16string_view>& alternatives, Operand operand) {
    for (std::u16string_view alternative : alternatives) {
        if (Holds(lowerOperator, left, operand(alternative))) {
            return true;
        }
    }
    return false;
}

[[noreturn]] void RaiseObjectNotSet() {
    automation::Raise(automation::ErrorNumber::ObjectVariableNotSet);
}

} // namespace

bool ConditionEvaluator::EvaluateCondition(std::u16string_view condition) {
    try {
        for (std::u16string_view term : SplitText(condition, u",")) {
            if (!EvaluateTerm(term)) {
                return false;
            }
        }
        return true;
    } catch (const automation::Error&) {
        // A setting the object does not have, a missing database or field: the condition
        // cannot be decided, and an undecidable condition generates.
        return true;
    }
}

// term := ["custom:"] object "/" attribute "/" operator "/" value {"|" value}
bool ConditionEvaluator::EvaluateTerm(std::u16string_view term) {
    term = TrimBlanks(term);
    bool custom = false;
    if (term.size() >= CustomPrefix.size() &&
        automation::EqualsNoCase(term.substr(0, CustomPrefix.size()), CustomPrefix)) {
        custom = true;
        term = TrimBlanks(term.substr(CustomPrefix.size()));
    }
    const std::vector<std::u16string_view> parts = SplitText(term, u"/");
    if (parts.size() != 4) {
        return true;
    }
    const std::u16string_view object = parts[0];
    const std::u16string_view attribute = parts[1];
    const std::u16string lowerOperator = automation::ToLower(parts[2]);
    const std::vector<std::u16string_view> alternatives = SplitText(parts[3], u"|");
    const Variant attributeVariant{attribute};

    if (custom) {
        const Variant left = ConvertToDataType(Variant(EvaluateCustomCode(object)), attributeVariant);
        return AnyAlternativeHolds(lowerOperator, left, alternatives, [&](std::u16string_view alternative) {
            return ConvertToDataType(Variant(alternative), attributeVariant);
        });
    }

    const std::u16string lowerObject = automation::ToLower(object);
    if (lowerObject == u"ctrl") {
        const ControlReader read = FindControlAttribute(automation::ToLower(attribute));
        if (!read) {
            return true;
        }
        const automation::Ref<QelControl> control = mServices.Controls().Current();
        if (!control) {
            RaiseObjectNotSet();
        }
        return AnyAlternativeHolds(
            lowerOperator, read(*control), alternatives,
            [](std::u16string_view alternative) { return Variant(StripQuotes(alternative)); });
    }

    const QoProperties* bag = nullptr;
    if (lowerObject == u"proj") {
        bag = &mServices.ProjectSettings();
    } else if (lowerObject == u"db") {
        bag = mServices.DatabaseSettings();
        if (!bag) {
            RaiseObjectNotSet();
        }
    } else if (lowerObject == u"table") {
        bag = mServices.CurrentTableSettings();
        if (!bag) {
            return true;
        }
    } else if (lowerObject == u"field") {
        bag = mServices.CurrentFieldSettings();
        if (!bag) {
            RaiseObjectNotSet();
        }
    } else {
        return true;
    }
    const QoProperty* setting = bag->Find(attribute);
    if (!setting) {
        RaiseObjectNotSet();
    }
    const std::u16string dataType = setting->DataType();
    return AnyAlternativeHolds(
        lowerOperator, setting->Value(), alternatives,
        [&](std::u16string_view alternative) { return GetConditionOperand(*bag, alternative, dataType); });
}

Variant ConditionEvaluator::GetConditionOperand(const QoProperties& bag, std::u16string_view value,
                                                std::u16string_view dataType) const {
    const std::u16string_view trimmed = TrimBlanks(value);
    Variant operand;
    if (!trimmed.empty() && trimmed.front() == u'%') {
        const QoProperty* setting = bag.Find(trimmed.substr(1));
        if (!setting) {
            RaiseObjectNotSet();
        }
        operand = setting->Value();
    } else {
        operand = Variant(value);
    }
    return ConvertToDataType(operand, Variant(dataType));
}

std::u16string ConditionEvaluator::EvaluateCustomCode(std::u16string_view name) const {
    // Held for the call: the function may reach objects that release the engine.
    const automation::Ref<ScriptHost> host = CurrentTemplateState().pageScript;
    if (!host) {
        return {};
    }
    const Variant result = host->BuildCode(name, Variant(u""));
    if (ScriptReportedError()) {
        return {};
    }
    return automation::ToString(result);
}

std::u16string ConditionEvaluator::StripQuotes(std::u16string_view value) {
    return Unquote(value);
}

} // namespace qv
