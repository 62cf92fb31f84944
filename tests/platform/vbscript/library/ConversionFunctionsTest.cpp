#include "LibraryTestSupport.h"

namespace qv::vbscript::testing {
namespace {

const Variant Null = Variant::Null();
const Variant Empty;

Variant Currency(double value) {
    return Variant(automation::ToCurrency(Variant(value)));
}

TEST(ConversionFunctionsTest, ConversionsKeepTheirTargetType) {
    ExpectOutcomes({
        {u"CInt", {Variant(-36.5)}, "Integer:-36"},
        {u"CInt", {Variant(36.75)}, "Integer:37"},
        {u"CInt", {Variant(32767.5)}, "error 6"},
        {u"CInt", {Variant(u"")}, "error 13"},
        {u"CLng", {Variant(1.5)}, "Long:2"},
        {u"CLng", {Variant(true)}, "Long:-1"},
        {u"CByte", {Variant(255.49)}, "Byte:255"},
        {u"CByte", {Variant(u"-1")}, "error 6"},
        {u"CBool", {Variant(-0.56)}, "Boolean:True"},
        {u"CBool", {Variant(u"false")}, "Boolean:False"},
        {u"CBool", {Variant(u"")}, "error 13"},
        {u"CDbl", {Variant(u"-0.5")}, "Double:-0.5"},
        {u"CSng", {Empty}, "Single:0"},
        {u"CCur", {Variant(0.000149)}, "Currency:0.0001"},
        {u"CDate", {Variant(1)}, "Date:12/31/1899"},
        {u"CStr", {Variant(3.5)}, "String:3.5"},
        {u"CStr", {Variant(true)}, "String:True"},
        {u"CStr", {Null}, "error 94"},
        {u"CInt", {Null}, "error 94"},
        {u"CDate", {Null}, "error 94"},
        {u"CBool", {Null}, "error 94"},
    });
}

TEST(ConversionFunctionsTest, HexAndOctUseTheWidthOfTheSubtype) {
    ExpectOutcomes({
        {u"Hex", {Variant(0)}, "String:0"},
        {u"Hex", {Variant(static_cast<std::int32_t>(0xDEADBEEF))}, "String:DEADBEEF"},
        {u"Hex", {I2(-1)}, "String:FFFF"},
        {u"Hex", {Variant(-1)}, "String:FFFFFFFF"},
        {u"Hex", {Variant(true)}, "String:FFFF"},
        {u"Hex", {Variant(std::uint8_t(255))}, "String:FF"},
        {u"Hex", {Variant(u"17")}, "String:11"},
        {u"Hex", {Variant(228.5)}, "String:E4"},
        {u"Hex", {Variant(-2147483647.5)}, "String:80000000"},
        {u"Hex", {Empty}, "String:0"},
        {u"Hex", {Null}, "Null"},
        {u"Hex", {Variant(2147483647.5)}, "error 6"},
        {u"Hex", {Variant(u"test")}, "error 13"},
        {u"Oct", {Variant(9.5)}, "String:12"},
        {u"Oct", {I2(-1)}, "String:177777"},
        {u"Oct", {Variant(-32768)}, "String:37777700000"},
        {u"Oct", {Null}, "Null"},
    });
}

TEST(ConversionFunctionsTest, FixIntAbsSgnKeepTheSubtype) {
    ExpectOutcomes({
        {u"Fix", {Variant(-1.99)}, "Double:-1"},
        {u"Int", {Variant(-1.99)}, "Double:-2"},
        {u"Int", {Variant(u"-1.99")}, "Double:-2"},
        {u"Fix", {Currency(-0.99)}, "Currency:0"},
        {u"Int", {Currency(-0.99)}, "Currency:-1"},
        {u"Int", {Variant(1.5f)}, "Single:1"},
        {u"Int", {Variant(true)}, "Integer:-1"},
        {u"Int", {Empty}, "Integer:0"},
        {u"Int", {Null}, "Null"},
        {u"Int", {Variant(std::uint8_t(7))}, "Byte:7"},
        {u"Int", {Date(2023, 12, 31, 13, 30)}, "Date:12/31/2023"},
        {u"Fix", {Variant(u"x")}, "error 13"},
        {u"Abs", {Variant(-32769)}, "Long:32769"},
        {u"Abs", {I2(-32768)}, "Long:32768"},
        {u"Abs", {Variant(true)}, "Integer:1"},
        {u"Abs", {Variant(-0.5f)}, "Single:0.5"},
        {u"Abs", {Variant(u"-1")}, "Double:1"},
        {u"Abs", {Currency(-1)}, "Currency:1"},
        {u"Abs", {Empty}, "Integer:0"},
        {u"Abs", {Null}, "Null"},
        {u"Abs", {Variant(u"strings")}, "error 13"},
        {u"Sgn", {Variant(-32769)}, "Integer:-1"},
        {u"Sgn", {Variant(u"-1")}, "Integer:-1"},
        {u"Sgn", {Variant(true)}, "Integer:-1"},
        {u"Sgn", {Empty}, "Integer:0"},
        {u"Sgn", {Currency(0.0001)}, "Integer:1"},
        {u"Sgn", {Null}, "error 94"},
    });
}

TEST(ConversionFunctionsTest, RoundIsBankersAndKeepsTheSubtype) {
    ExpectOutcomes({
        {u"Round", {Variant(3.5)}, "Double:4"},
        {u"Round", {Variant(2.5)}, "Double:2"},
        {u"Round", {Variant(-3.5)}, "Double:-4"},
        {u"Round", {Variant(-2.5)}, "Double:-2"},
        {u"Round", {I2(3)}, "Integer:3"},
        {u"Round", {Variant(true)}, "Boolean:True"},
        {u"Round", {Variant(u"2.5")}, "Double:2"},
        {u"Round", {Variant(0.125), Variant(2)}, "Double:0.12"},
        {u"Round", {Variant(0.375), Variant(2)}, "Double:0.38"},
        {u"Round", {Variant(1234.5678), Variant(2)}, "Double:1234.57"},
        {u"Round", {Variant(2.5f)}, "Single:2"},
        {u"Round", {Currency(1.125), Variant(2)}, "Currency:1.12"},
        {u"Round", {Currency(-1.135), Variant(2)}, "Currency:-1.14"},
        {u"Round", {Currency(1.2345), Variant(6)}, "Currency:1.2345"},
        {u"Round", {Empty}, "Integer:0"},
        {u"Round", {Null}, "Null"},
        {u"Round", {Variant(1.5), Variant(-1)}, "error 5"},
        {u"Round", {Variant(1.5), Null}, "error 94"},
    });
}

} // namespace
} // namespace qv::vbscript::testing
