#include "platform/automation/Conversion.h"

#include "platform/automation/AutomationTestSupport.h"
#include "platform/automation/Object.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qv::automation {
namespace {

using testing::VariantOutcome;

struct OperatorCase {
    const char* label;
    BinaryOp op;
    Variant a;
    Variant b;
    std::string expected; // "Subtype value", "Null" or "#n"
};

void RunCases(const std::vector<OperatorCase>& cases) {
    for (const OperatorCase& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        EXPECT_EQ(VariantOutcome([&] { return Evaluate(testCase.op, testCase.a, testCase.b); }),
                  testCase.expected);
    }
}

using Op = BinaryOp;
const Variant Int(std::int16_t value) {
    return Variant(value);
}
const Variant Byte(std::uint8_t value) {
    return Variant(value);
}
const Variant Cur(double value) {
    return Variant(ToCurrency(value));
}

TEST(Arithmetic, AddSubtractMultiplyWidenAndPromote) {
    RunCases({
        {"Integer overflow promotes to Long", Op::Add, Int(32767), Int(1), "Long 32768"},
        {"Long overflow promotes to Double", Op::Add, std::numeric_limits<std::int32_t>::max(), 1,
         "Double 2147483648"},
        {"Byte overflow promotes to Integer", Op::Add, Byte(200), Byte(100), "Integer 300"},
        {"Byte product beyond Integer", Op::Multiply, Byte(255), Byte(255), "Long 65025"},
        {"Byte stays Byte", Op::Add, Byte(1), Byte(2), "Byte 3"},
        {"Byte below zero", Op::Subtract, Byte(1), Byte(2), "Integer -1"},
        {"Integer and Single", Op::Add, Int(1), 1.5f, "Single 2.5"},
        {"Long and Single give Double", Op::Add, 1, 1.5f, "Double 2.5"},
        {"Currency outranks Double in +", Op::Add, 1.0, Cur(1.5), "Currency 2.5"},
        {"Double outranks Currency in *", Op::Multiply, 2.0, Cur(1.5), "Double 3"},
        {"Currency product", Op::Multiply, Cur(1.5), Cur(1.5), "Currency 2.25"},
        {"Currency product rounds to even", Op::Multiply, Cur(0.0001), Cur(0.5), "Currency 0"},
        {"Currency overflow", Op::Multiply, Cur(922337203685477.0), Cur(2), "#6"},
        {"numeric text and number", Op::Add, u"1", 2, "Double 3"},
        {"text and number", Op::Add, u"a", 1, "#13"},
        {"True as text is not a number", Op::Add, u"True", 1, "#13"},
        {"+ joins strings", Op::Add, u"a", u"b", "String ab"},
        {"+ with Empty and string joins", Op::Add, Variant(), u"b", "String b"},
        {"- on strings is numeric", Op::Subtract, u"5", u"2", "Double 3"},
        {"Empty + Empty", Op::Add, Variant(), Variant(), "Integer 0"},
        {"Empty is zero", Op::Add, Variant(), 5, "Long 5"},
        {"True + True", Op::Add, true, true, "Integer -2"},
        {"Null propagates", Op::Add, Variant::Null(), 1, "Null"},
        {"Null with text", Op::Multiply, u"x", Variant::Null(), "Null"},
        {"Date + number", Op::Add, Variant::FromDate(45291), 1, "Date 1/1/2024"},
        {"number - Date", Op::Subtract, 45293, Variant::FromDate(1), "Date 1/1/2024"},
        {"Date - Date", Op::Subtract, Variant::FromDate(45292), Variant::FromDate(45291), "Double 1"},
        {"Date * number", Op::Multiply, Variant::FromDate(2), 2, "Double 4"},
        {"Date beyond 9999", Op::Add, Variant::FromDate(2958465), 1, "#6"},
        {"Double overflow", Op::Multiply, 1e300, 1e300, "#6"},
        {"Single overflow becomes Double", Op::Multiply, 3e38f, 10.0f, "Double 3.00000000549776E+39"},
        {"array", Op::Add, Variant(MakeArray({})), 1, "#13"},
        {"missing argument", Op::Add, Variant::Missing(), 1, "#13"},
    });
}

TEST(Arithmetic, DivisionIntegerDivisionModuloPower) {
    RunCases({
        {"/ gives Double", Op::Divide, Int(1), Int(2), "Double 0.5"},
        {"/ by zero", Op::Divide, 1.0, Int(0), "#11"},
        {"0/0 is overflow", Op::Divide, Int(0), Int(0), "#6"},
        {"/ Null", Op::Divide, Variant::Null(), Int(0), "Null"},
        {"\\ on Integers", Op::IntDivide, Int(7), Int(2), "Integer 3"},
        {"\\ on Longs", Op::IntDivide, 7, 2, "Long 3"},
        {"\\ on Bytes", Op::IntDivide, Byte(7), Byte(2), "Byte 3"},
        {"\\ rounds operands half to even", Op::IntDivide, 5.5, Int(2), "Long 3"},
        {"\\ rounds 2.5 down", Op::IntDivide, 2.5, Int(1), "Long 2"},
        {"\\ truncates toward zero", Op::IntDivide, Int(-7), Int(2), "Integer -3"},
        {"\\ by zero", Op::IntDivide, Int(1), Int(0), "#11"},
        {"\\ by a fraction rounding to zero", Op::IntDivide, Int(1), 0.4, "#11"},
        {"\\ Integer overflow widens", Op::IntDivide, Int(-32768), Int(-1), "Long 32768"},
        {"\\ Long overflow", Op::IntDivide, std::numeric_limits<std::int32_t>::min(), -1, "#6"},
        {"Mod sign follows dividend", Op::Modulo, Int(7), Int(-3), "Integer 1"},
        {"Mod negative dividend", Op::Modulo, Int(-7), Int(3), "Integer -1"},
        {"Mod rounds operands", Op::Modulo, 5.5, Int(2), "Long 0"},
        {"Mod by zero", Op::Modulo, Int(5), Int(0), "#11"},
        {"Mod smallest Long", Op::Modulo, std::numeric_limits<std::int32_t>::min(), -1, "Long 0"},
        {"Mod text", Op::Modulo, u"a", Int(2), "#13"},
        {"^ gives Double", Op::Power, Int(2), Int(10), "Double 1024"},
        {"0 ^ 0", Op::Power, Int(0), Int(0), "Double 1"},
        {"0 to a negative power", Op::Power, Int(0), Int(-1), "#5"},
        {"root of a negative", Op::Power, Int(-8), 0.5, "#5"},
        {"^ overflow", Op::Power, 10.0, 400.0, "#6"},
    });
}

TEST(Arithmetic, Concatenation) {
    RunCases({
        {"Null & text", Op::Concat, Variant::Null(), u"x", "String x"},
        {"text & Null", Op::Concat, u"x", Variant::Null(), "String x"},
        {"Null & Null", Op::Concat, Variant::Null(), Variant::Null(), "Null"},
        {"numbers", Op::Concat, 1, Int(2), "String 12"},
        {"Boolean", Op::Concat, true, u"", "String True"},
        {"Double", Op::Concat, 0.5, Variant(), "String 0.5"},
        {"array", Op::Concat, Variant(MakeArray({})), u"", "#13"},
    });
}

TEST(Arithmetic, LogicalOperators) {
    RunCases({
        {"Boolean And Boolean", Op::And, true, false, "Boolean False"},
        {"Integer And Integer", Op::And, Int(12), Int(10), "Integer 8"},
        {"Byte And Byte", Op::And, Byte(12), Byte(10), "Byte 8"},
        {"Boolean Or Integer", Op::Or, true, Int(3), "Integer -1"},
        {"Long Or Integer", Op::Or, 12, Int(3), "Long 15"},
        {"Double rounds to Long", Op::And, 2.5, Int(3), "Long 2"},
        {"Empty is a Long here", Op::And, Variant(), Variant(), "Long 0"},
        {"Empty Or Integer", Op::Or, Variant(), Int(5), "Long 5"},
        {"Empty And Null", Op::And, Variant(), Variant::Null(), "Long 0"},
        {"Empty Imp Null", Op::Imp, Variant(), Variant::Null(), "Long -1"},
        {"Boolean And Byte", Op::And, true, Byte(6), "Integer 6"},
        {"Xor", Op::Xor, Int(6), Int(3), "Integer 5"},
        {"Eqv on Integers", Op::Eqv, Int(5), Int(3), "Integer -7"},
        {"Eqv on Bytes", Op::Eqv, Byte(5), Byte(3), "Byte 249"},
        {"True Eqv True", Op::Eqv, true, true, "Boolean True"},
        {"Imp", Op::Imp, true, false, "Boolean False"},
        {"Boolean word", Op::And, u"True", true, "Boolean True"},
        {"numeric text", Op::And, u"5", Int(3), "Long 1"},
        {"other text", Op::Or, u"abc", true, "#13"},
        {"Null And False", Op::And, Variant::Null(), false, "Boolean False"},
        {"False And Null", Op::And, false, Variant::Null(), "Boolean False"},
        {"Null And True", Op::And, Variant::Null(), true, "Null"},
        {"Null And 0", Op::And, Variant::Null(), Int(0), "Integer 0"},
        {"Null Or True", Op::Or, Variant::Null(), true, "Boolean True"},
        {"Null Or False", Op::Or, Variant::Null(), false, "Null"},
        {"Null Or Byte 255", Op::Or, Variant::Null(), Byte(255), "Byte 255"},
        {"Null Xor True", Op::Xor, Variant::Null(), true, "Null"},
        {"Null Eqv True", Op::Eqv, Variant::Null(), true, "Null"},
        {"False Imp Null", Op::Imp, false, Variant::Null(), "Boolean True"},
        {"True Imp Null", Op::Imp, true, Variant::Null(), "Null"},
        {"Null Imp True", Op::Imp, Variant::Null(), true, "Boolean True"},
        {"Null Imp False", Op::Imp, Variant::Null(), false, "Null"},
        {"Byte Imp Null is Not Byte", Op::Imp, Byte(170), Variant::Null(), "Byte 85"},
        {"Byte 0 Imp Null", Op::Imp, Byte(0), Variant::Null(), "Byte 255"},
        {"Byte 255 Imp Null", Op::Imp, Byte(255), Variant::Null(), "Byte 0"},
        {"Date Imp Null", Op::Imp, Variant::FromDate(-1), Variant::Null(), "Null"},
        {"Null And Null", Op::And, Variant::Null(), Variant::Null(), "Null"},
    });
}

TEST(Arithmetic, ComparisonOperators) {
    RunCases({
        {"<", Op::Less, 1, 2, "Boolean True"},
        {">=", Op::GreaterEqual, 1, 2, "Boolean False"},
        {"<> across subtypes", Op::NotEqual, Int(1), 1.0, "Boolean False"},
        {"= with Null", Op::Equal, Variant::Null(), Variant::Null(), "Null"},
        {"<= with string", Op::LessEqual, 5, u"5", "Boolean True"},
    });
    EXPECT_EQ(testing::Describe(Evaluate(Op::Equal, u"a", u"A", CompareMode::Text)), "Boolean True");
    EXPECT_EQ(testing::Describe(Evaluate(Op::Equal, u"a", u"A")), "Boolean False");
}

/// Holds a value behind a default property. An operand that is an object takes the general path
/// of the operators, so a boxed operand shows what the general rules give.
class Box final : public Object {
public:
    explicit Box(Variant value) : mValue(std::move(value)) {}
    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(u"Box", {Default(Method<&Box::Value>(u"Value"))});
        return info;
    }
    Variant Value() const { return mValue; }

private:
    Variant mValue;
};

// Integer, Long, Double and Boolean operands take shortcuts past the general rules; every
// operator on every pair of them must give what the general rules give, error numbers included.
TEST(Arithmetic, ShortcutsAgreeWithTheGeneralRules) {
    const std::vector<std::pair<const char*, Variant>> operands = {
        {"Integer 0", Int(0)},
        {"Integer 7", Int(7)},
        {"Integer -1", Int(-1)},
        {"Integer max", Int(32767)},
        {"Integer min", Int(-32768)},
        {"Long 0", 0},
        {"Long -7", -7},
        {"Long 100000", 100000},
        {"Long max", std::numeric_limits<std::int32_t>::max()},
        {"Long min", std::numeric_limits<std::int32_t>::min()},
        {"Double 0", 0.0},
        {"Double -0", -0.0},
        {"Double 0.5", 0.5},
        {"Double 2.5", 2.5},
        {"Double -3.5", -3.5},
        {"Double 1E+300", 1e300},
        {"Double 1E-300", 1e-300},
        {"Double beyond Long", 2147483647.5},
        {"Double NaN", std::nan("")},
        {"True", true},
        {"False", false},
    };
    const std::vector<std::pair<const char*, BinaryOp>> operators = {
        {"+", Op::Add},        {"-", Op::Subtract}, {"*", Op::Multiply},      {"/", Op::Divide},
        {"\\", Op::IntDivide}, {"Mod", Op::Modulo}, {"^", Op::Power},         {"&", Op::Concat},
        {"And", Op::And},      {"Or", Op::Or},      {"Xor", Op::Xor},         {"Eqv", Op::Eqv},
        {"Imp", Op::Imp},      {"=", Op::Equal},    {"<>", Op::NotEqual},     {"<", Op::Less},
        {"<=", Op::LessEqual}, {">", Op::Greater},  {">=", Op::GreaterEqual},
    };
    for (const auto& [opName, opEntry] : operators) {
        for (const auto& [leftName, leftEntry] : operands) {
            for (const auto& [rightName, rightEntry] : operands) {
                // Named references, as lambdas may not capture structured bindings everywhere.
                const BinaryOp& op = opEntry;
                const Variant& left = leftEntry;
                const Variant& right = rightEntry;
                SCOPED_TRACE(std::string(leftName) + " " + opName + " " + rightName);
                const Variant boxed(Ref<Object>(MakeRef<Box>(left)));
                const std::string general = VariantOutcome([&] { return Evaluate(op, boxed, right); });
                EXPECT_EQ(VariantOutcome([&] { return Evaluate(op, left, right); }), general);
                Variant target = left;
                EXPECT_EQ(VariantOutcome([&] { return Evaluate(op, Variant::ByRef(target), right); }),
                          general);
            }
        }
    }
    for (const auto& [leftName, left] : operands) {
        for (const auto& [rightName, right] : operands) {
            SCOPED_TRACE(std::string("Compare ") + leftName + ", " + rightName);
            const Variant boxed(Ref<Object>(MakeRef<Box>(left)));
            EXPECT_EQ(Compare(left, right), Compare(boxed, right));
        }
    }
}

TEST(Arithmetic, NegateAndNot) {
    struct Case {
        const char* label;
        Variant operand;
        std::string negated;
        std::string inverted;
    };
    const Case cases[] = {
        {"Integer -32768", Int(-32768), "Long 32768", "Integer 32767"},
        {"smallest Long", std::numeric_limits<std::int32_t>::min(), "Double 2147483648", "Long 2147483647"},
        {"Empty", Variant(), "Integer 0", "Long -1"},
        {"True", true, "Integer 1", "Boolean False"},
        {"Byte", Byte(5), "Integer -5", "Byte 250"},
        {"numeric text", u"5", "Double -5", "Long -6"},
        {"text", u"x", "#13", "#13"},
        {"Boolean word", u"#FALSE#", "#13", "Boolean True"},
        {"Null", Variant::Null(), "Null", "Null"},
        {"Currency", Cur(1.5), "Currency -1.5", "Long -3"},
        {"Double", 2.5, "Double -2.5", "Long -3"},
        {"Date", Variant::FromDate(1), "Date 12/29/1899", "Long -2"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        EXPECT_EQ(VariantOutcome([&] { return Negate(testCase.operand); }), testCase.negated);
        EXPECT_EQ(VariantOutcome([&] { return Not(testCase.operand); }), testCase.inverted);
    }
}

} // namespace
} // namespace qv::automation
