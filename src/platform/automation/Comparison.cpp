// VB comparison across subtypes.

#include "platform/automation/Conversion.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "platform/automation/internal/Numeric.h"

#include <cassert>

namespace qv::automation {

namespace {

template <class T> CompareResult Order(const T& a, const T& b) {
    if (a < b) {
        return CompareResult::Less;
    }
    return b < a ? CompareResult::Greater : CompareResult::Equal;
}

CompareResult CompareText(std::u16string_view a, std::u16string_view b, CompareMode mode) {
    // Binary compares code units; Text ignores letter case.
    const int order = mode == CompareMode::Text ? CompareNoCase(a, b) : a.compare(b);
    return Order(order, 0);
}

/// Both are numbers, Booleans, dates or Empty. Whole numbers and Currency compare exactly;
/// anything else as Double, so a Single equals a Double only when both hold the same binary value.
CompareResult CompareNumbers(const Variant& a, const Variant& b) {
    const VarType typeA = a.Type();
    const VarType typeB = b.Type();
    const bool isWholeA = internal::IsWholeNumberType(typeA);
    const bool isWholeB = internal::IsWholeNumberType(typeB);
    if (isWholeA && isWholeB) {
        return Order(internal::WholeValue(a), internal::WholeValue(b));
    }
    const bool isExactA = isWholeA || typeA == VarType::Currency;
    const bool isExactB = isWholeB || typeB == VarType::Currency;
    if (isExactA && isExactB) {
        auto scaled = [](const Variant& value, bool isWhole) {
            return isWhole ? internal::WholeValue(value) * Currency::Scale : value.CurrencyValue().Scaled();
        };
        return Order(scaled(a, isWholeA), scaled(b, isWholeB));
    }
    return Order(ToDouble(a), ToDouble(b));
}

CompareResult Reverse(CompareResult result) {
    if (result == CompareResult::Less) {
        return CompareResult::Greater;
    }
    return result == CompareResult::Greater ? CompareResult::Less : result;
}

/// A value that is not a string against a string: no conversion of the text to a number (that
/// happens only against a literal, which the script compiler handles). Empty is "". An Integer
/// or a Long is less than any text but the empty string, which counts as 0 against them. The
/// other subtypes (Boolean, Byte, Single, Double, Currency, Date) compare their text form, so
/// True = "True" but True <> "true", and CDbl(10) > "9" is False.
CompareResult CompareWithText(const Variant& value, std::u16string_view text, CompareMode mode) {
    switch (value.Type()) {
    case VarType::Empty:
        return CompareText(u"", text, mode);
    case VarType::Integer:
    case VarType::Long:
        if (text.empty()) {
            return Order(internal::WholeValue(value), std::int64_t(0));
        }
        return CompareResult::Less;
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date:
        return CompareText(ToString(value), text, mode);
    case VarType::Null:
    case VarType::String:
    case VarType::Object:
    case VarType::Error:
    case VarType::Variant:
        break;
    }
    assert(false && "not a scalar compared with text");
    Raise(ErrorNumber::TypeMismatch);
}

} // namespace

CompareResult Compare(const Variant& a, const Variant& b, CompareMode mode) {
    // Two Integers or Longs (a For loop's counter and limit) need none of the rules below.
    const Variant& plainA = a.Deref();
    const Variant& plainB = b.Deref();
    const VarType plainTypeA = plainA.Type();
    const VarType plainTypeB = plainB.Type();
    if ((plainTypeA == VarType::Long || plainTypeA == VarType::Integer) &&
        (plainTypeB == VarType::Long || plainTypeB == VarType::Integer)) {
        return Order(internal::WholeValue(plainA), internal::WholeValue(plainB));
    }
    Variant holderA;
    Variant holderB;
    const Variant& left = internal::Resolve(a, holderA);
    const Variant& right = internal::Resolve(b, holderB);
    if (left.IsArray() || right.IsArray()) {
        Raise(ErrorNumber::TypeMismatch);
    }
    const VarType typeA = left.Type();
    const VarType typeB = right.Type();
    if (typeA == VarType::Null || typeB == VarType::Null) {
        return CompareResult::Null;
    }
    if (typeA == VarType::Error || typeB == VarType::Error) {
        Raise(ErrorNumber::TypeMismatch);
    }
    const bool isStringA = typeA == VarType::String;
    const bool isStringB = typeB == VarType::String;
    if (isStringA && isStringB) {
        return CompareText(left.StringValue(), right.StringValue(), mode);
    }
    if (isStringA) {
        return Reverse(CompareWithText(right, left.StringValue(), mode));
    }
    if (isStringB) {
        return CompareWithText(left, right.StringValue(), mode);
    }
    return CompareNumbers(left, right);
}

} // namespace qv::automation
