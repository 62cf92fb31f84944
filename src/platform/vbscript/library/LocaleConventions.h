#pragma once

#include "platform/automation/Locale.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::vbscript::library {

/// What the formatting and date functions need of a locale beyond the automation layer's
/// LocaleInfo (separators, names, the short date order): where the currency symbol and the
/// minus sign go, the long date pattern and how weeks are counted. One entry per locale the
/// automation layer knows; its current locale picks the entry.
struct LocaleConventions {
    std::int32_t lcid;
    /// Placement of the symbol in positive amounts: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $".
    int positiveCurrencyPattern;
    /// The system's sixteen negative-amount forms, 0 "($1)" to 15 "(1 $)".
    int negativeCurrencyPattern;
    /// Negative numbers: 0 "(1)", 1 "-1", 2 "- 1", 3 "1-", 4 "1 -".
    int negativeNumberPattern;
    int currencyDigits;
    int numberDigits;
    /// Pattern letters: d dd ddd dddd M MM MMM MMMM yy yyyy h hh H HH m mm s ss tt 'literal'.
    std::u16string_view longDate;
    int firstDayOfWeek;  // 1 = Sunday
    int firstWeekOfYear; // 1 the week of 1 January, 2 the first with four days, 3 the first full week
};

/// The entry of the automation layer's current locale (en-US for one without an entry).
const LocaleConventions& CurrentConventions() noexcept;

/// The short date ("M/d/yyyy") and long time ("h:mm:ss tt") patterns of a locale, as the
/// automation layer writes dates.
std::u16string ShortDatePattern(const automation::LocaleInfo& locale);
std::u16string LongTimePattern(const automation::LocaleInfo& locale);

} // namespace qv::vbscript::library
