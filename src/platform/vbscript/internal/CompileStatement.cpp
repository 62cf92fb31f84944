#include "platform/vbscript/internal/Compiler.h"

#include "platform/vbscript/internal/CompilerState.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cassert>

namespace qv::vbscript {

using automation::EqualsNoCase;
using automation::Variant;
namespace N = CompileErrorNumber;

namespace {

constexpr std::int32_t IllegalAssignment = N::IllegalAssignment;

} // namespace

// ---------------------------------------------------------------------------------------------
// Statements

void Compiler::CompileBlock(const StmtList& body) {
    for (const StmtPtr& statement : body) {
        ClockIfDue(statement->offset);
        CompileStatement(*statement);
    }
}

// Backward jumps and calls check the time-out. A long run of statements with neither (a text of a
// million assignments that a script builds and runs) checks it here, every so many statements
// or instructions, so that it stops on time as a loop does. A loop's body counts afresh, since
// the loop's own jump checks it: a short body never pays for a check.
void Compiler::ClockIfDue(std::uint32_t offset) {
    constexpr std::uint32_t StatementsPerCheck = 32;
    constexpr std::uint32_t InstructionsPerCheck = 1024;
    Scope& scope = *mScope;
    if (++scope.statementsUnclocked < StatementsPerCheck && Here() - scope.clockedAt < InstructionsPerCheck) {
        return;
    }
    mOffset = offset;
    Emit(Op::CheckClock);
    RestartClock();
}

void Compiler::RestartClock() {
    mScope->statementsUnclocked = 0;
    mScope->clockedAt = Here();
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
    RestartClock();
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
    RestartClock();
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
    RestartClock();
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
    // The With value must be an object (424), as for Set.
    EmitVar(Op::StoreSet, slot);
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

} // namespace qv::vbscript
