#pragma once

#include "platform/vbscript/internal/Builtins.h"

#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv::vbscript {

/// Functions that need the interpreter itself rather than their arguments alone.
enum class Intrinsic : std::uint8_t {
    None,
    Eval,
    Execute,
    ExecuteGlobal,
    GetRef,
    Err,
    CreateObject,
    SetLocale,
    GetLocale,
};

/// One callable global of the language: a library function or an intrinsic.
struct BuiltinEntry {
    std::u16string_view name;
    std::int8_t minArgs = 0;
    std::int8_t maxArgs = 0; // -1: any number
    BuiltinFunction function = nullptr;
    Intrinsic intrinsic = Intrinsic::None;
};

/// Every function and constant of the runtime library, by name: all the families of Builtins.h
/// plus the interpreter's intrinsics. Built once per engine; read-only afterwards.
class BuiltinRegistry {
public:
    BuiltinRegistry();

    std::optional<std::uint32_t> FindFunction(std::u16string_view name) const;
    const BuiltinEntry& Function(std::uint32_t index) const { return mFunctions[index]; }
    /// The function to call for `index` called as a statement, whose result goes nowhere: the
    /// conversions then raise 458 (after the count of their arguments is checked), the rest are
    /// themselves.
    std::uint32_t StatementForm(std::uint32_t index) const;
    /// The value of a named constant (vbCrLf, vbTextCompare, ...).
    std::optional<automation::Variant> FindConstant(std::u16string_view name) const;

private:
    void AddFamily(std::span<const BuiltinInfo> family);

    std::vector<BuiltinEntry> mFunctions;
    std::uint32_t mValueOnlyStatement = 0; // the hidden function that raises 458
    std::unordered_map<std::u16string_view, std::uint32_t, automation::NoCaseHash, automation::NoCaseEqual>
        mFunctionIndex;
    std::unordered_map<std::u16string_view, automation::Variant, automation::NoCaseHash,
                       automation::NoCaseEqual>
        mConstants;
};

} // namespace qv::vbscript
