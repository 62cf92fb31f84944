#pragma once

#include "platform/automation/Object.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace qv::vbscript {

class TrackedList;

/// State of one engine that library functions read or change: the random-number sequence of
/// Rnd and Randomize. Owned by the engine; reset with it.
struct RuntimeState {
    std::uint32_t rndSeed = 0x50000;
    float lastRnd = 0.0f;
};

/// A function of the runtime library. Arguments arrive as the caller passed them (by-reference
/// variants look through with Deref); a missing optional argument is absent from the span.
using BuiltinFunction = automation::Variant (*)(std::span<automation::Variant> args, RuntimeState& state);

/// One row of a family's function table. maxArgs -1 means any number.
struct BuiltinInfo {
    std::u16string_view name;
    std::int8_t minArgs;
    std::int8_t maxArgs;
    BuiltinFunction function;
};

/// A named constant of the language (vbCrLf, vbTextCompare, ...).
struct ConstantInfo {
    std::u16string_view name;
    automation::Variant (*value)();
};

// The runtime library, one table per family (library/*.cpp). Functions that need the
// interpreter itself (Eval, Execute, ExecuteGlobal, GetRef, IsObject of a script object,
// CreateObject's script classes, Err) live in the interpreter, not here.
std::span<const BuiltinInfo> StringFunctions();
std::span<const BuiltinInfo> ConversionFunctions();
std::span<const BuiltinInfo> MathFunctions();
std::span<const BuiltinInfo> DateFunctions();
std::span<const BuiltinInfo> ArrayFunctions();
std::span<const BuiltinInfo> InspectionFunctions();
std::span<const BuiltinInfo> FormatFunctions();
std::span<const ConstantInfo> Constants();

/// Raises the time-out of the script run in progress on this thread once it has passed, as the
/// interpreter's loop does on backward jumps; nothing outside a run or without a time-out. Library
/// calls whose work grows with their input (a global search, Split of a long text) call it every
/// so many steps (library::ResultMeter), so that one call cannot outlast the run's time.
void CheckRunDeadline();
/// Whether the script run in progress on this thread has a time-out.
bool RunHasDeadline() noexcept;
/// Whether the time-out of the script run in progress on this thread has passed: for code that
/// cannot raise where it stands (a callout of the regular-expression engine).
bool RunDeadlinePassed() noexcept;

/// CreateObject for the short list of safe classes ("Scripting.Dictionary", "VBScript.RegExp");
/// a null Ref for any other name (the caller raises 429). A dictionary joins `tracked`, the
/// engine's list of objects that can hold others, when one is given.
automation::Ref<automation::Object> CreateSafeObject(std::u16string_view progId,
                                                     TrackedList* tracked = nullptr);

} // namespace qv::vbscript
