#include "platform/vbscript/library/LocaleConventions.h"

#include "platform/automation/Conversion.h"

namespace qv::vbscript::library {

const LocaleConventions& CurrentConventions() noexcept {
    return automation::CurrentLocaleInfo().conventions;
}

std::u16string ShortDatePattern(const automation::LocaleInfo& locale) {
    std::u16string day = locale.padsDayAndMonth ? u"dd" : u"d";
    std::u16string month = locale.padsDayAndMonth ? u"MM" : u"M";
    std::u16string separator(1, locale.dateSeparator);
    switch (locale.dateOrder) {
    case automation::DateOrder::MonthDayYear:
        return month + separator + day + separator + u"yyyy";
    case automation::DateOrder::DayMonthYear:
        return day + separator + month + separator + u"yyyy";
    case automation::DateOrder::YearMonthDay:
        return u"yyyy" + separator + month + separator + day;
    }
    return month + separator + day + separator + u"yyyy";
}

std::u16string LongTimePattern(const automation::LocaleInfo& locale) {
    return locale.isTwelveHour ? u"h:mm:ss tt" : u"HH:mm:ss";
}

} // namespace qv::vbscript::library
