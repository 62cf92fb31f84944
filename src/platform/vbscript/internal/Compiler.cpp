#include "platform/vbscript/internal/Compiler.h"

#include "platform/vbscript/internal/CompileError.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
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

/// Most locals, arguments or pieces one instruction can address.
constexpr std::size_t MaxCount = std::numeric_limits<std::uint16_t>::max();

constexpr std::int32_t IllegalAssignment = N::IllegalAssignment;

automation::BinaryOp ToBinaryOp(BinaryKind kind) {
    switch (kind) {
    case BinaryKind::Power:
        return automation::BinaryOp::Power;
    case BinaryKind::Multiply:
        return automation::BinaryOp::Multiply;
    case BinaryKind::Divide:
        return automation::BinaryOp::Divide;
    case BinaryKind::IntDivide:
        return automation::BinaryOp::IntDivide;
    case BinaryKind::Modulo:
        return automation::BinaryOp::Modulo;
    case BinaryKind::Add:
        return automation::BinaryOp::Add;
    case BinaryKind::Subtract:
        return automation::BinaryOp::Subtract;
    case BinaryKind::Equal:
        return automation::BinaryOp::Equal;
    case BinaryKind::NotEqual:
        return automation::BinaryOp::NotEqual;
    case BinaryKind::Less:
        return automation::BinaryOp::Less;
    case BinaryKind::LessEqual:
        return automation::BinaryOp::LessEqual;
    case BinaryKind::Greater:
        return automation::BinaryOp::Greater;
    case BinaryKind::GreaterEqual:
        return automation::BinaryOp::GreaterEqual;
    case BinaryKind::And:
        return automation::BinaryOp::And;
    case BinaryKind::Or:
        return automation::BinaryOp::Or;
    case BinaryKind::Xor:
        return automation::BinaryOp::Xor;
    case BinaryKind::Eqv:
        return automation::BinaryOp::Eqv;
    case BinaryKind::Imp:
        return automation::BinaryOp::Imp;
    case BinaryKind::Is:
        break;
    }
    return automation::BinaryOp::Equal;
}

Op ToOp(BinaryKind kind) {
    switch (kind) {
    case BinaryKind::Power:
        return Op::Power;
    case BinaryKind::Multiply:
        return Op::Multiply;
    case BinaryKind::Divide:
        return Op::Divide;
    case BinaryKind::IntDivide:
        return Op::IntDivide;
    case BinaryKind::Modulo:
        return Op::Modulo;
    case BinaryKind::Add:
        return Op::Add;
    case BinaryKind::Subtract:
        return Op::Subtract;
    case BinaryKind::Equal:
        return Op::Equal;
    case BinaryKind::NotEqual:
        return Op::NotEqual;
    case BinaryKind::Less:
        return Op::Less;
    case BinaryKind::LessEqual:
        return Op::LessEqual;
    case BinaryKind::Greater:
        return Op::Greater;
    case BinaryKind::GreaterEqual:
        return Op::GreaterEqual;
    case BinaryKind::Is:
        return Op::Is;
    case BinaryKind::And:
        return Op::And;
    case BinaryKind::Or:
        return Op::Or;
    case BinaryKind::Xor:
        return Op::Xor;
    case BinaryKind::Eqv:
        return Op::Eqv;
    case BinaryKind::Imp:
        return Op::Imp;
    }
    return Op::Nop;
}

bool IsComparison(BinaryKind kind) {
    return kind == BinaryKind::Equal || kind == BinaryKind::NotEqual || kind == BinaryKind::Less ||
           kind == BinaryKind::LessEqual || kind == BinaryKind::Greater || kind == BinaryKind::GreaterEqual;
}

// How many values an instruction pops and then pushes (a call's result counts as pushed by the
// call; the callee's frame lies above the caller's stack).
std::pair<std::uint32_t, std::uint32_t> StackEffect(const Instruction& instruction) {
    const std::uint32_t b = instruction.b;
    const std::uint32_t result = instruction.Has(OpStatement) ? 0 : 1;
    switch (instruction.op) {
    case Op::Nop:
    case Op::Unlock:
    case Op::Jump:
    case Op::ForNext:
    case Op::OnError:
    case Op::DimArray:
    case Op::Erase:
    case Op::Return:
        return {0, 0};
    case Op::PushConst:
    case Op::PushMissing:
    case Op::PushMe:
    case Op::Load:
    case Op::PushRef:
    case Op::New:
    case Op::ForEachNext:
        return {0, 1};
    case Op::Pop:
    case Op::Store:
    case Op::StoreSet:
    case Op::StoreRaw:
    case Op::JumpIfFalse:
    case Op::JumpIfTrue:
    case Op::ForTest:
    case Op::ForEachStart:
        return {1, 0};
    case Op::PushElementRef:
        return {b, 1};
    case Op::Append:
    case Op::StoreIndexed:
        return {b + 1, 0};
    case Op::CallName:
    case Op::CallBuiltin:
        return {b, result};
    case Op::CallMember:
    case Op::CallDefault:
        return {b + 1, result};
    case Op::StoreMember:
    case Op::StoreDefault:
        return {b + 2, 0};
    case Op::Add:
    case Op::Subtract:
    case Op::Multiply:
    case Op::Divide:
    case Op::IntDivide:
    case Op::Modulo:
    case Op::Power:
    case Op::Equal:
    case Op::NotEqual:
    case Op::Less:
    case Op::LessEqual:
    case Op::Greater:
    case Op::GreaterEqual:
    case Op::And:
    case Op::Or:
    case Op::Xor:
    case Op::Eqv:
    case Op::Imp:
    case Op::Is:
        return {2, 1};
    case Op::Negate:
    case Op::Not:
        return {1, 1};
    case Op::Concat:
        return {b, 1};
    case Op::ForPrepare:
        return {3, 1};
    case Op::ReDim:
        return {b, 0};
    }
    assert(false && "unknown instruction");
    return {0, 0};
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

// A key under which equal constants share one pool entry.
std::u16string ConstantKey(const Variant& value) {
    std::u16string key(1, static_cast<char16_t>(value.Type()));
    switch (value.Type()) {
    case VarType::String:
        key += value.StringValue();
        break;
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

struct Compiler::Binding {
    enum class Kind : std::uint8_t { Variable, Member, Constant, Builtin } kind = Kind::Variable;
    VarKind var = VarKind::Local;
    std::int32_t index = 0;
    Variant constant;
};

struct Compiler::LoopContext {
    bool isFor = false;
    bool isWend = false;
    std::vector<std::uint32_t> exits;
};

struct Compiler::Scope {
    Ref<CodeBlock> block;
    bool isProcedure = false;
    std::optional<NameId> resultName; // Function or Property Get: its name is the result local
    std::unordered_map<NameId, std::uint32_t> locals;
    std::unordered_map<NameId, Variant> constants;
    std::unordered_map<NameId, std::uint32_t> implicits;
    std::unordered_map<NameId, std::uint32_t> outerLocals;
    std::vector<LoopContext> loops;
    std::vector<std::uint32_t> withSlots;
    std::vector<std::uint32_t> exitJumps;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> freeHidden; // slot, count
    std::unordered_map<std::u16string, std::int32_t> constantIndex;
};

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
                if (!scope.locals.contains(id) && !mChunkNames.contains(id) && !mTarget.module.Defined(id) &&
                    !mTarget.globalModule.Defined(id) && !(block.owner && block.owner->FindMember(id))) {
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
// Names

// Local, then the caller's locals (Eval/Execute), then the class, then constants, then module
// names, then the library; an unknown name in a procedure is an implicit local that yields to a
// global of the same name at run time.
Compiler::Binding Compiler::Resolve(std::u16string_view name, std::uint32_t offset, bool forCall) {
    Scope& scope = *mScope;
    NameId id = mTarget.names.Intern(name);
    Binding binding;
    if (auto it = scope.locals.find(id); it != scope.locals.end()) {
        // Inside Function F, F(args) calls F again; plain F is the result variable.
        if (!(forCall && scope.resultName == id)) {
            binding.var = VarKind::Local;
            binding.index = static_cast<std::int32_t>(it->second);
            return binding;
        }
    }
    if (auto it = scope.constants.find(id); it != scope.constants.end()) {
        binding.kind = Binding::Kind::Constant;
        binding.constant = it->second;
        return binding;
    }
    if (auto it = scope.outerLocals.find(id); it != scope.outerLocals.end()) {
        binding.var = VarKind::Outer;
        binding.index = static_cast<std::int32_t>(it->second);
        return binding;
    }
    if (const ScriptClass* owner = scope.block->owner) {
        if (const ClassMember* member = owner->FindMember(id)) {
            if (member->field >= 0) {
                binding.var = VarKind::Field;
                binding.index = member->field;
                return binding;
            }
            binding.kind = Binding::Kind::Member;
            binding.index = static_cast<std::int32_t>(id);
            return binding;
        }
    }
    if (auto it = mChunkConstants.find(id); it != mChunkConstants.end()) {
        binding.kind = Binding::Kind::Constant;
        binding.constant = it->second;
        return binding;
    }
    GlobalSlot* defined = mChunkNames.contains(id) ? nullptr : mTarget.module.Defined(id);
    if (!defined && !mChunkNames.contains(id) && &mTarget.module != &mTarget.globalModule) {
        defined = mTarget.globalModule.Defined(id);
    }
    if (defined && defined->kind == SlotKind::Constant) {
        binding.kind = Binding::Kind::Constant;
        binding.constant = defined->value;
        return binding;
    }
    if (defined || mChunkNames.contains(id)) {
        binding.var = VarKind::Global;
        binding.index = static_cast<std::int32_t>(mTarget.module.SlotFor(id));
        return binding;
    }
    if (std::optional<Variant> constant = mTarget.builtins.FindConstant(name)) {
        binding.kind = Binding::Kind::Constant;
        binding.constant = std::move(*constant);
        return binding;
    }
    if (std::optional<std::uint32_t> builtin = mTarget.builtins.FindFunction(name)) {
        binding.kind = Binding::Kind::Builtin;
        binding.index = static_cast<std::int32_t>(*builtin);
        return binding;
    }
    (void)offset;
    if (mOptionExplicit) {
        binding.var = VarKind::GlobalExplicit;
        binding.index = static_cast<std::int32_t>(mTarget.module.SlotFor(id));
        return binding;
    }
    if (scope.isProcedure) {
        binding.var = VarKind::Implicit;
        binding.index = static_cast<std::int32_t>(ImplicitFor(id));
        return binding;
    }
    binding.var = VarKind::Global;
    binding.index = static_cast<std::int32_t>(mTarget.module.SlotFor(id));
    return binding;
}

std::uint32_t Compiler::ImplicitFor(NameId id) {
    Scope& scope = *mScope;
    if (auto it = scope.implicits.find(id); it != scope.implicits.end()) {
        return it->second;
    }
    CodeBlock& block = *scope.block;
    ImplicitRef ref;
    ref.local = static_cast<std::uint32_t>(block.localNames.size());
    block.localNames.push_back(mTarget.names.Spelling(id));
    ref.global = mTarget.module.SlotFor(id);
    auto index = static_cast<std::uint32_t>(block.implicits.size());
    block.implicits.push_back(ref);
    scope.implicits.emplace(id, index);
    return index;
}

// ---------------------------------------------------------------------------------------------
// Statements

void Compiler::CompileBlock(const StmtList& body) {
    for (const StmtPtr& statement : body) {
        CompileStatement(*statement);
    }
}

void Compiler::CompileStatement(const Stmt& statement) {
    mOffset = statement.offset;
    switch (statement.kind) {
    case StmtKind::Assign: {
        std::uint32_t start = BeginStatement(statement.offset);
        CompileAssign(static_cast<const AssignStmt&>(statement));
        EndStatement(start);
        return;
    }
    case StmtKind::Call: {
        std::uint32_t start = BeginStatement(statement.offset);
        CompileCallStatement(static_cast<const CallStmt&>(statement));
        EndStatement(start);
        return;
    }
    case StmtKind::Dim:
    case StmtKind::Const:
        return; // declared before the code runs
    case StmtKind::ReDim: {
        std::uint32_t start = BeginStatement(statement.offset);
        CompileReDim(static_cast<const ReDimStmt&>(statement));
        EndStatement(start);
        return;
    }
    case StmtKind::Erase: {
        std::uint32_t start = BeginStatement(statement.offset);
        CompileErase(static_cast<const EraseStmt&>(statement));
        EndStatement(start);
        return;
    }
    case StmtKind::If:
        CompileIf(static_cast<const IfStmt&>(statement));
        return;
    case StmtKind::Select:
        CompileSelect(static_cast<const SelectStmt&>(statement));
        return;
    case StmtKind::For:
        CompileFor(static_cast<const ForStmt&>(statement));
        return;
    case StmtKind::ForEach:
        CompileForEach(static_cast<const ForEachStmt&>(statement));
        return;
    case StmtKind::Do:
        CompileDo(static_cast<const DoStmt&>(statement));
        return;
    case StmtKind::Exit:
        CompileExit(static_cast<const ExitStmt&>(statement));
        return;
    case StmtKind::With:
        CompileWith(static_cast<const WithStmt&>(statement));
        return;
    case StmtKind::OnError:
        Emit(Op::OnError, static_cast<const OnErrorStmt&>(statement).resumeNext ? 1 : 0);
        return;
    }
}

// target = value | Set target = value, where target is a name, a member, name(args) or
// member(args).
void Compiler::CompileAssign(const AssignStmt& statement) {
    const Expr& target = *statement.target;
    Op store = statement.isSet ? Op::StoreSet : Op::Store;
    std::uint8_t setFlag = statement.isSet ? OpSet : 0;
    switch (target.kind) {
    case ExprKind::Name: {
        const auto& name = static_cast<const NameExpr&>(target);
        Binding binding = Resolve(name.name, name.offset, false);
        switch (binding.kind) {
        case Binding::Kind::Variable:
            if (TryCompileAppend(statement, binding)) {
                return;
            }
            CompileExpr(*statement.value);
            EmitVar(store, binding);
            return;
        case Binding::Kind::Member:
            Emit(Op::PushMe);
            CompileExpr(*statement.value);
            Emit(Op::StoreMember, setFlag | OpPrivate, 0, AddSite(name.name));
            return;
        case Binding::Kind::Constant:
        case Binding::Kind::Builtin:
            throw CompileError(IllegalAssignment, name.offset);
        }
        return;
    }
    case ExprKind::Member: {
        const auto& member = static_cast<const MemberExpr&>(target);
        CompileObjectOf(member);
        CompileExpr(*statement.value);
        std::uint8_t privateFlag = member.object && member.object->kind == ExprKind::Me ? OpPrivate : 0;
        Emit(Op::StoreMember, setFlag | privateFlag, 0, AddSite(member.name));
        return;
    }
    case ExprKind::Call: {
        const auto& call = static_cast<const CallExpr&>(target);
        std::uint16_t argc = CheckedCount(call.args.size());
        if (call.target->kind == ExprKind::Name) {
            const auto& name = static_cast<const NameExpr&>(*call.target);
            Binding binding = Resolve(name.name, name.offset, false);
            if (binding.kind == Binding::Kind::Variable) {
                CompileArguments(call.args, false);
                CompileExpr(*statement.value);
                EmitVar(Op::StoreIndexed, binding, argc, setFlag);
                return;
            }
            if (binding.kind == Binding::Kind::Member) {
                Emit(Op::PushMe);
                CompileArguments(call.args, false);
                CompileExpr(*statement.value);
                Emit(Op::StoreMember, setFlag | OpPrivate, argc, AddSite(name.name));
                return;
            }
            throw CompileError(IllegalAssignment, name.offset);
        }
        if (call.target->kind == ExprKind::Member) {
            const auto& member = static_cast<const MemberExpr&>(*call.target);
            CompileObjectOf(member);
            CompileArguments(call.args, false);
            CompileExpr(*statement.value);
            std::uint8_t privateFlag = member.object && member.object->kind == ExprKind::Me ? OpPrivate : 0;
            Emit(Op::StoreMember, setFlag | privateFlag, argc, AddSite(member.name));
            return;
        }
        CompileExpr(*call.target);
        CompileArguments(call.args, false);
        CompileExpr(*statement.value);
        Emit(Op::StoreDefault, setFlag, argc);
        return;
    }
    default:
        throw CompileError(IllegalAssignment, target.offset);
    }
}

// `x = x & a & b` appends a and b to x in place, so that a string nobody else holds grows
// without being copied. x is read first, as the language says; Append then checks that x still
// holds what was read (a piece may have changed it) and otherwise concatenates the usual way.
bool Compiler::TryCompileAppend(const AssignStmt& statement, const Binding& binding) {
    if (statement.isSet || statement.value->kind != ExprKind::Concat) {
        return false;
    }
    const auto& concat = static_cast<const ConcatExpr&>(*statement.value);
    const auto& target = static_cast<const NameExpr&>(*statement.target);
    if (concat.parts.size() < 2 || concat.parts[0]->kind != ExprKind::Name ||
        !EqualsNoCase(static_cast<const NameExpr&>(*concat.parts[0]).name, target.name)) {
        return false;
    }
    std::vector<Piece> pieces = FoldPieces(std::span<const ExprPtr>(concat.parts).subspan(1));
    std::size_t index = 0;
    while (index < pieces.size()) {
        CompileNameRead(static_cast<const NameExpr&>(*concat.parts[0]), 0);
        std::size_t count = 0;
        for (; index < pieces.size() && count + 1 < MaxCount; ++index, ++count) {
            EmitPiece(pieces[index]);
        }
        mOffset = statement.offset;
        EmitVar(Op::Append, binding, static_cast<std::uint32_t>(count));
    }
    return true;
}

void Compiler::CompileCallStatement(const CallStmt& statement) {
    const Expr& target = *statement.target;
    switch (target.kind) {
    case ExprKind::Name:
        CompileNameRead(static_cast<const NameExpr&>(target), OpStatement);
        return;
    case ExprKind::Member:
        CompileMemberAccess(static_cast<const MemberExpr&>(target), 0, OpStatement);
        return;
    case ExprKind::Call:
        CompileCall(static_cast<const CallExpr&>(target), OpStatement);
        return;
    default:
        throw CompileError(N::ExpectedStatement, target.offset);
    }
}

void Compiler::CompileReDim(const ReDimStmt& statement) {
    for (const ReDimItem& item : statement.items) {
        Binding binding = Resolve(item.name, item.offset, false);
        if (binding.kind != Binding::Kind::Variable) {
            throw CompileError(IllegalAssignment, item.offset);
        }
        for (const ExprPtr& bound : item.bounds) {
            CompileExpr(*bound);
        }
        mOffset = statement.offset;
        EmitVar(Op::ReDim, binding, CheckedCount(item.bounds.size()), statement.preserve ? OpPreserve : 0);
    }
}

void Compiler::CompileErase(const EraseStmt& statement) {
    for (const auto& [name, offset] : statement.names) {
        Binding binding = Resolve(name, offset, false);
        if (binding.kind != Binding::Kind::Variable) {
            throw CompileError(IllegalAssignment, offset);
        }
        EmitVar(Op::Erase, binding);
    }
}

// Each condition is a statement of its own: under On Error Resume Next an error in it goes on
// with the first statement of its branch, as the language does.
void Compiler::CompileIf(const IfStmt& statement) {
    std::vector<std::uint32_t> toEnd;
    for (const IfBranch& branch : statement.branches) {
        std::uint32_t start = BeginStatement(branch.condition->offset);
        CompileExpr(*branch.condition);
        std::uint32_t skip = Emit(Op::JumpIfFalse);
        EndStatement(start);
        CompileBlock(branch.body);
        if (&branch != &statement.branches.back() || !statement.elseBody.empty()) {
            toEnd.push_back(Emit(Op::Jump));
        }
        PatchJump(skip, Here());
    }
    CompileBlock(statement.elseBody);
    for (std::uint32_t jump : toEnd) {
        PatchJump(jump, Here());
    }
}

void Compiler::CompileSelect(const SelectStmt& statement) {
    std::uint32_t subject = AddHidden();
    Binding hidden;
    hidden.var = VarKind::Local;
    hidden.index = static_cast<std::int32_t>(subject);

    std::uint32_t start = BeginStatement(statement.offset);
    CompileExpr(*statement.subject);
    EmitVar(Op::StoreRaw, hidden);
    EndStatement(start);

    std::vector<std::uint32_t> toEnd;
    for (const CaseClause& clause : statement.cases) {
        std::uint32_t testStart = BeginStatement(clause.offset);
        std::vector<std::uint32_t> toBody;
        for (const CaseItem& item : clause.items) {
            switch (item.kind) {
            case CaseItemKind::Value:
                EmitVar(Op::Load, hidden);
                CompileExpr(*item.value);
                Emit(Op::Equal, LiteralFlags(*statement.subject, *item.value));
                break;
            case CaseItemKind::Range:
                EmitVar(Op::Load, hidden);
                CompileExpr(*item.value);
                Emit(Op::GreaterEqual, LiteralFlags(*statement.subject, *item.value));
                EmitVar(Op::Load, hidden);
                CompileExpr(*item.upper);
                Emit(Op::LessEqual, LiteralFlags(*statement.subject, *item.upper));
                Emit(Op::And);
                break;
            case CaseItemKind::Is:
                EmitVar(Op::Load, hidden);
                CompileExpr(*item.value);
                Emit(ToOp(item.comparison), LiteralFlags(*statement.subject, *item.value));
                break;
            }
            mOffset = clause.offset;
            toBody.push_back(Emit(Op::JumpIfTrue));
        }
        std::uint32_t skip = Emit(Op::Jump);
        EndStatement(testStart);
        for (std::uint32_t jump : toBody) {
            PatchJump(jump, Here());
        }
        CompileBlock(clause.body);
        toEnd.push_back(Emit(Op::Jump));
        PatchJump(skip, Here());
    }
    CompileBlock(statement.elseBody);
    for (std::uint32_t jump : toEnd) {
        PatchJump(jump, Here());
    }
    mScope->freeHidden.emplace_back(subject, 1);
}

// For v = start To end Step step:
//   start end step ForPrepare h; Store v
//         <load v> ForTest h, exit
//   body: ...
//   next: ForNext v, h; Jump body
//   exit:
// ForNext steps the counter in place and, while the loop goes on, jumps to the Jump's target
// itself; the Jump only holds it.
void Compiler::CompileFor(const ForStmt& statement) {
    Binding counter = Resolve(statement.variable, statement.variableOffset, false);
    if (counter.kind != Binding::Kind::Variable) {
        throw CompileError(N::InvalidForVariable, statement.variableOffset);
    }
    std::uint32_t hidden = AddHidden(3);
    std::uint16_t hiddenOperand = CheckedCount(hidden);

    std::uint32_t start = BeginStatement(statement.offset);
    CompileExpr(*statement.start);
    CompileExpr(*statement.end);
    if (statement.step) {
        CompileExpr(*statement.step);
    } else {
        Emit(Op::PushConst, 0, 0, AddConstant(Variant(std::int16_t(1))));
    }
    mOffset = statement.offset;
    Emit(Op::ForPrepare, 0, hiddenOperand);
    EmitVar(Op::Store, counter);
    CompileLoadOf(statement.variable, statement.variableOffset);
    mOffset = statement.offset;
    std::uint32_t test = Emit(Op::ForTest, 0, hiddenOperand);
    EndStatement(start);

    std::uint32_t body = Here();
    mScope->loops.push_back(LoopContext{true, false, {}});
    CompileBlock(statement.body);

    std::uint32_t next = BeginStatement(statement.nextOffset);
    EmitVar(Op::ForNext, counter, hiddenOperand);
    Emit(Op::Jump, 0, 0, static_cast<std::int32_t>(body));
    EndStatement(next);

    PatchJump(test, Here());
    for (std::uint32_t jump : mScope->loops.back().exits) {
        PatchJump(jump, Here());
    }
    mScope->loops.pop_back();
    mScope->freeHidden.emplace_back(hidden, 3);
}

// For Each v In collection:
//   collection ForEachStart h
//   top:  ForEachNext h, exit; StoreRaw v
//         body
//         Jump top
//   exit: Empty -> h (lets the collection go)
void Compiler::CompileForEach(const ForEachStmt& statement) {
    Binding element = Resolve(statement.variable, statement.variableOffset, false);
    if (element.kind != Binding::Kind::Variable) {
        throw CompileError(N::InvalidForVariable, statement.variableOffset);
    }
    std::uint32_t hidden = AddHidden();
    std::uint16_t hiddenOperand = CheckedCount(hidden);

    std::uint32_t start = BeginStatement(statement.offset);
    CompileExpr(*statement.collection);
    mOffset = statement.offset;
    Emit(Op::ForEachStart, 0, hiddenOperand);
    std::uint32_t top = Here();
    std::uint32_t next = Emit(Op::ForEachNext, 0, hiddenOperand);
    EmitVar(Op::StoreRaw, element);
    EndStatement(start);

    mScope->loops.push_back(LoopContext{true, false, {}});
    CompileBlock(statement.body);
    mOffset = statement.nextOffset;
    Emit(Op::Jump, 0, 0, static_cast<std::int32_t>(top));

    PatchJump(next, Here());
    for (std::uint32_t jump : mScope->loops.back().exits) {
        PatchJump(jump, Here());
    }
    mScope->loops.pop_back();
    Binding slot;
    slot.var = VarKind::Local;
    slot.index = static_cast<std::int32_t>(hidden);
    Emit(Op::PushConst, 0, 0, AddConstant(Variant()));
    EmitVar(Op::StoreRaw, slot);
    mScope->freeHidden.emplace_back(hidden, 1);
}

void Compiler::CompileDo(const DoStmt& statement) {
    std::uint32_t top = Here();
    std::optional<std::uint32_t> exitTest;
    if (statement.preTest != LoopTest::None) {
        std::uint32_t start = BeginStatement(statement.offset);
        CompileExpr(*statement.preCondition);
        mOffset = statement.offset;
        exitTest = Emit(statement.preTest == LoopTest::While ? Op::JumpIfFalse : Op::JumpIfTrue);
        EndStatement(start);
    }
    mScope->loops.push_back(LoopContext{false, statement.isWend, {}});
    CompileBlock(statement.body);
    if (statement.postTest != LoopTest::None) {
        std::uint32_t start = BeginStatement(statement.loopOffset);
        CompileExpr(*statement.postCondition);
        mOffset = statement.loopOffset;
        Emit(statement.postTest == LoopTest::While ? Op::JumpIfTrue : Op::JumpIfFalse, 0, 0,
             static_cast<std::int32_t>(top));
        EndStatement(start);
    } else {
        mOffset = statement.loopOffset;
        Emit(Op::Jump, 0, 0, static_cast<std::int32_t>(top));
    }
    if (exitTest) {
        PatchJump(*exitTest, Here());
    }
    for (std::uint32_t jump : mScope->loops.back().exits) {
        PatchJump(jump, Here());
    }
    mScope->loops.pop_back();
}

void Compiler::CompileExit(const ExitStmt& statement) {
    switch (statement.what) {
    case ExitKind::Do:
    case ExitKind::For: {
        bool wantFor = statement.what == ExitKind::For;
        for (auto it = mScope->loops.rbegin(); it != mScope->loops.rend(); ++it) {
            if (it->isFor == wantFor && !it->isWend) {
                it->exits.push_back(Emit(Op::Jump));
                return;
            }
        }
        throw CompileError(N::InvalidExit, statement.offset);
    }
    case ExitKind::Function:
    case ExitKind::Sub:
    case ExitKind::Property:
        if (!mScope->isProcedure) {
            throw CompileError(N::InvalidExit, statement.offset);
        }
        mScope->exitJumps.push_back(Emit(Op::Jump));
        return;
    }
}

void Compiler::CompileWith(const WithStmt& statement) {
    std::uint32_t hidden = AddHidden();
    Binding slot;
    slot.var = VarKind::Local;
    slot.index = static_cast<std::int32_t>(hidden);
    std::uint32_t start = BeginStatement(statement.offset);
    CompileExpr(*statement.object);
    EmitVar(Op::StoreRaw, slot);
    EndStatement(start);
    mScope->withSlots.push_back(hidden);
    CompileBlock(statement.body);
    mScope->withSlots.pop_back();
    Emit(Op::PushConst, 0, 0, AddConstant(Variant()));
    EmitVar(Op::StoreRaw, slot);
    mScope->freeHidden.emplace_back(hidden, 1);
}

void Compiler::CompileLoadOf(std::u16string_view name, std::uint32_t offset) {
    NameExpr expr(offset, name);
    CompileNameRead(expr, 0);
}

// ---------------------------------------------------------------------------------------------
// Expressions

void Compiler::CompileExpr(const Expr& expr) {
    if (expr.kind != ExprKind::Literal && expr.kind != ExprKind::Name) {
        if (std::optional<Variant> folded = Fold(expr)) {
            Emit(Op::PushConst, 0, 0, AddConstant(*folded));
            return;
        }
    }
    switch (expr.kind) {
    case ExprKind::Literal:
        Emit(Op::PushConst, 0, 0, AddConstant(static_cast<const LiteralExpr&>(expr).value));
        return;
    case ExprKind::Name:
        CompileNameRead(static_cast<const NameExpr&>(expr), 0);
        return;
    case ExprKind::Member:
        CompileMemberAccess(static_cast<const MemberExpr&>(expr), 0, 0);
        return;
    case ExprKind::Call:
        CompileCall(static_cast<const CallExpr&>(expr), 0);
        return;
    case ExprKind::Me:
        if (!mScope->block->owner) {
            throw CompileError(N::InvalidUseOfMe, expr.offset);
        }
        Emit(Op::PushMe);
        return;
    case ExprKind::New: {
        const auto& node = static_cast<const NewExpr&>(expr);
        NameId id = mTarget.names.Intern(node.className);
        Emit(Op::New, 0, 0, static_cast<std::int32_t>(mTarget.module.SlotFor(id)));
        return;
    }
    case ExprKind::Unary: {
        const auto& node = static_cast<const UnaryExpr&>(expr);
        CompileExpr(*node.operand);
        Emit(node.op == UnaryOp::Negate ? Op::Negate : Op::Not);
        return;
    }
    case ExprKind::Binary: {
        const auto& node = static_cast<const BinaryExpr&>(expr);
        CompileExpr(*node.left);
        CompileExpr(*node.right);
        Emit(ToOp(node.op), IsComparison(node.op) ? LiteralFlags(*node.left, *node.right) : 0);
        return;
    }
    case ExprKind::Concat:
        CompileConcat(static_cast<const ConcatExpr&>(expr));
        return;
    case ExprKind::Paren:
        CompileExpr(*static_cast<const ParenExpr&>(expr).inner);
        return;
    }
}

// A name read as a value (or, with OpStatement, called as a statement).
void Compiler::CompileNameRead(const NameExpr& name, std::uint8_t flags) {
    Binding binding = Resolve(name.name, name.offset, flags != 0);
    switch (binding.kind) {
    case Binding::Kind::Variable:
        if (flags == 0 && (binding.var == VarKind::Local || binding.var == VarKind::Outer ||
                           binding.var == VarKind::Field)) {
            EmitVar(Op::Load, binding);
            return;
        }
        EmitVar(Op::CallName, binding, 0, flags);
        return;
    case Binding::Kind::Member:
        Emit(Op::PushMe);
        Emit(Op::CallMember, flags | OpPrivate, 0, AddSite(name.name));
        return;
    case Binding::Kind::Constant:
        Emit(Op::PushConst, 0, 0, AddConstant(binding.constant));
        if (flags != 0) {
            Emit(Op::CallDefault, flags, 0);
        }
        return;
    case Binding::Kind::Builtin:
        Emit(Op::CallBuiltin, flags, 0, binding.index);
        return;
    }
}

void Compiler::CompileObjectOf(const MemberExpr& member) {
    if (member.object) {
        CompileExpr(*member.object);
        return;
    }
    if (mScope->withSlots.empty()) {
        throw CompileError(N::UnqualifiedReference, member.offset);
    }
    Binding slot;
    slot.var = VarKind::Local;
    slot.index = static_cast<std::int32_t>(mScope->withSlots.back());
    EmitVar(Op::Load, slot);
}

void Compiler::CompileMemberAccess(const MemberExpr& member, std::size_t argc, std::uint8_t flags) {
    CompileObjectOf(member);
    std::uint8_t privateFlag = member.object && member.object->kind == ExprKind::Me ? OpPrivate : 0;
    Emit(Op::CallMember, flags | privateFlag, CheckedCount(argc), AddSite(member.name));
}

void Compiler::CompileCall(const CallExpr& call, std::uint8_t flags) {
    std::uint16_t argc = CheckedCount(call.args.size());
    const Expr& target = *call.target;
    std::uint32_t elements = 0;
    if (target.kind == ExprKind::Name) {
        const auto& name = static_cast<const NameExpr&>(target);
        Binding binding = Resolve(name.name, name.offset, true);
        switch (binding.kind) {
        case Binding::Kind::Variable: {
            // A known variable is indexed (by value); anything else may be a procedure, whose
            // variable arguments go by reference.
            bool known = binding.var == VarKind::Local || binding.var == VarKind::Outer ||
                         binding.var == VarKind::Field;
            elements = CompileArguments(call.args, !known);
            mOffset = call.offset;
            EmitVar(Op::CallName, binding, argc, flags);
            break;
        }
        case Binding::Kind::Member:
            Emit(Op::PushMe);
            elements = CompileArguments(call.args, true);
            mOffset = call.offset;
            Emit(Op::CallMember, flags | OpPrivate, argc, AddSite(name.name));
            break;
        case Binding::Kind::Constant:
            Emit(Op::PushConst, 0, 0, AddConstant(binding.constant));
            CompileArguments(call.args, false);
            mOffset = call.offset;
            Emit(Op::CallDefault, flags, argc);
            break;
        case Binding::Kind::Builtin:
            CompileArguments(call.args, false);
            mOffset = call.offset;
            Emit(Op::CallBuiltin, flags, argc, binding.index);
            break;
        }
    } else if (target.kind == ExprKind::Member) {
        const auto& member = static_cast<const MemberExpr&>(target);
        CompileObjectOf(member);
        elements = CompileArguments(call.args, true);
        mOffset = call.offset;
        std::uint8_t privateFlag = member.object && member.object->kind == ExprKind::Me ? OpPrivate : 0;
        Emit(Op::CallMember, flags | privateFlag, argc, AddSite(member.name));
    } else {
        CompileExpr(target);
        elements = CompileArguments(call.args, true);
        mOffset = call.offset;
        Emit(Op::CallDefault, flags, argc);
    }
    if (elements > 0) {
        Emit(Op::Unlock, 0, elements);
    }
}

// Returns how many arguments went as references to array elements: the call that takes them
// must be followed by an Unlock of that many.
std::uint32_t Compiler::CompileArguments(const std::vector<ExprPtr>& args, bool byReference,
                                         bool allowElements) {
    std::uint32_t elements = 0;
    for (const ExprPtr& arg : args) {
        if (!arg) {
            Emit(Op::PushMissing);
        } else if (byReference) {
            elements += CompileArgument(arg.get(), allowElements) ? 1 : 0;
        } else {
            CompileExpr(*arg);
        }
    }
    return elements;
}

// A bare variable goes by reference, so that a ByRef parameter (or a host method's by-reference
// argument) can write back to it; so does an element of an array variable, `a(i)`, which
// PushElementRef tells from a call at run time. Anything else, a parenthesised variable
// included, goes by value. Returns whether the argument was an element reference.
bool Compiler::CompileArgument(const Expr* arg, bool allowElements) {
    if (arg->kind == ExprKind::Name) {
        const auto& name = static_cast<const NameExpr&>(*arg);
        Binding binding = Resolve(name.name, name.offset, false);
        if (binding.kind == Binding::Kind::Variable) {
            EmitVar(Op::PushRef, binding);
            return false;
        }
    }
    if (allowElements && arg->kind == ExprKind::Call) {
        const auto& call = static_cast<const CallExpr&>(*arg);
        bool complete =
            !call.args.empty() && std::all_of(call.args.begin(), call.args.end(),
                                              [](const ExprPtr& index) { return index != nullptr; });
        if (complete && call.target->kind == ExprKind::Name) {
            const auto& name = static_cast<const NameExpr&>(*call.target);
            Binding binding = Resolve(name.name, name.offset, true);
            bool known = binding.var == VarKind::Local || binding.var == VarKind::Outer ||
                         binding.var == VarKind::Field;
            if (binding.kind == Binding::Kind::Variable &&
                (known || !IsKnownProcedure(mTarget.names.Intern(name.name)))) {
                // The subscripts are read as a call of the name would read them, but hold no
                // element references of their own.
                std::uint16_t argc = CheckedCount(call.args.size());
                CompileArguments(call.args, !known, /*allowElements=*/false);
                mOffset = call.offset;
                EmitVar(Op::PushElementRef, binding, argc);
                return true;
            }
        }
    }
    CompileExpr(*arg);
    return false;
}

// Whether a module-level name is already known as a procedure or a class, whose "subscripts"
// are arguments.
bool Compiler::IsKnownProcedure(NameId id) const {
    auto isCode = [](SlotKind kind) { return kind == SlotKind::Procedure || kind == SlotKind::Class; };
    if (auto it = mChunkNames.find(id); it != mChunkNames.end()) {
        return isCode(it->second);
    }
    if (const GlobalSlot* slot = mTarget.module.Defined(id)) {
        return isCode(slot->kind);
    }
    const GlobalSlot* slot = mTarget.globalModule.Defined(id);
    return slot && isCode(slot->kind);
}

// The value of an operand written as a literal or a constant, possibly negated or in
// parentheses, which a comparison types hard; nullopt for anything else.
std::optional<Variant> Compiler::LiteralOperand(const Expr& expr) {
    switch (expr.kind) {
    case ExprKind::Literal:
        return static_cast<const LiteralExpr&>(expr).value;
    case ExprKind::Name: {
        const auto& name = static_cast<const NameExpr&>(expr);
        Binding binding = Resolve(name.name, name.offset, false);
        if (binding.kind == Binding::Kind::Constant) {
            return binding.constant;
        }
        return std::nullopt;
    }
    case ExprKind::Paren:
        return LiteralOperand(*static_cast<const ParenExpr&>(expr).inner);
    case ExprKind::Unary: {
        const auto& node = static_cast<const UnaryExpr&>(expr);
        if (node.op != UnaryOp::Negate) {
            return std::nullopt;
        }
        std::optional<Variant> operand = LiteralOperand(*node.operand);
        if (!operand || !operand->IsNumeric()) {
            return std::nullopt;
        }
        try {
            return automation::Negate(*operand);
        } catch (const automation::Error&) {
            return std::nullopt;
        }
    }
    case ExprKind::Member:
    case ExprKind::Call:
    case ExprKind::Me:
    case ExprKind::New:
    case ExprKind::Binary:
    case ExprKind::Concat:
        return std::nullopt;
    }
    return std::nullopt;
}

// The literal flags of a comparison of `left` with `right` (CompareNumberLiteral,
// CompareTextLiteral).
std::uint8_t Compiler::LiteralFlags(const Expr& left, const Expr& right) {
    std::uint8_t flags = 0;
    for (const Expr* operand : {&left, &right}) {
        std::optional<Variant> value = LiteralOperand(*operand);
        if (!value) {
            continue;
        }
        if (value->IsNumeric()) {
            flags |= CompareNumberLiteral;
        } else if (value->IsString()) {
            flags |= CompareTextLiteral;
        }
    }
    return flags;
}

// Adjacent constant pieces of a concatenation fold into one text (Null pieces stay, since
// Null & Null is Null).
std::vector<Compiler::Piece> Compiler::FoldPieces(std::span<const ExprPtr> parts) {
    std::vector<Piece> pieces;
    for (const ExprPtr& part : parts) {
        std::optional<Variant> value = Fold(*part);
        if (value && !value->IsNull() && !value->IsObject() && !pieces.empty() &&
            std::holds_alternative<Variant>(pieces.back())) {
            Variant& previous = std::get<Variant>(pieces.back());
            if (!previous.IsNull()) {
                previous = automation::Evaluate(automation::BinaryOp::Concat, previous, *value);
                continue;
            }
        }
        if (value && !value->IsObject()) {
            pieces.emplace_back(std::move(*value));
        } else {
            pieces.emplace_back(part.get());
        }
    }
    return pieces;
}

void Compiler::EmitPiece(const Piece& piece) {
    if (const Expr* const* expr = std::get_if<const Expr*>(&piece)) {
        CompileExpr(**expr);
    } else {
        Emit(Op::PushConst, 0, 0, AddConstant(std::get<Variant>(piece)));
    }
}

// The pieces of `a & b & c` become one many-operand Concat.
void Compiler::CompileConcat(const ConcatExpr& concat) {
    std::vector<Piece> pieces = FoldPieces(concat.parts);
    std::size_t pending = 0;
    for (const Piece& piece : pieces) {
        EmitPiece(piece);
        if (++pending == MaxCount) {
            mOffset = concat.offset;
            Emit(Op::Concat, 0, static_cast<std::uint32_t>(pending));
            pending = 1;
        }
    }
    mOffset = concat.offset;
    if (pending > 1 || pieces.size() == 1) {
        Emit(Op::Concat, 0, static_cast<std::uint32_t>(pending));
    }
}

// The value of a constant expression, or nullopt. An operation that would raise is left to run
// time, so that the error happens where the language says, with its line.
std::optional<Variant> Compiler::Fold(const Expr& expr) {
    try {
        switch (expr.kind) {
        case ExprKind::Literal:
            return static_cast<const LiteralExpr&>(expr).value;
        case ExprKind::Name: {
            Binding binding = Resolve(static_cast<const NameExpr&>(expr).name, expr.offset, false);
            if (binding.kind == Binding::Kind::Constant) {
                return binding.constant;
            }
            return std::nullopt;
        }
        case ExprKind::Paren:
            return Fold(*static_cast<const ParenExpr&>(expr).inner);
        case ExprKind::Unary: {
            const auto& node = static_cast<const UnaryExpr&>(expr);
            std::optional<Variant> operand = Fold(*node.operand);
            if (!operand || operand->IsObject()) {
                return std::nullopt;
            }
            return node.op == UnaryOp::Negate ? automation::Negate(*operand) : automation::Not(*operand);
        }
        case ExprKind::Binary: {
            const auto& node = static_cast<const BinaryExpr&>(expr);
            if (node.op == BinaryKind::Is) {
                return std::nullopt;
            }
            std::optional<Variant> left = Fold(*node.left);
            if (!left || left->IsObject()) {
                return std::nullopt;
            }
            std::optional<Variant> right = Fold(*node.right);
            if (!right || right->IsObject()) {
                return std::nullopt;
            }
            if (IsComparison(node.op)) {
                ApplyLiteralTyping(*left, *right, LiteralFlags(*node.left, *node.right));
            }
            return automation::Evaluate(ToBinaryOp(node.op), *left, *right);
        }
        case ExprKind::Concat: {
            const auto& node = static_cast<const ConcatExpr&>(expr);
            std::optional<Variant> result;
            for (const ExprPtr& part : node.parts) {
                std::optional<Variant> value = Fold(*part);
                if (!value || value->IsObject()) {
                    return std::nullopt;
                }
                result =
                    result ? automation::Evaluate(automation::BinaryOp::Concat, *result, *value) : *value;
            }
            if (result && !result->IsNull() && !result->IsString()) {
                result = Variant(automation::ToString(*result));
            }
            return result;
        }
        case ExprKind::Member:
        case ExprKind::Call:
        case ExprKind::Me:
        case ExprKind::New:
            return std::nullopt;
        }
    } catch (const automation::Error&) {
        return std::nullopt;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Emission

std::uint32_t Compiler::Emit(Op op, std::uint8_t a, std::uint32_t b, std::int32_t c) {
    CodeBlock& block = *mScope->block;
    auto at = static_cast<std::uint32_t>(block.code.size());
    block.code.push_back(Instruction{op, a, static_cast<std::uint16_t>(b), c});
    block.positions.push_back(mOffset);
    return at;
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
    // so walking the code in order finds the deepest point.
    std::int64_t depth = 0;
    std::int64_t deepest = 0;
    for (const Instruction& instruction : block.code) {
        auto [pops, pushes] = StackEffect(instruction);
        depth += static_cast<std::int64_t>(pushes) - static_cast<std::int64_t>(pops);
        assert(depth >= 0 && "an instruction pops more than was pushed");
        deepest = std::max(deepest, depth);
    }
    block.maxStack = static_cast<std::uint32_t>(deepest);
    if (block.localNames.size() > MaxCount) {
        throw CompileError(N::OutOfMemory, mOffset);
    }
}

std::uint16_t Compiler::CheckedCount(std::size_t count) const {
    if (count >= MaxCount) {
        throw CompileError(N::OutOfMemory, mOffset);
    }
    return static_cast<std::uint16_t>(count);
}

} // namespace qv::vbscript
