#include "platform/system/Environment.h"

#include "platform/system/FileVersion.h"

#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace qv::system {
namespace {

TEST(Environment, ExpandsOnlyReferencesToSetVariables) {
    test::ScopedEnvironment environment;
    environment.Set("QV_TEST_ROOT", "/srv/www").Set("QV_TEST_EMPTY", "").Unset("QV_TEST_UNSET");
    struct Case {
        std::u16string_view text, expanded;
    };
    const Case cases[] = {
        {u"%QV_TEST_ROOT%\\site", u"/srv/www\\site"},
        {u"a%QV_TEST_EMPTY%b", u"ab"},
        {u"%QV_TEST_UNSET%\\x", u"%QV_TEST_UNSET%\\x"},
        {u"100%", u"100%"},
        {u"%%", u"%%"},
        // An unset name does not swallow the "%" that starts the next reference.
        {u"%QV_TEST_UNSET%QV_TEST_ROOT%", u"%QV_TEST_UNSET/srv/www"},
        {u"", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        EXPECT_EQ(ExpandEnvironmentStrings(c.text), c.expanded);
    }
}

TEST(Environment, MachineAndVersionAreNeverEmpty) {
    EXPECT_FALSE(MachineName().empty());
    EXPECT_TRUE(OsVersionName().starts_with(u"Linux"));
    EXPECT_TRUE(FormatVersion(LibraryVersion()).starts_with(u"6.0."));
    EXPECT_EQ(FormatVersion(FileVersion{6, 0, 0, 5}), u"6.0.0.5");
}

} // namespace
} // namespace qv::system
