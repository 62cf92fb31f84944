#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::automation {

/// Order of day, month and year in a short date.
enum class DateOrder : std::uint8_t { MonthDayYear, DayMonthYear, YearMonthDay };

/// What formatting needs of a locale beyond separators and names: where the currency symbol and
/// the minus sign go, the long date pattern and how weeks are counted.
struct LocaleConventions {
    /// Placement of the symbol in positive amounts: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $".
    int positiveCurrencyPattern = 0;
    /// The system's sixteen negative-amount forms, 0 "($1)" to 15 "(1 $)".
    int negativeCurrencyPattern = 0;
    /// Negative numbers: 0 "(1)", 1 "-1", 2 "- 1", 3 "1-", 4 "1 -".
    int negativeNumberPattern = 1;
    int currencyDigits = 2;
    int numberDigits = 2;
    /// Pattern letters: d dd ddd dddd M MM MMM MMMM yy yyyy h hh H HH m mm s ss tt 'literal'.
    std::u16string_view longDate;
    int firstDayOfWeek = 1;  // 1 = Sunday
    int firstWeekOfYear = 1; // 1 the week of 1 January, 2 the first with four days, 3 the first full week
};

/// What the conversions need of a locale: separators, the short date and time patterns in
/// parts, the names of months and days, and the formatting conventions. en-US, en-GB and de-DE
/// are built in; every other locale comes from the machine's locale data when SetCurrentLocale
/// first asks for it and stays, unchanged, for the life of the thread, so a reference stays
/// valid.
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
    LocaleConventions conventions;
};

/// The locale CurrentLocale() names.
const LocaleInfo& CurrentLocaleInfo() noexcept;
/// A locale the library knows, or nullptr: a built-in one, or one of the machine's locale data
/// with a locale ID.
const LocaleInfo* FindLocale(std::int32_t lcid);
/// The same by name: a language tag ("fr-FR", "sr-Latn-RS"), a name of the machine's locale data
/// ("fr_FR", "fr_FR.UTF-8", "sr_RS@latin") or a locale ID written as digits. A locale without a
/// locale ID reports LocaleCustomUnspecified.
const LocaleInfo* FindLocale(std::u16string_view name);
/// Sets the current locale by name (see FindLocale); false when there is none.
bool SetCurrentLocale(std::u16string_view name);

/// The locale ID of a locale that has none of its own (the system's LOCALE_CUSTOM_UNSPECIFIED).
inline constexpr std::int32_t LocaleCustomUnspecified = 0x1000;

} // namespace qv::automation
