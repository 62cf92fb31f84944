#include "platform/vbscript/internal/Compiler.h"

#include "platform/vbscript/internal/CompilerState.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <optional>
#include <utility>
#include <variant>

namespace qv::vbscript {

using automation::Variant;
namespace N = CompileErrorNumber;

namespace {

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

} // namespace

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

// `text` & `value` of two constants, into `text`: appended in place once `text` is a String of
// its own, so that a chain of constants folds in time linear in its text, not in the square of
// its length (each step copied all that came before). Null adds nothing.
void AppendConstant(Variant& text, const Variant& value) {
    if (value.IsString()) {
        text.AppendString(value.StringValue());
        return;
    }
    if (value.IsNull()) {
        return;
    }
    std::u16string form;
    automation::AppendTextForm(form, value);
    text.AppendString(form);
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
    case ExprKind::Binary:
        CompileBinaryChain(static_cast<const BinaryExpr&>(expr));
        return;
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
        Emit(Op::CallBuiltin, flags, 0, BuiltinCalled(binding, flags));
        return;
    }
}

void Compiler::CompileObjectOf(const MemberExpr& member) {
    if (member.object) {
        CompileExpr(*member.object);
        return;
    }
    if (mScope->withSlots.empty()) {
        // Outside any With the reference compiles, and fails (505) only when it runs.
        Emit(Op::Raise, 0, 0, N::UnqualifiedReference);
        return;
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

// The builtin a call of `binding` runs: a conversion called as a statement runs the function
// that raises 458 instead, so that calls of builtins pay nothing for the rule.
std::int32_t Compiler::BuiltinCalled(const Binding& binding, std::uint8_t flags) const {
    if ((flags & OpStatement) == 0) {
        return binding.index;
    }
    return static_cast<std::int32_t>(
        mTarget.builtins.StatementForm(static_cast<std::uint32_t>(binding.index)));
}

// Parentheses around the target are only grouping: `(f)(x)` and `call ((s)) (x)` call f and s
// with x.
void Compiler::CompileCall(const CallExpr& call, std::uint8_t flags) {
    std::uint16_t argc = CheckedCount(call.args.size());
    const Expr* unwrapped = call.target.get();
    while (unwrapped->kind == ExprKind::Paren) {
        unwrapped = static_cast<const ParenExpr&>(*unwrapped).inner.get();
    }
    const Expr& target = *unwrapped;
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
            Emit(Op::CallBuiltin, flags, argc, BuiltinCalled(binding, flags));
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
        mWork.Step();
        std::optional<Variant> value = Fold(*part);
        if (value && !value->IsNull() && !value->IsObject() && !pieces.empty() &&
            std::holds_alternative<Variant>(pieces.back())) {
            Variant& previous = std::get<Variant>(pieces.back());
            if (!previous.IsNull()) {
                AppendConstant(previous, *value);
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

namespace {

// The operators of a left-leaning chain, lowest (the one whose left operand is no operator of
// the chain) first.
std::vector<const BinaryExpr*> LeftSpine(const BinaryExpr& top) {
    std::vector<const BinaryExpr*> spine;
    for (const Expr* node = &top; node->kind == ExprKind::Binary;
         node = static_cast<const BinaryExpr*>(node)->left.get()) {
        spine.push_back(static_cast<const BinaryExpr*>(node));
    }
    std::reverse(spine.begin(), spine.end());
    return spine;
}

} // namespace

// A chain of binary operators, in a loop over its left operands. The part at the bottom of the
// chain that is constant becomes one constant, as the recursive fold of each operator would
// make it.
void Compiler::CompileBinaryChain(const BinaryExpr& top) {
    std::vector<const BinaryExpr*> spine = LeftSpine(top);
    const Expr& first = *spine.front()->left;
    std::size_t next = 0;
    std::optional<Variant> folded = Fold(first);
    if (folded && !folded->IsObject()) {
        while (next < spine.size() && FoldOperator(*spine[next], *folded)) {
            ++next;
        }
    }
    // Where the code of the lowest operator's left operand starts; none when it was folded.
    std::optional<std::uint32_t> leftStart;
    if (next > 0) {
        Emit(Op::PushConst, 0, 0, AddConstant(*folded));
    } else {
        leftStart = Here();
        CompileExpr(first);
    }
    for (; next < spine.size(); ++next) {
        const BinaryExpr& node = *spine[next];
        const std::uint32_t start = Here();
        CompileExpr(*node.right);
        const auto flags =
            static_cast<std::uint8_t>(IsComparison(node.op) ? LiteralFlags(*node.left, *node.right) : 0);
        EmitOperator(ToOp(node.op), flags, std::exchange(leftStart, std::nullopt), start);
    }
}

// A binary operator whose right operand the code from `start` on pushes, and its left operand
// the code from `leftStart` (when given) up to there. An operand that is one constant or one
// local of the frame is taken by the operator's fused form instead of being pushed: fewer
// instructions to run, with the operator's own position and the same errors.
void Compiler::EmitOperator(Op op, std::uint8_t flags, std::optional<std::uint32_t> leftStart,
                            std::uint32_t start) {
    CodeBlock& block = *mScope->block;
    auto isLocal = [](const Instruction& instruction) {
        return instruction.op == Op::Load && instruction.a == static_cast<std::uint8_t>(VarKind::Local);
    };
    if (Here() != start + 1) {
        Emit(op, flags);
        return;
    }
    const Instruction right = block.code.back();
    if (right.op != Op::PushConst && !isLocal(right)) {
        Emit(op, flags);
        return;
    }
    const bool rightLocal = right.op != Op::PushConst;
    const bool leftLocal = leftStart && *leftStart + 1 == start && isLocal(block.code[start - 1]) &&
                           block.code[start - 1].c <= std::numeric_limits<std::uint16_t>::max();
    const OperandForm form = leftLocal ? (rightLocal ? OperandForm::LocalLocal : OperandForm::LocalConst)
                                       : (rightLocal ? OperandForm::Local : OperandForm::Const);
    std::optional<Op> fused = FusedForm(op, form);
    if (!fused) {
        Emit(op, flags);
        return;
    }
    std::uint32_t leftSlot = 0;
    const std::size_t drop = leftLocal ? 2 : 1;
    if (leftLocal) {
        leftSlot = static_cast<std::uint32_t>(block.code[start - 1].c);
    }
    block.code.resize(block.code.size() - drop);
    block.positions.resize(block.positions.size() - drop);
    Emit(*fused, flags, leftSlot, right.c);
}

// Turns `left`, the value of the left operand of `node`, into the value of `node`; false, with
// `left` as it was, when that is not constant or would raise.
bool Compiler::FoldOperator(const BinaryExpr& node, Variant& left) {
    if (node.op == BinaryKind::Is || left.IsObject()) {
        return false;
    }
    std::optional<Variant> right = Fold(*node.right);
    if (!right || right->IsObject()) {
        return false;
    }
    try {
        // + of two texts joins them, in place as a chain of & does.
        if (node.op == BinaryKind::Add && left.IsString() && right->IsString()) {
            AppendConstant(left, *right);
            return true;
        }
        Variant leftValue = left;
        // The hard typing of a literal operand raises as the operator itself would, and is left
        // to run time like it.
        if (IsComparison(node.op)) {
            ApplyLiteralTyping(leftValue, *right, LiteralFlags(*node.left, *node.right));
        }
        left = automation::Evaluate(ToBinaryOp(node.op), leftValue, *right);
        return true;
    } catch (const automation::Error&) {
        return false;
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
            std::vector<const BinaryExpr*> spine = LeftSpine(static_cast<const BinaryExpr&>(expr));
            std::optional<Variant> value = Fold(*spine.front()->left);
            for (const BinaryExpr* node : spine) {
                mWork.Step();
                if (!value || !FoldOperator(*node, *value)) {
                    return std::nullopt;
                }
            }
            return value;
        }
        case ExprKind::Concat: {
            const auto& node = static_cast<const ConcatExpr&>(expr);
            std::optional<Variant> result;
            for (const ExprPtr& part : node.parts) {
                mWork.Step();
                std::optional<Variant> value = Fold(*part);
                if (!value || value->IsObject()) {
                    return std::nullopt;
                }
                if (result) {
                    AppendConstant(*result, *value);
                } else {
                    result = std::move(value);
                }
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

} // namespace qv::vbscript
