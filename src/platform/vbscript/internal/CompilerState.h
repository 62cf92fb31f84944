#pragma once

#include "platform/vbscript/internal/Compiler.h"

#include "platform/vbscript/internal/CompileError.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// State shared by the compiler's source files: how a name is bound, the loop and procedure
// scopes, and the helpers the statement and expression compilers both use.

namespace qv::vbscript {

/// Most locals, arguments or pieces one instruction can address.
constexpr std::size_t MaxCount = std::numeric_limits<std::uint16_t>::max();

/// The instruction of a binary operator other than Is.
Op ToOp(BinaryKind kind);
bool IsComparison(BinaryKind kind);

struct Compiler::Binding {
    enum class Kind : std::uint8_t { Variable, Member, Constant, Builtin } kind = Kind::Variable;
    VarKind var = VarKind::Local;
    std::int32_t index = 0;
    automation::Variant constant;
};

struct Compiler::LoopContext {
    bool isFor = false;
    bool isWend = false;
    std::vector<std::uint32_t> exits;
};

struct Compiler::Scope {
    automation::Ref<CodeBlock> block;
    bool isProcedure = false;
    std::optional<NameId> resultName; // Function or Property Get: its name is the result local
    std::unordered_map<NameId, std::uint32_t> locals;
    std::unordered_map<NameId, automation::Variant> constants;
    std::unordered_map<NameId, std::uint32_t> implicits;
    std::unordered_map<NameId, std::uint32_t> outerLocals;
    std::vector<LoopContext> loops;
    std::vector<std::uint32_t> withSlots;
    std::vector<std::uint32_t> exitJumps;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> freeHidden; // slot, count
    std::unordered_map<std::u16string, std::int32_t> constantIndex;
    // Texts by the text of the constant in the pool, which keeps it unchanged while it compiles.
    std::unordered_map<std::u16string_view, std::int32_t> textConstantIndex;
    // The run of statements since the last check of the time-out (ClockIfDue).
    std::uint32_t statementsUnclocked = 0;
    std::uint32_t clockedAt = 0; // the instruction where the run began
};

} // namespace qv::vbscript
