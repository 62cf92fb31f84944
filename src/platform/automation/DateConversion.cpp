// Dates: serials, their parts, and their text forms in the current locale.
//
// A date serial counts days since 30 December 1899; the fraction is the time of day. Before that
// day the serial is negative but the fraction still counts forwards from midnight: -1.25 is
// 29 December 1899, 6:00, as in the component model's dates.

#include "platform/automation/Conversion.h"

#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"
#include "platform/automation/Text.h"
#include "platform/automation/internal/Numeric.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <chrono>
#include <cmath>
#include <ctime>
#include <utility>
#include <vector>

namespace qv::automation {

namespace {

constexpr int MinYear = 100;
constexpr int MaxYear = 9999;
constexpr double MinSerial = -657434.0;        // 1 January 100
constexpr double MaxSerial = 2958465.99998842; // 31 December 9999, 23:59:59
constexpr int SecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

const std::int64_t EpochOffset = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int Lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : Lengths[month - 1];
}

/// A day number and a time of day, as a serial: the time counts forwards from midnight even on
/// days before the epoch.
double CombineDayAndTime(double day, double time) {
    return day < 0 ? day - time : day + time;
}

/// A serial split into whole days and seconds of the day, rounded to the second.
struct DayAndSeconds {
    std::int64_t day;
    int seconds;
};

DayAndSeconds SplitSerial(double serial) {
    if (!(serial >= MinSerial && serial < MaxSerial + 1.0 / SecondsPerDay)) {
        Raise(ErrorNumber::Overflow);
    }
    const double day = std::trunc(serial);
    auto seconds = static_cast<int>(std::llround(std::fabs(serial - day) * SecondsPerDay));
    auto dayNumber = static_cast<std::int64_t>(day);
    if (seconds >= SecondsPerDay) {
        // Rounded up to midnight: the next day, which for negative serials is nearer zero.
        seconds -= SecondsPerDay;
        ++dayNumber;
    }
    return {dayNumber, seconds};
}

void AppendNumber(std::u16string& out, int value, int minimumDigits) {
    std::u16string digits;
    for (char c : std::to_string(value)) {
        digits.push_back(static_cast<char16_t>(c));
    }
    if (static_cast<int>(digits.size()) < minimumDigits) {
        out.append(static_cast<std::size_t>(minimumDigits) - digits.size(), u'0');
    }
    out += digits;
}

void AppendShortDate(std::u16string& out, const LocaleInfo& locale, int year, int month, int day) {
    // The year is written without padding ("1/1/100"); day and month as the locale pads them.
    const int width = locale.padsDayAndMonth ? 2 : 1;
    struct Field {
        int value;
        int width;
    };
    const Field yearField{year, 1};
    const Field monthField{month, width};
    const Field dayField{day, width};
    std::array<Field, 3> fields{monthField, dayField, yearField};
    switch (locale.dateOrder) {
    case DateOrder::MonthDayYear:
        break;
    case DateOrder::DayMonthYear:
        fields = {dayField, monthField, yearField};
        break;
    case DateOrder::YearMonthDay:
        fields = {yearField, monthField, dayField};
        break;
    }
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (index > 0) {
            out.push_back(locale.dateSeparator);
        }
        AppendNumber(out, fields[index].value, fields[index].width);
    }
}

void AppendLongTime(std::u16string& out, const LocaleInfo& locale, int hour, int minute, int second) {
    if (locale.isTwelveHour) {
        const int twelveHour = hour % 12 == 0 ? 12 : hour % 12;
        AppendNumber(out, twelveHour, 1);
    } else {
        AppendNumber(out, hour, 2);
    }
    out.push_back(u':');
    AppendNumber(out, minute, 2);
    out.push_back(u':');
    AppendNumber(out, second, 2);
    if (locale.isTwelveHour) {
        out.push_back(u' ');
        out += hour < 12 ? locale.am : locale.pm;
    }
}

int CurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

// ---------------------------------------------------------------------------------------------
// Reading dates. The text is split into numbers, words and separators; a time is a number
// followed by ":" (or by AM/PM), everything else makes up the date, whose numbers are read in
// the locale's order unless a month name or a four-digit leading year says otherwise.

struct DateToken {
    enum class Kind { Number, Word, Colon, Separator } kind;
    int number = 0;
    int digitCount = 0;
    std::u16string_view word;
};

/// Adds `item` to `list`, its larger storage checked against the memory ceiling before it is
/// taken: a date's text may be as long as any string, and each of its words and separators is an
/// item.
template <class T> void AddChecked(std::vector<T>& list, T item) {
    if (list.size() == list.capacity()) {
        CheckAllocation(std::max<std::size_t>(16, 2 * list.capacity()), sizeof(T));
    }
    list.push_back(std::move(item));
}

std::optional<std::vector<DateToken>> TokenizeDate(std::u16string_view text) {
    std::vector<DateToken> tokens;
    std::size_t index = 0;
    while (index < text.size()) {
        const char16_t c = text[index];
        if (c >= u'0' && c <= u'9') {
            DateToken token{DateToken::Kind::Number, 0, 0, {}};
            while (index < text.size() && text[index] >= u'0' && text[index] <= u'9') {
                if (token.digitCount < 9) {
                    token.number = token.number * 10 + (text[index] - u'0');
                }
                ++token.digitCount;
                ++index;
            }
            AddChecked(tokens, token);
            continue;
        }
        if (UpperChar(c) != LowerChar(c) || c > 0x7F) {
            const std::size_t start = index;
            while (index < text.size() && !(text[index] >= u'0' && text[index] <= u'9') &&
                   (UpperChar(text[index]) != LowerChar(text[index]) || text[index] > 0x7F) &&
                   !internal::IsBlank(text[index])) {
                ++index;
            }
            AddChecked(tokens, DateToken{DateToken::Kind::Word, 0, 0, text.substr(start, index - start)});
            continue;
        }
        if (c == u':') {
            AddChecked(tokens, DateToken{DateToken::Kind::Colon, 0, 0, {}});
        } else if (c == u'/' || c == u'-' || c == u'.' || c == u',') {
            AddChecked(tokens, DateToken{DateToken::Kind::Separator, c, 0, {}});
        } else if (!internal::IsBlank(c)) {
            return std::nullopt;
        }
        ++index;
    }
    return tokens;
}

/// The month (1 to 12) a word names in English or in the locale, or 0.
int MonthFromWord(std::u16string_view word, const LocaleInfo& locale) {
    const LocaleInfo& english = *FindLocale(1033);
    for (const LocaleInfo* names : {&locale, &english}) {
        for (int month = 0; month < 12; ++month) {
            if (EqualsNoCase(word, names->monthNames[static_cast<std::size_t>(month)]) ||
                EqualsNoCase(word, names->monthAbbreviations[static_cast<std::size_t>(month)])) {
                return month + 1;
            }
        }
    }
    return EqualsNoCase(word, u"Sept") ? 9 : 0;
}

bool IsDayWord(std::u16string_view word, const LocaleInfo& locale) {
    const LocaleInfo& english = *FindLocale(1033);
    for (const LocaleInfo* names : {&locale, &english}) {
        for (std::size_t day = 0; day < 7; ++day) {
            if (EqualsNoCase(word, names->dayNames[day]) ||
                EqualsNoCase(word, names->dayAbbreviations[day])) {
                return true;
            }
        }
    }
    return false;
}

/// 1 for AM, 2 for PM, 0 for neither.
int MeridiemFromWord(std::u16string_view word, const LocaleInfo& locale) {
    if (EqualsNoCase(word, u"AM") || EqualsNoCase(word, u"A") ||
        (!locale.am.empty() && EqualsNoCase(word, locale.am))) {
        return 1;
    }
    if (EqualsNoCase(word, u"PM") || EqualsNoCase(word, u"P") ||
        (!locale.pm.empty() && EqualsNoCase(word, locale.pm))) {
        return 2;
    }
    return 0;
}

struct DateNumber {
    int value;
    int digitCount;
    bool IsYearLike() const { return digitCount >= 3 || value > 31; }
};

/// Years written with one or two digits fall in 1930 to 2029.
std::optional<int> FullYear(const DateNumber& year) {
    if (year.digitCount <= 2) {
        return year.value < 30 ? 2000 + year.value : 1900 + year.value;
    }
    if (year.value < MinYear || year.value > MaxYear) {
        return std::nullopt;
    }
    return year.value;
}

bool IsValidDate(int year, int month, int day) {
    return year >= MinYear && year <= MaxYear && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

/// The day numbers of a date: the date's numbers and the month a word named (0 if none).
std::optional<double> ReadDatePart(const std::vector<DateNumber>& numbers, int namedMonth,
                                   const LocaleInfo& locale) {
    int year = 0;
    int month = 0;
    int day = 0;
    if (namedMonth != 0) {
        month = namedMonth;
        if (numbers.size() == 1) {
            // "Dec 2023" is its first day; "31 Dec" falls in this year.
            if (numbers[0].IsYearLike()) {
                std::optional<int> full = FullYear(numbers[0]);
                if (!full) {
                    return std::nullopt;
                }
                year = *full;
                day = 1;
            } else {
                year = CurrentYear();
                day = numbers[0].value;
            }
        } else if (numbers.size() == 2) {
            const bool yearFirst = numbers[0].IsYearLike() && !numbers[1].IsYearLike();
            const DateNumber& yearNumber = yearFirst ? numbers[0] : numbers[1];
            std::optional<int> full = FullYear(yearNumber);
            if (!full) {
                return std::nullopt;
            }
            year = *full;
            day = yearFirst ? numbers[1].value : numbers[0].value;
        } else {
            return std::nullopt;
        }
        return IsValidDate(year, month, day) ? DateFromParts(year, month, day) : std::nullopt;
    }
    const bool dayFirst = locale.dateOrder == DateOrder::DayMonthYear;
    if (numbers.size() == 2) {
        if (numbers[0].digitCount >= 3) {
            std::optional<int> full = FullYear(numbers[0]);
            if (!full) {
                return std::nullopt;
            }
            return IsValidDate(*full, numbers[1].value, 1) ? DateFromParts(*full, numbers[1].value, 1)
                                                           : std::nullopt;
        }
        if (numbers[1].IsYearLike()) {
            std::optional<int> full = FullYear(numbers[1]);
            if (!full) {
                return std::nullopt;
            }
            return IsValidDate(*full, numbers[0].value, 1) ? DateFromParts(*full, numbers[0].value, 1)
                                                           : std::nullopt;
        }
        year = CurrentYear();
        month = dayFirst ? numbers[1].value : numbers[0].value;
        day = dayFirst ? numbers[0].value : numbers[1].value;
    } else if (numbers.size() == 3) {
        if (numbers[0].digitCount >= 3 || locale.dateOrder == DateOrder::YearMonthDay) {
            std::optional<int> full = FullYear(numbers[0]);
            if (!full) {
                return std::nullopt;
            }
            year = *full;
            month = numbers[1].value;
            day = numbers[2].value;
        } else {
            std::optional<int> full = FullYear(numbers[2]);
            if (!full) {
                return std::nullopt;
            }
            year = *full;
            month = dayFirst ? numbers[1].value : numbers[0].value;
            day = dayFirst ? numbers[0].value : numbers[1].value;
        }
    } else {
        return std::nullopt;
    }
    if (!IsValidDate(year, month, day) && IsValidDate(year, day, month)) {
        // "13/12/2023" in the United States: the runtime swaps day and month rather than fail.
        std::swap(day, month);
    }
    return IsValidDate(year, month, day) ? DateFromParts(year, month, day) : std::nullopt;
}

} // namespace

std::optional<double> DateFromParts(int year, int month, int day) {
    if (!IsValidDate(year, month, day)) {
        return std::nullopt;
    }
    return static_cast<double>(DaysFromCivil(year, month, day) - EpochOffset);
}

std::optional<double> DateFromPartsCarrying(int year, int month, int day) {
    // Months carry into years first, then the day counts from the first of that month.
    const std::int64_t monthIndex = static_cast<std::int64_t>(year) * 12 + (month - 1);
    const std::int64_t carriedYear = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
    const int carriedMonth = static_cast<int>(monthIndex - carriedYear * 12) + 1;
    if (carriedYear < MinYear - 1 || carriedYear > MaxYear + 1) {
        return std::nullopt;
    }
    const double serial = static_cast<double>(DaysFromCivil(carriedYear, carriedMonth, 1) - EpochOffset) +
                          (static_cast<double>(day) - 1);
    if (serial < MinSerial || serial > std::floor(MaxSerial)) {
        return std::nullopt;
    }
    return serial;
}

double TimeFromParts(int hour, int minute, int second) {
    return (static_cast<double>(hour) * 3600 + static_cast<double>(minute) * 60 + second) / SecondsPerDay;
}

DateParts SplitDate(double serial) {
    const DayAndSeconds split = SplitSerial(serial);
    DateParts parts{};
    CivilFromDays(split.day + EpochOffset, parts.year, parts.month, parts.day);
    parts.hour = split.seconds / 3600;
    parts.minute = split.seconds / 60 % 60;
    parts.second = split.seconds % 60;
    // 30 December 1899 was a Saturday (7).
    parts.weekday = static_cast<int>(((split.day % 7) + 7 + 6) % 7) + 1;
    return parts;
}

std::u16string FormatDate(double serial) {
    // The general date form: the date alone at midnight, the time alone on day zero.
    const DayAndSeconds split = SplitSerial(serial);
    const DateParts parts = SplitDate(serial);
    const LocaleInfo& locale = CurrentLocaleInfo();
    std::u16string out;
    if (split.day != 0) {
        AppendShortDate(out, locale, parts.year, parts.month, parts.day);
        if (split.seconds == 0) {
            return out;
        }
        out.push_back(u' ');
    }
    AppendLongTime(out, locale, parts.hour, parts.minute, parts.second);
    return out;
}

std::optional<double> ParseDate(std::u16string_view text) {
    const LocaleInfo& locale = CurrentLocaleInfo();
    std::optional<std::vector<DateToken>> tokens = TokenizeDate(text);
    if (!tokens) {
        return std::nullopt;
    }
    std::vector<bool> used(tokens->size(), false);
    std::optional<double> time;

    // The time: h:mm[:ss[.fraction]] [AM|PM], or h AM|PM.
    for (std::size_t index = 0; index < tokens->size() && !time; ++index) {
        const DateToken& token = (*tokens)[index];
        if (token.kind != DateToken::Kind::Number) {
            continue;
        }
        std::size_t next = index + 1;
        int fields[3] = {token.number, 0, 0};
        int fieldCount = 1;
        while (fieldCount < 3 && next + 1 < tokens->size() &&
               (*tokens)[next].kind == DateToken::Kind::Colon &&
               (*tokens)[next + 1].kind == DateToken::Kind::Number) {
            fields[fieldCount++] = (*tokens)[next + 1].number;
            next += 2;
        }
        double fraction = 0;
        if (fieldCount == 3 && next + 1 < tokens->size() &&
            (*tokens)[next].kind == DateToken::Kind::Separator && (*tokens)[next].number == u'.' &&
            (*tokens)[next + 1].kind == DateToken::Kind::Number) {
            // Fractions of a second round to the nearest second.
            const DateToken& digits = (*tokens)[next + 1];
            fraction = digits.number / std::pow(10.0, std::min(digits.digitCount, 9));
            next += 2;
        }
        int meridiem = 0;
        if (next < tokens->size() && (*tokens)[next].kind == DateToken::Kind::Word) {
            meridiem = MeridiemFromWord((*tokens)[next].word, locale);
            if (meridiem != 0) {
                ++next;
            }
        }
        if (fieldCount == 1 && meridiem == 0) {
            continue;
        }
        int hour = fields[0];
        if (meridiem != 0) {
            if (hour > 12) {
                return std::nullopt;
            }
            hour = hour % 12 + (meridiem == 2 ? 12 : 0);
        }
        if (hour > 23 || fields[1] > 59 || fields[2] > 59) {
            return std::nullopt;
        }
        time = (hour * 3600.0 + fields[1] * 60.0 + fields[2] + std::round(fraction)) / SecondsPerDay;
        for (std::size_t position = index; position < next; ++position) {
            used[position] = true;
        }
    }

    std::vector<DateNumber> numbers;
    int namedMonth = 0;
    for (std::size_t index = 0; index < tokens->size(); ++index) {
        if (used[index]) {
            continue;
        }
        const DateToken& token = (*tokens)[index];
        switch (token.kind) {
        case DateToken::Kind::Number:
            AddChecked(numbers, DateNumber{token.number, token.digitCount});
            break;
        case DateToken::Kind::Word: {
            const int month = MonthFromWord(token.word, locale);
            if (month != 0 && namedMonth == 0) {
                namedMonth = month;
                break;
            }
            if (!IsDayWord(token.word, locale)) {
                return std::nullopt;
            }
            break;
        }
        case DateToken::Kind::Colon:
            return std::nullopt;
        case DateToken::Kind::Separator:
            break;
        }
    }
    if (numbers.empty() && namedMonth == 0) {
        return time;
    }
    std::optional<double> day = ReadDatePart(numbers, namedMonth, locale);
    if (!day) {
        return std::nullopt;
    }
    return CombineDayAndTime(*day, time.value_or(0));
}

double ToDate(const Variant& value) {
    Variant holder;
    const Variant& source = internal::Resolve(value, holder);
    double serial = 0;
    if (source.IsString()) {
        if (std::optional<double> date = ParseDate(source.StringValue())) {
            return *date;
        }
        // Text that is no date but a number is a date serial: CDate("1") is #12/31/1899#.
        std::optional<double> number = ParseNumber(source.StringValue());
        if (!number) {
            Raise(ErrorNumber::TypeMismatch);
        }
        serial = *number;
    } else if (source.Type() == VarType::Date) {
        return source.DateValue();
    } else {
        serial = ToDouble(source);
    }
    if (!(serial >= MinSerial && serial < MaxSerial + 1.0 / SecondsPerDay)) {
        Raise(ErrorNumber::Overflow);
    }
    return serial;
}

} // namespace qv::automation
