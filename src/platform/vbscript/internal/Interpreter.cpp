#include "platform/vbscript/internal/Interpreter.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <array>
#include <cassert>

namespace qv::vbscript {

using automation::BinaryOp;
using automation::DispId;
using automation::InvokeKind;
using automation::MakeRef;
using automation::Object;
using automation::Raise;
using automation::Ref;
using automation::SafeArray;
using automation::Variant;
using automation::VarType;
namespace ErrorNumber = automation::ErrorNumber;

namespace {

constexpr std::int32_t ClassNotDefined = 506;

// The subscripts of an array access, without a heap allocation for the usual few dimensions.
class Subscripts {
public:
    explicit Subscripts(std::span<Variant> args) : mCount(args.size()) {
        if (mCount > mInline.size()) {
            mHeap.resize(mCount);
        }
        std::int32_t* out = Data();
        for (std::size_t index = 0; index < mCount; ++index) {
            out[index] = automation::ToLong(args[index]);
        }
    }
    std::span<const std::int32_t> View() const {
        return {mCount > mInline.size() ? mHeap.data() : mInline.data(), mCount};
    }

private:
    std::int32_t* Data() { return mCount > mInline.size() ? mHeap.data() : mInline.data(); }
    std::size_t mCount;
    std::array<std::int32_t, 4> mInline{};
    std::vector<std::int32_t> mHeap;
};

// A value assigned with Let: an object gives its default value (Nothing raises 91).
Variant LetValue(Variant value) {
    if (value.IsByRef()) {
        value = Variant(value.Deref());
    }
    if (value.IsObject()) {
        return automation::DefaultValue(value);
    }
    return value;
}

// Truth of a condition: Null counts as False, as If and loops see it.
bool Truth(const Variant& value) {
    if (value.IsNull()) {
        return false;
    }
    if (value.IsObject()) {
        Variant plain = automation::DefaultValue(value);
        return !plain.IsNull() && automation::IsTrue(plain);
    }
    return automation::IsTrue(value);
}

// The text one piece adds to a concatenation; Null adds nothing.
void AppendText(std::u16string& out, const Variant& piece) {
    const Variant& value = piece.Deref();
    switch (value.Type()) {
    case VarType::String:
        out += value.StringValue();
        return;
    case VarType::Null:
    case VarType::Empty:
        return;
    case VarType::Object:
        out += automation::ToString(automation::DefaultValue(value));
        return;
    default:
        out += automation::ToString(value);
        return;
    }
}

// a & b & ...: Null only when every piece is Null, else the text of the pieces.
Variant ConcatPieces(std::span<Variant> pieces) {
    bool allNull = true;
    std::size_t length = 0;
    for (const Variant& piece : pieces) {
        if (!piece.IsNull()) {
            allNull = false;
        }
        if (piece.IsString()) {
            length += piece.StringValue().size();
        }
    }
    if (allNull) {
        return Variant::Null();
    }
    std::u16string text;
    text.reserve(length);
    for (const Variant& piece : pieces) {
        AppendText(text, piece);
    }
    return Variant(std::move(text));
}

// x = x & pieces, in place while x's string is not shared.
void AppendPieces(Variant& target, std::span<Variant> pieces) {
    Variant& value = target.Deref();
    bool allNull = value.IsNull();
    for (const Variant& piece : pieces) {
        allNull = allNull && piece.IsNull();
    }
    if (allNull) {
        return;
    }
    if (value.IsObject()) {
        value = automation::DefaultValue(value);
    }
    if (!value.IsString()) {
        std::u16string text;
        AppendText(text, value);
        value = Variant(std::move(text));
    }
    for (const Variant& piece : pieces) {
        const Variant& plain = piece.Deref();
        if (plain.IsString()) {
            value.AppendString(plain.StringValue());
        } else if (!plain.IsNull() && !plain.IsEmpty()) {
            std::u16string text;
            AppendText(text, plain);
            value.AppendString(text);
        }
    }
}

BinaryOp ToBinaryOp(Op op) {
    switch (op) {
    case Op::Add:
        return BinaryOp::Add;
    case Op::Subtract:
        return BinaryOp::Subtract;
    case Op::Multiply:
        return BinaryOp::Multiply;
    case Op::Divide:
        return BinaryOp::Divide;
    case Op::IntDivide:
        return BinaryOp::IntDivide;
    case Op::Modulo:
        return BinaryOp::Modulo;
    case Op::Power:
        return BinaryOp::Power;
    case Op::Equal:
        return BinaryOp::Equal;
    case Op::NotEqual:
        return BinaryOp::NotEqual;
    case Op::Less:
        return BinaryOp::Less;
    case Op::LessEqual:
        return BinaryOp::LessEqual;
    case Op::Greater:
        return BinaryOp::Greater;
    case Op::GreaterEqual:
        return BinaryOp::GreaterEqual;
    case Op::And:
        return BinaryOp::And;
    case Op::Or:
        return BinaryOp::Or;
    case Op::Xor:
        return BinaryOp::Xor;
    case Op::Eqv:
        return BinaryOp::Eqv;
    case Op::Imp:
        return BinaryOp::Imp;
    default:
        assert(false && "not a binary operator");
        return BinaryOp::Add;
    }
}

// A For loop's start, end and step: numbers, with text converted and Empty as 0.
Variant ForNumber(Variant value) {
    if (value.IsByRef()) {
        value = Variant(value.Deref());
    }
    if (value.IsObject()) {
        value = automation::DefaultValue(value);
    }
    if (value.IsNull()) {
        Raise(ErrorNumber::InvalidUseOfNull);
    }
    if (value.IsEmpty()) {
        return Variant(std::int16_t(0));
    }
    if (value.IsString()) {
        return automation::ChangeType(value, VarType::Double);
    }
    return value;
}

std::vector<SafeArray::Bound> BoundsFrom(std::span<Variant> uppers) {
    std::vector<SafeArray::Bound> bounds;
    bounds.reserve(uppers.size());
    for (Variant& upper : uppers) {
        std::int32_t last = automation::ToLong(upper);
        if (last < -1) {
            Raise(ErrorNumber::SubscriptOutOfRange);
        }
        bounds.push_back({0, last + 1});
    }
    return bounds;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Frames

Interpreter::Frame Interpreter::MakeFrame(const Procedure& procedure, Ref<ClassInstance> me,
                                          std::span<Variant> args, ReturnMode mode) {
    const CodeBlock& code = *procedure.code;
    if (args.size() != code.paramCount) {
        Raise(ErrorNumber::WrongArgumentCount);
    }
    if (mFrames.size() >= MaxCallDepth) {
        Raise(ErrorNumber::OutOfStackSpace);
    }
    CheckTimeout();
    Frame frame;
    frame.code = procedure.code;
    frame.storage = std::make_unique<Variant[]>(code.LocalCount());
    frame.locals = frame.storage.get();
    frame.me = std::move(me);
    frame.mode = mode;
    for (std::size_t index = 0; index < args.size(); ++index) {
        Variant& arg = args[index];
        Variant& slot = frame.locals[index + 1];
        // A ByRef parameter given a variable keeps the reference; anything else is a copy.
        if (arg.IsByRef() && !code.paramByVal[index]) {
            slot = arg;
        } else {
            slot = arg.Deref();
        }
    }
    return frame;
}

Interpreter::Frame Interpreter::MakeChunkFrame(Ref<CodeBlock> code, Variant* outer, Ref<ClassInstance> me,
                                               ReturnMode mode) {
    if (mFrames.size() >= MaxCallDepth) {
        Raise(ErrorNumber::OutOfStackSpace);
    }
    Frame frame;
    frame.storage = std::make_unique<Variant[]>(code->LocalCount());
    frame.locals = frame.storage.get();
    frame.outer = outer;
    frame.me = std::move(me);
    frame.mode = mode;
    frame.code = std::move(code);
    return frame;
}

void Interpreter::PushFrame(Frame frame, Stack& stack) {
    assert(mFrames.size() < mFrames.capacity() && "frames never reallocate");
    frame.stackBase = stack.size();
    mFrames.push_back(std::move(frame));
}

void Interpreter::CheckTimeout() {
    if (mTimeoutMs <= 0 || (++mTimeoutTicks & 63) != 0) {
        return;
    }
    if (std::chrono::steady_clock::now() >= mDeadline) {
        mPlace = ErrorPlace{};
        RecordPlace(automation::Error(TimeoutErrorNumber, u"", std::u16string(TimeoutErrorText)));
        throw ScriptTimeout();
    }
}

void Interpreter::QueueTerminate(Ref<ClassInstance> instance) {
    mPendingTerminates.push_back(std::move(instance));
}

void Interpreter::StartTerminate(Stack& stack) {
    Ref<ClassInstance> instance = std::move(mPendingTerminates.back());
    mPendingTerminates.pop_back();
    const Procedure& terminate = *instance->Class().terminate;
    PushFrame(MakeFrame(terminate, instance, {}, ReturnMode::Terminate), stack);
}

// ---------------------------------------------------------------------------------------------
// The loop

Variant Interpreter::RunFrame(Frame entry) {
    if (mNativeDepth >= MaxNativeDepth || mFrames.size() >= MaxCallDepth) {
        Raise(ErrorNumber::OutOfStackSpace);
    }
    struct Level {
        Interpreter& self;
        std::size_t boundary;
        ~Level() {
            // Leaving by an exception: this level's frames go with it.
            while (self.mFrames.size() > boundary) {
                self.mFrames.pop_back();
            }
            --self.mNativeDepth;
        }
    } level{*this, mFrames.size()};
    ++mNativeDepth;

    Stack stack;
    stack.reserve(32);
    entry.mode = ReturnMode::Boundary;
    PushFrame(std::move(entry), stack);
    Variant result;
    for (;;) {
        try {
            if (Loop(stack, level.boundary, result)) {
                return result;
            }
        } catch (const automation::Error& error) {
            if (!HandleError(error, stack, level.boundary)) {
                throw;
            }
        }
    }
}

// An error inside a statement of a frame under On Error Resume Next goes on with the next
// statement of that frame; frames without it are left. The time-out is not an Error and never
// stops here.
bool Interpreter::HandleError(const automation::Error& error, Stack& stack, std::size_t boundary) {
    RecordPlace(error);
    while (mFrames.size() > boundary) {
        Frame& frame = mFrames.back();
        if (frame.mode == ReturnMode::Terminate) {
            // Class_Terminate's errors are dropped; the code it interrupted goes on.
            stack.resize(frame.stackBase);
            mFrames.pop_back();
            mPlace.known = false;
            return true;
        }
        if (frame.resumeNext) {
            mErr->Set(error);
            const StatementRange* range = frame.code->StatementAt(frame.pc - 1);
            if (range) {
                frame.pc = range->end;
            }
            stack.resize(frame.stackBase);
            mPlace.known = false;
            return true;
        }
        mFrames.pop_back();
    }
    return false;
}

void Interpreter::RecordPlace(const automation::Error& error) {
    // A nested loop may have recorded this error already, where it began.
    if (mPlace.known && mPlace.number == error.Number() && mPlace.description == error.Description()) {
        return;
    }
    mPlace = ErrorPlace{};
    mPlace.number = error.Number();
    mPlace.description = error.Description();
    if (mFrames.empty()) {
        return;
    }
    const Frame& frame = mFrames.back();
    const CodeBlock& code = *frame.code;
    if (code.positions.empty() || !code.source) {
        return;
    }
    std::uint32_t pc = frame.pc > 0 ? frame.pc - 1 : 0;
    std::uint32_t offset = code.positions[std::min<std::size_t>(pc, code.positions.size() - 1)];
    auto [line, column] = code.source->LineColumn(offset);
    mPlace.known = true;
    mPlace.line = line;
    mPlace.column = column;
    mPlace.text = std::u16string(code.source->LineText(offset));
}

bool Interpreter::Loop(Stack& stack, std::size_t boundary, Variant& result) {
    Frame* frame = &mFrames.back();
    CodeBlock* block = frame->code.Get();
    const Instruction* code = block->code.data();
    auto refresh = [&] {
        frame = &mFrames.back();
        block = frame->code.Get();
        code = block->code.data();
    };
    auto jump = [&](std::int32_t target) {
        if (static_cast<std::uint32_t>(target) < frame->pc) {
            CheckTimeout();
        }
        frame->pc = static_cast<std::uint32_t>(target);
    };
    auto pop = [&] {
        Variant value = std::move(stack.back());
        stack.pop_back();
        return value;
    };

    for (;;) {
        if (!mPendingTerminates.empty()) {
            StartTerminate(stack);
            refresh();
        }
        const Instruction& in = code[frame->pc++];
        switch (in.op) {
        case Op::Nop:
            break;
        case Op::PushConst:
            stack.push_back(block->constants[static_cast<std::size_t>(in.c)]);
            break;
        case Op::PushMissing:
            stack.push_back(Variant::Missing());
            break;
        case Op::PushMe:
            stack.emplace_back(Ref<Object>(frame->me));
            break;
        case Op::Pop:
            stack.pop_back();
            break;
        case Op::Load:
            stack.push_back(Variable(*frame, in));
            break;
        case Op::PushRef: {
            VarKind kind = in.Kind();
            if (kind == VarKind::Local || kind == VarKind::Outer || kind == VarKind::Field) {
                stack.push_back(Variant::ByRef(Variable(*frame, in)));
                break;
            }
            Resolution resolution;
            if (Variant* target = GlobalVariable(*frame, in, resolution, kind == VarKind::Global)) {
                stack.push_back(Variant::ByRef(*target));
                break;
            }
            // A procedure or host member: its value goes by value.
            Instruction read = in;
            read.b = 0;
            read.a = static_cast<std::uint8_t>(in.a & 0x0F);
            CallName(*frame, read, stack);
            refresh();
            break;
        }
        case Op::Store:
        case Op::StoreSet:
        case Op::StoreRaw:
            StoreName(*frame, in, stack);
            refresh();
            break;
        case Op::Append:
            Append(*frame, in, stack);
            break;
        case Op::CallName:
            CallName(*frame, in, stack);
            refresh();
            break;
        case Op::StoreIndexed:
            StoreIndexed(*frame, in, stack);
            refresh();
            break;
        case Op::CallBuiltin:
            CallBuiltin(*frame, in, stack);
            refresh();
            break;
        case Op::CallMember:
            CallMember(*frame, in, stack);
            refresh();
            break;
        case Op::StoreMember:
            StoreMember(*frame, in, stack);
            refresh();
            break;
        case Op::CallDefault: {
            std::size_t argc = in.b;
            std::size_t targetIndex = stack.size() - argc - 1;
            Variant target = std::move(stack[targetIndex]);
            CallValue(target, std::span<Variant>(stack.data() + targetIndex + 1, argc), in.Has(OpStatement),
                      stack, argc + 1);
            refresh();
            break;
        }
        case Op::StoreDefault: {
            std::size_t argc = in.b;
            std::size_t targetIndex = stack.size() - argc - 2;
            Variant value = pop();
            Variant target = std::move(stack[targetIndex]);
            if (!target.IsObject()) {
                Raise(ErrorNumber::TypeMismatch);
            }
            if (!target.ObjectValue()) {
                Raise(ErrorNumber::ObjectVariableNotSet);
            }
            bool isSet = in.Has(OpSet);
            StoreObjectDefault(*target.ObjectValue(),
                               std::span<Variant>(stack.data() + targetIndex + 1, argc),
                               isSet ? std::move(value) : LetValue(std::move(value)), isSet);
            stack.resize(targetIndex);
            break;
        }
        case Op::New:
            NewInstance(*frame, in, stack);
            refresh();
            break;
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
        case Op::Imp: {
            Variant right = pop();
            Variant& left = stack.back();
            left = automation::Evaluate(ToBinaryOp(in.op), left, right);
            break;
        }
        case Op::Is: {
            Variant right = pop();
            Variant& left = stack.back();
            if (!left.IsObject() || !right.IsObject()) {
                Raise(ErrorNumber::ObjectRequired);
            }
            left = Variant(left.ObjectValue().Get() == right.ObjectValue().Get());
            break;
        }
        case Op::Negate:
            stack.back() = automation::Negate(stack.back());
            break;
        case Op::Not:
            stack.back() = automation::Not(stack.back());
            break;
        case Op::Concat: {
            std::size_t count = in.b;
            Variant joined = ConcatPieces(std::span<Variant>(stack.data() + stack.size() - count, count));
            stack.resize(stack.size() - count);
            stack.push_back(std::move(joined));
            break;
        }
        case Op::Jump:
            jump(in.c);
            break;
        case Op::JumpIfFalse:
            if (!Truth(pop())) {
                jump(in.c);
            }
            break;
        case Op::JumpIfTrue:
            if (Truth(pop())) {
                jump(in.c);
            }
            break;
        case Op::ForPrepare: {
            Variant step = ForNumber(pop());
            Variant end = ForNumber(pop());
            stack.back() = ForNumber(std::move(stack.back()));
            Variant* hidden = frame->locals + in.b;
            bool descending =
                automation::Compare(step, Variant(std::int16_t(0))) == automation::CompareResult::Less;
            hidden[0] = std::move(end);
            hidden[1] = std::move(step);
            hidden[2] = Variant(descending);
            break;
        }
        case Op::ForTest: {
            Variant counter = pop();
            Variant* hidden = frame->locals + in.b;
            if (hidden[2].Type() != VarType::Boolean) {
                Raise(ErrorNumber::ForLoopNotInitialized);
            }
            automation::CompareResult order = automation::Compare(counter, hidden[0]);
            bool past = order == automation::CompareResult::Null ||
                        (hidden[2].BooleanValue() ? order == automation::CompareResult::Less
                                                  : order == automation::CompareResult::Greater);
            if (past) {
                frame->pc = static_cast<std::uint32_t>(in.c);
            }
            break;
        }
        case Op::ForStep: {
            Variant* hidden = frame->locals + in.b;
            if (hidden[2].Type() != VarType::Boolean) {
                Raise(ErrorNumber::ForLoopNotInitialized);
            }
            stack.back() = automation::Evaluate(BinaryOp::Add, stack.back(), hidden[1]);
            break;
        }
        case Op::ForEachStart:
            ForEachStart(*frame, in, stack);
            break;
        case Op::ForEachNext: {
            Variant& hidden = frame->locals[in.b];
            auto* holder =
                hidden.IsObject() ? dynamic_cast<EnumeratorHolder*>(hidden.ObjectValue().Get()) : nullptr;
            Variant item;
            if (!holder || !holder->Next(item)) {
                frame->pc = static_cast<std::uint32_t>(in.c);
                break;
            }
            stack.push_back(item.IsByRef() ? Variant(item.Deref()) : std::move(item));
            break;
        }
        case Op::OnError:
            frame->resumeNext = in.a != 0;
            mErr->Clear();
            break;
        case Op::DimArray: {
            auto first = static_cast<std::size_t>(in.b);
            std::int32_t count = block->constants[first].LongValue();
            std::vector<SafeArray::Bound> bounds;
            for (std::int32_t index = 0; index < count; ++index) {
                bounds.push_back(
                    {0, block->constants[first + 1 + static_cast<std::size_t>(index)].LongValue() + 1});
            }
            Variable(*frame, in) = Variant(MakeRef<SafeArray>(VarType::Variant, std::move(bounds), true));
            break;
        }
        case Op::ReDim:
            ReDim(*frame, in, stack);
            break;
        case Op::Erase:
            Erase(*frame, in);
            break;
        case Op::Return: {
            Variant value = std::move(frame->locals[0]);
            ReturnMode mode = frame->mode;
            stack.resize(frame->stackBase);
            mFrames.pop_back();
            if (mode == ReturnMode::Boundary) {
                assert(mFrames.size() == boundary);
                result = std::move(value);
                return true;
            }
            refresh();
            if (mode == ReturnMode::Push) {
                stack.push_back(std::move(value));
            }
            break;
        }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Variables

Variant& Interpreter::Variable(Frame& frame, const Instruction& instruction) {
    switch (instruction.Kind()) {
    case VarKind::Local:
        return frame.locals[instruction.c].Deref();
    case VarKind::Outer:
        return frame.outer[instruction.c].Deref();
    case VarKind::Field:
        return frame.me->Field(instruction.c).Deref();
    case VarKind::Global:
    case VarKind::GlobalExplicit:
    case VarKind::Implicit:
        break;
    }
    assert(false && "not a frame variable");
    return frame.locals[0];
}

// The variable a global name stands for, or null when it stands for something else (then
// `resolution` says what). An unknown name becomes a module variable when `create` is set, an
// implicit local's own slot in a procedure, and error 500 under Option Explicit.
Variant* Interpreter::GlobalVariable(Frame& frame, const Instruction& instruction, Resolution& resolution,
                                     bool create) {
    VarKind kind = instruction.Kind();
    if (kind == VarKind::Local || kind == VarKind::Outer || kind == VarKind::Field) {
        return &Variable(frame, instruction);
    }
    Module& module = *frame.code->module;
    std::uint32_t slotIndex = static_cast<std::uint32_t>(instruction.c);
    Variant* implicitLocal = nullptr;
    if (kind == VarKind::Implicit) {
        const ImplicitRef& ref = frame.code->implicits[slotIndex];
        slotIndex = ref.global;
        implicitLocal = &frame.locals[ref.local];
    }
    resolution = Resolve(module, slotIndex);
    if (resolution.kind == Resolution::Kind::Slot) {
        return resolution.slot->kind == SlotKind::Variable ? &resolution.slot->value : nullptr;
    }
    if (resolution.kind != Resolution::Kind::None) {
        return nullptr;
    }
    if (implicitLocal) {
        return &implicitLocal->Deref();
    }
    GlobalSlot& slot = module.Slot(slotIndex);
    if (kind == VarKind::GlobalExplicit) {
        Raise(ErrorNumber::VariableUndefined, u"",
              u"Variable is undefined: '" + mNames->Spelling(slot.name) + u"'");
    }
    if (!create) {
        return nullptr;
    }
    DefineGlobal(module, slot);
    return &slot.value;
}

void Interpreter::StoreName(Frame& frame, const Instruction& instruction, Stack& stack) {
    Variant value = std::move(stack.back());
    stack.pop_back();
    if (instruction.op == Op::Store) {
        value = LetValue(std::move(value));
    } else if (instruction.op == Op::StoreSet && !value.IsObject()) {
        Raise(ErrorNumber::ObjectRequired);
    }
    Resolution resolution;
    if (Variant* target = GlobalVariable(frame, instruction, resolution, true)) {
        *target = std::move(value);
        return;
    }
    if (resolution.kind == Resolution::Kind::NamedMember) {
        Object& object = *resolution.object->value.ObjectValue();
        bool isSet = value.IsObject() && instruction.op != Op::Store;
        object.Invoke(resolution.dispId, isSet ? InvokeKind::PropertySet : InvokeKind::PropertyLet,
                      std::span<Variant>(&value, 1));
        return;
    }
    Raise(ErrorNumber::IllegalAssignment);
}

// Stack: the value x had when the statement began, then the pieces. When x still holds that
// very string (or is still Empty or Null), the pieces go onto its end in place; otherwise a
// piece changed x meanwhile and the statement concatenates what it read, as the language does.
void Interpreter::Append(Frame& frame, const Instruction& instruction, Stack& stack) {
    std::size_t count = instruction.b;
    std::size_t first = stack.size() - count - 1;
    Variant& before = stack[first];
    std::span<Variant> pieces(stack.data() + first + 1, count);
    Resolution resolution;
    Variant* target = GlobalVariable(frame, instruction, resolution, true);
    if (target &&
        ((before.IsString() && target->IsString() && &before.StringValue() == &target->StringValue()) ||
         (before.IsEmpty() && target->IsEmpty()) || (before.IsNull() && target->IsNull()))) {
        // Let go of the copy read first, so that the string is unique again.
        before = Variant();
        AppendPieces(*target, pieces);
        stack.resize(first);
        return;
    }
    Variant joined = ConcatPieces(std::span<Variant>(stack.data() + first, count + 1));
    stack.resize(first);
    if (target) {
        *target = std::move(joined);
        return;
    }
    if (resolution.kind == Resolution::Kind::NamedMember) {
        resolution.object->value.ObjectValue()->Invoke(resolution.dispId, InvokeKind::PropertyLet,
                                                       std::span<Variant>(&joined, 1));
        return;
    }
    Raise(ErrorNumber::IllegalAssignment);
}

void Interpreter::ReDim(Frame& frame, const Instruction& instruction, Stack& stack) {
    std::size_t dimensions = instruction.b;
    std::vector<SafeArray::Bound> bounds =
        BoundsFrom(std::span<Variant>(stack.data() + stack.size() - dimensions, dimensions));
    stack.resize(stack.size() - dimensions);
    Resolution resolution;
    Variant* target = GlobalVariable(frame, instruction, resolution, true);
    if (!target) {
        Raise(ErrorNumber::IllegalAssignment);
    }
    if (target->IsArray()) {
        const SafeArray& array = *target->ArrayValue();
        if (array.IsFixed() || array.IsLocked()) {
            Raise(ErrorNumber::ArrayFixedOrLocked);
        }
        if (instruction.Has(OpPreserve)) {
            target->MutableArray().Redim(std::move(bounds), true);
            return;
        }
    }
    *target = Variant(MakeRef<SafeArray>(VarType::Variant, std::move(bounds), false));
}

void Interpreter::Erase(Frame& frame, const Instruction& instruction) {
    Resolution resolution;
    Variant* target = GlobalVariable(frame, instruction, resolution, false);
    if (!target || !target->IsArray()) {
        Raise(ErrorNumber::TypeMismatch);
    }
    if (target->ArrayValue()->IsLocked()) {
        Raise(ErrorNumber::ArrayFixedOrLocked);
    }
    // A fixed array keeps its size and loses its values; a dynamic one loses its storage.
    if (target->ArrayValue()->IsFixed()) {
        for (Variant& element : target->MutableArray().Elements()) {
            element = Variant();
        }
        return;
    }
    *target = Variant(MakeRef<SafeArray>(VarType::Variant, std::vector<SafeArray::Bound>{}, false));
}

// ---------------------------------------------------------------------------------------------
// Calls

void Interpreter::PushValueResult(Variant value, bool statement, Stack& stack, std::size_t popCount) {
    stack.resize(stack.size() - popCount);
    if (statement) {
        return;
    }
    if (value.IsByRef()) {
        stack.emplace_back(value.Deref());
    } else {
        stack.push_back(std::move(value));
    }
}

void Interpreter::CallName(Frame& frame, const Instruction& instruction, Stack& stack) {
    std::size_t argc = instruction.b;
    bool statement = instruction.Has(OpStatement);
    std::span<Variant> args(stack.data() + stack.size() - argc, argc);
    Resolution resolution;
    if (Variant* target = GlobalVariable(frame, instruction, resolution, false)) {
        CallValue(*target, args, statement, stack, argc);
        return;
    }
    switch (resolution.kind) {
    case Resolution::Kind::Slot: {
        GlobalSlot& slot = *resolution.slot;
        if (slot.kind == SlotKind::Procedure) {
            Ref<Procedure> procedure = slot.procedure;
            Frame callee =
                MakeFrame(*procedure, nullptr, args, statement ? ReturnMode::Discard : ReturnMode::Push);
            stack.resize(stack.size() - argc);
            PushFrame(std::move(callee), stack);
            return;
        }
        if (slot.kind == SlotKind::Constant) {
            Variant value = slot.value;
            CallValue(value, args, statement, stack, argc);
            return;
        }
        Raise(ErrorNumber::TypeMismatch);
    }
    case Resolution::Kind::NamedObject: {
        Variant value = resolution.object->value;
        CallValue(value, args, statement, stack, argc);
        return;
    }
    case Resolution::Kind::NamedMember: {
        Ref<Object> object = resolution.object->value.ObjectValue();
        Variant value =
            object->Invoke(resolution.dispId, statement ? InvokeKind::Method : automation::InvokeRead, args);
        PushValueResult(std::move(value), statement, stack, argc);
        return;
    }
    case Resolution::Kind::Builtin: {
        Instruction call{Op::CallBuiltin, static_cast<std::uint8_t>(statement ? OpStatement : 0),
                         instruction.b, static_cast<std::int32_t>(resolution.builtin)};
        CallBuiltin(frame, call, stack);
        return;
    }
    case Resolution::Kind::None:
        break;
    }
    // An unknown name: as a statement no Sub exists; with arguments it is an Empty variable
    // being indexed; alone it is an Empty variable.
    if (statement) {
        Raise(ErrorNumber::SubOrFunctionNotDefined);
    }
    if (argc > 0) {
        Raise(ErrorNumber::TypeMismatch);
    }
    stack.emplace_back();
}

// value(args): an array element, an object's default member, or the value itself.
void Interpreter::CallValue(Variant& value, std::span<Variant> args, bool statement, Stack& stack,
                            std::size_t popCount) {
    Variant& plain = value.Deref();
    if (plain.IsArray()) {
        if (args.empty()) {
            PushValueResult(plain, statement, stack, popCount);
            return;
        }
        Subscripts subscripts(args);
        Variant element = plain.ArrayValue()->At(subscripts.View());
        PushValueResult(std::move(element), statement, stack, popCount);
        return;
    }
    if (plain.IsObject()) {
        Ref<Object> object = plain.ObjectValue();
        if (args.empty() && !statement) {
            PushValueResult(Variant(std::move(object)), false, stack, popCount);
            return;
        }
        if (!object) {
            Raise(ErrorNumber::ObjectVariableNotSet);
        }
        CallObjectDefault(object, args, statement, stack, popCount);
        return;
    }
    if (statement) {
        Raise(ErrorNumber::SubOrFunctionNotDefined);
    }
    if (!args.empty()) {
        Raise(ErrorNumber::TypeMismatch);
    }
    PushValueResult(plain, false, stack, popCount);
}

void Interpreter::CallObjectDefault(const Ref<Object>& object, std::span<Variant> args, bool statement,
                                    Stack& stack, std::size_t popCount) {
    if (auto* instance = dynamic_cast<ClassInstance*>(object.Get())) {
        std::int32_t member = instance->Class().defaultMember;
        if (member < 0) {
            Raise(ErrorNumber::ObjectDoesNotSupport);
        }
        CallInstanceMember(*instance, static_cast<std::uint32_t>(member),
                           statement ? InvokeKind::Method : automation::InvokeRead, args, statement, stack,
                           popCount);
        return;
    }
    if (auto* procedure = dynamic_cast<ProcedureRef*>(object.Get())) {
        Frame callee =
            MakeFrame(procedure->Target(), nullptr, args, statement ? ReturnMode::Discard : ReturnMode::Push);
        stack.resize(stack.size() - popCount);
        PushFrame(std::move(callee), stack);
        return;
    }
    std::optional<DispId> id = object->GetDefaultDispId();
    if (!id) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    Variant value = object->Invoke(*id, statement ? InvokeKind::Method : automation::InvokeRead, args);
    PushValueResult(std::move(value), statement, stack, popCount);
}

void Interpreter::CallInstanceMember(ClassInstance& instance, std::uint32_t member, InvokeKind kind,
                                     std::span<Variant> args, bool statement, Stack& stack,
                                     std::size_t popCount) {
    const ClassMember& info = instance.Class().members[member];
    Ref<ClassInstance> me(&instance);
    if (info.field >= 0) {
        Variant& field = instance.Field(info.field);
        if (args.empty()) {
            PushValueResult(field, statement, stack, popCount);
            return;
        }
        CallValue(field, args, statement, stack, popCount);
        return;
    }
    (void)kind;
    const Procedure* procedure = info.method ? info.method.Get() : info.get.Get();
    if (!procedure) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    Frame callee = MakeFrame(*procedure, me, args, statement ? ReturnMode::Discard : ReturnMode::Push);
    stack.resize(stack.size() - popCount);
    PushFrame(std::move(callee), stack);
}

namespace {

// The member a call site names in a script class, cached per site for the class last seen.
std::uint32_t FindInstanceMember(CallSite& site, const ScriptClass& cls, bool allowPrivate) {
    std::uint32_t member = 0;
    if (site.scriptClass == &cls) {
        member = static_cast<std::uint32_t>(site.scriptMember);
    } else {
        auto it = cls.memberIndex.find(site.name);
        if (it == cls.memberIndex.end()) {
            Raise(ErrorNumber::ObjectDoesNotSupport);
        }
        member = it->second;
        site.scriptClass = &cls;
        site.scriptMember = static_cast<std::int32_t>(member);
    }
    if (!allowPrivate && !cls.members[member].isPublic) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    return member;
}

// The DispId a call site names in a host object, cached per site for the class last seen when
// the name is one of the class's fixed members.
DispId FindHostMember(CallSite& site, Object& object, const NameTable& names) {
    const automation::ClassInfo* info = &object.GetClassInfo();
    if (site.hostClass == info) {
        return site.hostId;
    }
    const std::u16string& name = names.Spelling(site.name);
    std::optional<DispId> id = object.GetDispId(name);
    if (!id) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    if (info->Find(name) == id) {
        site.hostClass = info;
        site.hostId = *id;
    }
    return *id;
}

Ref<Object> ObjectOperand(const Variant& value) {
    if (!value.IsObject()) {
        Raise(ErrorNumber::ObjectRequired);
    }
    if (!value.ObjectValue()) {
        Raise(ErrorNumber::ObjectVariableNotSet);
    }
    return value.ObjectValue();
}

} // namespace

void Interpreter::CallMember(Frame& frame, const Instruction& instruction, Stack& stack) {
    std::size_t argc = instruction.b;
    bool statement = instruction.Has(OpStatement);
    std::size_t objectIndex = stack.size() - argc - 1;
    Ref<Object> object = ObjectOperand(stack[objectIndex]);
    std::span<Variant> args(stack.data() + objectIndex + 1, argc);
    CallSite& site = frame.code->sites[static_cast<std::size_t>(instruction.c)];
    if (auto* instance = dynamic_cast<ClassInstance*>(object.Get())) {
        std::uint32_t member = FindInstanceMember(site, instance->Class(), instruction.Has(OpPrivate));
        CallInstanceMember(*instance, member, statement ? InvokeKind::Method : automation::InvokeRead, args,
                           statement, stack, argc + 1);
        return;
    }
    DispId id = FindHostMember(site, *object, *mNames);
    Variant value = object->Invoke(id, statement ? InvokeKind::Method : automation::InvokeRead, args);
    PushValueResult(std::move(value), statement, stack, argc + 1);
}

void Interpreter::StoreMember(Frame& frame, const Instruction& instruction, Stack& stack) {
    std::size_t argc = instruction.b;
    bool isSet = instruction.Has(OpSet);
    std::size_t objectIndex = stack.size() - argc - 2;
    Ref<Object> object = ObjectOperand(stack[objectIndex]);
    Variant& value = stack.back();
    if (!isSet) {
        value = LetValue(std::move(value));
    } else if (!value.IsObject()) {
        Raise(ErrorNumber::ObjectRequired);
    }
    std::span<Variant> argsAndValue(stack.data() + objectIndex + 1, argc + 1);
    CallSite& site = frame.code->sites[static_cast<std::size_t>(instruction.c)];
    if (auto* instance = dynamic_cast<ClassInstance*>(object.Get())) {
        std::uint32_t member = FindInstanceMember(site, instance->Class(), instruction.Has(OpPrivate));
        const ClassMember& info = instance->Class().members[member];
        if (info.field >= 0) {
            StoreInto(instance->Field(info.field), argsAndValue.first(argc), std::move(value), isSet);
            stack.resize(objectIndex);
            return;
        }
        const Procedure* procedure = isSet ? info.set.Get() : info.let.Get();
        if (!procedure) {
            Raise(ErrorNumber::ObjectDoesNotSupport);
        }
        Frame callee = MakeFrame(*procedure, Ref<ClassInstance>(instance), argsAndValue, ReturnMode::Discard);
        stack.resize(objectIndex);
        PushFrame(std::move(callee), stack);
        return;
    }
    DispId id = FindHostMember(site, *object, *mNames);
    object->Invoke(id, isSet ? InvokeKind::PropertySet : InvokeKind::PropertyLet, argsAndValue);
    stack.resize(objectIndex);
}

void Interpreter::StoreIndexed(Frame& frame, const Instruction& instruction, Stack& stack) {
    std::size_t argc = instruction.b;
    bool isSet = instruction.Has(OpSet);
    std::size_t base = stack.size() - argc - 1;
    Variant value = std::move(stack.back());
    if (!isSet) {
        value = LetValue(std::move(value));
    } else if (!value.IsObject()) {
        Raise(ErrorNumber::ObjectRequired);
    }
    std::span<Variant> args(stack.data() + base, argc);
    Resolution resolution;
    if (Variant* target = GlobalVariable(frame, instruction, resolution, false)) {
        StoreInto(*target, args, std::move(value), isSet);
    } else if (resolution.kind == Resolution::Kind::NamedObject) {
        StoreObjectDefault(*ObjectOperand(resolution.object->value), args, std::move(value), isSet);
    } else if (resolution.kind == Resolution::Kind::NamedMember) {
        std::vector<Variant> all(args.begin(), args.end());
        all.push_back(std::move(value));
        resolution.object->value.ObjectValue()->Invoke(
            resolution.dispId, isSet ? InvokeKind::PropertySet : InvokeKind::PropertyLet, all);
    } else if (resolution.kind == Resolution::Kind::None) {
        Raise(ErrorNumber::TypeMismatch);
    } else {
        Raise(ErrorNumber::IllegalAssignment);
    }
    stack.resize(base);
}

// target(args) = value: an array element, or the default member of an object.
void Interpreter::StoreInto(Variant& target, std::span<Variant> args, Variant value, bool isSet) {
    Variant& plain = target.Deref();
    if (args.empty()) {
        plain = std::move(value);
        return;
    }
    if (plain.IsArray()) {
        Subscripts subscripts(args);
        plain.MutableArray().At(subscripts.View()) = std::move(value);
        return;
    }
    if (plain.IsObject()) {
        Ref<Object> object = ObjectOperand(plain);
        StoreObjectDefault(*object, args, std::move(value), isSet);
        return;
    }
    Raise(ErrorNumber::TypeMismatch);
}

void Interpreter::StoreObjectDefault(Object& object, std::span<Variant> args, Variant value, bool isSet) {
    std::optional<DispId> id = object.GetDefaultDispId();
    if (!id) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    std::vector<Variant> all;
    all.reserve(args.size() + 1);
    for (Variant& arg : args) {
        all.push_back(arg.Deref());
    }
    all.push_back(std::move(value));
    object.Invoke(*id, isSet ? InvokeKind::PropertySet : InvokeKind::PropertyLet, all);
}

void Interpreter::CallBuiltin(Frame& frame, const Instruction& instruction, Stack& stack) {
    const BuiltinEntry& entry = mBuiltins.Function(static_cast<std::uint32_t>(instruction.c));
    std::size_t argc = instruction.b;
    bool statement = instruction.Has(OpStatement);
    std::span<Variant> args(stack.data() + stack.size() - argc, argc);
    // Omitted trailing arguments are absent, as the library expects.
    std::size_t used = argc;
    while (used > 0 && args[used - 1].IsMissing()) {
        --used;
    }
    if (static_cast<int>(used) < entry.minArgs ||
        (entry.maxArgs >= 0 && static_cast<int>(used) > entry.maxArgs)) {
        Raise(ErrorNumber::WrongArgumentCount);
    }
    if (entry.intrinsic != Intrinsic::None) {
        CallIntrinsic(entry.intrinsic, frame, args.first(used), statement, stack);
        return;
    }
    for (Variant& arg : args.first(used)) {
        if (arg.IsByRef()) {
            arg = Variant(arg.Deref());
        }
    }
    Variant value = entry.function(args.first(used), mRuntimeState);
    PushValueResult(std::move(value), statement, stack, argc);
}

void Interpreter::CallIntrinsic(Intrinsic intrinsic, Frame& frame, std::span<Variant> args, bool statement,
                                Stack& stack) {
    // `args` may be shorter than what lies on the stack (omitted trailing arguments).
    std::size_t popCount = static_cast<std::size_t>(stack.data() + stack.size() - args.data());
    switch (intrinsic) {
    case Intrinsic::None:
        break;
    case Intrinsic::Err:
        PushValueResult(Variant(Ref<Object>(mErr)), statement, stack, popCount);
        return;
    case Intrinsic::GetLocale:
        PushValueResult(Variant(automation::CurrentLocale()), statement, stack, popCount);
        return;
    case Intrinsic::SetLocale: {
        std::int32_t previous = automation::CurrentLocale();
        std::int32_t wanted = args.empty() ? 1033 : automation::ToLong(args[0]);
        if (!automation::SetCurrentLocale(wanted)) {
            Raise(ErrorNumber::InvalidProcedureCall);
        }
        PushValueResult(Variant(previous), statement, stack, popCount);
        return;
    }
    case Intrinsic::CreateObject: {
        Ref<Object> object = CreateSafeObject(automation::ToString(args[0]));
        if (!object) {
            Raise(ErrorNumber::CannotCreateObject);
        }
        PushValueResult(Variant(std::move(object)), statement, stack, popCount);
        return;
    }
    case Intrinsic::GetRef: {
        Ref<Procedure> procedure = FindProcedure(*frame.code->module, automation::ToString(args[0]));
        if (!procedure) {
            Raise(ErrorNumber::InvalidProcedureCall);
        }
        PushValueResult(Variant(Ref<Object>(MakeRef<ProcedureRef>(procedure, mLink))), statement, stack,
                        popCount);
        return;
    }
    case Intrinsic::Eval: {
        Ref<CodeBlock> code =
            CompileEvalText(*frame.code->module, automation::ToString(args[0]), frame.code.Get());
        Frame callee =
            MakeChunkFrame(code, frame.locals, frame.me, statement ? ReturnMode::Discard : ReturnMode::Push);
        stack.resize(stack.size() - popCount);
        PushFrame(std::move(callee), stack);
        return;
    }
    case Intrinsic::Execute:
    case Intrinsic::ExecuteGlobal: {
        // Execute inside a procedure sees the procedure's locals; at the top level, and for
        // ExecuteGlobal, the text runs like code added to the module.
        bool local = intrinsic == Intrinsic::Execute && !frame.code->isTopLevel;
        CompiledChunk chunk = CompileText(*frame.code->module, automation::ToString(args[0]),
                                          local ? frame.code.Get() : nullptr);
        Install(*frame.code->module, chunk);
        Frame callee =
            MakeChunkFrame(chunk.topLevel, local ? frame.locals : nullptr, local ? frame.me : nullptr,
                           statement ? ReturnMode::Discard : ReturnMode::Push);
        stack.resize(stack.size() - popCount);
        PushFrame(std::move(callee), stack);
        return;
    }
    }
}

void Interpreter::NewInstance(Frame& frame, const Instruction& instruction, Stack& stack) {
    Module& module = *frame.code->module;
    auto slotIndex = static_cast<std::uint32_t>(instruction.c);
    Resolution resolution = Resolve(module, slotIndex);
    if (resolution.kind != Resolution::Kind::Slot || resolution.slot->kind != SlotKind::Class) {
        Raise(ClassNotDefined, u"",
              u"Class not defined: '" + mNames->Spelling(module.Slot(slotIndex).name) + u"'");
    }
    auto instance = MakeRef<ClassInstance>(resolution.slot->scriptClass, mLink);
    stack.emplace_back(Ref<Object>(instance));
    if (const Procedure* initialize = instance->Class().initialize.Get()) {
        PushFrame(MakeFrame(*initialize, instance, {}, ReturnMode::Discard), stack);
    }
}

void Interpreter::ForEachStart(Frame& frame, const Instruction& instruction, Stack& stack) {
    Variant collection = std::move(stack.back());
    stack.pop_back();
    Variant& hidden = frame.locals[instruction.b];
    const Variant& plain = collection.Deref();
    if (plain.IsArray()) {
        hidden =
            Variant(Ref<Object>(MakeRef<EnumeratorHolder>(MakeRef<ArrayEnumerator>(plain.ArrayValue()))));
        return;
    }
    if (!plain.IsObject() || !plain.ObjectValue() ||
        dynamic_cast<ClassInstance*>(plain.ObjectValue().Get())) {
        Raise(ErrorNumber::NotACollection);
    }
    Ref<automation::Enumerator> enumerator;
    try {
        enumerator = plain.ObjectValue()->NewEnum();
    } catch (const automation::Error& error) {
        if (error.Number() != ErrorNumber::ObjectDoesNotSupport) {
            throw;
        }
        Raise(ErrorNumber::NotACollection);
    }
    hidden = Variant(Ref<Object>(MakeRef<EnumeratorHolder>(std::move(enumerator))));
}

// ---------------------------------------------------------------------------------------------
// Calls from outside the loop

Variant Interpreter::CallProcedure(const Procedure& procedure, ClassInstance* me, std::span<Variant> args) {
    return Enter(procedure.code, &procedure, args, Ref<ClassInstance>(me));
}

Variant Interpreter::InvokeInstance(ClassInstance& instance, std::uint32_t member, InvokeKind kind,
                                    std::span<Variant> args) {
    const ClassMember& info = instance.Class().members[member];
    if (!info.isPublic) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    bool isLet = automation::HasKind(kind, InvokeKind::PropertyLet);
    bool isSet = automation::HasKind(kind, InvokeKind::PropertySet);
    if (isLet || isSet) {
        if (args.empty()) {
            Raise(ErrorNumber::WrongArgumentCount);
        }
        if (info.field >= 0) {
            Variant value = args.back().Deref();
            StoreInto(instance.Field(info.field), args.first(args.size() - 1),
                      isSet ? std::move(value) : LetValue(std::move(value)), isSet);
            return Variant();
        }
        const Procedure* procedure = isSet ? info.set.Get() : info.let.Get();
        if (!procedure) {
            Raise(ErrorNumber::ObjectDoesNotSupport);
        }
        return CallProcedure(*procedure, &instance, args);
    }
    if (info.field >= 0) {
        Variant& field = instance.Field(info.field);
        if (args.empty()) {
            return field;
        }
        if (field.IsArray()) {
            Subscripts subscripts(args);
            return field.ArrayValue()->At(subscripts.View());
        }
        Ref<Object> object = ObjectOperand(field);
        std::optional<DispId> id = object->GetDefaultDispId();
        if (!id) {
            Raise(ErrorNumber::ObjectDoesNotSupport);
        }
        return object->Invoke(*id, automation::InvokeRead, args);
    }
    const Procedure* procedure = info.method ? info.method.Get() : info.get.Get();
    if (!procedure) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    return CallProcedure(*procedure, &instance, args);
}

} // namespace qv::vbscript
