#include "platform/vbscript/internal/Compiler.h"

#include "platform/vbscript/internal/CompilerState.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>
#include <variant>

namespace qv::vbscript {

using automation::EqualsNoCase;
using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using automation::VarType;
namespace N = CompileErrorNumber;

namespace {

// How many values an instruction pops and then pushes, as Opcodes.def declares them, and how many
// it holds above those it pushed while it runs: one function per instruction, in the order of the
// Op enum.
struct StackEffectCounts {
    std::uint32_t pops = 0;
    std::uint32_t pushes = 0;
    std::uint32_t above = 0;
};
using StackEffectOf = StackEffectCounts (*)(std::uint32_t b, std::uint32_t result);
constexpr StackEffectOf StackEffects[] = {
#define QV_VBS_OP(name, aOperand, bOperand, cOperand, pops, pushes, mayRaise, note)                          \
    []([[maybe_unused]] std::uint32_t b, [[maybe_unused]] std::uint32_t result) -> StackEffectCounts {       \
        return {pops, pushes, 0};                                                                            \
    },
// A fused operator's general path puts its right operand on the stack above the left one.
#define QV_VBS_FUSED(name, op, form, aOperand, bOperand, cOperand, pops, pushes, mayRaise, note)             \
    []([[maybe_unused]] std::uint32_t b, [[maybe_unused]] std::uint32_t result) -> StackEffectCounts {       \
        return {pops, pushes, 1};                                                                            \
    },
#include "platform/vbscript/internal/Opcodes.def"
};

StackEffectCounts StackEffect(const Instruction& instruction) {
    const auto index = static_cast<std::size_t>(instruction.op);
    assert(index < std::size(StackEffects) && "unknown instruction");
    return StackEffects[index](instruction.b, instruction.Has(OpStatement) ? 0 : 1);
}

// Calls any function for every statement list nested in `body`, the body itself included.
template <class Visit> void ForEachStatement(const StmtList& body, const Visit& visit) {
    for (const StmtPtr& statement : body) {
        visit(*statement);
        switch (statement->kind) {
        case StmtKind::If: {
            const auto& node = static_cast<const IfStmt&>(*statement);
            for (const IfBranch& branch : node.branches) {
                ForEachStatement(branch.body, visit);
            }
            ForEachStatement(node.elseBody, visit);
            break;
        }
        case StmtKind::Select: {
            const auto& node = static_cast<const SelectStmt&>(*statement);
            for (const CaseClause& clause : node.cases) {
                ForEachStatement(clause.body, visit);
            }
            ForEachStatement(node.elseBody, visit);
            break;
        }
        case StmtKind::For:
            ForEachStatement(static_cast<const ForStmt&>(*statement).body, visit);
            break;
        case StmtKind::ForEach:
            ForEachStatement(static_cast<const ForEachStmt&>(*statement).body, visit);
            break;
        case StmtKind::Do:
            ForEachStatement(static_cast<const DoStmt&>(*statement).body, visit);
            break;
        case StmtKind::With:
            ForEachStatement(static_cast<const WithStmt&>(*statement).body, visit);
            break;
        case StmtKind::Assign:
        case StmtKind::Call:
        case StmtKind::Dim:
        case StmtKind::ReDim:
        case StmtKind::Erase:
        case StmtKind::Const:
        case StmtKind::Exit:
        case StmtKind::OnError:
            break;
        }
    }
}

// A key under which equal constants other than texts share one pool entry.
std::u16string ConstantKey(const Variant& value) {
    std::u16string key(1, static_cast<char16_t>(value.Type()));
    switch (value.Type()) {
    case VarType::Integer:
        key.push_back(static_cast<char16_t>(value.IntegerValue()));
        break;
    case VarType::Long: {
        auto bits = static_cast<std::uint32_t>(value.LongValue());
        key.push_back(static_cast<char16_t>(bits & 0xFFFF));
        key.push_back(static_cast<char16_t>(bits >> 16));
        break;
    }
    case VarType::Boolean:
        key.push_back(value.BooleanValue() ? u'1' : u'0');
        break;
    case VarType::Double:
    case VarType::Date: {
        double number = value.Type() == VarType::Date ? value.DateValue() : value.DoubleValue();
        std::uint64_t bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        for (int part = 0; part < 4; ++part) {
            key.push_back(static_cast<char16_t>((bits >> (16 * part)) & 0xFFFF));
        }
        break;
    }
    default:
        return {};
    }
    return key;
}

} // namespace

Compiler::Compiler(CompileTarget target, Ref<SourceText> source)
    : mTarget(target), mSource(std::move(source)) {}

Compiler::~Compiler() = default;

// ---------------------------------------------------------------------------------------------
// Chunks

CompiledChunk Compiler::CompileChunk(const Program& program) {
    return CompileExecute(program, OuterScope{});
}

CompiledChunk Compiler::CompileExecute(const Program& program, const OuterScope& outer) {
    CompiledChunk chunk;
    mOptionExplicit = program.optionExplicit;
    DeclareModuleNames(program, chunk);

    std::vector<Ref<ScriptClass>> classes;
    for (const auto& decl : program.classes) {
        Ref<ScriptClass> cls = DeclareClass(*decl);
        classes.push_back(cls);
    }
    for (const auto& decl : program.procedures) {
        chunk.procedures.push_back(CompileProcedure(*decl, nullptr));
    }
    for (std::size_t index = 0; index < classes.size(); ++index) {
        CompileClassBodies(*program.classes[index], *classes[index]);
    }
    chunk.classes = std::move(classes);

    Scope top;
    top.block = MakeRef<CodeBlock>();
    top.block->source = mSource;
    top.block->module = &mTarget.module;
    top.block->isTopLevel = outer.block == nullptr;
    top.block->localNames.emplace_back();
    if (outer.block) {
        top.block->owner = outer.block->owner;
        top.block->usesOuter = true;
        for (std::uint32_t slot = 0; slot < outer.block->LocalCount(); ++slot) {
            if (!outer.block->localNames[slot].empty()) {
                top.outerLocals.emplace(mTarget.names.Intern(outer.block->localNames[slot]), slot);
            }
        }
    }
    mScope = &top;
    CompileBlock(program.statements);
    Emit(Op::Return);
    Finish(*top.block);
    mScope = nullptr;
    chunk.topLevel = top.block;
    chunk.lookups = std::move(mLookups);
    return chunk;
}

Ref<CodeBlock> Compiler::CompileEval(const Expr& expr, const OuterScope* outer) {
    Scope scope;
    scope.block = MakeRef<CodeBlock>();
    scope.block->source = mSource;
    scope.block->module = &mTarget.module;
    scope.block->localNames.emplace_back();
    if (outer && outer->block) {
        scope.block->owner = outer->block->owner;
        scope.block->usesOuter = true;
        for (std::uint32_t slot = 0; slot < outer->block->LocalCount(); ++slot) {
            if (!outer->block->localNames[slot].empty()) {
                scope.outerLocals.emplace(mTarget.names.Intern(outer->block->localNames[slot]), slot);
            }
        }
    }
    mScope = &scope;
    mOffset = expr.offset;
    std::uint32_t start = BeginStatement(expr.offset);
    CompileExpr(expr);
    Binding result;
    result.var = VarKind::Local;
    result.index = 0;
    EmitVar(Op::StoreRaw, result);
    EndStatement(start);
    Emit(Op::Return);
    Finish(*scope.block);
    mScope = nullptr;
    return scope.block;
}

// Module-level names of the chunk: procedures, classes, variables and constants. A name may be
// declared once per chunk (1041); a later chunk may declare it again and replaces it.
void Compiler::DeclareModuleNames(const Program& program, CompiledChunk& chunk) {
    auto declare = [&](std::u16string_view name, std::uint32_t offset, SlotKind kind) {
        NameId id = mTarget.names.Intern(name);
        if (!mChunkNames.emplace(id, kind).second || mChunkConstants.contains(id)) {
            throw CompileError(N::NameRedefined, offset);
        }
        return id;
    };
    for (const auto& decl : program.classes) {
        declare(decl->name, decl->offset, SlotKind::Class);
    }
    for (const auto& decl : program.procedures) {
        declare(decl->name, decl->offset, SlotKind::Procedure);
    }
    // Constants are folded in order, so that one may use those before it.
    Scope declarations;
    declarations.block = MakeRef<CodeBlock>();
    declarations.block->module = &mTarget.module;
    mScope = &declarations;
    ForEachStatement(program.statements, [&](const Stmt& statement) {
        if (statement.kind == StmtKind::Dim) {
            for (const VarDecl& var : static_cast<const DimStmt&>(statement).vars) {
                NameId id = declare(var.name, var.offset, SlotKind::Variable);
                chunk.variables.push_back({mTarget.module.SlotFor(id), var.isArray, var.bounds});
            }
        } else if (statement.kind == StmtKind::ReDim) {
            for (const ReDimItem& item : static_cast<const ReDimStmt&>(statement).items) {
                NameId id = mTarget.names.Intern(item.name);
                if (mChunkNames.emplace(id, SlotKind::Variable).second) {
                    chunk.variables.push_back({mTarget.module.SlotFor(id), false, {}});
                }
            }
        } else if (statement.kind == StmtKind::Const) {
            for (const ConstItem& item : static_cast<const ConstStmt&>(statement).items) {
                NameId id = mTarget.names.Intern(item.name);
                if (mChunkNames.contains(id) || mChunkConstants.contains(id)) {
                    throw CompileError(N::NameRedefined, item.offset);
                }
                Variant value = ConstantOf(*item.value);
                mChunkConstants.emplace(id, value);
                chunk.constants.emplace_back(mTarget.module.SlotFor(id), std::move(value));
            }
        }
    });
    mScope = nullptr;
}

Variant Compiler::ConstantOf(const Expr& expr) {
    std::optional<Variant> value = Fold(expr);
    if (!value || value->IsObject()) {
        throw CompileError(N::ExpectedLiteralConstant, expr.offset);
    }
    return *value;
}

// Locals of a procedure: its Dims, its ReDims of undeclared names, and its constants, wherever
// they stand in the body.
void Compiler::CollectDeclarations(Scope& scope, const StmtList& body) {
    CodeBlock& block = *scope.block;
    auto addLocal = [&](std::u16string_view name, std::uint32_t offset, bool mustBeNew) {
        NameId id = mTarget.names.Intern(name);
        if (scope.locals.contains(id) || scope.constants.contains(id)) {
            if (mustBeNew) {
                throw CompileError(N::NameRedefined, offset);
            }
            return scope.locals.contains(id) ? scope.locals[id] : 0u;
        }
        auto slot = static_cast<std::uint32_t>(block.localNames.size());
        block.localNames.emplace_back(name);
        scope.locals.emplace(id, slot);
        return slot;
    };
    std::vector<std::pair<std::uint32_t, const VarDecl*>> fixedArrays;
    ForEachStatement(body, [&](const Stmt& statement) {
        if (statement.kind == StmtKind::Dim) {
            for (const VarDecl& var : static_cast<const DimStmt&>(statement).vars) {
                std::uint32_t slot = addLocal(var.name, var.offset, true);
                if (var.isArray) {
                    fixedArrays.emplace_back(slot, &var);
                }
            }
        } else if (statement.kind == StmtKind::ReDim) {
            for (const ReDimItem& item : static_cast<const ReDimStmt&>(statement).items) {
                NameId id = mTarget.names.Intern(item.name);
                // ReDim declares a local unless the name is already a variable in reach.
                if (!scope.locals.contains(id) && !mChunkNames.contains(id) && !Defined(mTarget.module, id) &&
                    !Defined(mTarget.globalModule, id) && !(block.owner && block.owner->FindMember(id))) {
                    addLocal(item.name, item.offset, false);
                }
            }
        } else if (statement.kind == StmtKind::Const) {
            for (const ConstItem& item : static_cast<const ConstStmt&>(statement).items) {
                NameId id = mTarget.names.Intern(item.name);
                if (scope.locals.contains(id) || scope.constants.contains(id)) {
                    throw CompileError(N::NameRedefined, item.offset);
                }
                scope.constants.emplace(id, ConstantOf(*item.value));
            }
        }
    });
    // Fixed local arrays exist from the procedure's entry.
    for (const auto& [slot, var] : fixedArrays) {
        if (var->bounds.empty()) {
            continue;
        }
        if (var->bounds.size() > MaxCount) {
            throw CompileError(N::OutOfMemory, var->offset);
        }
        mOffset = var->offset;
        auto first = static_cast<std::int32_t>(block.constants.size());
        block.constants.emplace_back(static_cast<std::int32_t>(var->bounds.size()));
        for (std::int32_t bound : var->bounds) {
            block.constants.emplace_back(bound);
        }
        Binding binding;
        binding.var = VarKind::Local;
        binding.index = static_cast<std::int32_t>(slot);
        EmitVar(Op::DimArray, binding, static_cast<std::uint32_t>(first));
    }
}

Ref<Procedure> Compiler::CompileProcedure(const ProcDecl& decl, const ScriptClass* owner) {
    auto procedure = MakeRef<Procedure>();
    procedure->name = mTarget.names.Intern(decl.name);
    procedure->kind = decl.kind;
    procedure->isPublic = decl.access != Access::Private;

    Scope scope;
    scope.isProcedure = true;
    scope.block = MakeRef<CodeBlock>();
    CodeBlock& block = *scope.block;
    block.name = std::u16string(decl.name);
    block.source = mSource;
    block.module = &mTarget.module;
    block.owner = owner;
    if (decl.params.size() > MaxCount) {
        throw CompileError(N::OutOfMemory, decl.offset);
    }
    // The parameters come first, so that the arguments a caller pushed are the callee's first
    // locals as they lie; the result follows them.
    bool hasResult = decl.kind == ProcKind::Function || decl.kind == ProcKind::PropertyGet;
    for (const Param& param : decl.params) {
        NameId id = mTarget.names.Intern(param.name);
        if (scope.locals.contains(id) || (hasResult && id == procedure->name)) {
            throw CompileError(N::NameRedefined, param.offset);
        }
        scope.locals.emplace(id, static_cast<std::uint32_t>(block.localNames.size()));
        block.localNames.emplace_back(param.name);
        block.paramByVal.push_back(param.byVal);
    }
    block.paramCount = static_cast<std::uint32_t>(decl.params.size());
    if (hasResult) {
        scope.locals.emplace(procedure->name, block.paramCount);
        scope.resultName = procedure->name;
        block.localNames.emplace_back(decl.name);
    } else {
        block.localNames.emplace_back();
    }

    Scope* outer = std::exchange(mScope, &scope);
    CollectDeclarations(scope, decl.body);
    CompileBlock(decl.body);
    for (std::uint32_t jump : scope.exitJumps) {
        PatchJump(jump, Here());
    }
    mOffset = decl.offset;
    Emit(Op::Return);
    Finish(block);
    mScope = outer;
    procedure->code = scope.block;
    return procedure;
}

// The member table of a class: its fields and the accessors of its procedures.
Ref<ScriptClass> Compiler::DeclareClass(const ClassDecl& decl) {
    auto cls = MakeRef<ScriptClass>();
    cls->name = mTarget.names.Intern(decl.name);
    cls->displayName = std::u16string(decl.name);
    cls->names = Ref<NameTable>(&mTarget.names);
    auto memberFor = [&](std::u16string_view name) -> ClassMember& {
        NameId id = mTarget.names.Intern(name);
        auto [it, added] = cls->memberIndex.emplace(id, static_cast<std::uint32_t>(cls->members.size()));
        if (added) {
            cls->members.emplace_back().name = id;
        }
        return cls->members[it->second];
    };
    for (const DimStmt& dim : decl.fields) {
        for (const VarDecl& var : dim.vars) {
            ClassMember& member = memberFor(var.name);
            if (member.field >= 0) {
                throw CompileError(N::NameRedefined, var.offset);
            }
            member.field = static_cast<std::int32_t>(cls->fields.size());
            member.isPublic = dim.access != Access::Private;
            cls->fields.push_back(FieldInfo{member.name, var.bounds, var.isArray});
        }
    }
    return cls;
}

void Compiler::CompileClassBodies(const ClassDecl& decl, ScriptClass& cls) {
    // Members first, so that the bodies can call each other and the properties unqualified.
    std::vector<std::pair<const ProcDecl*, ClassMember*>> pending;
    for (const auto& proc : decl.procedures) {
        NameId id = mTarget.names.Intern(proc->name);
        auto [it, added] = cls.memberIndex.emplace(id, static_cast<std::uint32_t>(cls.members.size()));
        if (added) {
            cls.members.emplace_back().name = id;
        }
        ClassMember& member = cls.members[it->second];
        bool taken = member.field >= 0;
        switch (proc->kind) {
        case ProcKind::Sub:
        case ProcKind::Function:
            taken = taken || member.method || member.get || member.let || member.set;
            break;
        case ProcKind::PropertyGet:
            taken = taken || member.method || member.get;
            break;
        case ProcKind::PropertyLet:
            taken = taken || member.method || member.let;
            break;
        case ProcKind::PropertySet:
            taken = taken || member.method || member.set;
            break;
        }
        if (taken) {
            throw CompileError(N::NameRedefined, proc->offset);
        }
        if (proc->access == Access::Private) {
            member.isPublic = false;
        }
        if (proc->isDefault) {
            cls.defaultMember = static_cast<std::int32_t>(it->second);
        }
        pending.emplace_back(proc.get(), nullptr);
    }
    for (auto& [proc, unused] : pending) {
        Ref<Procedure> compiled = CompileProcedure(*proc, &cls);
        ClassMember& member = cls.members[cls.memberIndex[compiled->name]];
        switch (proc->kind) {
        case ProcKind::Sub:
        case ProcKind::Function:
            member.method = compiled;
            break;
        case ProcKind::PropertyGet:
            member.get = compiled;
            break;
        case ProcKind::PropertyLet:
            member.let = compiled;
            break;
        case ProcKind::PropertySet:
            member.set = compiled;
            break;
        }
        if (proc->kind == ProcKind::Sub && EqualsNoCase(proc->name, u"Class_Initialize")) {
            cls.initialize = compiled;
        } else if (proc->kind == ProcKind::Sub && EqualsNoCase(proc->name, u"Class_Terminate")) {
            cls.terminate = compiled;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Emission

std::uint32_t Compiler::Emit(Op op, std::uint8_t a, std::uint32_t b, std::int32_t c) {
    CodeBlock& block = *mScope->block;
    auto at = static_cast<std::uint32_t>(block.code.size());
    mWork.Step();
    if (block.code.size() == block.code.capacity()) {
        GrowCode(block);
    }
    block.code.push_back(Instruction{op, a, static_cast<std::uint16_t>(b), c});
    block.positions.push_back(mOffset);
    return at;
}

// The code and its positions grow together, by doubling; the new storage must fit under the
// ceiling beside the old one, which stays until the instructions have moved.
void Compiler::GrowCode(CodeBlock& block) {
    const std::size_t grown = std::max<std::size_t>(block.code.capacity() * 2, 16);
    automation::CheckAllocation(grown, sizeof(Instruction) + sizeof(std::uint32_t));
    block.code.reserve(grown);
    block.positions.reserve(grown);
    block.Recharge();
}

std::uint32_t Compiler::EmitVar(Op op, const Binding& binding, std::uint32_t b, std::uint8_t flags) {
    assert(binding.kind == Binding::Kind::Variable);
    return Emit(op, static_cast<std::uint8_t>(static_cast<std::uint8_t>(binding.var) | flags), b,
                binding.index);
}

std::uint32_t Compiler::Here() const {
    return static_cast<std::uint32_t>(mScope->block->code.size());
}

void Compiler::PatchJump(std::uint32_t at, std::uint32_t target) {
    mScope->block->code[at].c = static_cast<std::int32_t>(target);
}

std::int32_t Compiler::AddConstant(const Variant& value) {
    CodeBlock& block = *mScope->block;
    if (value.IsString()) {
        // Known by the text of the pooled constant itself, which the pool keeps: a copy as the key
        // held every literal of the procedure twice while it compiled.
        auto it = mScope->textConstantIndex.find(value.StringValue());
        if (it != mScope->textConstantIndex.end()) {
            return it->second;
        }
        auto index = static_cast<std::int32_t>(block.constants.size());
        block.constants.push_back(value);
        mScope->textConstantIndex.emplace(block.constants.back().StringValue(), index);
        return index;
    }
    std::u16string key = ConstantKey(value);
    if (!key.empty()) {
        auto it = mScope->constantIndex.find(key);
        if (it != mScope->constantIndex.end()) {
            return it->second;
        }
    }
    auto index = static_cast<std::int32_t>(block.constants.size());
    block.constants.push_back(value);
    if (!key.empty()) {
        mScope->constantIndex.emplace(std::move(key), index);
    }
    return index;
}

std::int32_t Compiler::AddSite(std::u16string_view name) {
    CodeBlock& block = *mScope->block;
    CallSite site;
    site.name = mTarget.names.Intern(name);
    block.sites.push_back(site);
    return static_cast<std::int32_t>(block.sites.size() - 1);
}

// Hidden locals hold loop state and With objects; a construct's slots are reused once it ends.
std::uint32_t Compiler::AddHidden(std::uint32_t count) {
    auto& free = mScope->freeHidden;
    for (auto it = free.begin(); it != free.end(); ++it) {
        if (it->second == count) {
            std::uint32_t slot = it->first;
            free.erase(it);
            return slot;
        }
    }
    CodeBlock& block = *mScope->block;
    auto slot = static_cast<std::uint32_t>(block.localNames.size());
    block.localNames.resize(block.localNames.size() + count);
    return slot;
}

std::uint32_t Compiler::BeginStatement(std::uint32_t offset) {
    mOffset = offset;
    return Here();
}

void Compiler::EndStatement(std::uint32_t start) {
    if (Here() > start) {
        mScope->block->statements.push_back(StatementRange{start, Here()});
    }
}

void Compiler::Finish(CodeBlock& block) {
    std::sort(block.statements.begin(), block.statements.end(),
              [](const StatementRange& a, const StatementRange& b) { return a.start < b.start; });
    // Every statement starts and ends with an empty operand stack and no jump carries values,
    // so walking the code in order finds the deepest point. Every slot counts, also one that an
    // instruction fills only for a moment: the frame's room is all the stack's bound checks.
    std::int64_t depth = 0;
    std::int64_t deepest = 0;
    for (const Instruction& instruction : block.code) {
        const StackEffectCounts effect = StackEffect(instruction);
        depth += static_cast<std::int64_t>(effect.pushes) - static_cast<std::int64_t>(effect.pops);
        assert(depth >= 0 && "an instruction pops more than was pushed");
        deepest = std::max(deepest, depth + static_cast<std::int64_t>(effect.above));
    }
    block.maxStack = static_cast<std::uint32_t>(deepest);
    if (block.localNames.size() > MaxCount) {
        throw CompileError(N::OutOfMemory, mOffset);
    }
    block.Recharge();
}

std::uint16_t Compiler::CheckedCount(std::size_t count) const {
    if (count >= MaxCount) {
        throw CompileError(N::OutOfMemory, mOffset);
    }
    return static_cast<std::uint16_t>(count);
}

} // namespace qv::vbscript
