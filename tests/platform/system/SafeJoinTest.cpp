#include "platform/system/SafeJoin.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

namespace qv::system {
namespace {

std::string Utf8(std::u16string_view text) {
    return automation::ToUtf8(text);
}

TEST(SafeJoin, KeepsNamesThatStayInsideTheRoot) {
    struct Case {
        std::u16string_view name, joined;
    };
    const Case cases[] = {
        {u"page.asp", u"/site/page.asp"},
        {u"images\\logo.gif", u"/site/images\\logo.gif"},
        {u"images/icons/", u"/site/images/icons/"},
        {u"./a..b/c...", u"/site/./a..b/c..."}, // dots inside a name climb nowhere
        {u"", u"/site"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        EXPECT_EQ(JoinInside(u"/site/", c.name), c.joined);
        EXPECT_EQ(EscapeReason(c.name), u"");
    }
}

TEST(SafeJoin, RefusesNamesThatLeaveTheRootNamingBoth) {
    const std::u16string_view names[] = {
        u"..",
        u"../etc/passwd",
        u"a/../../b",
        u"a\\..\\..\\b",
        u"images\\..",
        u"/etc/passwd",
        u"\\windows\\win.ini",
        u"\\\\server\\share\\x",
        u"C:\\boot.ini",
        u"c:x",
        std::u16string_view(u"a\0b", 3),
    };
    for (std::u16string_view name : names) {
        SCOPED_TRACE(Utf8(name));
        EXPECT_NE(EscapeReason(name), u"");
        try {
            JoinInside(u"/site", name);
            ADD_FAILURE() << "not refused";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), automation::ErrorNumber::BadFileNameOrNumber);
            EXPECT_NE(error.Description().find(u"\"/site\""), std::u16string::npos) << error.what();
            EXPECT_NE(error.Description().find(name), std::u16string::npos) << error.what();
        }
    }
}

TEST(SafeJoin, RefusesAnEmptyRootThatWouldMeanTheCurrentFolder) {
    EXPECT_THROW(JoinInside(u"", u"page.asp"), automation::Error);
    EXPECT_THROW(JoinInside(u"  ", u"page.asp"), automation::Error);
}

} // namespace
} // namespace qv::system
