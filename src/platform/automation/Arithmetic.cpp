// VB operators: result subtypes, overflow promotion and the handling of Null and Empty.

#include "platform/automation/Conversion.h"

#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"
#include "platform/automation/internal/Numeric.h"

#include <cassert>
#include <cmath>
#include <limits>
#include <optional>

namespace qv::automation {

using internal::Int128;

namespace {

/// Operands of an operator with objects replaced by their default values. Arrays and Error
/// values take part in no operator.
struct Operands {
    Variant holderA;
    Variant holderB;
    const Variant& a;
    const Variant& b;

    Operands(const Variant& left, const Variant& right)
        : a(internal::Resolve(left, holderA)), b(internal::Resolve(right, holderB)) {
        if (a.IsArray() || b.IsArray() || a.Type() == VarType::Error || b.Type() == VarType::Error) {
            Raise(ErrorNumber::TypeMismatch);
        }
    }
    bool HasNull() const { return a.IsNull() || b.IsNull(); }
    bool Either(VarType type) const { return a.Type() == type || b.Type() == type; }
};

constexpr double MinDateSerial = -657434.0;
constexpr double MaxDateSerial = 2958466.0;

Variant DateResult(double serial) {
    if (!(serial >= MinDateSerial && serial < MaxDateSerial)) {
        Raise(ErrorNumber::Overflow);
    }
    return Variant::FromDate(serial);
}

Variant DoubleResult(double value) {
    if (!std::isfinite(value)) {
        Raise(ErrorNumber::Overflow);
    }
    return Variant(value);
}

/// A whole-number result as an Integer (`isLong` false) or a Long, or the wider subtype that
/// holds it: Integer overflows into Long, Long into Double.
Variant NarrowestWhole(std::int64_t value, bool isLong) {
    if (!isLong && value >= std::numeric_limits<std::int16_t>::min() &&
        value <= std::numeric_limits<std::int16_t>::max()) {
        return Variant(static_cast<std::int16_t>(value));
    }
    if (value >= std::numeric_limits<std::int32_t>::min() &&
        value <= std::numeric_limits<std::int32_t>::max()) {
        return Variant(static_cast<std::int32_t>(value));
    }
    return Variant(static_cast<double>(value));
}

/// A whole-number result in the narrowest of `type` (Byte, Integer or Long) and its wider
/// neighbours that holds it: Byte overflows into Integer, Integer into Long, Long into Double.
Variant WholeResult(std::int64_t value, VarType type) {
    assert(type == VarType::Byte || type == VarType::Integer || type == VarType::Long);
    if (type == VarType::Byte && value >= 0 && value <= 255) {
        return Variant(static_cast<std::uint8_t>(value));
    }
    return NarrowestWhole(value, type == VarType::Long);
}

Variant CurrencyResult(Int128 scaled) {
    if (scaled > std::numeric_limits<std::int64_t>::max() ||
        scaled < std::numeric_limits<std::int64_t>::min()) {
        Raise(ErrorNumber::Overflow);
    }
    return Variant(Currency::FromScaled(static_cast<std::int64_t>(scaled)));
}

/// The subtype of +, - and *. For + and - the order of precision is Byte, Integer, Long,
/// Single, Double, Currency; for * Currency ranks below Double. Dates make + and - give a Date
/// (Date - Date is a Double) and * a Double. Strings are read as Doubles. Single with Long gives
/// Double. Boolean and Empty count as Integer.
VarType ArithmeticType(BinaryOp op, const Operands& operands) {
    if (op == BinaryOp::Multiply) {
        if (operands.Either(VarType::Double) || operands.Either(VarType::String) ||
            operands.Either(VarType::Date)) {
            return VarType::Double;
        }
        if (operands.Either(VarType::Currency)) {
            return VarType::Currency;
        }
    } else {
        if (operands.Either(VarType::Date)) {
            const bool bothDates = operands.a.Type() == VarType::Date && operands.b.Type() == VarType::Date;
            return op == BinaryOp::Subtract && bothDates ? VarType::Double : VarType::Date;
        }
        if (operands.Either(VarType::Currency)) {
            return VarType::Currency;
        }
        if (operands.Either(VarType::Double) || operands.Either(VarType::String)) {
            return VarType::Double;
        }
    }
    if (operands.Either(VarType::Single)) {
        return operands.Either(VarType::Long) ? VarType::Double : VarType::Single;
    }
    if (operands.Either(VarType::Long)) {
        return VarType::Long;
    }
    if (operands.a.Type() == VarType::Byte && operands.b.Type() == VarType::Byte) {
        return VarType::Byte;
    }
    return VarType::Integer;
}

/// How the number paths treat an operator; General leaves it to the general rules.
enum class NumberOpKind { Sum, Comparison, WholeDivision, Division, General };

NumberOpKind NumberOpKindOf(BinaryOp op) {
    switch (op) {
    case BinaryOp::Add:
    case BinaryOp::Subtract:
    case BinaryOp::Multiply:
        return NumberOpKind::Sum;
    case BinaryOp::Equal:
    case BinaryOp::NotEqual:
    case BinaryOp::Less:
    case BinaryOp::LessEqual:
    case BinaryOp::Greater:
    case BinaryOp::GreaterEqual:
        return NumberOpKind::Comparison;
    case BinaryOp::IntDivide:
    case BinaryOp::Modulo:
        return NumberOpKind::WholeDivision;
    case BinaryOp::Divide:
        return NumberOpKind::Division;
    case BinaryOp::Power:
    case BinaryOp::Concat:
    case BinaryOp::And:
    case BinaryOp::Or:
    case BinaryOp::Xor:
    case BinaryOp::Eqv:
    case BinaryOp::Imp:
        break;
    }
    return NumberOpKind::General;
}

/// Whether an order satisfies a comparison operator.
bool Satisfies(BinaryOp op, CompareResult order) {
    assert(NumberOpKindOf(op) == NumberOpKind::Comparison && order != CompareResult::Null);
    if (op == BinaryOp::Equal) {
        return order == CompareResult::Equal;
    }
    if (op == BinaryOp::NotEqual) {
        return order != CompareResult::Equal;
    }
    if (op == BinaryOp::Less) {
        return order == CompareResult::Less;
    }
    if (op == BinaryOp::LessEqual) {
        return order != CompareResult::Greater;
    }
    if (op == BinaryOp::Greater) {
        return order == CompareResult::Greater;
    }
    return order != CompareResult::Less;
}

/// +, - or * on numbers of one C++ type.
template <class T> T Apply(BinaryOp op, T a, T b) {
    if (op == BinaryOp::Add) {
        return a + b;
    }
    if (op == BinaryOp::Subtract) {
        return a - b;
    }
    assert(op == BinaryOp::Multiply);
    return a * b;
}

/// +, - and * once the operands are not Null and + is not a concatenation.
Variant Arithmetic(BinaryOp op, const Operands& operands) {
    const Variant& a = operands.a;
    const Variant& b = operands.b;
    const VarType type = ArithmeticType(op, operands);
    switch (type) {
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        // Products of two Longs fit in 64 bits.
        return WholeResult(Apply<std::int64_t>(op, internal::WholeValue(a), internal::WholeValue(b)), type);
    case VarType::Single: {
        const float result = Apply(op, ToSingle(a), ToSingle(b));
        if (std::isinf(result)) {
            // A Single that overflows becomes a Double.
            return DoubleResult(Apply(op, ToDouble(a), ToDouble(b)));
        }
        return Variant(result);
    }
    case VarType::Double:
        return DoubleResult(Apply(op, ToDouble(a), ToDouble(b)));
    case VarType::Date:
        return DateResult(Apply(op, ToDouble(a), ToDouble(b)));
    case VarType::Currency: {
        const Int128 scaledA = ToCurrency(a).Scaled();
        const Int128 scaledB = ToCurrency(b).Scaled();
        if (op == BinaryOp::Multiply) {
            return CurrencyResult(internal::DivideRoundHalfEven(scaledA * scaledB, Currency::Scale));
        }
        return CurrencyResult(Apply(op, scaledA, scaledB));
    }
    case VarType::Empty:
    case VarType::Null:
    case VarType::String:
    case VarType::Object:
    case VarType::Error:
    case VarType::Boolean:
    case VarType::Variant:
        break;
    }
    assert(false && "unexpected arithmetic result type");
    Raise(ErrorNumber::TypeMismatch);
}

/// Appends the text of an operand of &: Null and Empty add nothing.
void AppendConcatText(std::u16string& out, const Variant& value) {
    if (!value.IsNull()) {
        AppendTextForm(out, value);
    }
}

Variant Concatenate(const Operands& operands) {
    // Null & Null stays Null; one Null is an empty string.
    if (operands.a.IsNull() && operands.b.IsNull()) {
        return Variant::Null();
    }
    if (operands.a.IsString() && operands.b.IsString()) {
        std::u16string text;
        ReserveChecked(text, operands.a.StringValue().size() + operands.b.StringValue().size());
        text += operands.a.StringValue();
        text += operands.b.StringValue();
        return Variant(std::move(text));
    }
    std::u16string text;
    AppendConcatText(text, operands.a);
    AppendConcatText(text, operands.b);
    return Variant(std::move(text));
}

/// The subtype of \ and Mod: Byte for two Bytes, Integer while both are Byte, Integer, Boolean
/// or Empty, else Long (fractions round half to even first).
VarType IntegerDivisionType(const Operands& operands) {
    const auto isSmall = [](VarType type) {
        return type == VarType::Byte || type == VarType::Integer || type == VarType::Boolean ||
               type == VarType::Empty;
    };
    if (operands.a.Type() == VarType::Byte && operands.b.Type() == VarType::Byte) {
        return VarType::Byte;
    }
    return isSmall(operands.a.Type()) && isSmall(operands.b.Type()) ? VarType::Integer : VarType::Long;
}

/// \ or Mod of two whole numbers: 11 for a zero divisor, 6 when a Long result overflows.
inline std::int64_t WholeQuotient(BinaryOp op, std::int64_t dividend, std::int64_t divisor, bool isLong) {
    if (divisor == 0) {
        Raise(ErrorNumber::DivisionByZero);
    }
    // The remainder takes the sign of the dividend, as C++'s does.
    const std::int64_t result = op == BinaryOp::IntDivide ? dividend / divisor : dividend % divisor;
    if (isLong && result > std::numeric_limits<std::int32_t>::max()) {
        Raise(ErrorNumber::Overflow);
    }
    return result;
}

Variant IntegerDivision(BinaryOp op, const Operands& operands) {
    if (operands.HasNull()) {
        return Variant::Null();
    }
    const VarType type = IntegerDivisionType(operands);
    const std::int64_t dividend = ToLong(operands.a);
    const std::int64_t divisor = ToLong(operands.b);
    return WholeResult(WholeQuotient(op, dividend, divisor, type == VarType::Long), type);
}

/// / on two numbers read as Doubles.
Variant DivideReal(double dividend, double divisor) {
    if (divisor == 0) {
        // 0/0 is an overflow, not a division by zero.
        Raise(dividend == 0 ? ErrorNumber::Overflow : ErrorNumber::DivisionByZero);
    }
    return DoubleResult(dividend / divisor);
}

Variant Divide(const Operands& operands) {
    if (operands.HasNull()) {
        return Variant::Null();
    }
    const double dividend = ToDouble(operands.a);
    const double divisor = ToDouble(operands.b);
    return DivideReal(dividend, divisor);
}

Variant Power(const Operands& operands) {
    if (operands.HasNull()) {
        return Variant::Null();
    }
    const double base = ToDouble(operands.a);
    const double exponent = ToDouble(operands.b);
    const double result = std::pow(base, exponent);
    // 0 to a negative power and a root of a negative number are invalid calls.
    if (std::isnan(result) || (base == 0 && exponent < 0)) {
        Raise(ErrorNumber::InvalidProcedureCall);
    }
    return DoubleResult(result);
}

// ---------------------------------------------------------------------------------------------
// And, Or, Xor, Eqv, Imp and Not work bit by bit on whole numbers. Two Booleans give a Boolean,
// two Bytes a Byte; Integer, Boolean and Byte mixed give an Integer; anything else, Empty
// included (unlike in arithmetic, where Empty is an Integer), is rounded to a Long. Text is
// read as a number or, failing that, as a Boolean word ("True", "#FALSE#"), so that
// `Not "#FALSE#"` is True.

/// An operand of a logical operator: its bits and the subtype it counts as.
struct LogicalOperand {
    std::int64_t bits;
    VarType type; // Boolean, Byte, Integer or Long
};

LogicalOperand ReadLogicalOperand(const Variant& value) {
    switch (value.Type()) {
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
        return {internal::WholeValue(value), value.Type()};
    case VarType::Empty:
        return {0, VarType::Long};
    case VarType::String: {
        const std::u16string& text = value.StringValue();
        if (!internal::ParseNumberText(text, CurrentLocaleInfo())) {
            // ToBoolean accepts the Boolean words and raises 13 for anything else.
            return {ToBoolean(value) ? -1 : 0, VarType::Boolean};
        }
        return {ToLong(value), VarType::Long};
    }
    case VarType::Null:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date:
    case VarType::Object:
    case VarType::Error:
    case VarType::Variant:
        break;
    }
    return {ToLong(value), VarType::Long};
}

VarType LogicalType(VarType a, VarType b) {
    if (a == b) {
        return a;
    }
    return a == VarType::Long || b == VarType::Long ? VarType::Long : VarType::Integer;
}

/// `type` is one a LogicalOperand carries.
Variant LogicalResult(std::int64_t bits, VarType type) {
    if (type == VarType::Boolean) {
        return Variant(bits != 0);
    }
    if (type == VarType::Byte) {
        return Variant(static_cast<std::uint8_t>(bits & 0xFF));
    }
    if (type == VarType::Integer) {
        return Variant(static_cast<std::int16_t>(bits));
    }
    assert(type == VarType::Long);
    return Variant(static_cast<std::int32_t>(bits));
}

std::int64_t AllBits(VarType type) {
    return type == VarType::Byte ? 0xFF : -1;
}

std::int64_t ApplyLogical(BinaryOp op, std::int64_t a, std::int64_t b) {
    if (op == BinaryOp::And) {
        return a & b;
    }
    if (op == BinaryOp::Or) {
        return a | b;
    }
    if (op == BinaryOp::Xor) {
        return a ^ b;
    }
    if (op == BinaryOp::Eqv) {
        return ~(a ^ b);
    }
    assert(op == BinaryOp::Imp);
    return ~a | b;
}

/// One operand Null: the result is known only where the other operand decides it alone
/// (Null And False is False, Null Or True is True, False Imp Null and Null Imp True are True).
Variant LogicalWithNull(BinaryOp op, const Variant& knownValue, bool isNullFirst) {
    const LogicalOperand known = ReadLogicalOperand(knownValue);
    if (op == BinaryOp::And) {
        return known.bits == 0 ? LogicalResult(0, known.type) : Variant::Null();
    }
    if (op == BinaryOp::Or || (op == BinaryOp::Imp && isNullFirst)) {
        return known.bits == AllBits(known.type) ? LogicalResult(known.bits, known.type) : Variant::Null();
    }
    if (op == BinaryOp::Imp) {
        // A Byte Imp Null is Not Byte, whatever its bits: the runtime keeps the Byte's width.
        if (known.type == VarType::Byte) {
            return LogicalResult(~known.bits, VarType::Byte);
        }
        return known.bits == 0 ? LogicalResult(AllBits(known.type), known.type) : Variant::Null();
    }
    return Variant::Null(); // Xor and Eqv need both operands
}

Variant Logical(BinaryOp op, const Operands& operands) {
    const bool isNullA = operands.a.IsNull();
    const bool isNullB = operands.b.IsNull();
    if (isNullA && isNullB) {
        return Variant::Null();
    }
    if (isNullA || isNullB) {
        return LogicalWithNull(op, isNullA ? operands.b : operands.a, isNullA);
    }
    const LogicalOperand a = ReadLogicalOperand(operands.a);
    const LogicalOperand b = ReadLogicalOperand(operands.b);
    return LogicalResult(ApplyLogical(op, a.bits, b.bits), LogicalType(a.type, b.type));
}

Variant Comparison(BinaryOp op, const Variant& a, const Variant& b, CompareMode mode) {
    const CompareResult order = Compare(a, b, mode);
    if (order == CompareResult::Null) {
        return Variant::Null();
    }
    return Variant(Satisfies(op, order));
}

/// Integer, Long and Double: the subtypes of nearly every operand of a script's arithmetic and
/// comparisons, which the paths below handle without the general rules. They give what the
/// general rules give for those subtypes: whole numbers stay whole and promote on overflow, a
/// Double makes +, - and * Double, / is always Double, \ and Mod round Doubles to Longs, and
/// comparisons are exact between whole numbers and by Double otherwise.
bool IsPlainNumberType(VarType type) {
    return type == VarType::Integer || type == VarType::Long || type == VarType::Double;
}

/// The value of an Integer or Long operand.
std::int64_t WholeOf(const Variant& value, VarType type) {
    return type == VarType::Long ? value.LongValue() : value.IntegerValue();
}

/// The value of an Integer, Long or Double operand.
double RealOf(const Variant& value, VarType type) {
    return type == VarType::Double ? value.DoubleValue() : static_cast<double>(WholeOf(value, type));
}

/// An order as the comparison operator `op` reads it.
Variant ComparisonResult(BinaryOp op, bool isLess, bool isGreater) {
    return Variant(Satisfies(op, isLess      ? CompareResult::Less
                                 : isGreater ? CompareResult::Greater
                                             : CompareResult::Equal));
}

/// \ and Mod of two whole numbers; `isLong` when either operand was a Long or rounded to one.
inline Variant DivideWhole(BinaryOp op, std::int64_t dividend, std::int64_t divisor, bool isLong) {
    return NarrowestWhole(WholeQuotient(op, dividend, divisor, isLong), isLong);
}

/// A Double of \ or Mod rounded as CLng rounds it (6 beyond a Long).
std::int64_t RoundToLong(double value) {
    return internal::RoundToWhole(value, std::numeric_limits<std::int32_t>::min(),
                                  std::numeric_limits<std::int32_t>::max());
}

Variant EvaluateGeneral(BinaryOp op, const Variant& a, const Variant& b, CompareMode mode);

/// Two Integers or Longs.
Variant EvaluateWhole(BinaryOp op, const Variant& a, VarType typeA, const Variant& b, VarType typeB,
                      CompareMode mode) {
    const std::int64_t left = WholeOf(a, typeA);
    const std::int64_t right = WholeOf(b, typeB);
    const bool isLong = typeA == VarType::Long || typeB == VarType::Long;
    switch (NumberOpKindOf(op)) {
    case NumberOpKind::Sum:
        // Products of two Longs fit in 64 bits.
        return NarrowestWhole(Apply(op, left, right), isLong);
    case NumberOpKind::Comparison:
        return ComparisonResult(op, left<right, left> right);
    case NumberOpKind::WholeDivision:
        return DivideWhole(op, left, right, isLong);
    case NumberOpKind::Division:
        return DivideReal(static_cast<double>(left), static_cast<double>(right));
    case NumberOpKind::General:
        break;
    }
    return EvaluateGeneral(op, a, b, mode);
}

/// Integers, Longs and Doubles, at least one a Double.
Variant EvaluateReal(BinaryOp op, const Variant& a, VarType typeA, const Variant& b, VarType typeB,
                     CompareMode mode) {
    switch (NumberOpKindOf(op)) {
    case NumberOpKind::Sum:
        return DoubleResult(Apply(op, RealOf(a, typeA), RealOf(b, typeB)));
    case NumberOpKind::Comparison: {
        // Every Long is exact as a Double. NaN is neither less nor greater, hence Equal, as
        // Compare orders it.
        const double left = RealOf(a, typeA);
        const double right = RealOf(b, typeB);
        return ComparisonResult(op, left < right, right < left);
    }
    case NumberOpKind::WholeDivision: {
        // A Double is never "small": the result is a Long.
        const std::int64_t dividend =
            typeA == VarType::Double ? RoundToLong(a.DoubleValue()) : WholeOf(a, typeA);
        const std::int64_t divisor =
            typeB == VarType::Double ? RoundToLong(b.DoubleValue()) : WholeOf(b, typeB);
        return DivideWhole(op, dividend, divisor, true);
    }
    case NumberOpKind::Division:
        return DivideReal(RealOf(a, typeA), RealOf(b, typeB));
    case NumberOpKind::General:
        break;
    }
    return EvaluateGeneral(op, a, b, mode);
}

/// Two Booleans under a logical operator: the usual condition `a And b`.
bool IsLogical(BinaryOp op) {
    return op == BinaryOp::And || op == BinaryOp::Or || op == BinaryOp::Xor || op == BinaryOp::Eqv ||
           op == BinaryOp::Imp;
}

Variant EvaluateGeneral(BinaryOp op, const Variant& a, const Variant& b, CompareMode mode) {
    switch (op) {
    case BinaryOp::Equal:
    case BinaryOp::NotEqual:
    case BinaryOp::Less:
    case BinaryOp::LessEqual:
    case BinaryOp::Greater:
    case BinaryOp::GreaterEqual:
        return Comparison(op, a, b, mode);
    case BinaryOp::Add:
    case BinaryOp::Subtract:
    case BinaryOp::Multiply: {
        const Operands operands(a, b);
        if (operands.HasNull()) {
            return Variant::Null();
        }
        // + joins two strings, and a string with Empty; a string with a number is a sum.
        if (op == BinaryOp::Add && (operands.a.IsString() || operands.a.IsEmpty()) &&
            (operands.b.IsString() || operands.b.IsEmpty()) &&
            (operands.a.IsString() || operands.b.IsString())) {
            return Concatenate(operands);
        }
        return Arithmetic(op, operands);
    }
    case BinaryOp::Divide:
        return Divide(Operands(a, b));
    case BinaryOp::IntDivide:
    case BinaryOp::Modulo:
        return IntegerDivision(op, Operands(a, b));
    case BinaryOp::Power:
        return Power(Operands(a, b));
    case BinaryOp::Concat:
        return Concatenate(Operands(a, b));
    case BinaryOp::And:
    case BinaryOp::Or:
    case BinaryOp::Xor:
    case BinaryOp::Eqv:
    case BinaryOp::Imp:
        return Logical(op, Operands(a, b));
    }
    assert(false && "unhandled operator");
    Raise(ErrorNumber::TypeMismatch);
}

} // namespace

Variant Evaluate(BinaryOp op, const Variant& a, const Variant& b, CompareMode mode) {
    const Variant& left = a.Deref();
    const Variant& right = b.Deref();
    const VarType typeA = left.Type();
    const VarType typeB = right.Type();
    if (IsPlainNumberType(typeA) && IsPlainNumberType(typeB)) {
        if (typeA != VarType::Double && typeB != VarType::Double) {
            return EvaluateWhole(op, left, typeA, right, typeB, mode);
        }
        return EvaluateReal(op, left, typeA, right, typeB, mode);
    }
    if (typeA == VarType::Boolean && typeB == VarType::Boolean && IsLogical(op)) {
        // The bits of True are all ones, so the bitwise rule on -1 and 0 is the logical one.
        const std::int64_t bits =
            ApplyLogical(op, left.BooleanValue() ? -1 : 0, right.BooleanValue() ? -1 : 0);
        return Variant(bits != 0);
    }
    return EvaluateGeneral(op, left, right, mode);
}

Variant Negate(const Variant& value) {
    Variant holder;
    const Variant& operand = internal::Resolve(value, holder);
    if (operand.IsArray()) {
        Raise(ErrorNumber::TypeMismatch);
    }
    switch (operand.Type()) {
    case VarType::Null:
        return Variant::Null();
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        // -Empty, -True and -Byte are Integers; -(-32768) becomes a Long, -(-2^31) a Double.
        return WholeResult(-internal::WholeValue(operand),
                           operand.Type() == VarType::Long ? VarType::Long : VarType::Integer);
    case VarType::Single:
        return Variant(-operand.SingleValue());
    case VarType::Double:
        return Variant(-operand.DoubleValue());
    case VarType::Date:
        return DateResult(-operand.DateValue());
    case VarType::Currency:
        return CurrencyResult(-Int128(operand.CurrencyValue().Scaled()));
    case VarType::String:
        return DoubleResult(-ToDouble(operand));
    case VarType::Object:
    case VarType::Error:
    case VarType::Variant:
        Raise(ErrorNumber::TypeMismatch);
    }
    assert(false && "unhandled subtype");
    Raise(ErrorNumber::TypeMismatch);
}

Variant Not(const Variant& value) {
    Variant holder;
    const Variant& operand = internal::Resolve(value, holder);
    if (operand.IsArray() || operand.Type() == VarType::Error) {
        Raise(ErrorNumber::TypeMismatch);
    }
    if (operand.IsNull()) {
        return Variant::Null();
    }
    // Not Empty is the Long -1, as Empty is a Long to every logical operator.
    const LogicalOperand read = ReadLogicalOperand(operand);
    return LogicalResult(~read.bits, read.type);
}

} // namespace qv::automation
