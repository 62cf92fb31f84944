// The date functions of the runtime library. A date is a serial: days since 30 December 1899,
// with the time of day as the fraction. Before that day the serial is negative but its fraction
// still counts forward from midnight (-1.25 is 29 December 1899, 6:00), so arithmetic runs on a
// "linear" form where the fraction always adds.
#include "platform/vbscript/internal/Builtins.h"
#include "platform/vbscript/library/LibrarySupport.h"
#include "platform/vbscript/library/LocaleConventions.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <utility>

namespace qv::vbscript {

namespace {

using automation::Variant;
using library::Args;
using library::IsGiven;
using library::LongArg;
using library::RaiseInvalidCall;
using library::RequireNotNull;
using library::ValueOf;

// 1 January 100 and 31 December 9999, the range of a date.
constexpr double MinSerial = -657434.0;
constexpr double MaxSerial = 2958465.0;

double ToLinear(double serial) {
    if (serial >= 0) {
        return serial;
    }
    double day = std::trunc(serial);
    return day + (day - serial);
}

double FromLinear(double linear) {
    double day = std::floor(linear);
    double fraction = linear - day;
    return day >= 0 ? day + fraction : day - fraction;
}

// Days from 30 December 1899 to a date of the proleptic Gregorian calendar; any year, and a
// month 1..12.
std::int64_t CivilDay(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    std::int64_t yearOfEra = year - era * 400;
    std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468 + 25569; // 719468: 0000-03-01 to 1970-01-01
}

int DaysInMonth(std::int64_t year, int month) {
    return static_cast<int>(month == 12 ? CivilDay(year + 1, 1, 1) - CivilDay(year, 12, 1)
                                        : CivilDay(year, month + 1, 1) - CivilDay(year, month, 1));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// 1 = Sunday.
int WeekdayOfDay(std::int64_t day) {
    return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
}

Variant DateResult(double serial) {
    if (!(serial >= MinSerial && serial < MaxSerial + 1)) {
        RaiseInvalidCall();
    }
    return Variant::FromDate(serial);
}

// The date an argument holds (CDate rules); nullopt for Null.
std::optional<double> DateOrNull(Args args, std::size_t index) {
    Variant value = ValueOf(args, index);
    if (value.IsNull()) {
        return std::nullopt;
    }
    return automation::ToDate(value);
}

// A firstdayofweek argument: 1..7, or 0 for the locale's; anything else raises 5.
int FirstDayArg(Args args, std::size_t index) {
    std::int32_t day = LongArg(args, index, 1);
    if (day < 0 || day > 7) {
        RaiseInvalidCall();
    }
    return day == 0 ? library::CurrentConventions().firstDayOfWeek : day;
}

// A firstweekofyear argument: 1..3, or 0 for the locale's.
int FirstWeekArg(Args args, std::size_t index) {
    std::int32_t week = LongArg(args, index, 1);
    if (week < 0 || week > 3) {
        RaiseInvalidCall();
    }
    return week == 0 ? library::CurrentConventions().firstWeekOfYear : week;
}

std::int64_t WeekStart(std::int64_t day, int firstDay) {
    return day - (WeekdayOfDay(day) - firstDay + 7) % 7;
}

// The first day of week 1 of `year`.
std::int64_t FirstWeekStart(std::int64_t year, int firstDay, int firstWeek) {
    std::int64_t january1 = CivilDay(year, 1, 1);
    std::int64_t start = WeekStart(january1, firstDay);
    switch (firstWeek) {
    case 2:
        return january1 - start <= 3 ? start : start + 7;
    case 3:
        return start == january1 ? start : start + 7;
    default:
        return start;
    }
}

// Week of the year. A day before week 1 belongs to the last week of the year before. With
// "first four days" the last days of December can belong to week 1 of the next year; with
// "week of 1 January" the runtime counts on (53, even 54) and so do we.
int WeekOfYear(std::int64_t day, std::int64_t year, int firstDay, int firstWeek) {
    std::int64_t start = FirstWeekStart(year, firstDay, firstWeek);
    if (day < start) {
        start = FirstWeekStart(year - 1, firstDay, firstWeek);
    } else if (firstWeek == 2 && day >= FirstWeekStart(year + 1, firstDay, firstWeek)) {
        return 1;
    }
    return static_cast<int>((day - start) / 7 + 1);
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval IntervalArg(Args args) {
    static constexpr std::pair<std::u16string_view, Interval> Names[] = {
        {u"yyyy", Interval::Year},   {u"q", Interval::Quarter}, {u"m", Interval::Month},
        {u"y", Interval::DayOfYear}, {u"d", Interval::Day},     {u"w", Interval::Weekday},
        {u"ww", Interval::Week},     {u"h", Interval::Hour},    {u"n", Interval::Minute},
        {u"s", Interval::Second},
    };
    // Read in place and compared unit by unit in lower case: the argument may be any text,
    // however long, and is never copied.
    const library::RequiredTextArg value(args, 0);
    const std::u16string_view name = value.View();
    for (const auto& [word, interval] : Names) {
        if (std::ranges::equal(name, word,
                               [](char16_t a, char16_t b) { return automation::LowerChar(a) == b; })) {
            return interval;
        }
    }
    RaiseInvalidCall();
}

// Whole seconds since the epoch of the serial, for hour, minute and second arithmetic.
std::int64_t LinearSeconds(double serial) {
    return static_cast<std::int64_t>(std::llround(ToLinear(serial) * 86400.0));
}

// --- Current date and time ----------------------------------------------------------------------

double TodaySerial(const library::LocalTime& now) {
    return static_cast<double>(CivilDay(now.year, now.month, now.day));
}

double TimeSerialOf(const library::LocalTime& now) {
    return (now.hour * 3600 + now.minute * 60 + now.second) / 86400.0;
}

Variant Date(Args, RuntimeState&) {
    return Variant::FromDate(TodaySerial(library::CurrentLocalTime()));
}

Variant Time(Args, RuntimeState&) {
    return Variant::FromDate(TimeSerialOf(library::CurrentLocalTime()));
}

Variant Now(Args, RuntimeState&) {
    library::LocalTime now = library::CurrentLocalTime();
    return Variant::FromDate(TodaySerial(now) + TimeSerialOf(now));
}

// --- Building dates ------------------------------------------------------------------------------

// DateSerial(year, month, day): two-digit years are 1930..2029; months and days out of their
// range roll over into the next or previous month or year.
Variant DateSerial(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    for (std::size_t i = 0; i < 3; ++i) {
        RequireNotNull(ValueOf(args, i));
    }
    std::int64_t year = LongArg(args, 0, 0);
    std::int64_t month = LongArg(args, 1, 0);
    std::int64_t day = LongArg(args, 2, 0);
    if (year >= 0 && year < 30) {
        year += 2000;
    } else if (year >= 30 && year < 100) {
        year += 1900;
    }
    std::int64_t months = year * 12 + (month - 1);
    year = FloorDiv(months, 12);
    month = months - year * 12 + 1;
    if (year < 100 || year > 9999) {
        RaiseInvalidCall();
    }
    double serial = static_cast<double>(CivilDay(year, static_cast<int>(month), 1) + (day - 1));
    return DateResult(serial);
}

// TimeSerial(hour, minute, second): out-of-range parts roll over, into other days too.
Variant TimeSerial(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    for (std::size_t i = 0; i < 3; ++i) {
        RequireNotNull(ValueOf(args, i));
    }
    std::int64_t seconds = static_cast<std::int64_t>(LongArg(args, 0, 0)) * 3600 +
                           static_cast<std::int64_t>(LongArg(args, 1, 0)) * 60 + LongArg(args, 2, 0);
    return DateResult(FromLinear(static_cast<double>(seconds) / 86400.0));
}

Variant DateValue(Args args, RuntimeState&) {
    auto serial = DateOrNull(args, 0);
    if (!serial) {
        return Variant::Null();
    }
    return Variant::FromDate(std::trunc(*serial));
}

Variant TimeValue(Args args, RuntimeState&) {
    auto serial = DateOrNull(args, 0);
    if (!serial) {
        return Variant::Null();
    }
    return Variant::FromDate(std::fabs(*serial - std::trunc(*serial)));
}

// --- Parts of a date -----------------------------------------------------------------------------

template <int automation::DateParts::*Part> Variant DatePartOf(Args args, RuntimeState&) {
    auto serial = DateOrNull(args, 0);
    if (!serial) {
        return Variant::Null();
    }
    return Variant(static_cast<std::int16_t>(automation::SplitDate(*serial).*Part));
}

Variant Weekday(Args args, RuntimeState&) {
    int firstDay = FirstDayArg(args, 1);
    auto serial = DateOrNull(args, 0);
    if (!serial) {
        return Variant::Null();
    }
    int weekday = automation::SplitDate(*serial).weekday;
    return Variant(static_cast<std::int16_t>((weekday - firstDay + 7) % 7 + 1));
}

Variant MonthName(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    RequireNotNull(ValueOf(args, 0));
    RequireNotNull(ValueOf(args, 1));
    bool abbreviate = library::BoolArg(args, 1, false);
    std::int32_t month = LongArg(args, 0, 0);
    if (month < 1 || month > 12) {
        RaiseInvalidCall();
    }
    const automation::LocaleInfo& locale = automation::CurrentLocaleInfo();
    return Variant(abbreviate ? locale.monthAbbreviations[month - 1] : locale.monthNames[month - 1]);
}

// WeekdayName(weekday[, abbreviate[, firstdayofweek]]): weekday 1 is firstdayofweek.
Variant WeekdayName(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    for (std::size_t i = 0; i < 3; ++i) {
        RequireNotNull(ValueOf(args, i));
    }
    std::int32_t weekday = LongArg(args, 0, 0);
    bool abbreviate = library::BoolArg(args, 1, false);
    int firstDay = FirstDayArg(args, 2);
    if (weekday < 1 || weekday > 7) {
        RaiseInvalidCall();
    }
    const automation::LocaleInfo& locale = automation::CurrentLocaleInfo();
    std::size_t index = static_cast<std::size_t>((weekday - 1 + firstDay - 1) % 7);
    return Variant(abbreviate ? locale.dayAbbreviations[index] : locale.dayNames[index]);
}

// --- Date arithmetic ------------------------------------------------------------------------------

// DateAdd(interval, number, date): the fraction of number is dropped; adding months keeps the
// day unless the month is shorter (31 January + 1 month is 28 or 29 February).
Variant DateAdd(Args args, RuntimeState&) {
    Interval interval = IntervalArg(args);
    Variant numberValue = ValueOf(args, 1);
    RequireNotNull(numberValue);
    double number = std::trunc(automation::ToDouble(numberValue));
    auto serial = DateOrNull(args, 2);
    if (!serial) {
        return Variant::Null();
    }
    // Beyond this no interval stays inside the range of dates.
    if (std::fabs(number) > 1e12) {
        RaiseInvalidCall();
    }
    auto count = static_cast<std::int64_t>(number);
    double linear = ToLinear(*serial);
    switch (interval) {
    case Interval::Year:
    case Interval::Quarter:
    case Interval::Month: {
        std::int64_t perStep = interval == Interval::Year ? 12 : (interval == Interval::Quarter ? 3 : 1);
        automation::DateParts parts = automation::SplitDate(*serial);
        std::int64_t months =
            static_cast<std::int64_t>(parts.year) * 12 + (parts.month - 1) + count * perStep;
        std::int64_t year = FloorDiv(months, 12);
        int month = static_cast<int>(months - year * 12 + 1);
        if (year < 100 || year > 9999) {
            RaiseInvalidCall();
        }
        int day = std::min(parts.day, DaysInMonth(year, month));
        double timeOfDay = linear - std::floor(linear);
        return DateResult(FromLinear(static_cast<double>(CivilDay(year, month, day)) + timeOfDay));
    }
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday:
        return DateResult(FromLinear(linear + static_cast<double>(count)));
    case Interval::Week:
        return DateResult(FromLinear(linear + static_cast<double>(count) * 7));
    case Interval::Hour:
    case Interval::Minute:
    case Interval::Second: {
        std::int64_t unit = interval == Interval::Hour ? 3600 : (interval == Interval::Minute ? 60 : 1);
        std::int64_t seconds = LinearSeconds(*serial) + count * unit;
        return DateResult(FromLinear(static_cast<double>(seconds) / 86400.0));
    }
    }
    RaiseInvalidCall();
}

Variant LongResult(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        automation::Raise(automation::ErrorNumber::Overflow);
    }
    return Variant(static_cast<std::int32_t>(value));
}

// DateDiff(interval, date1, date2[, firstdayofweek[, firstweekofyear]]): the number of interval
// boundaries crossed from date1 to date2 (so "yyyy" from 31 December to 1 January is 1), except
// "w", which counts whole weeks.
Variant DateDiff(Args args, RuntimeState&) {
    Interval interval = IntervalArg(args);
    int firstDay = FirstDayArg(args, 3);
    FirstWeekArg(args, 4);
    auto first = DateOrNull(args, 1);
    auto second = DateOrNull(args, 2);
    if (!first || !second) {
        return Variant::Null();
    }
    automation::DateParts a = automation::SplitDate(*first);
    automation::DateParts b = automation::SplitDate(*second);
    auto dayA = static_cast<std::int64_t>(std::floor(ToLinear(*first)));
    auto dayB = static_cast<std::int64_t>(std::floor(ToLinear(*second)));
    switch (interval) {
    case Interval::Year:
        return LongResult(b.year - a.year);
    case Interval::Quarter:
        return LongResult((b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3));
    case Interval::Month:
        return LongResult((b.year * 12 + b.month) - (a.year * 12 + a.month));
    case Interval::DayOfYear:
    case Interval::Day:
        return LongResult(dayB - dayA);
    case Interval::Weekday:
        return LongResult((dayB - dayA) / 7);
    case Interval::Week:
        return LongResult((WeekStart(dayB, firstDay) - WeekStart(dayA, firstDay)) / 7);
    case Interval::Hour:
        return LongResult(FloorDiv(LinearSeconds(*second), 3600) - FloorDiv(LinearSeconds(*first), 3600));
    case Interval::Minute:
        return LongResult(FloorDiv(LinearSeconds(*second), 60) - FloorDiv(LinearSeconds(*first), 60));
    case Interval::Second:
        return LongResult(LinearSeconds(*second) - LinearSeconds(*first));
    }
    RaiseInvalidCall();
}

// DatePart(interval, date[, firstdayofweek[, firstweekofyear]]) as an Integer.
Variant DatePart(Args args, RuntimeState&) {
    Interval interval = IntervalArg(args);
    int firstDay = FirstDayArg(args, 2);
    int firstWeek = FirstWeekArg(args, 3);
    auto serial = DateOrNull(args, 1);
    if (!serial) {
        return Variant::Null();
    }
    automation::DateParts parts = automation::SplitDate(*serial);
    auto day = static_cast<std::int64_t>(std::floor(ToLinear(*serial)));
    int result = 0;
    switch (interval) {
    case Interval::Year:
        result = parts.year;
        break;
    case Interval::Quarter:
        result = (parts.month - 1) / 3 + 1;
        break;
    case Interval::Month:
        result = parts.month;
        break;
    case Interval::DayOfYear:
        result =
            static_cast<int>(CivilDay(parts.year, parts.month, parts.day) - CivilDay(parts.year, 1, 1) + 1);
        break;
    case Interval::Day:
        result = parts.day;
        break;
    case Interval::Weekday:
        result = (parts.weekday - firstDay + 7) % 7 + 1;
        break;
    case Interval::Week:
        result = WeekOfYear(day, parts.year, firstDay, firstWeek);
        break;
    case Interval::Hour:
        result = parts.hour;
        break;
    case Interval::Minute:
        result = parts.minute;
        break;
    case Interval::Second:
        result = parts.second;
        break;
    }
    return Variant(static_cast<std::int16_t>(result));
}

constexpr BuiltinInfo Table[] = {
    {u"Date", 0, 0, &Date},
    {u"Time", 0, 0, &Time},
    {u"Now", 0, 0, &Now},
    {u"DateAdd", 3, 3, &DateAdd},
    {u"DateDiff", 3, 5, &DateDiff},
    {u"DatePart", 2, 4, &DatePart},
    {u"DateSerial", 3, 3, &DateSerial},
    {u"DateValue", 1, 1, &DateValue},
    {u"TimeSerial", 3, 3, &TimeSerial},
    {u"TimeValue", 1, 1, &TimeValue},
    {u"Day", 1, 1, &DatePartOf<&automation::DateParts::day>},
    {u"Month", 1, 1, &DatePartOf<&automation::DateParts::month>},
    {u"Year", 1, 1, &DatePartOf<&automation::DateParts::year>},
    {u"Hour", 1, 1, &DatePartOf<&automation::DateParts::hour>},
    {u"Minute", 1, 1, &DatePartOf<&automation::DateParts::minute>},
    {u"Second", 1, 1, &DatePartOf<&automation::DateParts::second>},
    {u"Weekday", 1, 2, &Weekday},
    {u"MonthName", 1, 2, &MonthName},
    {u"WeekdayName", 1, 3, &WeekdayName},
};

} // namespace

std::span<const BuiltinInfo> DateFunctions() {
    return Table;
}

} // namespace qv::vbscript
