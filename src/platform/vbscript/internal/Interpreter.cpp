#include "platform/vbscript/internal/Interpreter.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Locale.h"
#include "platform/automation/Memory.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <numeric>
#include <utility>

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

// The engine whose script code runs on this thread now, for the library's checks of the
// time-out (CheckRunDeadline). An apartment is one thread and this layer sits below the
// per-apartment context object, so it is a thread_local, as the memory account is; each loop
// level sets it and puts back the one before, so that the engine of the innermost run answers.
constinit thread_local Interpreter* tRunningEngine = nullptr;

// The text Eval, Execute or ExecuteGlobal runs, or the name GetRef or CreateObject looks up: a
// String argument is read where it lies, since a built text may be as long as the ceiling allows;
// anything else is converted into `converted`.
std::u16string_view RunText(const Variant& argument, std::u16string& converted) {
    const Variant& value = argument.Deref();
    if (value.IsString()) {
        return value.StringValue();
    }
    converted = automation::ToString(value);
    return converted;
}

bool IsWhole(VarType type) {
    return type == VarType::Integer || type == VarType::Long;
}

// The value of an Integer or a Long.
std::int64_t WholeValue(const Variant& value) {
    return value.Type() == VarType::Integer ? value.IntegerValue() : value.LongValue();
}

// The subscripts of an array access, without a heap allocation for the usual few dimensions.
class Subscripts {
public:
    explicit Subscripts(std::span<Variant> args) : mCount(args.size()) {
        if (mCount > mInline.size()) {
            mHeap.resize(mCount);
        }
        std::int32_t* out = Data();
        for (std::size_t index = 0; index < mCount; ++index) {
            const Variant& arg = args[index];
            VarType type = arg.Type();
            out[index] = type == VarType::Integer ? arg.IntegerValue()
                         : type == VarType::Long  ? arg.LongValue()
                                                  : automation::ToLong(arg);
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

// The element at whole-number subscripts (the first varying fastest, as SafeArray stores them),
// found without the general path of SafeArray::At; null for anything else, which At then reads
// or rejects (9) itself.
template <class Array>
[[gnu::always_inline]] inline auto* FindElement(Array& array, const Variant* args,
                                                std::size_t argc) noexcept {
    const std::vector<SafeArray::Bound>& bounds = array.Bounds();
    decltype(&array.Elements()[0]) element = nullptr;
    if (bounds.size() != argc) {
        return element;
    }
    std::size_t offset = 0;
    std::size_t stride = 1;
    for (std::size_t dimension = 0; dimension < argc; ++dimension) {
        const Variant& arg = args[dimension].Deref();
        const VarType type = arg.OwnType();
        if (!IsWhole(type)) {
            return element;
        }
        const SafeArray::Bound& bound = bounds[dimension];
        const std::int64_t index = static_cast<std::int64_t>(arg.OwnWholeValue()) - bound.lower;
        // One compare for both ends: a negative index becomes a huge unsigned one.
        if (static_cast<std::uint64_t>(index) >= static_cast<std::uint64_t>(bound.count)) {
            return element;
        }
        offset += static_cast<std::size_t>(index) * stride;
        stride *= static_cast<std::size_t>(bound.count);
    }
    return &array.Elements()[offset];
}

// A value that a Let stores as it is: neither an object (which gives its default value) nor a
// reference.
bool IsPlainValue(const Variant& value) {
    return !value.IsByRef() && !value.IsObject();
}

// The value an assignment stores: Let takes a plain value (an object's default value), Set
// requires an object.
void PrepareAssigned(Variant& value, bool isSet) {
    if (!isSet) {
        if (!IsPlainValue(value)) {
            value = LetValue(std::move(value));
        }
    } else if (!value.IsObject()) {
        Raise(ErrorNumber::ObjectRequired);
    }
}

// A plain value where a call was written: as a statement no Sub exists (35); with arguments it
// cannot be indexed (13).
void RejectCallOfValue(bool statement, std::size_t argc) {
    if (statement) {
        Raise(ErrorNumber::SubOrFunctionNotDefined);
    }
    if (argc > 0) {
        Raise(ErrorNumber::TypeMismatch);
    }
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

// The size of the work a value stands for when an operation reads or makes it: its characters or
// its elements (NoteWork).
std::size_t WorkSize(const Variant& value) {
    const Variant& plain = value.Deref();
    if (plain.IsString()) {
        return plain.StringValue().size();
    }
    if (plain.IsArray()) {
        return plain.ArrayValue()->ElementCount();
    }
    return 0;
}

// The text one piece (no object: its default value stands for it) adds to a concatenation; Null
// adds nothing.
void AppendText(std::u16string& out, const Variant& piece) {
    const Variant& value = piece.Deref();
    assert(!value.IsObject() && "an object piece gives its default value first");
    switch (value.Type()) {
    case VarType::String:
        out += value.StringValue();
        return;
    case VarType::Null:
    case VarType::Empty:
        return;
    default:
        automation::AppendTextForm(out, value);
        return;
    }
}

// a & b & ...: Null only when every piece is Null, else the text of the pieces. An object piece
// is its default value, Null included: `"y" & o` is "y" when o gives Null, as `"y" & Null` is.
// The default values are taken from left to right, each into the piece's own stack slot.
Variant ConcatPieces(std::span<Variant> pieces) {
    bool allNull = true;
    std::size_t length = 0;
    for (Variant& piece : pieces) {
        if (piece.IsObject()) [[unlikely]] {
            piece = automation::DefaultValue(piece);
        }
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
    Variant::TextBuilder builder;
    std::u16string& text = builder.Text();
    automation::ReserveChecked(text, length);
    for (const Variant& piece : pieces) {
        AppendText(text, piece);
    }
    return builder.Finish();
}

// Whether ReDim (without Preserve) and Erase make a dynamic array again where it is, its old
// elements given back first, so that a statement that frees memory never fails at the ceiling:
// when nobody else holds it.
bool RemadeInPlace(const SafeArray& array) {
    return array.IsUnique() && array.ElementType() == VarType::Variant;
}

// x = x & pieces, in place while x's string is not shared. A piece that is an object stops it
// before its default value runs, since that is code that may change x: x then gets back what it
// held, and the result is false.
bool AppendPieces(Variant& target, std::span<Variant> pieces) {
    Variant& value = target.Deref();
    bool allNull = value.IsNull();
    for (const Variant& piece : pieces) {
        allNull = allNull && piece.IsNull();
    }
    if (allNull) {
        return true;
    }
    const VarType was = value.Type();
    assert(was == VarType::String || was == VarType::Empty || was == VarType::Null);
    if (!value.IsString()) {
        value = Variant(std::u16string());
    }
    const std::size_t length = value.StringValue().size();
    for (const Variant& piece : pieces) {
        const Variant& plain = piece.Deref();
        if (plain.IsString()) {
            value.AppendString(plain.StringValue());
        } else if (!plain.IsNull() && !plain.IsEmpty()) {
            if (plain.IsObject()) [[unlikely]] {
                value = was == VarType::String ? Variant(value.StringValue().substr(0, length))
                        : was == VarType::Null ? Variant::Null()
                                               : Variant();
                return false;
            }
            std::u16string text;
            AppendText(text, plain);
            value.AppendString(text);
        }
    }
    return true;
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

// Replaces a scalar slot's value; the slot holds nothing that needs releasing.
template <class T> void SetScalar(Variant& slot, T value) noexcept {
    assert(!slot.IsString() && !slot.IsObject() && !slot.IsArray() && !slot.IsByRef());
    std::construct_at(&slot, value);
}

// Stores a whole-number result in the subtype of its operands: Integer when both were Integers,
// else Long. False when it does not fit, which leaves the widening to automation::Evaluate.
bool SetWhole(Variant& slot, std::int64_t value, bool integers) noexcept {
    if (integers) {
        if (value < std::numeric_limits<std::int16_t>::min() ||
            value > std::numeric_limits<std::int16_t>::max()) {
            return false;
        }
        SetScalar(slot, static_cast<std::int16_t>(value));
        return true;
    }
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    SetScalar(slot, static_cast<std::int32_t>(value));
    return true;
}

bool IsReal(VarType type) noexcept {
    return type == VarType::Double || IsWhole(type);
}

// The value of an Integer or a Long that is no reference (whose own type is `type`).
std::int64_t OwnWhole(const Variant& value, [[maybe_unused]] VarType type) noexcept {
    assert(type == value.OwnType());
    return value.OwnWholeValue();
}

// An Integer, Long or Double that is no reference as a double.
double RealValue(const Variant& value, VarType type) noexcept {
    return type == VarType::Double ? value.OwnDoubleValue() : static_cast<double>(OwnWhole(value, type));
}

// The common cases of + - * on plain Integer, Long and Double operands, without the automation
// layer's general dispatch. False leaves the case to automation::Evaluate, which has every rule:
// other subtypes, and results that overflow into a wider subtype (Integer into Long, Long into
// Double) or out of range.
[[gnu::always_inline]] inline bool FastArithmetic(Op op, Variant& left, const Variant& right) noexcept {
    const VarType leftType = left.OwnType();
    const VarType rightType = right.OwnType();
    if (IsWhole(leftType) && IsWhole(rightType)) {
        const std::int64_t a = OwnWhole(left, leftType);
        const std::int64_t b = OwnWhole(right, rightType);
        const std::int64_t value = op == Op::Add ? a + b : op == Op::Subtract ? a - b : a * b;
        return SetWhole(left, value, leftType == VarType::Integer && rightType == VarType::Integer);
    }
    if (!IsReal(leftType) || !IsReal(rightType)) {
        return false;
    }
    const double a = RealValue(left, leftType);
    const double b = RealValue(right, rightType);
    const double value = op == Op::Add ? a + b : op == Op::Subtract ? a - b : a * b;
    if (!std::isfinite(value)) {
        return false;
    }
    SetScalar(left, value);
    return true;
}

// Mod, \ and / on plain Integer, Long and Double operands: Mod and \ of whole numbers keep the
// wider subtype of the two and truncate toward zero, as C++ does; / gives a Double. A zero
// divisor (11) and anything else goes to automation::Evaluate, as do Doubles for Mod and \,
// which are rounded to whole numbers first.
[[gnu::always_inline]] inline bool FastDivision(Op op, Variant& left, const Variant& right) noexcept {
    const VarType leftType = left.OwnType();
    const VarType rightType = right.OwnType();
    if (IsWhole(leftType) && IsWhole(rightType)) {
        const std::int64_t a = OwnWhole(left, leftType);
        const std::int64_t b = OwnWhole(right, rightType);
        if (b == 0) {
            return false;
        }
        if (op == Op::Divide) {
            SetScalar(left, static_cast<double>(a) / static_cast<double>(b));
            return true;
        }
        // -32768 \ -1 does not fit an Integer: Evaluate widens it. Both fit 32 bits, whose
        // division is the cheaper one, except for the smallest Long by -1.
        std::int64_t value = 0;
        if (b == -1) {
            value = op == Op::Modulo ? 0 : -a;
        } else {
            const auto a32 = static_cast<std::int32_t>(a);
            const auto b32 = static_cast<std::int32_t>(b);
            value = op == Op::Modulo ? a32 % b32 : a32 / b32;
        }
        return SetWhole(left, value, leftType == VarType::Integer && rightType == VarType::Integer);
    }
    if (op != Op::Divide || !IsReal(leftType) || !IsReal(rightType)) {
        return false;
    }
    const double b = RealValue(right, rightType);
    if (b == 0) {
        return false;
    }
    const double value = RealValue(left, leftType) / b;
    if (!std::isfinite(value)) {
        return false;
    }
    SetScalar(left, value);
    return true;
}

// Whether `order` (-1, 0, 1) satisfies comparison `op`.
bool Satisfies(Op op, int order) noexcept {
    if (op == Op::Equal) {
        return order == 0;
    }
    if (op == Op::NotEqual) {
        return order != 0;
    }
    if (op == Op::Less) {
        return order < 0;
    }
    if (op == Op::LessEqual) {
        return order <= 0;
    }
    if (op == Op::Greater) {
        return order > 0;
    }
    assert(op == Op::GreaterEqual && "not a comparison");
    return order >= 0;
}

template <class T> int Order(T a, T b) noexcept {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The comparisons of plain Integer, Long and Double operands; false leaves the rest to
// automation::Evaluate.
[[gnu::always_inline]] inline bool FastCompare(Op op, Variant& left, const Variant& right) noexcept {
    const VarType leftType = left.OwnType();
    const VarType rightType = right.OwnType();
    int order = 0;
    if (IsWhole(leftType) && IsWhole(rightType)) {
        order = Order(OwnWhole(left, leftType), OwnWhole(right, rightType));
    } else if (IsReal(leftType) && IsReal(rightType)) {
        order = Order(RealValue(left, leftType), RealValue(right, rightType));
    } else {
        return false;
    }
    SetScalar(left, Satisfies(op, order));
    return true;
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

// Next of a For loop whose counter, step and end are whole numbers: the counter steps in place
// and `goOn` tells whether the loop goes on. False leaves everything else (a set-up that never
// ran included) to Interpreter::ForNext.
[[gnu::always_inline]] inline bool StepWholeLoop(Variant& counter, const Variant* hidden,
                                                 bool& goOn) noexcept {
    const VarType counterType = counter.OwnType();
    const VarType stepType = hidden[1].OwnType();
    const VarType endType = hidden[0].OwnType();
    if (!IsWhole(counterType) || !IsWhole(stepType) || !IsWhole(endType) ||
        hidden[2].OwnType() != VarType::Boolean) {
        return false;
    }
    const std::int64_t value = OwnWhole(counter, counterType) + OwnWhole(hidden[1], stepType);
    if (!SetWhole(counter, value, counterType == VarType::Integer && stepType == VarType::Integer)) {
        return false;
    }
    const std::int64_t end = OwnWhole(hidden[0], endType);
    goOn = hidden[2].BooleanValue() ? value >= end : value <= end;
    return true;
}

// Whether a For loop's counter has gone past the end (hidden: end, step, descending).
bool PastEnd(const Variant& counter, const Variant* hidden) {
    if (IsWhole(counter.Type()) && IsWhole(hidden[0].Type())) {
        const std::int64_t value = WholeValue(counter);
        const std::int64_t end = WholeValue(hidden[0]);
        return hidden[2].BooleanValue() ? value < end : value > end;
    }
    automation::CompareResult order = automation::Compare(counter, hidden[0]);
    return order == automation::CompareResult::Null ||
           (hidden[2].BooleanValue() ? order == automation::CompareResult::Less
                                     : order == automation::CompareResult::Greater);
}

/// The bounds of ReDim a(u1, u2, ...): lower bound 0, count u + 1.
SafeArray::Bound BoundFrom(const Variant& upper) {
    return SafeArray::ZeroBased(upper.Type() == VarType::Long ? upper.LongValue()
                                                              : automation::ToLong(upper));
}

std::vector<SafeArray::Bound> BoundsFrom(std::span<Variant> uppers) {
    std::vector<SafeArray::Bound> bounds;
    bounds.reserve(uppers.size());
    for (Variant& upper : uppers) {
        bounds.push_back(BoundFrom(upper));
    }
    return bounds;
}

/// Enough for every ReDim Preserve seen in practice; more dimensions take the vector path.
constexpr std::size_t SmallBoundCount = 8;

void FillBounds(std::span<Variant> uppers, std::array<SafeArray::Bound, SmallBoundCount>& bounds) {
    for (std::size_t dimension = 0; dimension < uppers.size(); ++dimension) {
        bounds[dimension] = BoundFrom(uppers[dimension]);
    }
}

bool IsMissingArgument(const Variant& value) noexcept {
    return value.Type() == VarType::Error && value.ErrorValue() == automation::ParamNotFound;
}

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
// the name is one of the class's fixed members. Script objects never match a cached class: they
// answer from their own tables, not their (empty) class information.
DispId FindHostMember(CallSite& site, Object& object, const NameTable& names) {
    const automation::ClassInfo* info = &object.Info();
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

// The object an operand holds; it stays alive in its stack slot while it is used.
Object& ObjectOperand(const Variant& value) {
    if (!value.IsObject()) {
        Raise(ErrorNumber::ObjectRequired);
    }
    if (!value.ObjectValue()) {
        Raise(ErrorNumber::ObjectVariableNotSet);
    }
    return *value.ObjectValue();
}

// The object whose member is read or written: Nothing has no members (424, as for a value).
Object& MemberOwner(const Variant& value) {
    if (!value.IsObject() || !value.ObjectValue()) {
        Raise(ErrorNumber::ObjectRequired);
    }
    return *value.ObjectValue();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Frames

// A ByRef parameter given a variable keeps the reference; a ByVal one takes a copy of the value.
void Interpreter::UnbindByValArguments(const CodeBlock& code, Variant* args) {
    for (std::uint64_t byVal = code.paramByVal.FirstWord(); byVal != 0; byVal &= byVal - 1) {
        Variant& slot = args[std::countr_zero(byVal)];
        if (slot.IsByRef()) {
            slot = Variant(slot.Deref());
        }
    }
    for (std::size_t index = 64; index < code.paramCount; ++index) {
        if (args[index].IsByRef() && code.paramByVal[index]) {
            args[index] = Variant(args[index].Deref());
        }
    }
}

// `args` are the call's arguments: on the stack, right above `callerTop` or one slot higher (the
// object of a member call), or the host's. `callerTop` is where the caller's top goes back to
// when the call is over. Arguments on the stack become the parameters where they lie whenever
// the segment has room for the frame; the host's are copied.
void Interpreter::PushFrame(CodeBlock& code, Ref<CodeBlock> held, ClassInstance* me, Variant* args,
                            std::size_t argc, bool argsOnStack, Variant* callerTop, ReturnMode mode) {
    if (argc != code.paramCount) {
        Raise(ErrorNumber::WrongArgumentCount);
    }
    if (mFrames.size() >= MaxCallDepth) {
        Raise(ErrorNumber::OutOfStackSpace);
    }
    CheckTimeout();
    // Held before the object's own stack slot is released.
    Ref<ClassInstance> instance(me);
    const std::uint32_t callerSegment = mStack.Segment();
    const std::size_t size = code.LocalCount() + code.maxStack;
    Variant* locals = nullptr;
    if (!argsOnStack) {
        locals = mStack.Reserve(callerTop, size);
        // Empty slots: the copies are constructed into them.
        for (std::size_t index = 0; index < argc; ++index) {
            std::construct_at(locals + index, args[index]);
        }
    } else {
        assert((args == callerTop || args == callerTop + 1) && "the arguments lie on the caller's top");
        Variant* top = mStack.Top();
        locals = mStack.Reserve(args, size);
        if (locals != args) {
            // The frame starts a new segment: the arguments move there, the rest stays behind.
            for (std::size_t index = 0; index < argc; ++index) {
                std::construct_at(locals + index, std::move(args[index]));
            }
            while (top != callerTop) {
                ValueStack::Clear(*--top);
            }
        } else if (args != callerTop) {
            ValueStack::Clear(*callerTop);
        }
    }
    UnbindByValArguments(code, locals);
    assert(mFrames.size() < mFrames.capacity() && "frames never reallocate");
    mFrames.emplace_back(code, std::move(held), locals, callerTop, nullptr, std::move(instance),
                         callerSegment, mode);
    mStack.SetTop(locals + code.LocalCount());
}

void Interpreter::PushChunkFrame(Ref<CodeBlock> code, Variant* outer, Ref<ClassInstance> me,
                                 ReturnMode mode) {
    if (mFrames.size() >= MaxCallDepth) {
        Raise(ErrorNumber::OutOfStackSpace);
    }
    const std::uint32_t callerSegment = mStack.Segment();
    Variant* callerTop = mStack.Top();
    Variant* locals = mStack.Reserve(callerTop, code->LocalCount() + code->maxStack);
    assert(mFrames.size() < mFrames.capacity() && "frames never reallocate");
    CodeBlock& block = *code;
    Frame& frame = mFrames.emplace_back(block, std::move(code), locals, callerTop, outer, std::move(me),
                                        callerSegment, mode);
    mStack.SetTop(frame.StackBase());
}

void Interpreter::RetireIfRunning(const Ref<Procedure>& procedure) {
    if (!procedure) {
        return;
    }
    const CodeBlock* code = procedure->code.Get();
    if (std::ranges::any_of(mFrames, [code](const Frame& frame) { return frame.code.Get() == code; })) {
        mRetired.push_back(procedure);
    }
}

void Interpreter::ReleaseLocks(std::size_t keep) {
    while (mElementLocks.size() > keep) {
        if (mElementLocks.back().array) {
            mElementLocks.back().array->Unlock();
        }
        mElementLocks.pop_back();
    }
}

void Interpreter::CheckDeadline() {
    if (std::chrono::steady_clock::now() >= mDeadline) {
        mPlace = ErrorPlace{};
        RecordPlace(automation::Error(TimeoutErrorNumber, u"", std::u16string(TimeoutErrorText)));
        throw ScriptTimeout();
    }
}

void CheckRunDeadline() {
    if (Interpreter* engine = tRunningEngine) {
        engine->CheckRunDeadline();
    }
}

Interpreter::ClockWatch::ClockWatch(Interpreter& engine) noexcept
    : mOuter(std::exchange(tRunningEngine, &engine)) {}

Interpreter::ClockWatch::~ClockWatch() {
    tRunningEngine = mOuter;
}

bool RunHasDeadline() noexcept {
    const Interpreter* engine = tRunningEngine;
    return engine != nullptr && engine->HasDeadline();
}

bool RunDeadlinePassed() noexcept {
    const Interpreter* engine = tRunningEngine;
    return engine != nullptr && engine->DeadlinePassed();
}

void Interpreter::QueueTerminate(Ref<ClassInstance> instance) {
    mPendingTerminates.push_back(std::move(instance));
    mTerminatePending = true;
}

Ref<ClassInstance>* Interpreter::NextTerminate() noexcept {
    const auto size = static_cast<std::uint32_t>(mPendingTerminates.size());
    while (mTerminateNext < size && !mPendingTerminates[mTerminateNext]) {
        ++mTerminateNext;
    }
    if (mTerminateNext < size) {
        return &mPendingTerminates[mTerminateNext];
    }
    while (mPendingTerminates.size() > mTerminateResume && !mPendingTerminates.back()) {
        mPendingTerminates.pop_back();
    }
    mTerminateNext = static_cast<std::uint32_t>(mPendingTerminates.size());
    return nullptr;
}

std::uint32_t Interpreter::TakeTerminate() noexcept {
    mPendingTerminates[mTerminateNext] = nullptr;
    const std::uint32_t outer = std::exchange(mTerminateResume, mTerminateNext + 1);
    mTerminateNext = static_cast<std::uint32_t>(mPendingTerminates.size());
    return outer;
}

// Out of line: the loop's registers are chosen for its hot cases, which this would crowd.
[[gnu::noinline]] void Interpreter::StartTerminate() {
    Ref<ClassInstance>* next = NextTerminate();
    if (!next) {
        mTerminatePending = false;
        return;
    }
    if (mFrames.size() >= MaxCallDepth) {
        return;
    }
    // No terminator starts past the deadline: one that fails before it looks at the clock (error
    // 7 on its first statement) would otherwise let a queue of them run on.
    if (mTimeoutMs > 0) {
        CheckDeadline();
    }
    // The entry is taken once the frame holds the object: a frame that cannot be made leaves it
    // queued.
    ClassInstance& instance = **next;
    PushProcedureFrame(*instance.Class().terminate, &instance, nullptr, 0, false, mStack.Top(),
                       ReturnMode::Terminate);
    mFrames.back().outerTerminateResume = TakeTerminate();
}

// ---------------------------------------------------------------------------------------------
// The loop

// Runs a procedure (with `args`) or a chunk in a loop of its own, above whatever the loops
// that called out to the host still hold.
Variant Interpreter::RunLevel(const Procedure* procedure, Ref<CodeBlock> chunk, Ref<ClassInstance> me,
                              std::span<Variant> args) {
    if (mNativeDepth >= MaxNativeDepth || mFrames.size() >= MaxCallDepth) {
        Raise(ErrorNumber::OutOfStackSpace);
    }
    struct Level {
        Interpreter& self;
        std::size_t boundary;
        Interpreter* outerEngine;
        // The terminator queue's places, for frames of Class_Terminate left by an exception.
        std::uint32_t terminateNext;
        std::uint32_t terminateResume;
        ~Level() {
            tRunningEngine = outerEngine;
            // Leaving by an exception: this level's frames go with it, and the element locks of
            // their calls; those of the outer levels' calls stay.
            while (!self.mElementLocks.empty() && self.mElementLocks.back().frame >= boundary) {
                self.ReleaseLocks(self.mElementLocks.size() - 1);
            }
            while (self.mFrames.size() > boundary) {
                self.PopFrame();
            }
            if (self.mTerminateResume != terminateResume) {
                self.mTerminateResume = terminateResume;
                self.ResumeTerminates(terminateNext);
            }
            --self.mNativeDepth;
        }
    } level{*this, mFrames.size(), std::exchange(tRunningEngine, this), mTerminateNext, mTerminateResume};
    ++mNativeDepth;
    if (procedure) {
        PushProcedureFrame(*procedure, me.Get(), args.data(), args.size(), false, mStack.Top(),
                           ReturnMode::Boundary);
    } else {
        PushChunkFrame(std::move(chunk), nullptr, std::move(me), ReturnMode::Boundary);
    }
    Variant result;
    for (;;) {
        try {
            if (Loop(level.boundary, result)) {
                return result;
            }
        } catch (const automation::Error& error) {
            if (!HandleError(error, level.boundary)) {
                throw;
            }
        } catch (const std::bad_alloc&) {
            // An allocation the ceiling let through still failed: the script sees error 7 like
            // any other, and the host stays up.
            const automation::Error error(ErrorNumber::OutOfMemory);
            if (!HandleError(error, level.boundary)) {
                throw error;
            }
        }
    }
}

// An error inside a statement of a frame under On Error Resume Next goes on with the next
// statement of that frame; frames without it are left. The time-out is not an Error and never
// stops here.
bool Interpreter::HandleError(const automation::Error& error, std::size_t boundary) {
    RecordPlace(error);
    while (mFrames.size() > boundary) {
        Frame& frame = mFrames.back();
        std::size_t frameIndex = mFrames.size() - 1;
        while (!mElementLocks.empty() && mElementLocks.back().frame >= frameIndex) {
            ReleaseLocks(mElementLocks.size() - 1);
        }
        if (frame.resumeNext) {
            mErr->Set(error);
            const StatementRange* range = frame.code->StatementAt(frame.pc - 1);
            if (range) {
                ForgetUnpreparedLoop(frame, range->end);
                frame.pc = range->end;
            }
            mStack.DropTo(frame.StackBase());
            mPlace.known = false;
            return true;
        }
        if (frame.mode == ReturnMode::Terminate) {
            // Class_Terminate's errors are dropped; the code it interrupted goes on.
            PopTerminateFrame();
            mPlace.known = false;
            return true;
        }
        PopFrame();
    }
    return false;
}

// A For header that failed before its ForPrepare completed leaves the loop's hidden locals as an
// earlier loop using them left them; the body goes on (Resume Next), and its Next must find the
// loop not set up (92), not run on with the old bounds.
void Interpreter::ForgetUnpreparedLoop(Frame& frame, std::uint32_t statementEnd) {
    const std::vector<Instruction>& code = frame.code->code;
    for (std::uint32_t at = frame.pc > 0 ? frame.pc - 1 : 0; at < statementEnd && at < code.size(); ++at) {
        if (code[at].op == Op::ForPrepare) {
            frame.locals[code[at].b + 2] = Variant();
            return;
        }
    }
}

// An error in a text that a statement ran (Execute, ExecuteGlobal, Eval), or in a procedure such
// a text declared, is reported at the statement of the file that led to it, with the line inside
// the text in the description: the text's own line numbers are no lines of the file.
void Interpreter::RecordPlace(const automation::Error& error) {
    std::int32_t runTextLine = std::exchange(mRunTextLine, 0);
    // A nested loop may have recorded this error already, where it began.
    if (mPlace.known && mPlace.number == error.Number() &&
        std::u16string_view(mPlace.description).starts_with(error.Description())) {
        return;
    }
    mPlace = ErrorPlace{};
    mPlace.number = error.Number();
    mPlace.description = error.Description();
    auto positionOf = [](const Frame& frame) -> std::optional<std::uint32_t> {
        const CodeBlock& code = *frame.code;
        if (code.positions.empty() || !code.source) {
            return std::nullopt;
        }
        std::uint32_t pc = frame.pc > 0 ? frame.pc - 1 : 0;
        return code.positions[std::min<std::size_t>(pc, code.positions.size() - 1)];
    };
    std::size_t index = mFrames.size();
    while (index > 0) {
        const Frame& frame = mFrames[index - 1];
        if (!frame.code->source || !frame.code->source->IsRunByScript() || index == 1) {
            break;
        }
        if (runTextLine == 0) {
            if (std::optional<std::uint32_t> offset = positionOf(frame)) {
                runTextLine = frame.code->source->LineColumn(*offset).first;
            }
        }
        --index;
    }
    if (index == 0) {
        return;
    }
    const Frame& frame = mFrames[index - 1];
    std::optional<std::uint32_t> offset = positionOf(frame);
    if (!offset) {
        return;
    }
    const SourceText& source = *frame.code->source;
    if (runTextLine > 0 && !source.IsRunByScript()) {
        mPlace.description +=
            u" (line " + automation::ToString(Variant(runTextLine)) + u" of the executed text)";
    }
    auto [line, column] = source.LineColumn(*offset);
    mPlace.known = true;
    mPlace.line = line;
    mPlace.column = column;
    mPlace.text = std::u16string(source.LineText(*offset));
}

// The common instructions on plain values are handled inline; everything else goes to a
// handler of its own. The program counter lives in `ip` while the loop runs: SaveCounter() writes
// it back to the frame before anything that can raise, call out or push a frame (errors and
// On Error Resume Next read it there), and a handler that may push or pop a frame is followed by
// refresh(). A Class_Terminate queued by a release starts before the next instruction: only the
// instructions that can release a value test for it (NextChecked).
//
// With GCC and Clang every instruction's code jumps straight to the next one's through a table
// of label addresses, which the processor predicts far better than a switch's one shared jump.
#if defined(__GNUC__) && !defined(QV_VBS_SWITCH_DISPATCH)
#define QV_VBS_THREADED 1
#endif

// Between instructions the operand stack holds no more than the compiler counted for the frame:
// the room its bound checks are made for (debug builds check it before every instruction).
#define QV_VBS_ASSERT_COUNTED()                                                                              \
    assert(mStack.Top() <= frame->StackBase() + block->maxStack && "operand stack deeper than counted")
#ifdef QV_VBS_THREADED
#define QV_VBS_CASE(name) op_##name:
#define QV_VBS_NEXT()                                                                                        \
    do {                                                                                                     \
        QV_VBS_ASSERT_COUNTED();                                                                             \
        at = ip++;                                                                                           \
        goto* labels[static_cast<std::size_t>(at->op)];                                                      \
    } while (false)
#else
#define QV_VBS_CASE(name) case Op::name:
#define QV_VBS_NEXT() continue
#endif
#ifdef QV_VBS_THREADED
#define QV_VBS_NEXT_CHECKED()                                                                                \
    do {                                                                                                     \
        if (mTerminatePending) {                                                                             \
            goto terminate;                                                                                  \
        }                                                                                                    \
        QV_VBS_NEXT();                                                                                       \
    } while (false)
#else
// The switch's loop tests before every instruction.
#define QV_VBS_NEXT_CHECKED() continue
#endif

#ifdef QV_VBS_THREADED
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
// NOLINTNEXTLINE(readability-function-size): the dispatch loop is the hot path; splitting it costs speed
bool Interpreter::Loop(std::size_t boundary, Variant& result) {
    // The loop's registers: plain locals, never captured by reference, so that the compiler keeps
    // them in machine registers.
    Frame* frame = &mFrames.back();
    const CodeBlock* block = frame->code.Get();
    const Instruction* code = block->code.data();
    const Instruction* ip = code + frame->pc;
    const Instruction* at = ip;          // the instruction being run
    const Variant* fusedRight = nullptr; // the right operand of a fused operator
    Variant* locals = frame->locals;
#define QV_VBS_SAVE_COUNTER() (frame->pc = static_cast<std::uint32_t>(ip - code))
#define QV_VBS_REFRESH()                                                                                     \
    do {                                                                                                     \
        frame = &mFrames.back();                                                                             \
        block = frame->code.Get();                                                                           \
        code = block->code.data();                                                                           \
        ip = code + frame->pc;                                                                               \
        locals = frame->locals;                                                                              \
    } while (false)
// A backward jump checks the time-out.
#define QV_VBS_JUMP(target)                                                                                  \
    do {                                                                                                     \
        const Instruction* to = code + (target);                                                             \
        if (to < ip && mTimeoutMs > 0) {                                                                     \
            QV_VBS_SAVE_COUNTER();                                                                           \
            CheckDeadline();                                                                                 \
        }                                                                                                    \
        if (to < ip && automation::HeapCheckDue()) {                                                         \
            QV_VBS_SAVE_COUNTER();                                                                           \
            automation::CheckHeap();                                                                         \
        }                                                                                                    \
        ip = to;                                                                                             \
    } while (false)
// Runs the next queued Class_Terminate; cleared once none is left to start, wherever the queue
// was drained.
#define QV_VBS_START_TERMINATE()                                                                             \
    do {                                                                                                     \
        QV_VBS_SAVE_COUNTER();                                                                               \
        StartTerminate();                                                                                    \
        QV_VBS_REFRESH();                                                                                    \
    } while (false)

    // A module variable the instruction names straight (not through an implicit local), or null
    // when the name needs the general path: not yet defined, a procedure, a constant, a name of
    // another module or of the host.
    auto moduleVariable = [&](const Instruction& instruction) -> Variant* {
        const VarKind kind = instruction.Kind();
        if (kind != VarKind::Global && kind != VarKind::GlobalExplicit) {
            return nullptr;
        }
        return block->module->VariableAt(static_cast<std::uint32_t>(instruction.c));
    };
    // A binary operator's inline case (`fast`, a lambda, so that it is inlined) on the two operands;
    // false leaves it to Binary().
    auto fastBinary = [this](Op op, auto fast) {
        Variant* top = mStack.Top();
        if (fast(op, top[-2], top[-1])) {
            std::construct_at(&top[-1]);
            mStack.SetTop(top - 1);
            return true;
        }
        return false;
    };

#ifdef QV_VBS_THREADED
    static constexpr void* labels[] = {
#define QV_VBS_OP(name, ...) &&op_##name,
#include "platform/vbscript/internal/Opcodes.def"
    };
    QV_VBS_NEXT_CHECKED();
#else
    for (;;) {
        if (mTerminatePending) {
            QV_VBS_START_TERMINATE();
        }
        QV_VBS_ASSERT_COUNTED();
        at = ip++;
        switch (at->op) {
#endif
    QV_VBS_CASE(Nop)
    QV_VBS_NEXT();
    QV_VBS_CASE(PushConst)
    mStack.PushCounted(block->constants[static_cast<std::size_t>(at->c)]);
    QV_VBS_NEXT();
    QV_VBS_CASE(PushMissing)
    mStack.Push(Variant::Missing());
    QV_VBS_NEXT();
    QV_VBS_CASE(PushMe)
    mStack.Push(Variant(Ref<Object>(frame->me)));
    QV_VBS_NEXT();
    QV_VBS_CASE(Pop)
    mStack.Drop(1);
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(Load)
    if (at->Kind() == VarKind::Local) {
        mStack.PushCounted(locals[at->c].Deref());
        QV_VBS_NEXT();
    }
    QV_VBS_SAVE_COUNTER();
    mStack.Push(Variable(*frame, *at));
    QV_VBS_NEXT();
    QV_VBS_CASE(PushRef) {
        QV_VBS_SAVE_COUNTER();
        VarKind kind = at->Kind();
        if (kind == VarKind::Local) {
            mStack.PushCounted(Variant::ByRef(locals[at->c].Deref()));
            QV_VBS_NEXT();
        }
        if (kind == VarKind::Outer || kind == VarKind::Field) {
            mStack.Push(Variant::ByRef(Variable(*frame, *at)));
            QV_VBS_NEXT();
        }
        if (Variant* variable = moduleVariable(*at)) {
            mStack.Push(Variant::ByRef(*variable));
            QV_VBS_NEXT();
        }
        Resolution resolution;
        if (Variant* target = GlobalVariable(*frame, *at, resolution, kind == VarKind::Global)) {
            mStack.Push(Variant::ByRef(*target));
            QV_VBS_NEXT();
        }
        // A procedure or host member: its value goes by value.
        Instruction read = *at;
        read.b = 0;
        read.a = static_cast<std::uint8_t>(at->a & 0x0F);
        CallName(*frame, read);
        QV_VBS_REFRESH();
        QV_VBS_NEXT_CHECKED();
    }
    QV_VBS_CASE(PushElementRef)
    QV_VBS_SAVE_COUNTER();
    PushElementRef(*frame, *at);
    QV_VBS_REFRESH();
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(Unlock)
    assert(mElementLocks.size() >= at->b && "Unlock without its element references");
    ReleaseLocks(mElementLocks.size() - at->b);
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(Store) {
        Variant* top = mStack.Top() - 1;
        if (at->a == static_cast<std::uint8_t>(VarKind::Local) && IsPlainValue(*top)) {
            locals[at->c].Deref() = std::move(*top);
            mStack.SetTop(top);
            QV_VBS_NEXT_CHECKED();
        }
        if (Variant* variable = moduleVariable(*at); variable && IsPlainValue(*top)) {
            *variable = std::move(*top);
            mStack.SetTop(top);
            QV_VBS_NEXT_CHECKED();
        }
        QV_VBS_SAVE_COUNTER();
        StoreName(*frame, *at);
        QV_VBS_REFRESH();
        QV_VBS_NEXT_CHECKED();
    }
    QV_VBS_CASE(StoreSet)
    QV_VBS_CASE(StoreRaw) {
        Variant* top = mStack.Top() - 1;
        if (at->a == static_cast<std::uint8_t>(VarKind::Local) && !top->IsByRef() &&
            (at->op == Op::StoreRaw || top->IsObject())) {
            locals[at->c].Deref() = std::move(*top);
            mStack.SetTop(top);
            QV_VBS_NEXT_CHECKED();
        }
        QV_VBS_SAVE_COUNTER();
        StoreName(*frame, *at);
        QV_VBS_REFRESH();
        QV_VBS_NEXT_CHECKED();
    }
    QV_VBS_CASE(Append)
    QV_VBS_SAVE_COUNTER();
    Append(*frame, *at);
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(CallName) {
        QV_VBS_SAVE_COUNTER();
        VarKind kind = at->Kind();
        if (kind == VarKind::Local && at->b > 0 && !at->Has(OpStatement) && locals[at->c].IsArray() &&
            ReadElement(locals[at->c].Deref(), at->b, at->b)) {
            QV_VBS_NEXT_CHECKED();
        }
        if (Variant* variable = at->Has(OpStatement) ? nullptr : moduleVariable(*at)) {
            Variant& plain = variable->Deref();
            if (at->b == 0) {
                mStack.PushCounted(plain);
                QV_VBS_NEXT();
            }
            if (plain.IsArray() && ReadElement(plain, at->b, at->b)) {
                QV_VBS_NEXT_CHECKED();
            }
        }
        if ((kind == VarKind::Implicit || kind == VarKind::Global) && at->b == 0 && !at->Has(OpStatement)) {
            // A named object, as Resolve found it while nothing has changed since.
            const GlobalSlot& slot = block->module->Slot(
                kind == VarKind::Implicit ? block->implicits[static_cast<std::size_t>(at->c)].global
                                          : static_cast<std::uint32_t>(at->c));
            if (slot.kind == SlotKind::Unset && slot.fallbackEpoch == mEpoch &&
                slot.fallback.kind == Resolution::Kind::NamedObject) {
                mStack.Push(slot.fallback.object->value);
                QV_VBS_NEXT();
            }
        }
        CallName(*frame, *at);
        QV_VBS_REFRESH();
        QV_VBS_NEXT_CHECKED();
    }
    QV_VBS_CASE(StoreIndexed)
    QV_VBS_SAVE_COUNTER();
    if (at->Kind() == VarKind::Local && at->b > 0 && !at->Has(OpSet) && locals[at->c].IsArray() &&
        IsPlainValue(mStack.Top()[-1]) && WriteElement(locals[at->c].Deref(), at->b)) {
        QV_VBS_NEXT_CHECKED();
    }
    if (Variant* variable = moduleVariable(*at);
        variable && at->b > 0 && !at->Has(OpSet) && variable->Deref().IsArray() &&
        IsPlainValue(mStack.Top()[-1]) && WriteElement(variable->Deref(), at->b)) {
        QV_VBS_NEXT_CHECKED();
    }
    StoreIndexed(*frame, *at);
    QV_VBS_REFRESH();
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(CallBuiltin)
    QV_VBS_SAVE_COUNTER();
    CallBuiltin(*frame, *at);
    QV_VBS_REFRESH();
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(CallMember)
    QV_VBS_SAVE_COUNTER();
    CallMember(*frame, *at);
    QV_VBS_REFRESH();
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(StoreMember)
    QV_VBS_SAVE_COUNTER();
    StoreMember(*frame, *at);
    QV_VBS_REFRESH();
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(CallDefault) {
        QV_VBS_SAVE_COUNTER();
        std::size_t argc = at->b;
        Variant* targetSlot = mStack.Top() - argc - 1;
        Variant target = std::move(*targetSlot);
        CallValue(target, targetSlot + 1, argc, at->Has(OpStatement), argc + 1);
    }
    // Outside the block: the next instruction's code is reached with nothing left to destroy.
    QV_VBS_REFRESH();
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(StoreDefault) {
        QV_VBS_SAVE_COUNTER();
        std::size_t argc = at->b;
        Variant* targetSlot = mStack.Top() - argc - 2;
        Variant value = mStack.Pop();
        if (!targetSlot->IsObject()) {
            Raise(ErrorNumber::TypeMismatch);
        }
        if (!targetSlot->ObjectValue()) {
            Raise(ErrorNumber::ObjectVariableNotSet);
        }
        bool isSet = at->Has(OpSet);
        StoreObjectDefault(*targetSlot->ObjectValue(), std::span<Variant>(targetSlot + 1, argc),
                           isSet ? std::move(value) : LetValue(std::move(value)), isSet);
        mStack.DropTo(targetSlot);
    }
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(New)
    QV_VBS_SAVE_COUNTER();
    NewInstance(*frame, *at);
    QV_VBS_REFRESH();
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(Add)
    QV_VBS_CASE(Subtract)
    QV_VBS_CASE(Multiply)
    if (fastBinary(at->op, [](Op op, Variant& left, const Variant& right) {
            return FastArithmetic(op, left, right);
        })) {
        QV_VBS_NEXT();
    }
    QV_VBS_SAVE_COUNTER();
    Binary(*at);
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(Equal)
    QV_VBS_CASE(NotEqual)
    QV_VBS_CASE(Less)
    QV_VBS_CASE(LessEqual)
    QV_VBS_CASE(Greater)
    QV_VBS_CASE(GreaterEqual) {
        // Two numbers compared for an If or a loop's condition: the conditional jump that follows
        // takes the answer straight, as if it had popped it.
        Variant* top = mStack.Top();
        const Instruction next = *ip;
        if ((next.op == Op::JumpIfFalse || next.op == Op::JumpIfTrue) &&
            FastCompare(at->op, top[-2], top[-1])) {
            const bool truth = top[-2].BooleanValue();
            std::construct_at(&top[-2]);
            std::construct_at(&top[-1]);
            mStack.SetTop(top - 2);
            ++ip;
            if (truth == (next.op == Op::JumpIfTrue)) {
                QV_VBS_JUMP(next.c);
            }
            QV_VBS_NEXT();
        }
        if (fastBinary(at->op, [](Op op, Variant& left, const Variant& right) {
                return FastCompare(op, left, right);
            })) {
            QV_VBS_NEXT();
        }
        QV_VBS_SAVE_COUNTER();
        Binary(*at);
        QV_VBS_NEXT_CHECKED();
    }
    QV_VBS_CASE(Divide)
    QV_VBS_CASE(IntDivide)
    QV_VBS_CASE(Modulo)
    if (fastBinary(at->op, [](Op op, Variant& left, const Variant& right) {
            return FastDivision(op, left, right);
        })) {
        QV_VBS_NEXT();
    }
    QV_VBS_SAVE_COUNTER();
    Binary(*at);
    QV_VBS_NEXT_CHECKED();
    // The operators that take their right operand from a constant or a local, and maybe their left
    // one from a local: the left operand is pushed (it becomes the result), the right one stays
    // where it is unless the general path needs it on the stack. Each family's four forms (the
    // cases of CASES with a form's suffix) set the operands up and go on at `label`, the last form
    // falling through to it.
#define QV_VBS_FUSED_FORMS(CASES, label)                                                                     \
    CASES(Const)                                                                                             \
    fusedRight = &block->constants[static_cast<std::size_t>(at->c)];                                         \
    goto label;                                                                                              \
    CASES(Local)                                                                                             \
    fusedRight = &locals[at->c].Deref();                                                                     \
    goto label;                                                                                              \
    CASES(LocalConst)                                                                                        \
    fusedRight = &block->constants[static_cast<std::size_t>(at->c)];                                         \
    mStack.PushCounted(locals[at->b].Deref());                                                               \
    goto label;                                                                                              \
    CASES(LocalLocal)                                                                                        \
    fusedRight = &locals[at->c].Deref();                                                                     \
    mStack.PushCounted(locals[at->b].Deref());
#define QV_VBS_ARITHMETIC_CASES(form)                                                                        \
    QV_VBS_CASE(Add##form) QV_VBS_CASE(Subtract##form) QV_VBS_CASE(Multiply##form)
#define QV_VBS_DIVISION_CASES(form)                                                                          \
    QV_VBS_CASE(Divide##form) QV_VBS_CASE(IntDivide##form) QV_VBS_CASE(Modulo##form)
#define QV_VBS_COMPARISON_CASES(form)                                                                        \
    QV_VBS_CASE(Equal##form)                                                                                 \
    QV_VBS_CASE(NotEqual##form)                                                                              \
    QV_VBS_CASE(Less##form)                                                                                  \
    QV_VBS_CASE(LessEqual##form) QV_VBS_CASE(Greater##form) QV_VBS_CASE(GreaterEqual##form)
    QV_VBS_FUSED_FORMS(QV_VBS_ARITHMETIC_CASES, fusedArithmetic)
fusedArithmetic:
    if (FastArithmetic(OperatorOf(at->op), mStack.Top()[-1], *fusedRight)) {
        QV_VBS_NEXT();
    }
    goto fusedGeneral;
    QV_VBS_FUSED_FORMS(QV_VBS_DIVISION_CASES, fusedDivision)
fusedDivision:
    if (FastDivision(OperatorOf(at->op), mStack.Top()[-1], *fusedRight)) {
        QV_VBS_NEXT();
    }
    goto fusedGeneral;
    QV_VBS_FUSED_FORMS(QV_VBS_COMPARISON_CASES, fusedCompare)
#undef QV_VBS_FUSED_FORMS
#undef QV_VBS_ARITHMETIC_CASES
#undef QV_VBS_DIVISION_CASES
#undef QV_VBS_COMPARISON_CASES
fusedCompare : {
    // As for the comparisons above, a conditional jump that follows takes the answer straight.
    Variant* top = mStack.Top();
    if (FastCompare(OperatorOf(at->op), top[-1], *fusedRight)) {
        const Instruction next = *ip;
        if (next.op == Op::JumpIfFalse || next.op == Op::JumpIfTrue) {
            const bool truth = top[-1].BooleanValue();
            std::construct_at(&top[-1]);
            mStack.SetTop(top - 1);
            ++ip;
            if (truth == (next.op == Op::JumpIfTrue)) {
                QV_VBS_JUMP(next.c);
            }
        }
        QV_VBS_NEXT();
    }
}
fusedGeneral : {
    QV_VBS_SAVE_COUNTER();
    mStack.Push(*fusedRight);
    Instruction general = *at;
    general.op = OperatorOf(at->op);
    Binary(general);
    QV_VBS_NEXT_CHECKED();
}
    QV_VBS_CASE(Power)
    QV_VBS_CASE(And)
    QV_VBS_CASE(Or)
    QV_VBS_CASE(Xor)
    QV_VBS_CASE(Eqv)
    QV_VBS_CASE(Imp)
    QV_VBS_SAVE_COUNTER();
    Binary(*at);
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(Is) {
        QV_VBS_SAVE_COUNTER();
        Variant right = mStack.Pop();
        Variant& left = mStack.Top()[-1];
        if (!left.IsObject() || !right.IsObject()) {
            Raise(ErrorNumber::ObjectRequired);
        }
        left = Variant(left.ObjectValue().Get() == right.ObjectValue().Get());
    }
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(Negate)
    QV_VBS_SAVE_COUNTER();
    mStack.Top()[-1] = automation::Negate(mStack.Top()[-1]);
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(Not)
    QV_VBS_SAVE_COUNTER();
    mStack.Top()[-1] = automation::Not(mStack.Top()[-1]);
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(Concat) {
        QV_VBS_SAVE_COUNTER();
        std::size_t count = at->b;
        Variant* first = mStack.Top() - count;
        Variant joined = ConcatPieces(std::span<Variant>(first, count));
        mStack.DropTo(first);
        if (mTimeoutMs > 0) {
            NoteWork(WorkSize(joined));
        }
        mStack.Push(std::move(joined));
    }
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(Jump)
    QV_VBS_JUMP(at->c);
    QV_VBS_NEXT();
    QV_VBS_CASE(JumpIfFalse)
    QV_VBS_CASE(JumpIfTrue) {
        Variant* top = mStack.Top() - 1;
        bool truth = false;
        if (top->OwnType() == VarType::Boolean) {
            truth = top->BooleanValue();
            std::construct_at(top);
            mStack.SetTop(top);
        } else {
            QV_VBS_SAVE_COUNTER();
            truth = Truth(*top);
            mStack.Drop(1);
        }
        if (truth == (at->op == Op::JumpIfTrue)) {
            QV_VBS_JUMP(at->c);
        }
        QV_VBS_NEXT_CHECKED();
    }
    QV_VBS_CASE(ForPrepare)
    QV_VBS_SAVE_COUNTER();
    ForPrepare(*frame, *at);
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(ForTest) {
        QV_VBS_SAVE_COUNTER();
        Variant* hidden = locals + at->b;
        if (hidden[2].Type() != VarType::Boolean) {
            Raise(ErrorNumber::ForLoopNotInitialized);
        }
        bool past = PastEnd(mStack.Top()[-1], hidden);
        mStack.Drop(1);
        if (past) {
            ip = code + at->c;
        }
        QV_VBS_NEXT_CHECKED();
    }
    QV_VBS_CASE(ForNext) {
        bool goOn = false;
        Variant* counter =
            at->a == static_cast<std::uint8_t>(VarKind::Local) ? &locals[at->c] : moduleVariable(*at);
        if (counter == nullptr || !StepWholeLoop(counter->Deref(), locals + at->b, goOn)) {
            QV_VBS_SAVE_COUNTER();
            goOn = ForNext(*frame, *at);
        }
        // The Jump that follows holds the loop's top.
        if (goOn) {
            QV_VBS_JUMP(ip->c);
        } else {
            ++ip;
        }
        QV_VBS_NEXT_CHECKED();
    }
    QV_VBS_CASE(ForEachStart)
    QV_VBS_SAVE_COUNTER();
    ForEachStart(*frame, *at);
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(ForEachNext) {
        QV_VBS_SAVE_COUNTER();
        Variant& hidden = locals[at->b];
        auto* holder =
            hidden.IsObject() ? dynamic_cast<EnumeratorHolder*>(hidden.ObjectValue().Get()) : nullptr;
        Variant item;
        if (!holder || !holder->Next(item)) {
            ip = code + at->c;
        } else {
            mStack.Push(item.IsByRef() ? Variant(item.Deref()) : std::move(item));
        }
    }
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(OnError)
    frame->resumeNext = at->a != 0;
    mErr->Clear();
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(DimArray) {
        QV_VBS_SAVE_COUNTER();
        auto first = static_cast<std::size_t>(at->b);
        std::int32_t count = block->constants[first].LongValue();
        std::vector<SafeArray::Bound> bounds;
        bounds.reserve(static_cast<std::size_t>(std::max(count, 0)));
        for (std::int32_t index = 0; index < count; ++index) {
            bounds.push_back(SafeArray::ZeroBased(
                block->constants[first + 1 + static_cast<std::size_t>(index)].LongValue()));
        }
        Variable(*frame, *at) = Variant(MakeRef<SafeArray>(VarType::Variant, std::move(bounds), true));
    }
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(ReDim) {
        QV_VBS_SAVE_COUNTER();
        // ReDim Preserve list(n) of a list nobody else holds in a local or module variable:
        // straight to its storage.
        Variant* top = mStack.Top();
        const Variant* variable = at->Kind() == VarKind::Local ? &locals[at->c] : moduleVariable(*at);
        if (at->b == 1 && at->Has(OpPreserve) && variable) {
            const Variant& target = variable->Deref();
            const VarType upperType = top[-1].OwnType();
            if (target.IsArray() && IsWhole(upperType) && target.ArrayValue()->IsUnique() &&
                target.ArrayValue()->ResizeList(top[-1].OwnWholeValue())) {
                std::construct_at(&top[-1]);
                mStack.SetTop(top - 1);
                QV_VBS_NEXT_CHECKED(); // the elements cut off may have been objects
            }
        }
        ReDim(*frame, *at);
        QV_VBS_NEXT_CHECKED();
    }
    QV_VBS_CASE(Erase)
    QV_VBS_SAVE_COUNTER();
    Erase(*frame, *at);
    QV_VBS_NEXT_CHECKED();
    QV_VBS_CASE(CheckClock)
    if (mTimeoutMs > 0) {
        QV_VBS_SAVE_COUNTER();
        CheckDeadline();
    }
    if (automation::HeapCheckDue()) {
        QV_VBS_SAVE_COUNTER();
        automation::CheckHeap();
    }
    QV_VBS_NEXT();
    QV_VBS_CASE(Raise)
    QV_VBS_SAVE_COUNTER();
    Raise(at->c);
    QV_VBS_CASE(Return) {
        const ReturnMode mode = frame->mode;
        {
            Variant value = std::move(locals[block->paramCount]);
            if (mode == ReturnMode::Terminate) {
                PopTerminateFrame();
            } else {
                PopFrame();
            }
            if (mode == ReturnMode::Boundary) {
                assert(mFrames.size() == boundary);
                result = std::move(value);
                return true;
            }
            QV_VBS_REFRESH();
            if (mode == ReturnMode::Push) {
                mStack.PushCounted(std::move(value));
            }
        }
        QV_VBS_NEXT_CHECKED();
    }
#ifdef QV_VBS_THREADED
terminate:
    QV_VBS_START_TERMINATE();
    QV_VBS_NEXT();
#else
        }
    }
#endif
}
#ifdef QV_VBS_THREADED
#pragma GCC diagnostic pop
#endif
#undef QV_VBS_SAVE_COUNTER
#undef QV_VBS_REFRESH
#undef QV_VBS_JUMP
#undef QV_VBS_START_TERMINATE
#undef QV_VBS_ASSERT_COUNTED
#undef QV_VBS_CASE
#undef QV_VBS_NEXT
#undef QV_VBS_NEXT_CHECKED

// A binary operator the inline cases left: the comparisons apply the hard typing of a literal
// operand first.
void Interpreter::Binary(const Instruction& instruction) {
    Variant* top = mStack.Top();
    Variant& left = top[-2];
    Variant& right = top[-1];
    if (instruction.a != 0) {
        ApplyLiteralTyping(left, right, instruction.a);
    }
    // Comparing or joining long strings takes time in proportion to them.
    if (mTimeoutMs > 0) {
        NoteWork(WorkSize(left) + WorkSize(right));
    }
    Variant value = automation::Evaluate(ToBinaryOp(instruction.op), left, right);
    ValueStack::Clear(right);
    left = std::move(value);
    mStack.SetTop(top - 1);
}

// Stack: start, end, step. Keeps end, step and the direction in three hidden locals and leaves
// the start for the counter.
void Interpreter::ForPrepare(Frame& frame, const Instruction& instruction) {
    Variant step = ForNumber(mStack.Pop());
    Variant end = ForNumber(mStack.Pop());
    Variant& start = mStack.Top()[-1];
    start = ForNumber(std::move(start));
    Variant* hidden = frame.locals + instruction.b;
    bool descending = automation::Compare(step, Variant(std::int16_t(0))) == automation::CompareResult::Less;
    hidden[0] = std::move(end);
    hidden[1] = std::move(step);
    hidden[2] = Variant(descending);
}

// Next of a For loop whose counter is no plain whole number or not a local: counter + step by the
// general rules, stored as a Let would. Returns whether the loop goes on.
bool Interpreter::ForNext(Frame& frame, const Instruction& instruction) {
    Variant* hidden = frame.locals + instruction.b;
    if (hidden[2].Type() != VarType::Boolean) {
        Raise(ErrorNumber::ForLoopNotInitialized);
    }
    Resolution resolution;
    if (Variant* target = GlobalVariable(frame, instruction, resolution, true)) {
        Variant& counter = target->Deref();
        if (!FastArithmetic(Op::Add, counter, hidden[1])) {
            counter = LetValue(automation::Evaluate(BinaryOp::Add, counter, hidden[1]));
        }
        return !PastEnd(counter, hidden);
    }
    if (resolution.kind != Resolution::Kind::NamedMember) {
        Raise(ErrorNumber::IllegalAssignment);
    }
    // A host property as the counter.
    Object& object = *resolution.object->value.ObjectValue();
    Variant counter = object.Invoke(resolution.dispId, automation::InvokeRead, {});
    counter = automation::Evaluate(BinaryOp::Add, counter, hidden[1]);
    object.Invoke(resolution.dispId, InvokeKind::PropertyLet, std::span<Variant>(&counter, 1));
    return !PastEnd(counter, hidden);
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

void Interpreter::StoreName(Frame& frame, const Instruction& instruction) {
    Variant value = mStack.Pop();
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
void Interpreter::Append(Frame& frame, const Instruction& instruction) {
    std::size_t count = instruction.b;
    Variant* first = mStack.Top() - count - 1;
    Variant& before = *first;
    std::span<Variant> pieces(first + 1, count);
    Resolution resolution;
    Variant* target = GlobalVariable(frame, instruction, resolution, true);
    if (target &&
        ((before.IsString() && target->IsString() && &before.StringValue() == &target->StringValue()) ||
         (before.IsEmpty() && target->IsEmpty()) || (before.IsNull() && target->IsNull()))) {
        // Let go of the copy read first, so that the string is unique again.
        ValueStack::Clear(before);
        if (AppendPieces(*target, pieces)) {
            if (mTimeoutMs > 0) {
                NoteWork(std::accumulate(
                    pieces.begin(), pieces.end(), std::size_t{0},
                    [](std::size_t sum, const Variant& piece) { return sum + WorkSize(piece); }));
            }
            mStack.DropTo(first);
            return;
        }
        before = target->Deref();
    }
    Variant joined = ConcatPieces(std::span<Variant>(first, count + 1));
    mStack.DropTo(first);
    if (mTimeoutMs > 0) {
        NoteWork(WorkSize(joined));
    }
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

void Interpreter::ReDim(Frame& frame, const Instruction& instruction) {
    std::size_t dimensions = instruction.b;
    Variant* first = mStack.Top() - dimensions;
    const std::span<Variant> uppers(first, dimensions);
    // ReDim Preserve in a loop is the common case: its bounds go through a buffer on the stack,
    // so that growing an array allocates nothing but its new elements.
    std::array<SafeArray::Bound, SmallBoundCount> buffer;
    std::vector<SafeArray::Bound> spilled;
    std::span<const SafeArray::Bound> bounds;
    if (dimensions <= SmallBoundCount) {
        FillBounds(uppers, buffer);
        bounds = std::span<const SafeArray::Bound>(buffer.data(), dimensions);
    } else {
        spilled = BoundsFrom(uppers);
        bounds = spilled;
    }
    mStack.DropTo(first);
    Resolution resolution;
    Variant* target = instruction.Kind() == VarKind::Local
                          ? &frame.locals[instruction.c].Deref()
                          : GlobalVariable(frame, instruction, resolution, true);
    if (!target) {
        Raise(ErrorNumber::IllegalAssignment);
    }
    if (target->IsArray()) {
        const SafeArray& array = *target->ArrayValue();
        if (array.IsFixed() || array.IsLocked()) {
            Raise(ErrorNumber::ArrayFixedOrLocked);
        }
        // Preserve of an array never dimensioned has nothing to keep: it simply dimensions it.
        const bool preserve = instruction.Has(OpPreserve) && array.Dimensions() != 0;
        if (preserve || RemadeInPlace(array)) {
            target->MutableArray().Redim(bounds, preserve);
            if (mTimeoutMs > 0) {
                NoteWork(WorkSize(*target));
            }
            return;
        }
    }
    *target = Variant(MakeRef<SafeArray>(VarType::Variant,
                                         std::vector<SafeArray::Bound>(bounds.begin(), bounds.end()), false));
    if (mTimeoutMs > 0) {
        NoteWork(WorkSize(*target));
    }
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
    if (RemadeInPlace(*target->ArrayValue())) {
        target->MutableArray().Redim(std::span<const SafeArray::Bound>(), false);
        return;
    }
    *target = Variant(MakeRef<SafeArray>(VarType::Variant, std::vector<SafeArray::Bound>{}, false));
}

// ---------------------------------------------------------------------------------------------
// Calls

// An array about to change, copied first when another holder shares it (b = a, then b(0) = 1): a
// copy that takes time in proportion to the array.
SafeArray& Interpreter::WritableArray(Variant& array) {
    if (mTimeoutMs > 0 && !array.ArrayValue()->IsUnique()) {
        NoteWork(array.ArrayValue()->ElementCount());
    }
    return array.MutableArray();
}

// A call of the library or of a host object whose work grows with its input (InStr, Replace,
// Join, a dictionary's Keys, ...) reads the clock once enough such work has added up, so that a
// statement of such calls ends at the time-out.
void Interpreter::NoteCallWork(const Variant& result, std::size_t popCount) {
    std::size_t units = WorkSize(result);
    for (const Variant* arg = mStack.Top() - popCount; arg != mStack.Top(); ++arg) {
        units += WorkSize(*arg);
    }
    NoteWork(units);
}

void Interpreter::PushValueResult(Variant&& value, bool statement, std::size_t popCount) {
    if (mTimeoutMs > 0) {
        NoteCallWork(value, popCount);
    }
    mStack.Drop(popCount);
    if (statement) {
        return;
    }
    if (value.IsByRef()) {
        mStack.Push(value.Deref());
    } else {
        mStack.Push(std::move(value));
    }
}

// The common call, a procedure of the module (or of Global) by name, takes the inline path: no
// reference counted, nothing called on the way but at its end, so that no register is saved.
// Anything unusual (a wrong argument count, the depth's bound, a frame that starts a new
// segment, the time-out's clock due) goes to CallResolvedName, which handles every case.
void Interpreter::CallName(Frame& frame, const Instruction& instruction) {
    const VarKind kind = instruction.Kind();
    if (kind == VarKind::Global || kind == VarKind::GlobalExplicit || kind == VarKind::Implicit) {
        auto slotIndex = static_cast<std::uint32_t>(instruction.c);
        if (kind == VarKind::Implicit) {
            slotIndex = frame.code->implicits[slotIndex].global;
        }
        // A procedure of the module itself: its slot is the answer, and redefining it (AddCode)
        // replaces the slot's procedure, so the newest always runs. A name the module lacks
        // leads to Global's slot, as Resolve found it while nothing has changed since.
        const GlobalSlot* slot = &frame.code->module->Slot(slotIndex);
        if (slot->kind == SlotKind::Unset && slot->fallbackEpoch == mEpoch &&
            slot->fallback.kind == Resolution::Kind::Slot) {
            slot = slot->fallback.slot;
        }
        if (slot->kind == SlotKind::Procedure) {
            CodeBlock& code = *slot->procedure->code;
            const std::size_t argc = instruction.b;
            Variant* args = mStack.Top() - argc;
            const std::size_t localCount = code.LocalCount();
            const bool clockDue = mTimeoutMs > 0 && ((mTimeoutTicks + 1) & 63) == 0;
            if (argc == code.paramCount && mFrames.size() < MaxCallDepth &&
                mStack.HasRoom(args, localCount + code.maxStack) && !clockDue) [[likely]] {
                if (mTimeoutMs > 0) {
                    ++mTimeoutTicks; // as CheckTimeout counts
                }
                bool unbind = code.paramCount > 64;
                for (std::uint64_t byVal = code.paramByVal.FirstWord(); byVal != 0 && !unbind;
                     byVal &= byVal - 1) {
                    unbind = args[std::countr_zero(byVal)].IsByRef();
                }
                const ReturnMode mode = instruction.Has(OpStatement) ? ReturnMode::Discard : ReturnMode::Push;
                mFrames.emplace_back(code, nullptr, args, args, nullptr, nullptr, mStack.Segment(), mode);
                mStack.SetTop(args + localCount);
                if (unbind) {
                    UnbindByValArguments(code, args);
                }
                return;
            }
        }
    }
    CallResolvedName(frame, instruction);
}

// Every case of CallName; a procedure in a module's slot is held by the slot (see CodeView).
void Interpreter::CallResolvedName(Frame& frame, const Instruction& instruction) {
    std::size_t argc = instruction.b;
    bool statement = instruction.Has(OpStatement);
    Variant* args = mStack.Top() - argc;
    ReturnMode mode = statement ? ReturnMode::Discard : ReturnMode::Push;
    VarKind kind = instruction.Kind();
    if (kind == VarKind::Global || kind == VarKind::Implicit) {
        auto slotIndex = static_cast<std::uint32_t>(instruction.c);
        if (kind == VarKind::Implicit) {
            slotIndex = frame.code->implicits[slotIndex].global;
        }
        GlobalSlot& slot = frame.code->module->Slot(slotIndex);
        if (slot.kind == SlotKind::Procedure) {
            PushFrame(*slot.procedure->code, nullptr, nullptr, args, argc, true, args, mode);
            return;
        }
    }
    Resolution resolution;
    if (Variant* target = GlobalVariable(frame, instruction, resolution, false)) {
        CallValue(*target, args, argc, statement, argc);
        return;
    }
    switch (resolution.kind) {
    case Resolution::Kind::Slot: {
        GlobalSlot& slot = *resolution.slot;
        if (slot.kind == SlotKind::Procedure) {
            PushFrame(*slot.procedure->code, nullptr, nullptr, args, argc, true, args, mode);
            return;
        }
        if (slot.kind == SlotKind::Constant) {
            Variant value = slot.value;
            CallValue(value, args, argc, statement, argc);
            return;
        }
        Raise(ErrorNumber::TypeMismatch);
    }
    case Resolution::Kind::NamedObject: {
        if (argc == 0 && !statement) {
            mStack.Push(resolution.object->value);
            return;
        }
        Variant value = resolution.object->value;
        CallValue(value, args, argc, statement, argc);
        return;
    }
    case Resolution::Kind::NamedMember: {
        Object& object = *resolution.object->value.ObjectValue();
        Variant value =
            object.Invoke(resolution.dispId, statement ? InvokeKind::Method : automation::InvokeRead,
                          std::span<Variant>(args, argc));
        PushValueResult(std::move(value), statement, argc);
        return;
    }
    case Resolution::Kind::Builtin: {
        Instruction call{Op::CallBuiltin, static_cast<std::uint8_t>(statement ? OpStatement : 0),
                         instruction.b, static_cast<std::int32_t>(resolution.builtin)};
        CallBuiltin(frame, call);
        return;
    }
    case Resolution::Kind::None:
        break;
    }
    // An unknown name: as a statement no Sub exists; with arguments it is an Empty variable
    // being indexed; alone it is an Empty variable.
    RejectCallOfValue(statement, argc);
    mStack.Push(Variant());
}

// An array element as a by-reference argument: the array is unshared first (the element must
// be this variable's), then locked, so that the callee's ReDim or Erase of it fails (10) instead
// of moving the element away. Anything else is read as CallName reads it. Either way the call
// owns one entry of the lock list, which its Unlock releases.
void Interpreter::PushElementRef(Frame& frame, const Instruction& instruction) {
    std::size_t argc = instruction.b;
    Variant* args = mStack.Top() - argc;
    mElementLocks.push_back(ElementLock{nullptr, mFrames.size() - 1});
    Resolution resolution;
    Variant* target = GlobalVariable(frame, instruction, resolution, false);
    if (target && argc > 0 && target->Deref().IsArray()) {
        Variant& plain = target->Deref();
        if (Variant* element = WritableElement(plain, std::span<Variant>(args, argc))) {
            Ref<SafeArray> array = plain.ArrayValue();
            array->Lock();
            mElementLocks.back().array = std::move(array);
            mStack.DropTo(args);
            mStack.Push(Variant::ByRef(*element));
            return;
        }
    }
    Instruction read = instruction;
    read.op = Op::CallName;
    CallName(frame, read);
}

// The element at subscripts that FindElement did not take, of the array `holder` holds once they
// are converted: converting one may run script code (an object's default value) that changes or
// frees the array, so no element is reached before every subscript is a number. Null when the
// variable holds no array by then; At raises 9 for a subscript out of range.
const Variant* Interpreter::ConvertedElement(const Variant& holder, std::span<Variant> args) {
    Subscripts subscripts(args);
    if (!holder.IsArray()) {
        return nullptr;
    }
    return &holder.ArrayValue()->At(subscripts.View());
}

// ConvertedElement of an array about to change.
Variant* Interpreter::WritableElement(Variant& holder, std::span<Variant> args) {
    Subscripts subscripts(args);
    if (!holder.IsArray()) {
        return nullptr;
    }
    return &WritableArray(holder).At(subscripts.View());
}

// array(args) read: the arguments are the top `argc` of the `popCount` values the read pops.
// False, with nothing popped, when converting the subscripts left `array` without an array: the
// caller then reads the variable as what it holds now. Inline: the loop's element reads and
// writes are its array programs' whole work.
[[gnu::always_inline]] inline bool Interpreter::ReadElement(const Variant& array, std::size_t argc,
                                                            std::size_t popCount) {
    Variant* args = mStack.Top() - argc;
    const Variant* element = FindElement(*array.ArrayValue(), args, argc);
    if (!element) {
        element = ConvertedElement(array, std::span<Variant>(args, argc));
        if (!element) {
            return false;
        }
    }
    Variant value = *element;
    mStack.Drop(popCount);
    mStack.Push(std::move(value));
    return true;
}

// array(args) = value with a plain value on top of the arguments; false as ReadElement.
[[gnu::always_inline]] inline bool Interpreter::WriteElement(Variant& array, std::size_t argc) {
    Variant* args = mStack.Top() - argc - 1;
    // An array nobody else holds is written in place; MutableArray unshares any other.
    SafeArray& elements = array.ArrayValue()->IsUnique() ? *array.ArrayValue() : WritableArray(array);
    Variant* element = FindElement(elements, args, argc);
    if (!element) {
        element = WritableElement(array, std::span<Variant>(args, argc));
        if (!element) {
            return false;
        }
    }
    *element = mStack.Pop();
    mStack.DropTo(args);
    return true;
}

// value(args): an array element, an object's default member, or the value itself. The call
// pops `popCount` values, the arguments on top.
void Interpreter::CallValue(Variant& value, Variant* args, std::size_t argc, bool statement,
                            std::size_t popCount) {
    Variant& plain = value.Deref();
    if (plain.IsArray()) {
        if (argc == 0) {
            PushValueResult(Variant(plain), statement, popCount);
            return;
        }
        if (ReadElement(plain, argc, popCount)) {
            if (statement) {
                mStack.Drop(1);
            }
            return;
        }
    }
    if (plain.IsObject()) {
        Object* object = plain.ObjectValue().Get();
        if (argc == 0 && !statement) {
            PushValueResult(Variant(plain), false, popCount);
            return;
        }
        if (!object) {
            Raise(ErrorNumber::ObjectVariableNotSet);
        }
        // Held: the call may replace `value` (a variable) meanwhile.
        Ref<Object> hold(object);
        CallObjectDefault(*object, args, argc, statement, popCount);
        return;
    }
    RejectCallOfValue(statement, argc);
    PushValueResult(Variant(plain), false, popCount);
}

void Interpreter::CallObjectDefault(Object& object, Variant* args, std::size_t argc, bool statement,
                                    std::size_t popCount) {
    if (auto* instance = OwnInstance(object)) {
        std::int32_t member = instance->Class().defaultMember;
        if (member < 0) {
            Raise(ErrorNumber::ObjectDoesNotSupport);
        }
        CallInstanceMember(*instance, static_cast<std::uint32_t>(member), args, argc, statement, popCount);
        return;
    }
    // A procedure reference of another engine, or of this one before a reset, answers through
    // Invoke, as an instance does.
    if (auto* procedure = OwnProcedure(object)) {
        PushProcedureFrame(procedure->Target(), nullptr, args, argc, true, mStack.Top() - popCount,
                           statement ? ReturnMode::Discard : ReturnMode::Push);
        return;
    }
    std::optional<DispId> id = object.GetDefaultDispId();
    if (!id) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    Variant value = object.Invoke(*id, statement ? InvokeKind::Method : automation::InvokeRead,
                                  std::span<Variant>(args, argc));
    PushValueResult(std::move(value), statement, popCount);
}

void Interpreter::CallInstanceMember(ClassInstance& instance, std::uint32_t member, Variant* args,
                                     std::size_t argc, bool statement, std::size_t popCount) {
    const ClassMember& info = instance.Class().members[member];
    if (info.field >= 0) {
        Variant& field = instance.Field(info.field);
        if (argc == 0) {
            PushValueResult(Variant(field), statement, popCount);
            return;
        }
        CallValue(field, args, argc, statement, popCount);
        return;
    }
    const Procedure* procedure = info.method ? info.method.Get() : info.get.Get();
    if (!procedure) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    PushProcedureFrame(*procedure, &instance, args, argc, true, mStack.Top() - popCount,
                       statement ? ReturnMode::Discard : ReturnMode::Push);
}

void Interpreter::CallMember(Frame& frame, const Instruction& instruction) {
    std::size_t argc = instruction.b;
    bool statement = instruction.Has(OpStatement);
    Variant* objectSlot = mStack.Top() - argc - 1;
    Object& object = MemberOwner(*objectSlot);
    Variant* args = objectSlot + 1;
    CallSite& site = frame.code->sites[static_cast<std::size_t>(instruction.c)];
    InvokeKind kind = statement ? InvokeKind::Method : automation::InvokeRead;
    // A host object of the class this site saw last: the cached member, without a cast.
    if (site.hostClass == &object.Info()) {
        Variant value = object.Invoke(site.hostId, kind, std::span<Variant>(args, argc));
        PushValueResult(std::move(value), statement, argc + 1);
        return;
    }
    if (auto* instance = OwnInstance(object)) {
        std::uint32_t member = FindInstanceMember(site, instance->Class(), instruction.Has(OpPrivate));
        CallInstanceMember(*instance, member, args, argc, statement, argc + 1);
        return;
    }
    DispId id = FindHostMember(site, object, *mNames);
    Variant value = object.Invoke(id, kind, std::span<Variant>(args, argc));
    PushValueResult(std::move(value), statement, argc + 1);
}

void Interpreter::StoreMember(Frame& frame, const Instruction& instruction) {
    std::size_t argc = instruction.b;
    bool isSet = instruction.Has(OpSet);
    Variant* objectSlot = mStack.Top() - argc - 2;
    Object& object = MemberOwner(*objectSlot);
    Variant& value = mStack.Top()[-1];
    PrepareAssigned(value, isSet);
    std::span<Variant> argsAndValue(objectSlot + 1, argc + 1);
    CallSite& site = frame.code->sites[static_cast<std::size_t>(instruction.c)];
    InvokeKind kind = isSet ? InvokeKind::PropertySet : InvokeKind::PropertyLet;
    if (site.hostClass == &object.Info()) {
        object.Invoke(site.hostId, kind, argsAndValue);
        mStack.DropTo(objectSlot);
        return;
    }
    if (auto* instance = OwnInstance(object)) {
        std::uint32_t member = FindInstanceMember(site, instance->Class(), instruction.Has(OpPrivate));
        const ClassMember& info = instance->Class().members[member];
        if (info.field >= 0) {
            StoreInto(instance->Field(info.field), argsAndValue.first(argc), std::move(value), isSet);
            mStack.DropTo(objectSlot);
            return;
        }
        const Procedure* procedure = isSet ? info.set.Get() : info.let.Get();
        if (!procedure) {
            Raise(ErrorNumber::ObjectDoesNotSupport);
        }
        PushProcedureFrame(*procedure, instance, argsAndValue.data(), argc + 1, true, objectSlot,
                           ReturnMode::Discard);
        return;
    }
    DispId id = FindHostMember(site, object, *mNames);
    object.Invoke(id, kind, argsAndValue);
    mStack.DropTo(objectSlot);
}

void Interpreter::StoreIndexed(Frame& frame, const Instruction& instruction) {
    std::size_t argc = instruction.b;
    bool isSet = instruction.Has(OpSet);
    Variant* args = mStack.Top() - argc - 1;
    Variant value = mStack.Pop();
    PrepareAssigned(value, isSet);
    std::span<Variant> argSpan(args, argc);
    Resolution resolution;
    if (Variant* target = GlobalVariable(frame, instruction, resolution, false)) {
        StoreInto(*target, argSpan, std::move(value), isSet);
    } else if (resolution.kind == Resolution::Kind::NamedObject) {
        StoreObjectDefault(ObjectOperand(resolution.object->value), argSpan, std::move(value), isSet);
    } else if (resolution.kind == Resolution::Kind::NamedMember) {
        std::vector<Variant> all(argSpan.begin(), argSpan.end());
        all.push_back(std::move(value));
        resolution.object->value.ObjectValue()->Invoke(
            resolution.dispId, isSet ? InvokeKind::PropertySet : InvokeKind::PropertyLet, all);
    } else if (resolution.kind == Resolution::Kind::None) {
        Raise(ErrorNumber::TypeMismatch);
    } else {
        Raise(ErrorNumber::IllegalAssignment);
    }
    mStack.DropTo(args);
}

// target(args) = value: an array element, or the default member of an object.
void Interpreter::StoreInto(Variant& target, std::span<Variant> args, Variant value, bool isSet) {
    Variant& plain = target.Deref();
    if (args.empty()) {
        plain = std::move(value);
        return;
    }
    if (plain.IsArray()) {
        if (Variant* element = WritableElement(plain, args)) {
            *element = std::move(value);
            return;
        }
    }
    if (plain.IsObject()) {
        Ref<Object> object(&ObjectOperand(plain));
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
    // The arguments and the value side by side, without a heap block for the usual few.
    constexpr std::size_t InlineCount = 4;
    std::array<Variant, InlineCount> inlineAll;
    std::vector<Variant> heapAll;
    std::span<Variant> all;
    if (args.size() < InlineCount) {
        all = std::span<Variant>(inlineAll.data(), args.size() + 1);
    } else {
        heapAll.resize(args.size() + 1);
        all = heapAll;
    }
    for (std::size_t index = 0; index < args.size(); ++index) {
        all[index] = args[index].Deref();
    }
    all.back() = std::move(value);
    object.Invoke(*id, isSet ? InvokeKind::PropertySet : InvokeKind::PropertyLet, all);
}

void Interpreter::CallBuiltin(Frame& frame, const Instruction& instruction) {
    const BuiltinEntry& entry = mBuiltins.Function(static_cast<std::uint32_t>(instruction.c));
    std::size_t argc = instruction.b;
    bool statement = instruction.Has(OpStatement);
    std::span<Variant> args(mStack.Top() - argc, argc);
    // Omitted trailing arguments are absent, as the library expects.
    std::size_t used = argc;
    while (used > 0 && IsMissingArgument(args[used - 1])) {
        --used;
    }
    if (static_cast<int>(used) < entry.minArgs ||
        (entry.maxArgs >= 0 && static_cast<int>(used) > entry.maxArgs)) {
        Raise(ErrorNumber::WrongArgumentCount);
    }
    if (entry.intrinsic != Intrinsic::None) {
        CallIntrinsic(entry.intrinsic, frame, args.first(used), statement);
        return;
    }
    for (Variant& arg : args.first(used)) {
        if (arg.IsByRef()) {
            arg = Variant(arg.Deref());
        }
    }
    Variant value = entry.function(args.first(used), mRuntimeState);
    PushValueResult(std::move(value), statement, argc);
}

void Interpreter::CallIntrinsic(Intrinsic intrinsic, Frame& frame, std::span<Variant> args, bool statement) {
    // `args` may be shorter than what lies on the stack (omitted trailing arguments).
    std::size_t popCount = static_cast<std::size_t>(mStack.Top() - args.data());
    switch (intrinsic) {
    case Intrinsic::None:
        break;
    case Intrinsic::Err:
        PushValueResult(Variant(Ref<Object>(mErr)), statement, popCount);
        return;
    case Intrinsic::GetLocale:
        PushValueResult(Variant(automation::CurrentLocale()), statement, popCount);
        return;
    case Intrinsic::SetLocale: {
        std::int32_t previous = automation::CurrentLocale();
        // A locale ID or a name: "fr-FR", or a name of the machine's locale data.
        const bool known =
            args.empty() ? automation::SetCurrentLocale(1033)
            : args[0].IsString()
                ? automation::SetCurrentLocale(std::u16string_view(args[0].Deref().StringValue()))
                : automation::SetCurrentLocale(automation::ToLong(args[0]));
        if (!known) {
            Raise(ErrorNumber::InvalidProcedureCall);
        }
        PushValueResult(Variant(previous), statement, popCount);
        return;
    }
    case Intrinsic::CreateObject: {
        std::u16string converted;
        Ref<Object> object = CreateSafeObject(RunText(args[0], converted), mLink->Tracked().Get());
        if (!object) {
            Raise(ErrorNumber::CannotCreateObject);
        }
        PushValueResult(Variant(std::move(object)), statement, popCount);
        return;
    }
    case Intrinsic::GetRef: {
        std::u16string converted;
        Ref<Procedure> procedure = FindProcedure(*frame.code->module, RunText(args[0], converted));
        if (!procedure) {
            Raise(ErrorNumber::InvalidProcedureCall);
        }
        PushValueResult(Variant(Ref<Object>(MakeRef<ProcedureRef>(procedure, mLink))), statement, popCount);
        return;
    }
    case Intrinsic::Eval: {
        std::u16string converted;
        Ref<CodeBlock> code =
            CompileEvalText(*frame.code->module, RunText(args[0], converted), frame.code.Get());
        mStack.Drop(popCount);
        PushChunkFrame(code, frame.locals, frame.me, statement ? ReturnMode::Discard : ReturnMode::Push);
        return;
    }
    case Intrinsic::Execute:
    case Intrinsic::ExecuteGlobal: {
        // Execute inside a procedure sees the procedure's locals; at the top level, and for
        // ExecuteGlobal, the text runs like code added to the module.
        bool local = intrinsic == Intrinsic::Execute && !frame.code->isTopLevel;
        std::u16string converted;
        CompiledChunk chunk =
            CompileText(*frame.code->module, RunText(args[0], converted), local ? frame.code.Get() : nullptr);
        Install(*frame.code->module, chunk);
        mStack.Drop(popCount);
        PushChunkFrame(chunk.topLevel, local ? frame.locals : nullptr, local ? frame.me : nullptr,
                       statement ? ReturnMode::Discard : ReturnMode::Push);
        return;
    }
    }
}

void Interpreter::NewInstance(Frame& frame, const Instruction& instruction) {
    Module& module = *frame.code->module;
    auto slotIndex = static_cast<std::uint32_t>(instruction.c);
    // RegExp is the language's own class, even where the script declares one of that name.
    const std::u16string& name = mNames->Spelling(module.Slot(slotIndex).name);
    if (automation::EqualsNoCase(name, u"RegExp")) {
        mStack.Push(Variant(CreateSafeObject(u"VBScript.RegExp")));
        return;
    }
    Resolution resolution = Resolve(module, slotIndex);
    if (resolution.kind != Resolution::Kind::Slot || resolution.slot->kind != SlotKind::Class) {
        Raise(ClassNotDefined, u"", u"Class not defined: '" + name + u"'");
    }
    auto instance = MakeRef<ClassInstance>(resolution.slot->scriptClass, mLink);
    mStack.Push(Variant(Ref<Object>(instance)));
    if (const Procedure* initialize = instance->Class().initialize.Get()) {
        PushProcedureFrame(*initialize, instance.Get(), nullptr, 0, false, mStack.Top(), ReturnMode::Discard);
    }
}

void Interpreter::ForEachStart(Frame& frame, const Instruction& instruction) {
    Variant collection = mStack.Pop();
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
            if (const Variant* element = ConvertedElement(field, args)) {
                return *element;
            }
        }
        Ref<Object> object(&ObjectOperand(field));
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
