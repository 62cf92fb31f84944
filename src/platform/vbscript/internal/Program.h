#pragma once

#include "platform/vbscript/internal/Ast.h"

#include "platform/automation/Memory.h"
#include "platform/automation/Object.h"
#include "platform/automation/Ref.h"
#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv::vbscript {

// The compiled form of scripts and the state of modules: what the Compiler produces and the
// Interpreter runs.

enum class Op : std::uint8_t {
#define QV_VBS_OP(name, ...) name,
#include "platform/vbscript/internal/Opcodes.def"
};

/// What an instruction keeps in its a, b or c operand (the columns of Opcodes.def).
enum class Operand : std::uint8_t {
    None, // unused
    // in c
    Constant,    // an index into the block's constants
    Var,         // a variable: c the slot, field or global index, a's low nibble its VarKind
    Local,       // a local slot of the frame, the right operand of a fused operator
    Builtin,     // a builtin function's number
    Site,        // an index into the block's call sites
    ClassSlot,   // the global slot of a class
    Target,      // the instruction a jump goes to
    ErrorNumber, // the error raised
    // in b
    LeftLocal, // a local slot of the frame, the left operand of a fused operator
    Argc,      // the arguments' count
    Pieces,    // the count of pieces appended
    Dims,      // the count of dimensions
    Count,     // the count of values or element locks
    Hidden,    // the first of the hidden locals of a loop
    Bounds,    // a constant holding the bound count, the bounds in the constants after it
    // in a
    Flags,        // the flags of a's high nibble (OpStatement, OpSet, ...)
    LiteralFlags, // a comparison's literal flags (CompareNumberLiteral, ...)
    ErrorMode,    // 1 for On Error Resume Next, 0 for On Error GoTo 0
};

/// Where a variable operand lives (the low nibble of Instruction::a).
enum class VarKind : std::uint8_t {
    Local,          // the frame's own slot
    Outer,          // a slot of the procedure that called Eval/Execute
    Field,          // a field of Me
    Global,         // a module slot, resolved at run time (variable, procedure, named object, ...)
    GlobalExplicit, // the same under Option Explicit: unresolved raises 500
    Implicit,       // an undeclared name in a procedure: a global if one exists, else a local
};

// Flags in the high nibble of Instruction::a.
inline constexpr std::uint8_t OpStatement = 0x10;
inline constexpr std::uint8_t OpSet = 0x20;
inline constexpr std::uint8_t OpPreserve = 0x40;
inline constexpr std::uint8_t OpPrivate = 0x80;

// Flags in Instruction::a of a comparison. An operand written as a literal (or a constant) is
// typed hard: against a numeric literal a String operand is read as a number (13 when it is
// none), against a string literal a numeric operand becomes its text. Two variables compare by
// the automation layer's rule, in which a number is less than any text.
inline constexpr std::uint8_t CompareNumberLiteral = 0x01;
inline constexpr std::uint8_t CompareTextLiteral = 0x02;

/// Applies the hard typing of a comparison's literal operand (`flags` as above) to both operands
/// before they are compared. With both flags (a numeric literal against a string literal) the
/// text is read as a number when it is one, and otherwise left as text.
void ApplyLiteralTyping(automation::Variant& left, automation::Variant& right, std::uint8_t flags);

/// Where a fused operator takes its operands from: the left one from the stack or a local (b),
/// the right one from a constant or a local (c).
enum class OperandForm : std::uint8_t { Const, Local, LocalConst, LocalLocal };

/// One fused instruction (AddConst, AddLocal, AddLocalConst, AddLocalLocal, ...): the operator it
/// applies and the form of its operands.
struct FusedInstruction {
    Op op;
    Op applies;
    OperandForm form;
};
/// Every fused instruction, in the order of Op: Opcodes.def generates their rows one after the
/// other from operator x form.
inline constexpr FusedInstruction FusedInstructions[] = {
#define QV_VBS_FUSED(name, op, form, ...) {Op::name, Op::op, OperandForm::form},
#include "platform/vbscript/internal/Opcodes.def"
};
inline constexpr Op FirstFused = FusedInstructions[0].op;
inline constexpr Op LastFused = std::end(FusedInstructions)[-1].op;
static_assert(
    [] {
        for (std::size_t index = 0; index < std::size(FusedInstructions); ++index) {
            if (static_cast<std::size_t>(FusedInstructions[index].op) !=
                static_cast<std::size_t>(FirstFused) + index) {
                return false;
            }
        }
        return true;
    }(),
    "the fused rows follow one another, so that an op's distance from the first indexes them");

/// Whether `op` takes an operand from a constant or a local.
constexpr bool IsFusedOperator(Op op) noexcept {
    return op >= FirstFused && op <= LastFused;
}
/// The operator of every fused instruction, in their order: a byte table of its own, which the
/// interpreter's loop indexes by the op's distance from the first fused one.
inline constexpr auto FusedOperatorTable = [] {
    std::array<Op, std::size(FusedInstructions)> table{};
    for (std::size_t index = 0; index < table.size(); ++index) {
        table[index] = FusedInstructions[index].applies;
    }
    return table;
}();
/// The operator a fused form applies.
constexpr Op OperatorOf(Op op) noexcept {
    assert(IsFusedOperator(op));
    return FusedOperatorTable[static_cast<std::size_t>(op) - static_cast<std::size_t>(FirstFused)];
}
/// The form of `op` that takes its operands as `form` says, if it has one.
constexpr std::optional<Op> FusedForm(Op op, OperandForm form) noexcept {
    for (const FusedInstruction& fused : FusedInstructions) {
        if (fused.applies == op && fused.form == form) {
            return fused.op;
        }
    }
    return std::nullopt;
}

/// One instruction: 8 bytes, so the hot loop stays dense. Source positions live apart, in
/// CodeBlock::positions.
struct Instruction {
    Op op = Op::Nop;
    std::uint8_t a = 0;
    std::uint16_t b = 0;
    std::int32_t c = 0;

    VarKind Kind() const noexcept { return static_cast<VarKind>(a & 0x0F); }
    bool Has(std::uint8_t flag) const noexcept { return (a & flag) != 0; }
};
static_assert(sizeof(Instruction) == 8);

/// Interned names: every spelling that differs only in letter case gets one number, so that
/// compiled code compares numbers, never strings. Shared by an engine and everything it
/// compiled, and never shrinks.
class NameTable final : public automation::RefCounted {
public:
    using NameId = std::uint32_t;
    NameId Intern(std::u16string_view name);
    std::optional<NameId> Find(std::u16string_view name) const;
    /// The first spelling seen.
    const std::u16string& Spelling(NameId id) const { return mSpellings[id]; }

private:
    std::unordered_map<std::u16string, NameId, automation::NoCaseHash, automation::NoCaseEqual> mIds;
    std::deque<std::u16string> mSpellings;
};
using NameId = NameTable::NameId;

/// The text of one chunk (one AddCode, ExecuteGlobal or Eval), kept for error lines and texts.
class SourceText final : public automation::RefCounted {
public:
    /// Raises 7 when the copy does not fit under the memory ceiling.
    explicit SourceText(std::u16string_view text);
    SourceText(const SourceText&) = delete;
    SourceText& operator=(const SourceText&) = delete;
    const std::u16string& Text() const noexcept { return mText; }
    /// 1-based line and column of an offset.
    std::pair<std::int32_t, std::int32_t> LineColumn(std::uint32_t offset) const;
    /// The line holding `offset`, without its line break.
    std::u16string_view LineText(std::uint32_t offset) const;
    /// Text that a script statement ran (Execute, ExecuteGlobal, Eval): its lines are no lines of
    /// the file, so errors in it are reported at that statement.
    bool IsRunByScript() const noexcept { return mRunByScript; }
    void MarkRunByScript() noexcept { mRunByScript = true; }

private:
    automation::HeldCharge mCharged; // the text and its lines on the apartment's memory account
    std::u16string mText;
    bool mRunByScript = false;
    std::vector<std::uint32_t> mLineStarts;
};

/// One `Name` call site: the member name and what the last call found, per class, so that
/// repeated calls skip the lookup.
struct CallSite {
    NameId name = 0;
    const automation::ClassInfo* hostClass = nullptr; // cached DispId belongs to this host class
    automation::DispId hostId = 0;
    const void* scriptClass = nullptr; // cached member index belongs to this script class
    std::int32_t scriptMember = -1;
};

/// A statement's instruction range: an error inside it under On Error Resume Next continues at
/// `end`, the first instruction of the next statement.
struct StatementRange {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
};

/// An undeclared name of a procedure: its global slot and the local that holds it when no
/// global of that name exists.
struct ImplicitRef {
    std::uint32_t local = 0;
    std::uint32_t global = 0;
};

/// Which parameters of a procedure are ByVal. The first 64 are bits of one word, so that binding
/// a call's arguments reads a word instead of walking a list.
class ParameterFlags {
public:
    /// Named as a vector's, since the compiler fills it like one.
    void push_back(bool byVal) {
        if (mCount < 64 && byVal) {
            mFirst |= std::uint64_t{1} << mCount;
        }
        if (mCount >= 64) {
            mRest.push_back(byVal);
        }
        ++mCount;
    }
    bool operator[](std::size_t index) const noexcept {
        return index < 64 ? ((mFirst >> index) & 1) != 0 : mRest[index - 64];
    }
    std::size_t size() const noexcept { return mCount; }
    /// Bit i set: parameter i (below 64) is ByVal.
    std::uint64_t FirstWord() const noexcept { return mFirst; }

private:
    std::uint64_t mFirst = 0;
    std::vector<bool> mRest; // parameters from the 65th on
    std::size_t mCount = 0;
};

class Module;
class ScriptClass;

/// Compiled code of one procedure, one chunk's top level, or one Eval/Execute text. The code
/// counts against the memory ceiling for as long as it lives: the compiler charges it as it grows
/// (Recharge), so that a script that builds and runs a text of millions of statements gets 7.
class CodeBlock final : public automation::RefCounted {
public:
    CodeBlock() = default;
    ~CodeBlock() override;
    CodeBlock(const CodeBlock&) = delete;
    CodeBlock& operator=(const CodeBlock&) = delete;

    std::u16string name; // the procedure's name, or "" for a chunk
    std::vector<Instruction> code;
    std::vector<std::uint32_t> positions; // source offset per instruction
    std::vector<automation::Variant> constants;
    std::vector<CallSite> sites;
    std::vector<StatementRange> statements; // sorted by start
    std::vector<ImplicitRef> implicits;
    std::vector<std::u16string> localNames; // per slot; "" for hidden temporaries
    std::uint32_t paramCount = 0;           // slots 0..paramCount-1; slot paramCount is the result
    ParameterFlags paramByVal;
    std::uint32_t maxStack = 0; // the deepest the operand stack gets
    automation::Ref<SourceText> source;
    Module* module = nullptr;           // whose globals the code addresses
    const ScriptClass* owner = nullptr; // the class of Me, if any
    bool isTopLevel = false;            // a chunk's statements: globals are created here
    bool usesOuter = false;             // Eval/Execute code reading its caller's locals

    std::uint32_t LocalCount() const noexcept { return static_cast<std::uint32_t>(localNames.size()); }
    /// The statement holding instruction `pc`, or null.
    const StatementRange* StatementAt(std::uint32_t pc) const;
    /// Brings the charge in line with what the block holds now; raises 7 when it grew past the
    /// ceiling.
    void Recharge();

private:
    std::size_t mCharged = 0; // on the apartment's memory account
};

/// A Sub, Function or property accessor.
class Procedure final : public automation::RefCounted {
public:
    NameId name = 0;
    ProcKind kind = ProcKind::Sub;
    bool isPublic = true;
    automation::Ref<CodeBlock> code;
};

/// A field or member of a script class.
struct ClassMember {
    NameId name = 0;
    bool isPublic = true;
    std::int32_t field = -1;           // a variable member
    automation::Ref<Procedure> method; // Sub or Function
    automation::Ref<Procedure> get;
    automation::Ref<Procedure> let;
    automation::Ref<Procedure> set;
};

struct FieldInfo {
    NameId name = 0;
    std::vector<std::int32_t> bounds; // a fixed array's upper bounds
    bool isArray = false;
};

/// A class declared by a script.
class ScriptClass final : public automation::RefCounted {
public:
    NameId name = 0;
    std::u16string displayName;
    std::vector<FieldInfo> fields;
    std::vector<ClassMember> members;
    std::unordered_map<NameId, std::uint32_t> memberIndex;
    std::int32_t defaultMember = -1;
    automation::Ref<Procedure> initialize;
    automation::Ref<Procedure> terminate;
    automation::Ref<NameTable> names;

    const ClassMember* FindMember(NameId id) const {
        auto it = memberIndex.find(id);
        return it == memberIndex.end() ? nullptr : &members[it->second];
    }
};

enum class SlotKind : std::uint8_t { Unset, Variable, Constant, Procedure, Class };

class NamedObject;

/// What a global name denotes when looked up at run time.
struct Resolution {
    enum class Kind : std::uint8_t { None, Slot, NamedObject, NamedMember, Builtin } kind = Kind::None;
    struct GlobalSlot* slot = nullptr;
    NamedObject* object = nullptr;
    automation::DispId dispId = 0;
    std::uint32_t builtin = 0;
};

/// A module-level name: a variable, constant, procedure or class, or Unset while only referenced.
struct GlobalSlot {
    NameId name = 0;
    SlotKind kind = SlotKind::Unset;
    automation::Variant value;
    automation::Ref<Procedure> procedure;
    automation::Ref<ScriptClass> scriptClass;
    // Where the name led when it was last looked up beyond its module; valid while the engine's
    // epoch has not moved.
    Resolution fallback;
    std::uint64_t fallbackEpoch = 0;
    bool listed = false; // among the module's procedure names (ListProcedure)
};

/// A module-level name the compiler looked up beyond the chunk it compiled, and what it found:
/// a compiled chunk holds for a module only while every such name still finds the same.
struct NameLookup {
    Module* module = nullptr;
    NameId name = 0;
    SlotKind kind = SlotKind::Unset;
    automation::Variant constant; // a Constant's value, folded into the code

    bool StillHolds() const;
};

/// The product of compiling one chunk. Nothing of it is visible until the engine installs it,
/// so a chunk with a syntax error leaves its module as it was.
struct CompiledChunk {
    automation::Ref<CodeBlock> topLevel;
    std::vector<automation::Ref<Procedure>> procedures;
    std::vector<automation::Ref<ScriptClass>> classes;
    struct Variable {
        std::uint32_t slot = 0;
        bool isArray = false;
        std::vector<std::int32_t> bounds;
    };
    std::vector<Variable> variables;
    std::vector<std::pair<std::uint32_t, automation::Variant>> constants;
    std::vector<NameLookup> lookups;

    /// The text the chunk was compiled from.
    std::u16string_view Text() const noexcept;
};

/// A code module: its own globals. Slots never move (a deque), so by-reference arguments may
/// point at them.
class Module {
public:
    explicit Module(std::u16string name) : mName(std::move(name)) {}
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const std::u16string& Name() const noexcept { return mName; }
    std::uint32_t SlotFor(NameId name);
    std::optional<std::uint32_t> FindSlot(NameId name) const;
    GlobalSlot& Slot(std::uint32_t index) { return *mSlotPointers[index]; }
    std::uint32_t SlotCount() const noexcept { return static_cast<std::uint32_t>(mSlots.size()); }
    const GlobalSlot& Slot(std::uint32_t index) const { return *mSlotPointers[index]; }
    /// The module variable in slot `index`, or null while the slot holds something else.
    automation::Variant* VariableAt(std::uint32_t index) noexcept {
        GlobalSlot& slot = *mSlotPointers[index];
        return slot.kind == SlotKind::Variable ? &slot.value : nullptr;
    }
    GlobalSlot* Defined(NameId name);

    /// Procedure names in the order they were first defined.
    const std::vector<NameId>& ProcedureOrder() const noexcept { return mProcedureOrder; }
    /// Adds the name of `slot` to ProcedureOrder unless it is there already: a name stays where it
    /// was first defined.
    void ListProcedure(GlobalSlot& slot) {
        if (!slot.listed) {
            slot.listed = true;
            mProcedureOrder.push_back(slot.name);
        }
    }

    /// The chunk compiled lately from exactly `text`, or null; it may no longer hold (see
    /// NameLookup). Generation adds the same text to a module for every page.
    const CompiledChunk* RecentChunk(std::u16string_view text) const;
    /// Keeps a compiled chunk for RecentChunk, the oldest one making way past a few texts.
    void RememberChunk(std::u16string_view text, const CompiledChunk& chunk);

private:
    std::u16string mName;
    std::deque<GlobalSlot> mSlots;
    std::vector<GlobalSlot*> mSlotPointers; // the slots by index without the deque's arithmetic
    std::unordered_map<NameId, std::uint32_t> mSlotIndex;
    std::vector<NameId> mProcedureOrder;
    // The newest last. Each is known by the text of its own code (CompiledChunk::Text), which it
    // holds anyway: a copy of its own would hold a long text twice, and uncharged.
    std::vector<CompiledChunk> mRecentChunks;
};

/// An object added by the host under a name, visible from every module; with `addMembers` its
/// members are globals too.
class NamedObject {
public:
    NameId name = 0;
    automation::Variant value; // the object, as scripts read it
    bool addMembers = false;
};

} // namespace qv::vbscript
