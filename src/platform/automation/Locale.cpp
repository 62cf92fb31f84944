#include "platform/automation/Locale.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
               EnglishMonths, EnglishMonthAbbreviations, EnglishDays, EnglishDayAbbreviations,
               LocaleConventions{0, 0, 1, 2, 2, u"dddd, MMMM d, yyyy", 1, 1}},
    LocaleInfo{2057, u'.', u',', u"\u00A3", DateOrder::DayMonthYear, u'/', true, false, u"AM", u"PM",
               EnglishMonths, EnglishMonthAbbreviations, EnglishDays, EnglishDayAbbreviations,
               LocaleConventions{0, 1, 1, 2, 2, u"dd MMMM yyyy", 2, 1}},
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
        {u"So", u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa"},
        LocaleConventions{3, 8, 1, 2, 2, u"dddd, d. MMMM yyyy", 2, 2}},
};

/// Locale IDs of the system this library was written for and their language tags. A tag names
/// the machine's locale data by language and region ("fr-CA" is fr_CA); a script subtag only
/// where the data has a variant for it (sr_RS@latin, uz_UZ@cyrillic).
struct LocaleId {
    std::int32_t lcid;
    std::string_view tag;
};
constexpr LocaleId LocaleIds[] = {
    {1025, "ar-SA"},  {1026, "bg-BG"},      {1027, "ca-ES"},      {1028, "zh-TW"},
    {1029, "cs-CZ"},  {1030, "da-DK"},      {1031, "de-DE"},      {1032, "el-GR"},
    {1033, "en-US"},  {1035, "fi-FI"},      {1036, "fr-FR"},      {1037, "he-IL"},
    {1038, "hu-HU"},  {1039, "is-IS"},      {1040, "it-IT"},      {1041, "ja-JP"},
    {1042, "ko-KR"},  {1043, "nl-NL"},      {1044, "nb-NO"},      {1045, "pl-PL"},
    {1046, "pt-BR"},  {1048, "ro-RO"},      {1049, "ru-RU"},      {1050, "hr-HR"},
    {1051, "sk-SK"},  {1052, "sq-AL"},      {1053, "sv-SE"},      {1054, "th-TH"},
    {1055, "tr-TR"},  {1056, "ur-PK"},      {1057, "id-ID"},      {1058, "uk-UA"},
    {1059, "be-BY"},  {1060, "sl-SI"},      {1061, "et-EE"},      {1062, "lv-LV"},
    {1063, "lt-LT"},  {1064, "tg-TJ"},      {1065, "fa-IR"},      {1066, "vi-VN"},
    {1067, "hy-AM"},  {1068, "az-Latn-AZ"}, {1069, "eu-ES"},      {1070, "hsb-DE"},
    {1071, "mk-MK"},  {1072, "st-ZA"},      {1073, "ts-ZA"},      {1074, "tn-ZA"},
    {1076, "xh-ZA"},  {1077, "zu-ZA"},      {1078, "af-ZA"},      {1079, "ka-GE"},
    {1080, "fo-FO"},  {1081, "hi-IN"},      {1082, "mt-MT"},      {1083, "se-NO"},
    {1086, "ms-MY"},  {1087, "kk-KZ"},      {1088, "ky-KG"},      {1089, "sw-KE"},
    {1090, "tk-TM"},  {1091, "uz-Latn-UZ"}, {1092, "tt-RU"},      {1093, "bn-IN"},
    {1094, "pa-IN"},  {1095, "gu-IN"},      {1096, "or-IN"},      {1097, "ta-IN"},
    {1098, "te-IN"},  {1099, "kn-IN"},      {1100, "ml-IN"},      {1101, "as-IN"},
    {1102, "mr-IN"},  {1103, "sa-IN"},      {1104, "mn-MN"},      {1105, "bo-CN"},
    {1106, "cy-GB"},  {1107, "km-KH"},      {1108, "lo-LA"},      {1109, "my-MM"},
    {1110, "gl-ES"},  {1111, "kok-IN"},     {1114, "syr-SY"},     {1115, "si-LK"},
    {1116, "chr-US"}, {1118, "am-ET"},      {1121, "ne-NP"},      {1122, "fy-NL"},
    {1123, "ps-AF"},  {1124, "fil-PH"},     {1125, "dv-MV"},      {1128, "ha-Latn-NG"},
    {1130, "yo-NG"},  {1131, "quz-BO"},     {1132, "nso-ZA"},     {1133, "ba-RU"},
    {1134, "lb-LU"},  {1135, "kl-GL"},      {1136, "ig-NG"},      {1139, "ti-ET"},
    {1141, "haw-US"}, {1144, "ii-CN"},      {1150, "br-FR"},      {1152, "ug-CN"},
    {1153, "mi-NZ"},  {1154, "oc-FR"},      {1155, "co-FR"},      {1157, "sah-RU"},
    {1159, "rw-RW"},  {1160, "wo-SN"},      {1164, "prs-AF"},     {1169, "gd-GB"},
    {1170, "ku-IQ"},  {2049, "ar-IQ"},      {2052, "zh-CN"},      {2055, "de-CH"},
    {2057, "en-GB"},  {2058, "es-MX"},      {2060, "fr-BE"},      {2064, "it-CH"},
    {2067, "nl-BE"},  {2068, "nn-NO"},      {2070, "pt-PT"},      {2073, "ru-MD"},
    {2077, "sv-FI"},  {2092, "az-Cyrl-AZ"}, {2094, "dsb-DE"},     {2107, "se-SE"},
    {2108, "ga-IE"},  {2110, "ms-BN"},      {2115, "uz-Cyrl-UZ"}, {2117, "bn-BD"},
    {2155, "quz-EC"}, {3073, "ar-EG"},      {3076, "zh-HK"},      {3079, "de-AT"},
    {3081, "en-AU"},  {3082, "es-ES"},      {3084, "fr-CA"},      {3131, "se-FI"},
    {3179, "quz-PE"}, {4097, "ar-LY"},      {4100, "zh-SG"},      {4103, "de-LU"},
    {4105, "en-CA"},  {4106, "es-GT"},      {4108, "fr-CH"},      {4122, "hr-BA"},
    {5121, "ar-DZ"},  {5124, "zh-MO"},      {5127, "de-LI"},      {5129, "en-NZ"},
    {5130, "es-CR"},  {5132, "fr-LU"},      {5146, "bs-Latn-BA"}, {6145, "ar-MA"},
    {6153, "en-IE"},  {6154, "es-PA"},      {6156, "fr-MC"},      {7169, "ar-TN"},
    {7177, "en-ZA"},  {7178, "es-DO"},      {8193, "ar-OM"},      {8201, "en-JM"},
    {8202, "es-VE"},  {9217, "ar-YE"},      {9226, "es-CO"},      {9242, "sr-Latn-RS"},
    {10241, "ar-SY"}, {10249, "en-BZ"},     {10250, "es-PE"},     {10266, "sr-Cyrl-RS"},
    {11265, "ar-JO"}, {11273, "en-TT"},     {11274, "es-AR"},     {11290, "sr-Latn-ME"},
    {12289, "ar-LB"}, {12297, "en-ZW"},     {12298, "es-EC"},     {13313, "ar-KW"},
    {13321, "en-PH"}, {13322, "es-CL"},     {14337, "ar-AE"},     {14346, "es-UY"},
    {15361, "ar-BH"}, {15370, "es-PY"},     {16385, "ar-QA"},     {16393, "en-IN"},
    {16394, "es-BO"}, {17417, "en-MY"},     {17418, "es-SV"},     {18441, "en-SG"},
    {18442, "es-HN"}, {19466, "es-NI"},     {20490, "es-PR"},     {21514, "es-US"},
};

/// The name of the machine's locale data for a language tag: "fr-CA" fr_CA, "sr-Latn-RS"
/// sr_RS@latin, "uz-Cyrl-UZ" uz_UZ@cyrillic; other script subtags are the data's default.
std::string DataNameOfTag(std::string_view tag) {
    std::vector<std::string_view> parts;
    while (!tag.empty()) {
        const std::size_t dash = tag.find('-');
        parts.push_back(tag.substr(0, dash));
        tag = dash == std::string_view::npos ? std::string_view() : tag.substr(dash + 1);
    }
    if (parts.size() < 2) {
        return {};
    }
    std::string name = std::string(parts.front()) + "_" + std::string(parts.back());
    if (parts.size() == 3 && parts[0] == "sr" && parts[1] == "Latn") {
        name += "@latin";
    } else if (parts.size() == 3 && parts[0] == "uz" && parts[1] == "Cyrl") {
        name += "@cyrillic";
    }
    return name;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

/// A locale read from the machine's locale data, with the texts its views point at.
struct LoadedLocale {
    std::string dataName;
    std::deque<std::u16string> texts; // a deque: texts never move once the views point at them
    LocaleInfo info{};

    std::u16string_view Keep(std::u16string text) { return texts.emplace_back(std::move(text)); }
};

/// One open locale of the machine's data.
class LocaleData {
public:
    explicit LocaleData(const std::string& name) {
        // The code set goes before a modifier: sr_RS.UTF-8@latin.
        const std::size_t at = std::min(name.find('@'), name.size());
        const std::string base = name.substr(0, at);
        const std::string modifier = name.substr(at);
        std::string utf8Dash = base;
        utf8Dash.append(".UTF-8").append(modifier);
        std::string utf8 = base;
        utf8.append(".utf8").append(modifier);
        for (const std::string& candidate : {utf8Dash, utf8, name}) {
            mHandle = newlocale(LC_ALL_MASK, candidate.c_str(), nullptr);
            if (mHandle && std::string_view(nl_langinfo_l(CODESET, mHandle)) == "UTF-8") {
                return;
            }
            if (mHandle) {
                freelocale(mHandle);
                mHandle = nullptr;
            }
        }
    }
    ~LocaleData() {
        if (mHandle) {
            freelocale(mHandle);
        }
    }
    LocaleData(const LocaleData&) = delete;
    LocaleData& operator=(const LocaleData&) = delete;

    explicit operator bool() const noexcept { return mHandle != nullptr; }
    std::string_view Text(nl_item item) const { return nl_langinfo_l(item, mHandle); }
    std::u16string Unicode(nl_item item) const { return FromUtf8(Text(item)); }
    /// A one-byte number of the monetary and time categories.
    int Byte(nl_item item) const { return static_cast<signed char>(Text(item).empty() ? 0 : Text(item)[0]); }
    /// A whole-word number (the first day of the week's reference date).
    unsigned Word(nl_item item) const {
        union {
            unsigned word;
            const char* string;
        } value{};
        value.string = nl_langinfo_l(item, mHandle);
        return value.word;
    }

private:
    locale_t mHandle = nullptr;
};

/// Day, month and year order, separator and padding of a strftime date pattern ("%d.%m.%Y").
void ReadShortDate(std::string_view pattern, LocaleInfo& info) {
    std::string order;
    info.dateSeparator = u'/';
    info.padsDayAndMonth = false;
    bool haveSeparator = false;
    for (std::size_t index = 0; index < pattern.size(); ++index) {
        if (pattern[index] != '%' || index + 1 >= pattern.size()) {
            // A blank or an ASCII punctuation mark separates; letters such as the CJK year and
            // month marks do not fit a one-character separator, so those dates take "/".
            const auto unit = static_cast<unsigned char>(pattern[index]);
            if (!order.empty() && !haveSeparator && order.size() < 3) {
                info.dateSeparator = unit < 0x80 && (std::ispunct(unit) || unit == ' ') ? unit : u'/';
                haveSeparator = true;
            }
            continue;
        }
        char field = pattern[++index];
        if (field == '-' && index + 1 < pattern.size()) {
            field = pattern[++index];
        } else if (field == 'd' || field == 'm') {
            info.padsDayAndMonth = true;
        }
        if (field == 'D') {
            order = "mdy";
        } else if (field == 'F') {
            order = "ymd", info.dateSeparator = u'-', haveSeparator = true;
        } else if (field == 'd' || field == 'e') {
            order += 'd';
        } else if (field == 'm') {
            order += 'm';
        } else if (field == 'Y' || field == 'y') {
            order += 'y';
        }
    }
    info.dateOrder = order.starts_with('d')   ? DateOrder::DayMonthYear
                     : order.starts_with('y') ? DateOrder::YearMonthDay
                                              : DateOrder::MonthDayYear;
}

/// The system's negative currency form (0 to 15) for where the data puts the symbol, the blank
/// and the sign.
int NegativeCurrencyPattern(bool symbolFirst, bool blank, int signPosition) {
    switch (signPosition) {
    case 0: // (1 $)
        return symbolFirst ? (blank ? 14 : 0) : (blank ? 15 : 4);
    case 2: // after amount and symbol
        return symbolFirst ? (blank ? 11 : 3) : (blank ? 10 : 7);
    case 3: // just before the symbol
        return symbolFirst ? (blank ? 9 : 1) : (blank ? 13 : 6);
    case 4: // just after the symbol
        return symbolFirst ? (blank ? 12 : 2) : (blank ? 10 : 7);
    default: // 1: before amount and symbol
        return symbolFirst ? (blank ? 9 : 1) : (blank ? 8 : 5);
    }
}

/// Reads a locale of the machine's data; nullptr when the machine has no such locale.
std::unique_ptr<LoadedLocale> LoadLocale(const std::string& dataName, std::int32_t lcid) {
    const LocaleData data(dataName);
    if (!data) {
        return nullptr;
    }
    auto loaded = std::make_unique<LoadedLocale>();
    loaded->dataName = dataName;
    LocaleInfo& info = loaded->info;
    info.lcid = lcid;
    const std::u16string radix = data.Unicode(RADIXCHAR);
    info.decimalSeparator = radix.empty() ? u'.' : radix.front();
    const std::u16string grouping = data.Unicode(THOUSEP);
    info.thousandsSeparator = !grouping.empty()               ? grouping.front()
                              : info.decimalSeparator == u',' ? u'.'
                                                              : u',';
    info.currencySymbol = loaded->Keep(data.Unicode(__CURRENCY_SYMBOL));
    ReadShortDate(data.Text(D_FMT), info);
    const std::string_view time = data.Text(T_FMT);
    info.isTwelveHour =
        time.find("%I") != std::string_view::npos || time.find("%l") != std::string_view::npos ||
        time.find("%r") != std::string_view::npos || time.find("%p") != std::string_view::npos;
    info.am = loaded->Keep(data.Unicode(AM_STR));
    info.pm = loaded->Keep(data.Unicode(PM_STR));
    for (int month = 0; month < 12; ++month) {
        // The names standing alone (nominative), where the data has them apart from the forms
        // used inside a date.
        const std::u16string alone = data.Unicode(ALTMON_1 + month);
        info.monthNames[month] = loaded->Keep(alone.empty() ? data.Unicode(MON_1 + month) : alone);
        info.monthAbbreviations[month] = loaded->Keep(data.Unicode(ABMON_1 + month));
    }
    for (int day = 0; day < 7; ++day) {
        info.dayNames[day] = loaded->Keep(data.Unicode(DAY_1 + day));
        info.dayAbbreviations[day] = loaded->Keep(data.Unicode(ABDAY_1 + day));
    }

    LocaleConventions& conventions = info.conventions;
    const bool symbolFirst = data.Byte(__P_CS_PRECEDES) == 1;
    const bool blank = data.Byte(__P_SEP_BY_SPACE) == 1;
    conventions.positiveCurrencyPattern = symbolFirst ? (blank ? 2 : 0) : (blank ? 3 : 1);
    conventions.negativeCurrencyPattern = NegativeCurrencyPattern(
        data.Byte(__N_CS_PRECEDES) == 1, data.Byte(__N_SEP_BY_SPACE) == 1, data.Byte(__N_SIGN_POSN));
    const int digits = data.Byte(__FRAC_DIGITS);
    conventions.currencyDigits = digits >= 0 && digits <= 9 ? digits : 2;
    // The data has no long date; this one follows the short date's order with the full names.
    switch (info.dateOrder) {
    case DateOrder::MonthDayYear:
        conventions.longDate = u"dddd, MMMM d, yyyy";
        break;
    case DateOrder::DayMonthYear:
        conventions.longDate = u"dddd d MMMM yyyy";
        break;
    case DateOrder::YearMonthDay:
        conventions.longDate = u"yyyy MMMM d, dddd";
        break;
    }
    // The week starts `first weekday` days into the week of the reference date, a Sunday
    // (19971130) or a Monday (19971201).
    const int referenceDay = data.Word(_NL_TIME_WEEK_1STDAY) == 19971201 ? 2 : 1;
    const int firstWeekday = std::clamp(data.Byte(_NL_TIME_FIRST_WEEKDAY), 1, 7);
    conventions.firstDayOfWeek = (referenceDay - 1 + firstWeekday - 1) % 7 + 1;
    const int minimumDays = data.Byte(_NL_TIME_WEEK_1STWEEK);
    conventions.firstWeekOfYear = minimumDays >= 7 ? 3 : minimumDays >= 4 ? 2 : 1;
    return loaded;
}

// The locale belongs to the apartment, and an apartment is one thread. This layer sits below the
// per-apartment context object, so it keeps its apartment state itself; a thread_local gives
// exactly the same lifetime and isolation. Locales read from the machine's data stay loaded, so
// that the current locale and references to it stay valid.
thread_local const LocaleInfo* tCurrentLocale = &Locales[0];
thread_local std::vector<std::unique_ptr<LoadedLocale>> tLoaded;

/// A locale of the machine's data by its data name, loaded on first use.
const LocaleInfo* LoadedOrLoad(const std::string& dataName, std::int32_t lcid) {
    for (const auto& loaded : tLoaded) {
        if (loaded->dataName == dataName) {
            return &loaded->info;
        }
    }
    std::unique_ptr<LoadedLocale> loaded = LoadLocale(dataName, lcid);
    if (!loaded) {
        return nullptr;
    }
    tLoaded.push_back(std::move(loaded));
    return &tLoaded.back()->info;
}

const LocaleInfo* BuiltIn(std::int32_t lcid) noexcept {
    for (const LocaleInfo& locale : Locales) {
        if (locale.lcid == lcid) {
            return &locale;
        }
    }
    return nullptr;
}

} // namespace

const LocaleInfo* FindLocale(std::int32_t lcid) {
    if (const LocaleInfo* builtIn = BuiltIn(lcid)) {
        return builtIn;
    }
    for (const LocaleId& id : LocaleIds) {
        if (id.lcid == lcid) {
            return LoadedOrLoad(DataNameOfTag(id.tag), lcid);
        }
    }
    return nullptr;
}

const LocaleInfo* FindLocale(std::u16string_view name) {
    const std::string text = ToUtf8(name);
    if (text.empty()) {
        return nullptr;
    }
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return text.size() <= 9 ? FindLocale(std::stoi(text)) : nullptr;
    }
    // A language tag of the table.
    for (const LocaleId& id : LocaleIds) {
        if (SameNoCase(id.tag, text)) {
            return FindLocale(id.lcid);
        }
    }
    // A name of the machine's data: without its code set, with '-' read as '_'.
    std::string dataName = text;
    const std::size_t dot = dataName.find('.');
    if (dot != std::string::npos) {
        const std::size_t at = dataName.find('@', dot);
        dataName.erase(dot, at == std::string::npos ? std::string::npos : at - dot);
    }
    std::replace(dataName.begin(), dataName.end(), '-', '_');
    // language_REGION[@modifier] and nothing else: never a path, never the environment's default.
    const std::size_t separator = dataName.find('_');
    if (dataName.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_@") !=
            std::string::npos ||
        separator == 0 || separator == std::string::npos || separator + 1 == dataName.size() ||
        dataName[separator + 1] == '@') {
        return nullptr;
    }
    for (const LocaleId& id : LocaleIds) {
        if (SameNoCase(DataNameOfTag(id.tag), dataName)) {
            return FindLocale(id.lcid);
        }
    }
    // The data's names are language in lower case and region in upper case.
    const std::size_t underscore = dataName.find('_');
    for (std::size_t index = 0; index < dataName.size() && dataName[index] != '@'; ++index) {
        const auto c = static_cast<unsigned char>(dataName[index]);
        dataName[index] = static_cast<char>(index < underscore ? std::tolower(c) : std::toupper(c));
    }
    return LoadedOrLoad(dataName, LocaleCustomUnspecified);
}

const LocaleInfo& CurrentLocaleInfo() noexcept {
    return *tCurrentLocale;
}

std::int32_t CurrentLocale() noexcept {
    return tCurrentLocale->lcid;
}

namespace {

bool MakeCurrent(const LocaleInfo* locale) noexcept {
    if (locale) {
        tCurrentLocale = locale;
    }
    return locale != nullptr;
}

} // namespace

bool SetCurrentLocale(std::int32_t lcid) {
    return MakeCurrent(FindLocale(lcid));
}

bool SetCurrentLocale(std::u16string_view name) {
    return MakeCurrent(FindLocale(name));
}

} // namespace qv::automation
