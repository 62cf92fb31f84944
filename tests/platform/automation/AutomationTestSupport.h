#pragma once

// Shared helpers of the automation tests: outcomes of conversions and operators as short texts,
// so that tables can hold a value, its subtype or an error number in one column.

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <string>

namespace qv::automation::testing {

inline const char* SubtypeName(VarType type) {
    switch (type) {
    case VarType::Empty:
        return "Empty";
    case VarType::Null:
        return "Null";
    case VarType::Integer:
        return "Integer";
    case VarType::Long:
        return "Long";
    case VarType::Single:
        return "Single";
    case VarType::Double:
        return "Double";
    case VarType::Currency:
        return "Currency";
    case VarType::Date:
        return "Date";
    case VarType::String:
        return "String";
    case VarType::Object:
        return "Object";
    case VarType::Error:
        return "Error";
    case VarType::Boolean:
        return "Boolean";
    case VarType::Variant:
        return "Variant";
    case VarType::Byte:
        return "Byte";
    }
    return "?";
}

/// "Subtype value", "Empty", "Null".
inline std::string Describe(const Variant& value) {
    if (value.IsEmpty() || value.IsNull()) {
        return SubtypeName(value.Type());
    }
    return std::string(SubtypeName(value.Type())) + " " + ToUtf8(ToString(value));
}

/// The text a call produces, or "#n" when it raises error n.
template <class Call> std::string Outcome(Call&& call) {
    try {
        return ToUtf8(call());
    } catch (const Error& error) {
        return "#" + std::to_string(error.Number());
    }
}

/// Describe() of the variant a call produces, or "#n" when it raises error n.
template <class Call> std::string VariantOutcome(Call&& call) {
    try {
        return Describe(call());
    } catch (const Error& error) {
        return "#" + std::to_string(error.Number());
    }
}

/// Sets the conversions' locale for one test and restores en-US afterwards.
class ScopedLocale {
public:
    explicit ScopedLocale(std::int32_t lcid) { SetCurrentLocale(lcid); }
    ~ScopedLocale() { SetCurrentLocale(1033); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
};

} // namespace qv::automation::testing
