#include "platform/automation/Conversion.h"

#include "platform/automation/AutomationTestSupport.h"

#include <gtest/gtest.h>

namespace qv::automation {
namespace {

const char* OrderText(CompareResult result) {
    switch (result) {
    case CompareResult::Less:
        return "<";
    case CompareResult::Equal:
        return "=";
    case CompareResult::Greater:
        return ">";
    case CompareResult::Null:
        return "Null";
    }
    return "?";
}

TEST(Comparison, AcrossSubtypes) {
    struct Case {
        const char* label;
        Variant a;
        Variant b;
        CompareMode mode;
        const char* expected;
    };
    const Case cases[] = {
        {"Integer and Double", std::int16_t(1), 1.0, CompareMode::Binary, "="},
        {"Long and Currency", 2, Currency::FromScaled(15000), CompareMode::Binary, ">"},
        {"Currency exactly", Currency::FromScaled(1), Currency::FromScaled(2), CompareMode::Binary, "<"},
        {"Single 0.1 is not Double 0.1", 0.1f, 0.1, CompareMode::Binary, ">"},
        {"True is -1", true, std::int16_t(-1), CompareMode::Binary, "="},
        {"Byte and Long", std::uint8_t(200), 100, CompareMode::Binary, ">"},
        {"Empty is 0", Variant(), 0, CompareMode::Binary, "="},
        {"Empty below a positive", Variant(), 0.5, CompareMode::Binary, "<"},
        {"Empty is \"\"", Variant(), u"", CompareMode::Binary, "="},
        {"Empty below text", Variant(), u"a", CompareMode::Binary, "<"},
        {"two Empty", Variant(), Variant(), CompareMode::Binary, "="},
        {"number below text, even numeric text", 1, u"1", CompareMode::Binary, "<"},
        {"text above number", u"0", 5, CompareMode::Binary, ">"},
        {"Boolean compares its text", true, u"True", CompareMode::Binary, "="},
        {"Boolean text is case-sensitive", true, u"true", CompareMode::Binary, "<"},
        {"Double compares its text", 10.0, u"9", CompareMode::Binary, "<"},
        {"Byte compares its text", std::uint8_t(5), u"abc", CompareMode::Binary, "<"},
        {"Currency compares its text", Currency::FromScaled(50000), u"5", CompareMode::Binary, "="},
        {"Long below blank text", 2, u"   ", CompareMode::Binary, "<"},
        {"Long against empty text is against 0", 2, u"", CompareMode::Binary, ">"},
        {"Integer zero and empty text", std::int16_t(0), u"", CompareMode::Binary, "="},
        {"Date as number", Variant::FromDate(2), 2.0, CompareMode::Binary, "="},
        {"Date compares its text", Variant::FromDate(2), u"1/1/1900", CompareMode::Binary, "="},
        {"binary by code unit", u"a", u"B", CompareMode::Binary, ">"},
        {"text ignores case", u"a", u"B", CompareMode::Text, "<"},
        {"text equal", u"abc", u"ABC", CompareMode::Text, "="},
        {"text Latin-1", u"\u00e9t\u00e9", u"\u00c9T\u00c9", CompareMode::Text, "="},
        {"prefix shorter", u"ab", u"abc", CompareMode::Binary, "<"},
        {"Null left", Variant::Null(), 1, CompareMode::Binary, "Null"},
        {"Null right", u"a", Variant::Null(), CompareMode::Binary, "Null"},
        {"Null with Null", Variant::Null(), Variant::Null(), CompareMode::Binary, "Null"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        EXPECT_STREQ(OrderText(Compare(testCase.a, testCase.b, testCase.mode)), testCase.expected);
        // The relation is antisymmetric.
        const CompareResult reverse = Compare(testCase.b, testCase.a, testCase.mode);
        const char* expectedReverse = testCase.expected[0] == '<'   ? ">"
                                      : testCase.expected[0] == '>' ? "<"
                                                                    : testCase.expected;
        EXPECT_STREQ(OrderText(reverse), expectedReverse);
    }
}

TEST(Comparison, ArraysAndErrorsDoNotCompare) {
    EXPECT_THROW(Compare(Variant(MakeArray({})), 1), Error);
    EXPECT_THROW(Compare(Variant::Missing(), 1), Error);
}

} // namespace
} // namespace qv::automation
