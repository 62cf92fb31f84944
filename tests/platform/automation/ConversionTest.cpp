#include "platform/automation/Conversion.h"

#include "platform/automation/AutomationTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace qv::automation {
namespace {

using testing::Outcome;
using testing::ScopedLocale;

struct ConversionCase {
    const char* label;
    Variant input;
    std::string expected; // the converted value as CStr prints it, or "#n" for error n
};

void RunCases(const std::vector<ConversionCase>& cases,
              const std::function<Variant(const Variant&)>& convert) {
    for (const ConversionCase& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        EXPECT_EQ(Outcome([&] { return ToString(convert(testCase.input)); }), testCase.expected);
    }
}

TEST(Conversion, ToIntegerRoundsHalfToEvenAndChecksRange) {
    RunCases(
        {
            {"2.5", 2.5, "2"},
            {"3.5", 3.5, "4"},
            {"-2.5", -2.5, "-2"},
            {"32767.4", 32767.4, "32767"},
            {"32767.5 rounds up out of range", 32767.5, "#6"},
            {"-32768.5 rounds to even inside", -32768.5, "-32768"},
            {"Currency 3.5", Currency::FromScaled(35000), "4"},
            {"Currency 2.5", Currency::FromScaled(25000), "2"},
            {"Date with half a day", Variant::FromDate(1.5), "2"},
            {"True", true, "-1"},
            {"Empty", Variant(), "0"},
            {"Null", Variant::Null(), "#94"},
            {"blanks", u"  12  ", "12"},
            {"exponent", u"1e2", "100"},
            {"string rounds too", u"2.5", "2"},
            {"negative string", u"-3.5", "-4"},
            {"parentheses", u"(5)", "-5"},
            {"currency and thousands", u"$1,000", "1000"},
            {"trailing sign", u"5-", "-5"},
            {"16-bit hex is two's complement", u"&HFFFF", "-1"},
            {"hex sign bit", u"&H8000", "-32768"},
            {"hex too wide", u"&H10000", "#6"},
            {"letters", u"abc", "#13"},
            {"empty string", u"", "#13"},
            {"True as text is not a number", u"True", "#13"},
            {"Error value", Variant::Missing(), "#13"},
            {"array", Variant(MakeArray({})), "#13"},
        },
        [](const Variant& value) { return Variant(ToInteger(value)); });
}

TEST(Conversion, ToLongAndToByte) {
    RunCases(
        {
            {"hex word", u"&HFFFF", "65535"},
            {"hex all bits", u"&HFFFFFFFF", "-1"},
            {"octal", u"&O777", "511"},
            {"2147483647.5", 2147483647.5, "#6"},
            {"-2147483648.5", -2147483648.5, "-2147483648"},
            {"text beyond Long", u"2147483648", "#6"},
            {"long text", u"123456789", "123456789"},
        },
        [](const Variant& value) { return Variant(ToLong(value)); });
    RunCases(
        {
            {"-1", std::int32_t(-1), "#6"},
            {"-0.5 rounds to zero", -0.5, "0"},
            {"254.5", 254.5, "254"},
            {"255.5", 255.5, "#6"},
            {"hex", u"&HFF", "255"},
            {"True is all bits", true, "255"},
            {"False", false, "0"},
        },
        [](const Variant& value) { return Variant(ToByte(value)); });
}

TEST(Conversion, ToDoubleReadsTheRuntimesNumberForms) {
    RunCases(
        {
            {"exponent", u"1.5E+3", "1500"},
            {"beyond Double", u"1e400", "#6"},
            {"below Double", u"1e-400", "0"},
            {"blanks and sign", u"  -0.25 ", "-0.25"},
            {"no integer part", u".5", "0.5"},
            {"no fraction", u"5.", "5"},
            {"point alone", u".", "#13"},
            {"exponent without digits", u"1e", "#13"},
            {"thousands", u"1,234.5", "1234.5"},
            {"thousands separator first", u",5", "#13"},
            {"hex", u"&H10", "16"},
            {"hex without digits", u"&H", "#13"},
            {"two signs", u"--5", "#13"},
            {"sign inside parentheses", u"(-5)", "#13"},
            {"inner blank", u"1 2", "#13"},
            {"C hex", u"0x10", "#13"},
            {"True", true, "-1"},
            {"Null", Variant::Null(), "#94"},
            {"Currency", Currency::FromScaled(12345), "1.2345"},
        },
        [](const Variant& value) { return Variant(ToDouble(value)); });

    // Digits beyond those any conversion reads are not kept, only whether one of them is not
    // zero (a text of a hundred million digits took a copy of them all): they still round as
    // the whole number does, just above or at half way between two Doubles (2^53 + 1).
    const std::u16string far(1000, u'0');
    EXPECT_EQ(ToDouble(Variant(u"9007199254740993." + far + u"1")), 9007199254740994.0);
    EXPECT_EQ(ToDouble(Variant(u"9007199254740993." + far)), 9007199254740992.0);
    EXPECT_EQ(ToDouble(Variant(u"0." + far + u"25")), 0.0);
    EXPECT_EQ(ToDouble(Variant(u"0.0" + far.substr(0, 300) + u"25")), 25e-303);
    EXPECT_EQ(Outcome([&] { return ToString(Variant(ToDouble(Variant(u"1" + far)))); }), "#6");
    EXPECT_EQ(ToString(Variant(ToCurrency(Variant(u"0.00005" + far + u"1")))), u"0.0001");
    EXPECT_EQ(ToString(Variant(ToCurrency(Variant(u"0.00005" + far)))), u"0");
}

TEST(Conversion, ToSingleAndToCurrency) {
    RunCases(
        {
            {"beyond Single", 1e39, "#6"},
            {"0.1", 0.1, "0.1"},
            {"third", 1.0 / 3, "0.3333333"},
        },
        [](const Variant& value) { return Variant(ToSingle(value)); });
    RunCases(
        {
            {"largest", u"922337203685477.5807", "922337203685477.5807"},
            {"beyond largest", u"922337203685477.5808", "#6"},
            {"smallest", u"-922337203685477.5808", "-922337203685477.5808"},
            {"fifth decimal rounds half to even (down)", u"0.00005", "0"},
            {"fifth decimal rounds half to even (up)", u"0.00015", "0.0002"},
            {"Double rounds to four places", 1.23456, "1.2346"},
            {"Double beyond range", 1e19, "#6"},
            {"Long", std::int32_t(-7), "-7"},
        },
        [](const Variant& value) { return Variant(ToCurrency(value)); });
}

TEST(Conversion, ToBoolean) {
    const std::vector<std::pair<Variant, std::string>> cases = {
        {u"true", "True"},
        {u"FALSE", "False"},
        {u"0", "False"},
        {u"-2.5", "True"},
        {u"yes", "#13"},
        {u"#TRUE#", "True"},
        {u"#True#", "#13"},
        {Variant(), "False"},
        {Variant::Null(), "#94"},
        {0.0001, "True"},
        {Currency::FromScaled(0), "False"},
    };
    for (const auto& [value, expected] : cases) {
        const Variant& input = value; // a lambda may not capture a structured binding everywhere
        SCOPED_TRACE(testing::Describe(input));
        EXPECT_EQ(Outcome([&] { return ToString(Variant(ToBoolean(input))); }), expected);
    }
}

TEST(Conversion, ToStringPrintsAsTheRuntime) {
    RunCases(
        {
            {"True", true, "True"},
            {"False", false, "False"},
            {"-0.5", -0.5, "-0.5"},
            {"0.1 + 0.2 has 15 significant digits", 0.1 + 0.2, "0.3"},
            {"third", 1.0 / 3, "0.333333333333333"},
            {"1E+20", 1e20, "1E+20"},
            {"small numbers stay plain", 1.5e-7, "0.00000015"},
            {"15 places after the point", 1e-15, "0.000000000000001"},
            {"16 places after the point", 1e-16, "1E-16"},
            {"fraction needing 17 places", static_cast<double>(0.01f) + 0.01, "1.99999997764826E-02"},
            {"15 digits after the point", 123.456789 - 123, "0.456789000000001"},
            {"rounding to 15 digits hides representation error", 9.2 * 100.0, "920"},
            {"18 digits", 123456789012345678.0, "1.23456789012346E+17"},
            {"15 digits stay plain", 100000000000000.0, "100000000000000"},
            {"1E+15", 1e15, "1E+15"},
            {"0.0001 stays plain", 0.0001, "0.0001"},
            {"0.00001", 0.00001, "0.00001"},
            {"negative scientific", -1.5e-20, "-1.5E-20"},
            {"negative zero", -0.0, "0"},
            {"largest Double", std::numeric_limits<double>::max(), "1.79769313486232E+308"},
            {"Single has 7 digits", 0.1f, "0.1"},
            {"Single third", 1.0f / 3, "0.3333333"},
            {"Single large", 1.5e10f, "1.5E+10"},
            {"Single 7 places", 0.0000001f, "0.0000001"},
            {"Single fraction needing 8 places", 0.01f, "0.01"},
            {"Single third of a tenth", 1.0f / 30, "3.333334E-02"},
            {"Currency drops trailing zeros", Currency::FromScaled(15000), "1.5"},
            {"Currency smallest step", Currency::FromScaled(-1), "-0.0001"},
            {"Currency smallest", Currency::FromScaled(std::numeric_limits<std::int64_t>::min()),
             "-922337203685477.5808"},
            {"Integer", std::int16_t(-32768), "-32768"},
            {"Byte", std::uint8_t(255), "255"},
            {"Empty", Variant(), ""},
            {"Null", Variant::Null(), "#94"},
        },
        [](const Variant& value) { return Variant(ToString(value)); });
}

TEST(Conversion, WholeNumbersPrintInFull) {
    RunCases(
        {
            {"zero", 0, "0"},
            {"one digit", 9, "9"},
            {"two digits", 10, "10"},
            {"three digits", -100, "-100"},
            {"odd digit count", 1234567, "1234567"},
            {"largest Long", std::numeric_limits<std::int32_t>::max(), "2147483647"},
            {"smallest Long", std::numeric_limits<std::int32_t>::min(), "-2147483648"},
            {"Integer", std::int16_t(-32768), "-32768"},
            {"Byte", std::uint8_t(0), "0"},
        },
        [](const Variant& value) { return Variant(ToString(value)); });
}

// AppendTextForm adds what ToString gives after the text already there.
TEST(Conversion, AppendTextFormAppendsTheTextForm) {
    RunCases(
        {
            {"Long", 42, "k42"},
            {"negative Integer", std::int16_t(-7), "k-7"},
            {"Double", 0.5, "k0.5"},
            {"Boolean", true, "kTrue"},
            {"String", u"ey", "key"},
            {"Currency", Currency::FromScaled(15000), "k1.5"},
            {"Date", Variant::FromDate(45292), "k1/1/2024"},
            {"Empty adds nothing", Variant(), "k"},
            {"Null", Variant::Null(), "#94"},
            {"array", Variant(MakeArray({})), "#13"},
            {"Error", Variant::FromError(5), "#13"},
        },
        [](const Variant& value) {
            std::u16string text = u"k";
            AppendTextForm(text, value);
            return Variant(std::move(text));
        });
}

TEST(Conversion, ChangeTypeTargets) {
    EXPECT_EQ(testing::Describe(ChangeType(u"12", VarType::Integer)), "Integer 12");
    EXPECT_EQ(testing::Describe(ChangeType(2.5, VarType::Long)), "Long 2");
    EXPECT_EQ(testing::Describe(ChangeType(Variant(), VarType::String)), "String ");
    EXPECT_EQ(testing::Describe(ChangeType(std::int32_t(1), VarType::Date)), "Date 12/31/1899");
    EXPECT_EQ(testing::Describe(ChangeType(std::int32_t(1), VarType::Variant)), "Long 1");
    EXPECT_EQ(Outcome([] { return ToString(ChangeType(std::int32_t(1), VarType::Object)); }), "#13");
    EXPECT_EQ(Outcome([] { return ToString(ChangeType(std::int32_t(1), VarType::Null)); }), "#13");
    EXPECT_EQ(Outcome([] { return ToString(ChangeType(Variant::Null(), VarType::String)); }), "#94");
}

TEST(Conversion, IsTrueTreatsNullAsFalse) {
    EXPECT_FALSE(IsTrue(Variant::Null()));
    EXPECT_FALSE(IsTrue(Variant()));
    EXPECT_TRUE(IsTrue(u"True"));
    EXPECT_TRUE(IsTrue(0.1));
    EXPECT_EQ(Outcome([] { return ToString(Variant(IsTrue(u"abc"))); }), "#13");
}

TEST(Conversion, LocaleChangesSeparators) {
    {
        ScopedLocale german(1031);
        EXPECT_EQ(CurrentLocale(), 1031);
        EXPECT_EQ(ToUtf8(ToString(1.5)), "1,5");
        EXPECT_EQ(ToUtf8(FormatCurrency(Currency::FromScaled(-12345))), "-1,2345");
        EXPECT_EQ(ToDouble(u"1,5"), 1.5);
        EXPECT_EQ(ToDouble(u"1.234,5"), 1234.5);
        // The point separates thousands in German.
        EXPECT_EQ(ToDouble(u"1.5"), 15);
    }
    EXPECT_FALSE(SetCurrentLocale(12345));
    EXPECT_EQ(CurrentLocale(), 1033);
    EXPECT_EQ(ToUtf8(ToString(1.5)), "1.5");
}

TEST(Conversion, ParseNumberPublicForm) {
    EXPECT_EQ(ParseNumber(u" +5 "), 5.0);
    EXPECT_EQ(ParseNumber(u"5$"), 5.0);
    EXPECT_EQ(ParseNumber(u"&HFFFF"), 65535.0);
    EXPECT_EQ(ParseNumber(u"e5"), std::nullopt);
    EXPECT_EQ(ParseNumber(u"1e400"), std::nullopt);
}

} // namespace
} // namespace qv::automation
