#include "LibraryTestSupport.h"

#include <map>
#include <set>

namespace qv::vbscript::testing {
namespace {

TEST(ConstantsTest, ValuesAndTypes) {
    std::map<std::u16string_view, Variant> constants;
    for (const ConstantInfo& constant : Constants()) {
        EXPECT_TRUE(constants.emplace(constant.name, constant.value()).second)
            << automation::ToUtf8(constant.name);
    }
    const std::vector<std::pair<std::u16string_view, std::string>> expected = {
        {u"vbCrLf", "String:\r\n"},
        {u"vbNewLine", "String:\r\n"},
        {u"vbNullChar", std::string("String:") + '\0'},
        {u"vbNullString", "String:"},
        {u"vbVerticalTab", "String:\v"},
        {u"vbTextCompare", "Integer:1"},
        {u"vbDatabaseCompare", "Integer:2"},
        {u"vbUseDefault", "Integer:-2"},
        {u"vbTrue", "Integer:-1"},
        {u"vbSaturday", "Integer:7"},
        {u"vbFirstFullWeek", "Integer:3"},
        {u"vbShortTime", "Integer:4"},
        {u"vbArray", "Integer:8192"},
        {u"vbByte", "Integer:17"},
        {u"vbSystemModal", "Integer:4096"},
        {u"vbMsgBoxHelpButton", "Long:16384"},
        {u"vbMsgBoxRtlReading", "Long:1048576"},
        {u"vbNo", "Integer:7"},
        {u"vbObjectError", "Long:-2147221504"},
        {u"vbBlue", "Long:16711680"},
        {u"vbYellow", "Long:65535"},
    };
    for (const auto& [name, outcome] : expected) {
        SCOPED_TRACE(automation::ToUtf8(name));
        auto it = constants.find(name);
        ASSERT_NE(it, constants.end());
        EXPECT_EQ(Describe(it->second), outcome);
    }
    EXPECT_EQ(constants.count(u"vbBack"), 0u);
}

// The interpreter registers every family in one name space: a name may not appear twice.
TEST(ConstantsTest, FunctionNamesAreUnique) {
    std::set<std::u16string> names;
    for (auto family : {StringFunctions(), ConversionFunctions(), MathFunctions(), DateFunctions(),
                        ArrayFunctions(), InspectionFunctions(), FormatFunctions()}) {
        for (const BuiltinInfo& info : family) {
            EXPECT_TRUE(names.insert(automation::ToLower(info.name)).second) << automation::ToUtf8(info.name);
            EXPECT_LE(info.minArgs, info.maxArgs < 0 ? 127 : info.maxArgs);
        }
    }
    for (const ConstantInfo& constant : Constants()) {
        EXPECT_FALSE(names.contains(automation::ToLower(constant.name))) << automation::ToUtf8(constant.name);
    }
}

} // namespace
} // namespace qv::vbscript::testing
