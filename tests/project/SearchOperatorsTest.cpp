#include "project/internal/SearchOperators.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

TEST(SearchOperators, ListsDependOnTheTypeClass) {
    const std::u16string comparisons = u"USER SELECT\r\n=\r\n<>\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN";
    struct Case {
        std::int32_t type;
        std::u16string expected;
    };
    const Case cases[] = {
        {11, u"USER SELECT\r\n=\r\n<>"},                             // Boolean
        {202, comparisons + u"\r\nLIKE\r\nNOT LIKE\r\nSTARTS WITH"}, // text
        {129, comparisons + u"\r\nLIKE\r\nNOT LIKE\r\nSTARTS WITH"}, // text
        {3, comparisons},                                            // number
        {135, comparisons},                                          // date
        {72, comparisons},                                           // GUID
        {205, comparisons},                                          // binary
        {-1, comparisons},                                           // unsupported
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(FldSrchOprs(c.type), c.expected);
    }
}

} // namespace
} // namespace qv
