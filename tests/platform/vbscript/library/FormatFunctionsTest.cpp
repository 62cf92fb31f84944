#include "LibraryTestSupport.h"

namespace qv::vbscript::testing {
namespace {

const Variant Null = Variant::Null();
const Variant Empty;

/// Switches the current locale for one test and back.
class LocaleScope {
public:
    explicit LocaleScope(std::int32_t lcid) : mPrevious(automation::CurrentLocale()) {
        EXPECT_TRUE(automation::SetCurrentLocale(lcid));
    }
    ~LocaleScope() { automation::SetCurrentLocale(mPrevious); }

private:
    std::int32_t mPrevious;
};

TEST(FormatFunctionsTest, FormatNumber) {
    LocaleScope locale(1033);
    ExpectOutcomes({
        {u"FormatNumber", {Variant(1234.5)}, "String:1,234.50"},
        {u"FormatNumber", {Variant(-1234.5)}, "String:-1,234.50"},
        {u"FormatNumber", {Variant(1234567.891), Variant(0)}, "String:1,234,568"},
        {u"FormatNumber", {Variant(0.5), Variant(0)}, "String:1"},
        {u"FormatNumber", {Variant(1.005), Variant(2)}, "String:1.01"},
        {u"FormatNumber", {Variant(0.25), Variant(2), Variant(0)}, "String:.25"},
        {u"FormatNumber", {Variant(-0.25), Variant(1), Missing(), Variant(-1)}, "String:(0.3)"},
        {u"FormatNumber", {Variant(1234.5), Variant(1), Missing(), Missing(), Variant(0)}, "String:1234.5"},
        {u"FormatNumber", {Variant(-0.001), Variant(2)}, "String:0.00"},
        {u"FormatNumber", {Variant(u"12.345"), Variant(1)}, "String:12.3"},
        {u"FormatNumber", {Variant(true)}, "String:-1.00"},
        {u"FormatNumber", {Empty}, "String:0.00"},
        {u"FormatNumber", {Variant(1e20), Variant(0)}, "String:100,000,000,000,000,000,000"},
        {u"FormatNumber", {Variant(1.5e-7), Variant(8)}, "String:0.00000015"},
        {u"FormatNumber",
         {Variant(automation::Currency::FromScaled(-12345678)), Variant(3)},
         "String:-1,234.568"},
        {u"FormatNumber", {Variant(999.996), Variant(2)}, "String:1,000.00"},
        {u"FormatNumber", {Null}, "error 13"},
        {u"FormatNumber", {Variant(u"abc")}, "error 13"},
        {u"FormatNumber", {Variant(0.1), Null}, "error 94"},
        {u"FormatNumber", {Variant(0.1), Variant(0), Variant(0), Variant(0), Null}, "error 94"},
        {u"FormatNumber", {Variant(0.1), Variant(-2)}, "error 5"},
    });
}

TEST(FormatFunctionsTest, FormatCurrencyAndPercent) {
    LocaleScope locale(1033);
    ExpectOutcomes({
        {u"FormatCurrency", {Variant(1234.5)}, "String:$1,234.50"},
        {u"FormatCurrency", {Variant(-1234.5)}, "String:($1,234.50)"},
        {u"FormatCurrency", {Variant(-1000), Missing(), Missing(), Variant(0)}, "String:-$1,000.00"},
        {u"FormatCurrency", {Variant(-1000), Variant(0), Missing(), Variant(-1)}, "String:($1,000)"},
        {u"FormatCurrency", {Null}, "error 13"},
        {u"FormatCurrency", {Variant(1000), Variant(0), Null}, "error 94"},
        {u"FormatPercent", {Variant(0.256)}, "String:25.60%"},
        {u"FormatPercent", {Variant(-0.256), Variant(1)}, "String:-25.6%"},
        {u"FormatPercent", {Variant(-0.256), Variant(0), Missing(), Variant(-1)}, "String:(26%)"},
        {u"FormatPercent", {Variant(12.5), Variant(0)}, "String:1,250%"},
        {u"FormatPercent", {Null}, "error 13"},
    });
}

TEST(FormatFunctionsTest, FormatDateTime) {
    LocaleScope locale(1033);
    Variant moment = Date(2023, 12, 31, 13, 5, 9);
    ExpectOutcomes({
        {u"FormatDateTime", {moment}, "String:12/31/2023 1:05:09 PM"},
        {u"FormatDateTime", {moment, Variant(1)}, "String:Sunday, December 31, 2023"},
        {u"FormatDateTime", {moment, Variant(2)}, "String:12/31/2023"},
        {u"FormatDateTime", {moment, Variant(3)}, "String:1:05:09 PM"},
        {u"FormatDateTime", {moment, Variant(4)}, "String:13:05"},
        {u"FormatDateTime", {Date(2023, 12, 31)}, "String:12/31/2023"},
        {u"FormatDateTime", {Variant(0), Variant(2)}, "String:12/30/1899"},
        {u"FormatDateTime", {Variant(0.5), Variant(3)}, "String:12:00:00 PM"},
        {u"FormatDateTime", {Variant(u"2023-06-01"), Variant(1)}, "String:Thursday, June 1, 2023"},
        {u"FormatDateTime", {Null}, "error 13"},
        {u"FormatDateTime", {Variant(0.1), Null}, "error 94"},
        {u"FormatDateTime", {moment, Variant(5)}, "error 5"},
        {u"FormatDateTime", {Variant(u"x")}, "error 13"},
    });
}

TEST(FormatFunctionsTest, OtherLocales) {
    {
        LocaleScope locale(1031);
        ExpectOutcomes({
            {u"FormatNumber", {Variant(1234.5)}, "String:1.234,50"},
            {u"FormatCurrency", {Variant(-1234.5)}, "String:-1.234,50 \u20AC"},
            {u"FormatDateTime", {Date(2023, 12, 31), Variant(1)}, "String:Sonntag, 31. Dezember 2023"},
            {u"FormatDateTime", {Date(2023, 12, 31, 13, 5), Variant(2)}, "String:31.12.2023"},
            {u"FormatDateTime", {Date(2023, 12, 31, 13, 5), Variant(3)}, "String:13:05:00"},
            {u"MonthName", {Variant(3)}, "String:M\u00E4rz"},
            {u"WeekdayName", {Variant(1), Variant(true), Variant(0)}, "String:Mo"},
            {u"Weekday", {Date(2000, 1, 1), Variant(0)}, "Integer:6"},
        });
    }
    {
        LocaleScope locale(2057);
        ExpectOutcomes({
            {u"FormatCurrency", {Variant(-5)}, "String:-\u00A35.00"},
            {u"FormatDateTime", {Date(2023, 1, 2), Variant(2)}, "String:02/01/2023"},
        });
    }
}

} // namespace
} // namespace qv::vbscript::testing
