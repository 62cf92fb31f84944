// Which project files and templates count as older than the library.

#include "project/internal/VersionCompare.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(VersionCompare, ComparesAtMostThreePartsOfTheShorterText) {
    struct Case {
        std::u16string_view a;
        std::u16string_view b;
        bool newer;
    };
    const Case cases[] = {
        {u"6.0", u"5.9.9.9", true}, // a file of 5.x is converted
        {u"6.0", u"6.0", false},         {u"6.0", u"6.0.0.5", false}, {u"6.0", u"6", false},
        {u"6.0", u"10.0", false},        // numbers, not texts
        {u"6.1.2.9", u"6.1.2.1", false}, // the fourth part is never compared
        {u"6.1.3", u"6.1.2", true},      {u"6.0", u"", false},        {u"", u"5.0", false},
        {u"6.0", u"x.0", false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(automation::ToUtf8(row.a) + " vs " + automation::ToUtf8(row.b));
        EXPECT_EQ(IsNewerVersion(row.a, row.b), row.newer);
    }
}

} // namespace
} // namespace qv
