#include "core/QelKeyword.h"

#include "core/Apartment.h"
#include "core/QelVars.h"

#include "support/ApartmentFixture.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <fstream>
#include <string>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;

class QelKeywordTest : public test::ApartmentTest {
protected:
    void SetUp() override {
        ApartmentTest::SetUp();
        State().gProductName = u"Quorvane";
    }

    std::u16string Write(const std::string& name, const std::string& xml) {
        std::ofstream(mTemp / name) << xml;
        return TempPath(name);
    }
};

TEST_F(QelKeywordTest, LoadsWordsUnderTheProductRoot) {
    struct Case {
        const char* what;
        std::string xml;
        bool loads;
        std::int32_t count;
    };
    const Case cases[] = {
        {"product root",
         "<Quorvane.keyword><keyword value='Date'/><KEYWORD Value='Now'/><other value='x'/>"
         "</Quorvane.keyword>",
         true, 2},
        {"root in capitals", "<QUORVANE.KEYWORD><keyword value='Date'/></QUORVANE.KEYWORD>", true, 1},
        {"root with a prefix",
         "<q:quorvane.keyword xmlns:q='urn:q'><keyword value='Date'/></q:quorvane.keyword>", true, 1},
        {"another root", "<Other.keyword><keyword value='Date'/></Other.keyword>", false, 0},
        {"not well-formed", "<Quorvane.keyword><keyword value='Date'>", false, 0},
        {"without value", "<Quorvane.keyword><keyword/><keyword/></Quorvane.keyword>", true, 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        Ref<QelKeyword> keywords = MakeRef<QelKeyword>();
        EXPECT_EQ(keywords->Load(Write("k.xml", test.xml)), test.loads);
        EXPECT_EQ(keywords->Count(), test.count);
    }
    EXPECT_FALSE(MakeRef<QelKeyword>()->Load(TempPath("missing.xml")));
    // A path that is no text fails like a missing file instead of raising.
    EXPECT_FALSE(automation::ToBoolean(automation::CallByName(
        *MakeRef<QelKeyword>(), u"Load", automation::InvokeKind::Method, {Variant::Null()})));
}

TEST_F(QelKeywordTest, WordsAreStoredOnceInTheirLatestSpelling) {
    Ref<QelKeyword> keywords = MakeRef<QelKeyword>();
    EXPECT_FALSE(keywords->IsKeyword(u"Date")) << "nothing is reserved before a file is loaded";
    ASSERT_TRUE(
        keywords->Load(Write("a.xml", "<Quorvane.keyword><keyword value='date'/><keyword value='DATE'/>"
                                      "</Quorvane.keyword>")));
    ASSERT_TRUE(
        keywords->Load(Write("b.xml", "<Quorvane.keyword><keyword value='Date'/><keyword value='Now'/>"
                                      "</Quorvane.keyword>")));
    EXPECT_EQ(keywords->Count(), 2) << "loading adds without duplicates and never empties";
    EXPECT_EQ(keywords->Word(0), u"Date");
    EXPECT_TRUE(keywords->IsKeyword(u"dAtE"));
    EXPECT_TRUE(keywords->IsKeyword(u"NOW"));
    EXPECT_FALSE(keywords->IsKeyword(u"Time"));
    EXPECT_EQ(automation::ToLong(automation::CallByName(*keywords, u"curIndex", automation::InvokeRead)), 0);
}

TEST_F(QelKeywordTest, TheShippedFileReservesTheScriptAndServerWords) {
    const std::u16string shipped = automation::FromUtf8(QV_SOURCE_DIR "/share/quorvane/keyword.xml");
    ASSERT_TRUE(GetKeyword().Load(shipped));
    EXPECT_GT(GetKeyword().Count(), 200);
    for (std::u16string_view word : {u"Dim", u"response", u"Session", u"vbCrLf", u"Date", u"Left", u"Err"}) {
        SCOPED_TRACE(automation::ToUtf8(word));
        EXPECT_TRUE(GetKeyword().IsKeyword(word));
    }
    EXPECT_EQ(ToIdentifier(u"Session", u""), u"x_Session");
    EXPECT_EQ(ToIdentifier(u"Customers", u""), u"Customers");
}

} // namespace
} // namespace qv
