// The inspection functions of the runtime library: what a value is, and what engine runs.
#include "platform/vbscript/internal/Builtins.h"
#include "platform/vbscript/library/LibrarySupport.h"

#include <algorithm>

namespace qv::vbscript {

namespace {

using automation::Variant;
using automation::VarType;
using library::Args;

const Variant& Plain(Args args) {
    return args[0].Deref();
}

Variant IsArray(Args args, RuntimeState&) {
    return Variant(Plain(args).IsArray());
}

// An object with a default value is judged by that value, as the runtime does: a recordset's
// field (IsNull(rs("x"))) or a request's missing item (IsEmpty(Request.QueryString("x"))).
Variant IsEmpty(Args args, RuntimeState&) {
    auto inner = library::InspectableDefault(Plain(args));
    return Variant(inner ? inner->IsEmpty() : Plain(args).IsEmpty());
}

Variant IsNull(Args args, RuntimeState&) {
    auto inner = library::InspectableDefault(Plain(args));
    return Variant(inner ? inner->IsNull() : Plain(args).IsNull());
}

Variant IsObject(Args args, RuntimeState&) {
    return Variant(Plain(args).IsObject());
}

// A Date, or text that reads as one; numbers are not dates.
bool IsDateValue(const Variant& value) {
    if (value.IsArray()) {
        return false;
    }
    switch (value.Type()) {
    case VarType::Date:
        return true;
    case VarType::String:
        return automation::ParseDate(value.StringValue()).has_value();
    case VarType::Object: {
        auto inner = library::InspectableDefault(value);
        return inner && !inner->IsObject() && IsDateValue(*inner);
    }
    default:
        return false;
    }
}

Variant IsDate(Args args, RuntimeState&) {
    return Variant(IsDateValue(Plain(args)));
}

// Numbers, Booleans and Empty are numeric, and so is text that reads as a number (" 12 ",
// "&H1F", "1e3"); dates, Null and objects without a numeric default value are not.
bool IsNumericValue(const Variant& value) {
    if (value.IsArray()) {
        return false;
    }
    switch (value.Type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Byte:
        return true;
    case VarType::String:
        return automation::ParseNumber(value.StringValue()).has_value();
    case VarType::Object: {
        auto inner = library::InspectableDefault(value);
        return inner && !inner->IsObject() && IsNumericValue(*inner);
    }
    default:
        return false;
    }
}

Variant IsNumeric(Args args, RuntimeState&) {
    return Variant(IsNumericValue(Plain(args)));
}

std::u16string_view SubtypeName(VarType type) {
    switch (type) {
    case VarType::Empty:
        return u"Empty";
    case VarType::Null:
        return u"Null";
    case VarType::Integer:
        return u"Integer";
    case VarType::Long:
        return u"Long";
    case VarType::Single:
        return u"Single";
    case VarType::Double:
        return u"Double";
    case VarType::Currency:
        return u"Currency";
    case VarType::Date:
        return u"Date";
    case VarType::String:
        return u"String";
    case VarType::Object:
        return u"Object";
    case VarType::Error:
        return u"Error";
    case VarType::Boolean:
        return u"Boolean";
    case VarType::Variant:
        return u"Variant";
    case VarType::Byte:
        return u"Byte";
    }
    return u"Unknown";
}

// TypeName: the subtype's name, "Variant()" and the like for arrays, the class name of an
// object and "Nothing" for no object.
Variant TypeName(Args args, RuntimeState&) {
    const Variant& value = Plain(args);
    if (value.IsArray()) {
        return Variant(std::u16string(SubtypeName(value.ArrayValue()->ElementType())) + u"()");
    }
    if (value.IsObject()) {
        if (value.IsNothing()) {
            return Variant(u"Nothing");
        }
        return Variant(value.ObjectValue()->TypeName());
    }
    return Variant(SubtypeName(value.Type()));
}

// VarType of an object is that of its default value when it has one, as the runtime reports.
Variant VarTypeOf(Args args, RuntimeState&) {
    const Variant& value = Plain(args);
    if (value.IsObject()) {
        auto inner = library::InspectableDefault(value);
        if (inner && !inner->IsObject()) {
            return Variant(static_cast<std::int16_t>(inner->VarTypeCode()));
        }
    }
    return Variant(static_cast<std::int16_t>(value.VarTypeCode()));
}

Variant ScriptEngine(Args, RuntimeState&) {
    return Variant(u"VBScript");
}
Variant ScriptEngineMajorVersion(Args, RuntimeState&) {
    return Variant(5);
}
Variant ScriptEngineMinorVersion(Args, RuntimeState&) {
    return Variant(8);
}
Variant ScriptEngineBuildVersion(Args, RuntimeState&) {
    return Variant(16384);
}

// RGB(red, green, blue): parts above 255 count as 255, negative parts raise 5.
Variant RGB(Args args, RuntimeState&) {
    std::int32_t colour = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        std::int32_t part = library::LongArg(args, i, 0);
        if (part < 0) {
            library::RaiseInvalidCall();
        }
        colour |= std::min(part, 255) << (8 * i);
    }
    return Variant(colour);
}

constexpr BuiltinInfo Table[] = {
    {u"IsArray", 1, 1, &IsArray},
    {u"IsDate", 1, 1, &IsDate},
    {u"IsEmpty", 1, 1, &IsEmpty},
    {u"IsNull", 1, 1, &IsNull},
    {u"IsNumeric", 1, 1, &IsNumeric},
    {u"IsObject", 1, 1, &IsObject},
    {u"TypeName", 1, 1, &TypeName},
    {u"VarType", 1, 1, &VarTypeOf},
    {u"ScriptEngine", 0, 0, &ScriptEngine},
    {u"ScriptEngineMajorVersion", 0, 0, &ScriptEngineMajorVersion},
    {u"ScriptEngineMinorVersion", 0, 0, &ScriptEngineMinorVersion},
    {u"ScriptEngineBuildVersion", 0, 0, &ScriptEngineBuildVersion},
    {u"RGB", 3, 3, &RGB},
};

} // namespace

std::span<const BuiltinInfo> InspectionFunctions() {
    return Table;
}

} // namespace qv::vbscript
