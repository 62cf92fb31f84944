#include "platform/automation/Locale.h"

#include "platform/automation/Conversion.h"

namespace qv::automation {

namespace {

constexpr std::array<std::u16string_view, 12> EnglishMonths{
    u"January", u"February", u"March",     u"April",   u"May",      u"June",
    u"July",    u"August",   u"September", u"October", u"November", u"December"};
constexpr std::array<std::u16string_view, 12> EnglishMonthAbbreviations{
    u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
constexpr std::array<std::u16string_view, 7> EnglishDays{u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                                         u"Thursday", u"Friday", u"Saturday"};
constexpr std::array<std::u16string_view, 7> EnglishDayAbbreviations{u"Sun", u"Mon", u"Tue", u"Wed",
                                                                     u"Thu", u"Fri", u"Sat"};

constexpr std::array Locales{
    LocaleInfo{1033, u'.', u',', u"$", DateOrder::MonthDayYear, u'/', false, true, u"AM", u"PM",
               EnglishMonths, EnglishMonthAbbreviations, EnglishDays, EnglishDayAbbreviations},
    LocaleInfo{2057, u'.', u',', u"\u00A3", DateOrder::DayMonthYear, u'/', true, false, u"AM", u"PM",
               EnglishMonths, EnglishMonthAbbreviations, EnglishDays, EnglishDayAbbreviations},
    LocaleInfo{
        1031,
        u',',
        u'.',
        u"\u20AC",
        DateOrder::DayMonthYear,
        u'.',
        true,
        false,
        u"",
        u"",
        {u"Januar", u"Februar", u"M\u00E4rz", u"April", u"Mai", u"Juni", u"Juli", u"August", u"September",
         u"Oktober", u"November", u"Dezember"},
        {u"Jan", u"Feb", u"M\u00E4r", u"Apr", u"Mai", u"Jun", u"Jul", u"Aug", u"Sep", u"Okt", u"Nov", u"Dez"},
        {u"Sonntag", u"Montag", u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag", u"Samstag"},
        {u"So", u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa"}},
};

// The locale belongs to the apartment, and an apartment is one thread. This layer sits below the
// per-apartment context object, so it keeps its one piece of apartment state itself; a
// thread_local gives exactly the same lifetime and isolation.
thread_local const LocaleInfo* tCurrentLocale = &Locales[0];

} // namespace

const LocaleInfo* FindLocale(std::int32_t lcid) noexcept {
    for (const LocaleInfo& locale : Locales) {
        if (locale.lcid == lcid) {
            return &locale;
        }
    }
    return nullptr;
}

const LocaleInfo& CurrentLocaleInfo() noexcept {
    return *tCurrentLocale;
}

std::int32_t CurrentLocale() noexcept {
    return tCurrentLocale->lcid;
}

bool SetCurrentLocale(std::int32_t lcid) noexcept {
    const LocaleInfo* locale = FindLocale(lcid);
    if (!locale) {
        return false;
    }
    tCurrentLocale = locale;
    return true;
}

} // namespace qv::automation
