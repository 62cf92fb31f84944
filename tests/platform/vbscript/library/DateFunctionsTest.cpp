#include "LibraryTestSupport.h"

#include <cmath>

namespace qv::vbscript::testing {
namespace {

const Variant Null = Variant::Null();
const Variant Empty;

TEST(DateFunctionsTest, BuildingDates) {
    ExpectOutcomes({
        {u"DateSerial", {Variant(2000), Variant(14), Variant(2)}, "Date:2/2/2001"},
        {u"DateSerial", {Variant(0), Variant(2), Variant(1)}, "Date:2/1/2000"},
        {u"DateSerial", {Variant(50), Variant(2), Variant(1)}, "Date:2/1/1950"},
        {u"Year", {Call(u"DateSerial", {Variant(100), Variant(2), Variant(1)})}, "Integer:100"},
        {u"DateSerial", {Variant(2000), Variant(3), Variant(0)}, "Date:2/29/2000"},
        {u"DateSerial", {Variant(2000), Variant(1), Variant(-1)}, "Date:12/30/1999"},
        {u"DateSerial", {Variant(1899), Variant(12), Variant(29)}, "Date:12/29/1899"},
        {u"DateSerial", {Variant(10000), Variant(1), Variant(1)}, "error 5"},
        {u"DateSerial", {Variant(-10000), Variant(1), Variant(1)}, "error 5"},
        {u"DateSerial", {Null, Variant(1), Variant(1)}, "error 94"},
        {u"DateSerial", {Variant(2000), Variant(1), Null}, "error 94"},
        {u"TimeSerial", {Variant(10), Variant(2), Variant(1)}, "Date:10:02:01 AM"},
        {u"TimeSerial", {Variant(25), Variant(2), Variant(1)}, "Date:12/31/1899 1:02:01 AM"},
        {u"TimeSerial", {Variant(10), Variant(0), Variant(60)}, "Date:10:01:00 AM"},
        {u"TimeSerial", {Variant(12 - 6), Variant(-15), Variant(0)}, "Date:5:45:00 AM"},
        {u"TimeSerial", {Variant(10), Null, Variant(1)}, "error 94"},
        {u"DateValue", {Variant(u"12/31/2023 1:30 PM")}, "Date:12/31/2023"},
        {u"DateValue", {Null}, "Null"},
        {u"DateValue", {Variant(u"not a date")}, "error 13"},
        {u"TimeValue", {Variant(u"12/31/2023 1:30 PM")}, "Date:1:30:00 PM"},
        {u"TimeValue", {Date(1899, 12, 29, 6)}, "Date:6:00:00 AM"},
    });
}

TEST(DateFunctionsTest, PartsOfDates) {
    ExpectOutcomes({
        {u"Day", {Variant(2)}, "Integer:1"},
        {u"Month", {Variant(2)}, "Integer:1"},
        {u"Year", {Variant(2)}, "Integer:1900"},
        {u"Hour", {Variant(2.75)}, "Integer:18"},
        {u"Minute", {Variant(2.02083)}, "Integer:30"},
        {u"Second", {Date(2023, 12, 31, 13, 30, 59)}, "Integer:59"},
        {u"Day", {Variant(u"12/31/2023")}, "Integer:31"},
        {u"Day", {Empty}, "Integer:30"},
        {u"Day", {Null}, "Null"},
        {u"Month", {Variant(u"x")}, "error 13"},
        {u"Weekday", {Date(2000, 1, 1)}, "Integer:7"},
        {u"Weekday", {Date(2000, 1, 1), Variant(2)}, "Integer:6"},
        {u"Weekday", {Date(2000, 1, 1), Variant(7)}, "Integer:1"},
        {u"Weekday", {Date(2000, 1, 1), Variant(0)}, "Integer:7"},
        {u"Weekday", {Date(1899, 12, 29, 6)}, "Integer:6"},
        {u"Weekday", {Null, Variant(1)}, "Null"},
        {u"Weekday", {Null, Variant(-1)}, "error 5"},
        {u"Weekday", {Date(2000, 1, 1), Variant(10)}, "error 5"},
        {u"Weekday", {Date(2000, 1, 1), Null}, "error 94"},
        {u"Weekday", {Null, Variant(u"a")}, "error 13"},
        {u"MonthName", {Variant(12)}, "String:December"},
        {u"MonthName", {Variant(1), Variant(10)}, "String:Jan"},
        {u"MonthName", {Variant(13)}, "error 5"},
        {u"MonthName", {Variant(u"a"), Null}, "error 94"},
        {u"WeekdayName", {Variant(1)}, "String:Sunday"},
        {u"WeekdayName", {Variant(1.1)}, "String:Sunday"},
        {u"WeekdayName", {Variant(1), Variant(true), Variant(2)}, "String:Mon"},
        {u"WeekdayName", {Variant(1), Variant(true), Variant(1.5)}, "String:Mon"},
        {u"WeekdayName", {Variant(7), Variant(false), Variant(7)}, "String:Friday"},
        {u"WeekdayName", {Variant(8)}, "error 5"},
    });
}

TEST(DateFunctionsTest, DateAdd) {
    ExpectOutcomes({
        {u"DateAdd", {Variant(u"yYyy"), Variant(1), Date(2000, 1, 1)}, "Date:1/1/2001"},
        {u"DateAdd", {Variant(u"q"), Variant(1), Date(2000, 1, 1)}, "Date:4/1/2000"},
        {u"DateAdd", {Variant(u"m"), Variant(-1), Date(2000, 1, 1)}, "Date:12/1/1999"},
        {u"DateAdd", {Variant(u"m"), Variant(1), Variant(u"31-Jan-10")}, "Date:2/28/2010"},
        {u"DateAdd", {Variant(u"m"), Variant(1), Date(2000, 1, 31, 8, 50)}, "Date:2/29/2000 8:50:00 AM"},
        {u"DateAdd", {Variant(u"yyyy"), Variant(1), Date(2000, 2, 29)}, "Date:2/28/2001"},
        {u"DateAdd", {Variant(u"y"), Variant(1), Date(2000, 12, 31)}, "Date:1/1/2001"},
        {u"DateAdd", {Variant(u"w"), Variant(-1), Date(2000, 1, 1)}, "Date:12/31/1999"},
        {u"DateAdd", {Variant(u"ww"), Variant(-1), Date(2000, 1, 1)}, "Date:12/25/1999"},
        {u"DateAdd", {Variant(u"d"), Variant(1.9), Date(2000, 1, 1)}, "Date:1/2/2000"},
        {u"DateAdd",
         {Variant(u"h"), Variant(1), Variant(u"31-Jan-10 08:50:00")},
         "Date:1/31/2010 9:50:00 AM"},
        {u"DateAdd", {Variant(u"n"), Variant(-10), Date(2000, 1, 1)}, "Date:12/31/1999 11:50:00 PM"},
        {u"DateAdd", {Variant(u"s"), Variant(86400), Date(1899, 12, 29, 6)}, "Date:6:00:00 AM"},
        {u"DateAdd", {Variant(u"h"), Variant(-1), Date(1899, 12, 30, 0, 30)}, "Date:12/29/1899 11:30:00 PM"},
        {u"DateAdd", {Variant(u"q"), Variant(1), Null}, "Null"},
        {u"DateAdd", {Variant(u"k"), Variant(1), Date(2000, 2, 1)}, "error 5"},
        {u"DateAdd", {Null, Variant(1), Date(2000, 2, 1)}, "error 94"},
        {u"DateAdd", {Variant(u"q"), Null, Date(2000, 2, 1)}, "error 94"},
        {u"DateAdd", {Variant(u"yyyy"), Variant(8000), Date(2000, 1, 1)}, "error 5"},
        {u"DateAdd", {Variant(u"d"), Variant(-1), Date(100, 1, 1)}, "error 5"},
    });
}

TEST(DateFunctionsTest, DateDiffCountsBoundaries) {
    ExpectOutcomes({
        {u"DateDiff", {Variant(u"yyyy"), Date(2023, 12, 31), Date(2024, 1, 1)}, "Long:1"},
        {u"DateDiff", {Variant(u"q"), Date(2023, 3, 31), Date(2023, 4, 1)}, "Long:1"},
        {u"DateDiff", {Variant(u"m"), Date(2024, 1, 31), Date(2023, 12, 1)}, "Long:-1"},
        {u"DateDiff", {Variant(u"d"), Date(2000, 1, 1, 23), Date(2000, 1, 2, 1)}, "Long:1"},
        {u"DateDiff", {Variant(u"w"), Date(2000, 1, 1), Date(2000, 1, 14)}, "Long:1"},
        {u"DateDiff", {Variant(u"w"), Date(2000, 1, 14), Date(2000, 1, 1)}, "Long:-1"},
        // Saturday to Sunday crosses a week boundary; to a Monday start it does not.
        {u"DateDiff", {Variant(u"ww"), Date(2000, 1, 1), Date(2000, 1, 2)}, "Long:1"},
        {u"DateDiff", {Variant(u"ww"), Date(2000, 1, 1), Date(2000, 1, 2), Variant(2)}, "Long:0"},
        {u"DateDiff", {Variant(u"h"), Date(2000, 1, 1, 1, 59), Date(2000, 1, 1, 2)}, "Long:1"},
        {u"DateDiff", {Variant(u"n"), Date(1899, 12, 29, 23, 59), Date(1899, 12, 30)}, "Long:1"},
        {u"DateDiff", {Variant(u"s"), Date(2000, 1, 1), Date(2000, 1, 2)}, "Long:86400"},
        {u"DateDiff", {Variant(u"s"), Date(100, 1, 1), Date(9999, 1, 1)}, "error 6"},
        {u"DateDiff", {Variant(u"d"), Null, Date(2000, 1, 1)}, "Null"},
        {u"DateDiff", {Variant(u"x"), Date(2000, 1, 1), Date(2000, 1, 1)}, "error 5"},
        {u"DateDiff", {Variant(u"d"), Date(2000, 1, 1), Date(2000, 1, 1), Variant(8)}, "error 5"},
        {u"DateDiff", {Variant(u"d"), Date(2000, 1, 1), Date(2000, 1, 1), Variant(1), Variant(4)}, "error 5"},
    });
}

TEST(DateFunctionsTest, DatePartAndWeeksOfTheYear) {
    ExpectOutcomes({
        {u"DatePart", {Variant(u"yyyy"), Date(2023, 12, 31)}, "Integer:2023"},
        {u"DatePart", {Variant(u"q"), Date(2023, 8, 1)}, "Integer:3"},
        {u"DatePart", {Variant(u"y"), Date(2024, 12, 31)}, "Integer:366"},
        {u"DatePart", {Variant(u"w"), Date(2000, 1, 1), Variant(2)}, "Integer:6"},
        {u"DatePart", {Variant(u"n"), Date(2000, 1, 1, 13, 45)}, "Integer:45"},
        {u"DatePart", {Variant(u"ww"), Date(2000, 12, 31)}, "Integer:54"},
        {u"DatePart", {Variant(u"ww"), Date(2024, 1, 1)}, "Integer:1"},
        // ISO-style weeks: 29 December 2003 is in week 1 of 2004, 1 January 2021 in week 53.
        {u"DatePart", {Variant(u"ww"), Date(2003, 12, 29), Variant(2), Variant(2)}, "Integer:1"},
        {u"DatePart", {Variant(u"ww"), Date(2021, 1, 1), Variant(2), Variant(2)}, "Integer:53"},
        {u"DatePart", {Variant(u"ww"), Date(2021, 1, 4), Variant(2), Variant(2)}, "Integer:1"},
        {u"DatePart", {Variant(u"ww"), Date(2023, 1, 1), Variant(1), Variant(3)}, "Integer:1"},
        {u"DatePart", {Variant(u"ww"), Date(2022, 1, 1), Variant(1), Variant(3)}, "Integer:52"},
        {u"DatePart", {Variant(u"d"), Null}, "Null"},
        {u"DatePart", {Variant(u"d"), Date(2000, 1, 1), Null}, "error 94"},
    });
}

TEST(DateFunctionsTest, CurrentDateAndTime) {
    Variant now = Call(u"Now", {});
    Variant today = Call(u"Date", {});
    Variant time = Call(u"Time", {});
    ASSERT_EQ(now.Type(), automation::VarType::Date);
    ASSERT_EQ(today.Type(), automation::VarType::Date);
    ASSERT_EQ(time.Type(), automation::VarType::Date);
    EXPECT_EQ(today.DateValue(), std::floor(today.DateValue()));
    EXPECT_GE(time.DateValue(), 0.0);
    EXPECT_LT(time.DateValue(), 1.0);
    // The calls straddle midnight at most once.
    EXPECT_NEAR(now.DateValue(), today.DateValue() + time.DateValue(), 1.0);
    EXPECT_GT(today.DateValue(), 45000.0); // after 2023
}

} // namespace
} // namespace qv::vbscript::testing
