#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qv::automation {

/// Order of day, month and year in a short date.
enum class DateOrder : std::uint8_t { MonthDayYear, DayMonthYear, YearMonthDay };

/// What the conversions need of a locale: separators, the short date and time patterns in
/// parts, and the names of months and days. The library knows a fixed set of locales; each is
/// a constant, so a reference stays valid for the life of the program.
struct LocaleInfo {
    std::int32_t lcid;
    char16_t decimalSeparator;
    char16_t thousandsSeparator;
    std::u16string_view currencySymbol;
    DateOrder dateOrder;
    char16_t dateSeparator;
    bool padsDayAndMonth; // "dd/MM/yyyy" rather than "M/d/yyyy"
    bool isTwelveHour;    // "h:mm:ss AM" rather than "HH:mm:ss"
    std::u16string_view am;
    std::u16string_view pm;
    std::array<std::u16string_view, 12> monthNames;
    std::array<std::u16string_view, 12> monthAbbreviations;
    std::array<std::u16string_view, 7> dayNames; // Sunday first
    std::array<std::u16string_view, 7> dayAbbreviations;
};

/// The locale CurrentLocale() names.
const LocaleInfo& CurrentLocaleInfo() noexcept;
/// A locale the library knows, or nullptr.
const LocaleInfo* FindLocale(std::int32_t lcid) noexcept;

} // namespace qv::automation
