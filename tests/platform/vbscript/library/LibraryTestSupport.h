#pragma once

#include "platform/vbscript/internal/Builtins.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::vbscript::testing {

using automation::Variant;

/// The row of a library function in any family, found without regard to case.
inline const BuiltinInfo* FindBuiltin(std::u16string_view name) {
    for (auto family : {StringFunctions(), ConversionFunctions(), MathFunctions(), DateFunctions(),
                        ArrayFunctions(), InspectionFunctions(), FormatFunctions()}) {
        for (const BuiltinInfo& info : family) {
            if (automation::EqualsNoCase(info.name, name)) {
                return &info;
            }
        }
    }
    return nullptr;
}

/// Calls a library function as the interpreter does: the argument count is checked against the
/// table (450), then the function runs.
inline Variant Call(std::u16string_view name, std::vector<Variant> args, RuntimeState& state) {
    const BuiltinInfo* info = FindBuiltin(name);
    if (!info) {
        ADD_FAILURE() << "no library function " << automation::ToUtf8(name);
        return Variant();
    }
    auto count = static_cast<int>(args.size());
    if (count < info->minArgs || (info->maxArgs >= 0 && count > info->maxArgs)) {
        automation::Raise(automation::ErrorNumber::WrongArgumentCount);
    }
    return info->function(args, state);
}

inline Variant Call(std::u16string_view name, std::vector<Variant> args) {
    RuntimeState state;
    return Call(name, std::move(args), state);
}

/// A value as "TypeName:text" ("Long:3", "String:abc", "Null", "Empty"); arrays as
/// "[a|b|c]" of their elements.
inline std::string Describe(const Variant& value) {
    if (value.IsArray()) {
        std::string text = "[";
        bool first = true;
        for (const Variant& element : value.ArrayValue()->Elements()) {
            text += first ? "" : "|";
            first = false;
            text += Describe(element);
        }
        return text + "]";
    }
    switch (value.Type()) {
    case automation::VarType::Empty:
        return "Empty";
    case automation::VarType::Null:
        return "Null";
    case automation::VarType::Integer:
        return "Integer:" + automation::ToUtf8(automation::ToString(value));
    case automation::VarType::Long:
        return "Long:" + automation::ToUtf8(automation::ToString(value));
    case automation::VarType::Single:
        return "Single:" + automation::ToUtf8(automation::ToString(value));
    case automation::VarType::Double:
        return "Double:" + automation::ToUtf8(automation::ToString(value));
    case automation::VarType::Currency:
        return "Currency:" + automation::ToUtf8(automation::ToString(value));
    case automation::VarType::Date:
        return "Date:" + automation::ToUtf8(automation::ToString(value));
    case automation::VarType::String:
        return "String:" + automation::ToUtf8(value.StringValue());
    case automation::VarType::Boolean:
        return value.BooleanValue() ? "Boolean:True" : "Boolean:False";
    case automation::VarType::Byte:
        return "Byte:" + automation::ToUtf8(automation::ToString(value));
    case automation::VarType::Object:
        return value.IsNothing() ? "Nothing" : "Object";
    case automation::VarType::Error:
        return "Error";
    case automation::VarType::Variant:
        return "Variant";
    }
    return "?";
}

/// The outcome of a call: Describe of the result, or "error N".
inline std::string Outcome(std::u16string_view name, std::vector<Variant> args, RuntimeState& state) {
    try {
        return Describe(Call(name, std::move(args), state));
    } catch (const automation::Error& error) {
        return "error " + std::to_string(error.Number());
    }
}

inline std::string Outcome(std::u16string_view name, std::vector<Variant> args) {
    RuntimeState state;
    return Outcome(name, std::move(args), state);
}

/// One row of a table-driven test: a call and the outcome it must have.
struct CallCase {
    std::u16string_view function;
    std::vector<Variant> args;
    std::string expected;
};

inline std::string Trace(const CallCase& row) {
    std::string text = automation::ToUtf8(row.function) + "(";
    for (std::size_t i = 0; i < row.args.size(); ++i) {
        text += (i ? ", " : "") + Describe(row.args[i]);
    }
    return text + ")";
}

inline void ExpectOutcomes(const std::vector<CallCase>& rows) {
    for (const CallCase& row : rows) {
        SCOPED_TRACE(Trace(row));
        EXPECT_EQ(Outcome(row.function, row.args), row.expected);
    }
}

inline Variant I2(std::int16_t value) {
    return Variant(value);
}
inline Variant Missing() {
    return Variant::Missing();
}
inline Variant Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    double serial = *automation::DateFromParts(year, month, day);
    double time = automation::TimeFromParts(hour, minute, second);
    return Variant::FromDate(serial >= 0 ? serial + time : serial - time);
}
inline Variant Array(std::vector<Variant> elements) {
    return Variant(automation::MakeArray(std::move(elements)));
}

} // namespace qv::vbscript::testing
