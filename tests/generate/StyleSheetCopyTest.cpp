#include "generate/internal/StyleSheetCopy.h"
#include "generate/OverwritePolicy.h"

#include "GenerateFixture.h"

#include "platform/system/FileSystem.h"

namespace qv {
namespace {

using host::HostCallKind;

class StyleSheetCopyTest : public test::GenerateTest {
protected:
    void SetUp() override {
        GenerateTest::SetUp();
        mSettings.ProjName = u"Shop";
        mSettings.OutputNameLCase = true;
        mSettings.CssStyles = u".extra{}";
        Write(mTemp / "in" / "project.css", "body{color:<!--##=x##-->}\r\n");
        Write(mTemp / "in" / "named.css", "named");
        Write(mTemp / "in" / "logo.gif", "GIF");
        mServices.evaluate = [this](std::u16string_view text) {
            mEvaluated.emplace_back(text);
            return u"body{color:red}\r\n";
        };
        mServices.fileBytes = [](std::u16string_view text) { return automation::ToUtf8(text); };
    }

    std::optional<std::int16_t> Copy(bool checkOnly = false) {
        return CopyCssAndLogo(mSettings, Text(mTemp / "in" / "project.css"), mServices, checkOnly);
    }

    StyleSheetServices mServices;
    std::vector<std::u16string> mEvaluated;
};

TEST_F(StyleSheetCopyTest, WritesTheProjectStyleSheetAndCopiesTheNamedOnesAndTheLogo) {
    mSettings.CSS = Text(mTemp / "in" / "named.css");
    mSettings.HeaderLogo = Text(mTemp / "in" / "logo.gif");
    EXPECT_EQ(Copy(/*checkOnly=*/true), 0);
    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_EQ(Tree(mSite), (std::vector<std::string>{"logo.gif", "named.css", "shop.css"}));
    EXPECT_EQ(Read(mSite / "shop.css"), "body{color:red}\r\n.extra{}");
    ASSERT_EQ(mEvaluated.size(), 1u);
    EXPECT_EQ(mEvaluated[0], u"body{color:<!--##=x##-->}\r\n");
    EXPECT_EQ(Read(mSite / "logo.gif"), "GIF");

    // In check-only mode an existing project style sheet ends the step at once.
    EXPECT_EQ(Copy(/*checkOnly=*/true), 1);

    // Again with nothing changed: nothing is asked or backed up; a changed logo is both.
    mSettings.PromptOnOverwrite = true;
    mSettings.backupFile = true;
    OutputTally tally;
    EXPECT_EQ(CopyCssAndLogo(mSettings, Text(mTemp / "in" / "project.css"), mServices, false, &tally), 0);
    EXPECT_EQ(mHost.Count(HostCallKind::Overwrite), 0u);
    EXPECT_EQ(tally.unchanged, 3);
    Write(mTemp / "in" / "logo.gif", "GIF2");
    mHost.Answer(host::OverwriteAnswer{host::OverwriteChoice::Overwrite, false});
    EXPECT_EQ(Copy(), 0);
    const std::vector<host::HostCall> asked = mHost.Calls(HostCallKind::Overwrite);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].path, Text(mSite / "logo.gif"));
    EXPECT_EQ(Tree(mSite), (std::vector<std::string>{"logo.gif", "logo.gif.bak", "named.css", "shop.css"}));
    EXPECT_EQ(Read(mSite / "logo.gif.bak"), "GIF");
}

TEST_F(StyleSheetCopyTest, NoTemplateNoStyleSheetAndNoCopyOntoItself) {
    mSettings.OutputNameLCase = false;
    EXPECT_EQ(CopyCssAndLogo(mSettings, u"", mServices, false), 0);
    EXPECT_TRUE(Tree(mSite).empty());

    // A CSS setting that already is the output is left alone and offered to nobody.
    Write(mSite / "site.css", "live");
    mSettings.CSS = Text(mSite / "." / "site.css");
    mSettings.PromptOnOverwrite = true;
    mSettings.HeaderLogo = Text(mTemp / "in" / "none.gif");
    EXPECT_EQ(CopyCssAndLogo(mSettings, u"", mServices, false), 0);
    EXPECT_EQ(Read(mSite / "site.css"), "live");
    EXPECT_EQ(mHost.Count(HostCallKind::Overwrite), 0u);
    EXPECT_EQ(Tree(mSite), std::vector<std::string>{"site.css"});
}

TEST_F(StyleSheetCopyTest, FailuresAreReportedNotSwallowed) {
    std::filesystem::create_directories(mSite / "shop.css" / "x"); // a folder in the way
    EXPECT_EQ(Copy(), std::nullopt);
    EXPECT_EQ(State().gProjErr, u"Copying to file \"" + Text(mSite / "shop.css") + u"\" failed!");

    State().gProjErr.clear();
    mSettings.ProjName.clear();
    mSettings.CssStyles.clear();
    mSettings.HeaderLogo = Text(mTemp / "in" / "logo.gif");
    std::filesystem::create_directories(mSite / "logo.gif" / "x"); // a folder in the way
    EXPECT_EQ(CopyCssAndLogo(mSettings, u"", mServices, false), std::nullopt);
    EXPECT_EQ(State().gProjErr, u"Copying to file \"" + Text(mSite / "logo.gif") + u"\" failed!");
}

TEST_F(StyleSheetCopyTest, AProjectNameCannotLeadOutOfTheSite) {
    mSettings.ProjName = u"../../Shop";
    EXPECT_THROW(Copy(), automation::Error);
    EXPECT_FALSE(std::filesystem::exists(mTemp / "shop.css"));
}

} // namespace
} // namespace qv
