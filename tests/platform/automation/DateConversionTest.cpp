#include "platform/automation/Conversion.h"

#include "platform/automation/AutomationTestSupport.h"

#include <gtest/gtest.h>

namespace qv::automation {
namespace {

using testing::Outcome;
using testing::ScopedLocale;

constexpr double NewYearsEve2023 = 45291; // 12/31/2023
const double OneFiveSevenPm = TimeFromParts(13, 5, 7);

TEST(DateConversion, SerialsAndParts) {
    EXPECT_EQ(DateFromParts(1899, 12, 30), 0.0);
    EXPECT_EQ(DateFromParts(2023, 12, 31), NewYearsEve2023);
    EXPECT_EQ(DateFromParts(100, 1, 1), -657434.0);
    EXPECT_EQ(DateFromParts(2023, 2, 29), std::nullopt);
    EXPECT_EQ(DateFromParts(99, 12, 31), std::nullopt);
    EXPECT_EQ(DateFromParts(2024, 2, 29), 45351.0);

    const DateParts parts = SplitDate(NewYearsEve2023 + OneFiveSevenPm);
    EXPECT_EQ(parts.year, 2023);
    EXPECT_EQ(parts.month, 12);
    EXPECT_EQ(parts.day, 31);
    EXPECT_EQ(parts.hour, 13);
    EXPECT_EQ(parts.minute, 5);
    EXPECT_EQ(parts.second, 7);
    EXPECT_EQ(parts.weekday, 1); // a Sunday

    // Before the epoch the fraction is still the time of day.
    const DateParts early = SplitDate(-1.25);
    EXPECT_EQ(early.day, 29);
    EXPECT_EQ(early.hour, 6);
    EXPECT_EQ(SplitDate(0).weekday, 7);
    // A time that rounds up to midnight belongs to the next day.
    EXPECT_EQ(SplitDate(0.9999999).day, 31);
    EXPECT_EQ(SplitDate(0.9999999).hour, 0);
    EXPECT_EQ(Outcome([] { return FormatDate(1e7); }), "#6");
}

TEST(DateConversion, CarryingPartsAsDateSerialDoes) {
    EXPECT_EQ(DateFromPartsCarrying(2023, 13, 1), DateFromParts(2024, 1, 1));
    EXPECT_EQ(DateFromPartsCarrying(2024, 3, 0), DateFromParts(2024, 2, 29));
    EXPECT_EQ(DateFromPartsCarrying(2024, 0, 1), DateFromParts(2023, 12, 1));
    EXPECT_EQ(DateFromPartsCarrying(2024, -1, 31), DateFromParts(2023, 11, 30).value() + 1);
    EXPECT_EQ(DateFromPartsCarrying(10000, 1, 1), std::nullopt);
    EXPECT_DOUBLE_EQ(TimeFromParts(25, 0, 0), 1 + 1.0 / 24);
}

TEST(DateConversion, GeneralDateForm) {
    struct Case {
        std::int32_t lcid;
        double serial;
        const char* expected;
    };
    const Case cases[] = {
        {1033, NewYearsEve2023 + OneFiveSevenPm, "12/31/2023 1:05:07 PM"},
        {1033, NewYearsEve2023, "12/31/2023"},
        {1033, OneFiveSevenPm, "1:05:07 PM"},
        {1033, 0, "12:00:00 AM"},
        {1033, TimeFromParts(0, 30, 0), "12:30:00 AM"},
        {1033, TimeFromParts(12, 0, 0), "12:00:00 PM"},
        {1033, -1.25, "12/29/1899 6:00:00 AM"},
        {1033, 1, "12/31/1899"},
        {1033, -657434, "1/1/100"},
        {1033, 2958465, "12/31/9999"},
        {1033, -49192.24, "4/24/1765 5:45:36 AM"},
        {1033, 3.34, "1/2/1900 8:09:36 AM"},
        {2057, NewYearsEve2023 + OneFiveSevenPm, "31/12/2023 13:05:07"},
        {2057, DateFromParts(2024, 2, 3).value(), "03/02/2024"},
        {1031, NewYearsEve2023 + OneFiveSevenPm, "31.12.2023 13:05:07"},
        {1031, TimeFromParts(9, 5, 0), "09:05:00"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.expected);
        ScopedLocale locale(testCase.lcid);
        EXPECT_EQ(ToUtf8(FormatDate(testCase.serial)), testCase.expected);
        EXPECT_EQ(ToUtf8(ToString(Variant::FromDate(testCase.serial))), testCase.expected);
        // What CStr prints, CDate reads back.
        EXPECT_EQ(ParseDate(FromUtf8(testCase.expected)), testCase.serial);
    }
}

TEST(DateConversion, ParseDateForms) {
    struct Case {
        std::int32_t lcid;
        const char16_t* text;
        const char* expected; // in en-US general form, or "#13"
    };
    const Case cases[] = {
        {1033, u"12/31/2023", "12/31/2023"},
        {1033, u"2023-12-31", "12/31/2023"},
        {1033, u"31 Dec 2023", "12/31/2023"},
        {1033, u"December 31, 2023", "12/31/2023"},
        {1033, u"dec 31 2023", "12/31/2023"},
        {1033, u"31-Dec-2023", "12/31/2023"},
        {1033, u"Sunday, December 31, 2023", "12/31/2023"},
        {1033, u"Dec 2023", "12/1/2023"},
        {1033, u"13:45", "1:45:00 PM"},
        {1033, u"1:45 PM", "1:45:00 PM"},
        {1033, u"1:45pm", "1:45:00 PM"},
        {1033, u"12:00 AM", "12:00:00 AM"},
        {1033, u"1 PM", "1:00:00 PM"},
        {1033, u"12/31/2023 13:45:00", "12/31/2023 1:45:00 PM"},
        {1033, u"13:45:00 12/31/2023", "12/31/2023 1:45:00 PM"},
        {1033, u"12/31/2023 13:45:00.6", "12/31/2023 1:45:01 PM"},
        {1033, u" 12/31/2023 ", "12/31/2023"},
        {1033, u"13/12/2023", "12/13/2023"}, // no 13th month: day and month swap
        {1033, u"1/1/29", "1/1/2029"},
        {1033, u"1/1/30", "1/1/1930"},
        {1033, u"2/30/2023", "#13"},
        {1033, u"25:00", "#13"},
        {1033, u"13:45 PM", "#13"},
        {1033, u"12:60", "#13"},
        {1033, u"abc", "#13"},
        {1033, u"", "#13"},
        {1033, u"5", "#13"},
        {1033, u"1/2/3/4", "#13"},
        {1033, u"12/31/2023 #", "#13"},
        {2057, u"31/12/2023", "12/31/2023"},
        {2057, u"01/02/2024", "2/1/2024"},
        {1031, u"31.12.2023 13:45", "12/31/2023 1:45:00 PM"},
        {1031, u"31. Dezember 2023", "12/31/2023"},
        {1031, u"3. M\u00e4rz 2024", "3/3/2024"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(ToUtf8(testCase.text));
        std::optional<double> serial;
        {
            ScopedLocale locale(testCase.lcid);
            serial = ParseDate(testCase.text);
        }
        EXPECT_EQ(serial ? ToUtf8(FormatDate(*serial)) : "#13", testCase.expected);
    }
}

TEST(DateConversion, ToDate) {
    EXPECT_EQ(ToDate(u"12/31/2023"), NewYearsEve2023);
    EXPECT_EQ(ToDate(std::int32_t(45291)), NewYearsEve2023);
    EXPECT_EQ(ToDate(true), -1);
    EXPECT_EQ(ToDate(Variant()), 0);
    // Text that is no date but a number is a serial, as CDate("1") is #12/31/1899#.
    EXPECT_EQ(ToDate(u"45291"), NewYearsEve2023);
    EXPECT_EQ(ToUtf8(FormatDate(ToDate(u"1"))), "12/31/1899");
    EXPECT_EQ(Outcome([] { return FormatDate(ToDate(u"day one")); }), "#13");
    EXPECT_EQ(Outcome([] { return FormatDate(ToDate(1e10)); }), "#6");
    EXPECT_EQ(Outcome([] { return FormatDate(ToDate(Variant::Null())); }), "#94");
}

} // namespace
} // namespace qv::automation
