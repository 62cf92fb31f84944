#include "platform/vbscript/internal/BuiltinRegistry.h"

#include "platform/automation/Error.h"

namespace qv::vbscript {

namespace {

struct IntrinsicInfo {
    std::u16string_view name;
    std::int8_t minArgs;
    std::int8_t maxArgs;
    Intrinsic intrinsic;
};

constexpr IntrinsicInfo Intrinsics[] = {
    {u"Eval", 1, 1, Intrinsic::Eval},
    {u"Execute", 1, 1, Intrinsic::Execute},
    {u"ExecuteGlobal", 1, 1, Intrinsic::ExecuteGlobal},
    {u"GetRef", 1, 1, Intrinsic::GetRef},
    {u"Err", 0, 0, Intrinsic::Err},
    {u"CreateObject", 1, 2, Intrinsic::CreateObject},
    {u"SetLocale", 0, 1, Intrinsic::SetLocale},
    {u"GetLocale", 0, 0, Intrinsic::GetLocale},
};

// The conversions compile to an operation that must leave its result somewhere: called as a
// statement, whose result goes nowhere, they raise 458. Each takes one argument.
constexpr std::u16string_view ValueOnlyFunctions[] = {u"CBool", u"CByte", u"CCur", u"CDate", u"CDbl",
                                                      u"CInt",  u"CLng",  u"CSng", u"CStr"};

automation::Variant ConversionAsStatement(std::span<automation::Variant>, RuntimeState&) {
    automation::Raise(automation::ErrorNumber::UnsupportedAutomationType);
}

} // namespace

BuiltinRegistry::BuiltinRegistry() {
    // Intrinsics first: where the library also names one, the interpreter's own wins.
    for (const IntrinsicInfo& info : Intrinsics) {
        mFunctionIndex.emplace(info.name, static_cast<std::uint32_t>(mFunctions.size()));
        mFunctions.push_back(BuiltinEntry{info.name, info.minArgs, info.maxArgs, nullptr, info.intrinsic});
    }
    AddFamily(StringFunctions());
    AddFamily(ConversionFunctions());
    AddFamily(MathFunctions());
    AddFamily(DateFunctions());
    AddFamily(ArrayFunctions());
    AddFamily(InspectionFunctions());
    AddFamily(FormatFunctions());
    // Not found by name: the compiler calls it in place of a conversion called as a statement.
    mValueOnlyStatement = static_cast<std::uint32_t>(mFunctions.size());
    mFunctions.push_back(BuiltinEntry{u"(conversion as a statement)", 1, 1, &ConversionAsStatement});
    for (const ConstantInfo& constant : Constants()) {
        mConstants.emplace(constant.name, constant.value());
    }
}

void BuiltinRegistry::AddFamily(std::span<const BuiltinInfo> family) {
    for (const BuiltinInfo& info : family) {
        if (mFunctionIndex.contains(info.name)) {
            continue;
        }
        mFunctionIndex.emplace(info.name, static_cast<std::uint32_t>(mFunctions.size()));
        mFunctions.push_back(
            BuiltinEntry{info.name, info.minArgs, info.maxArgs, info.function, Intrinsic::None});
    }
}

// Looked up by name when a statement calls a builtin, which is rare enough; the engine's start
// pays nothing for it.
std::uint32_t BuiltinRegistry::StatementForm(std::uint32_t index) const {
    const BuiltinEntry& entry = mFunctions[index];
    for (std::u16string_view name : ValueOnlyFunctions) {
        if (entry.function != nullptr && automation::EqualsNoCase(entry.name, name)) {
            return mValueOnlyStatement;
        }
    }
    return index;
}

std::optional<std::uint32_t> BuiltinRegistry::FindFunction(std::u16string_view name) const {
    auto it = mFunctionIndex.find(name);
    if (it == mFunctionIndex.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<automation::Variant> BuiltinRegistry::FindConstant(std::u16string_view name) const {
    auto it = mConstants.find(name);
    if (it == mConstants.end()) {
        return std::nullopt;
    }
    return it->second;
}

} // namespace qv::vbscript
