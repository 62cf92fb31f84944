#include "generate/internal/CopyControls.h"
#include "generate/OverwritePolicy.h"

#include "GenerateFixture.h"

#include "template/QelControls.h"
#include "template/TemplateState.h"

#include "platform/automation/Text.h"

namespace qv {
namespace {

using host::HostCallKind;

class CopyControlsTest : public test::GenerateTest {
protected:
    void SetUp() override {
        GenerateTest::SetUp();
        mControls = automation::MakeRef<QelControls>();
        CurrentTemplateState().templateFolder = Text(mTemp / "tpl");
        CurrentTemplateState().extensionsFolder = Text(mTemp / "ext");
        Write(mTemp / "tpl" / "images" / "logo.gif", "logo");
        Write(mTemp / "tpl" / "images" / "bg.gif", "bg");
        Write(mTemp / "tpl" / "js" / "app.js", "app");
        Write(mTemp / "tpl" / "css" / "site.css", "site");
        Write(mTemp / "tpl" / "css" / "print" / "p.css", "print");
        Write(mTemp / "ext" / "Charts" / "chart.js", "chart");
    }

    QelControl& Add(std::u16string id, std::u16string type = u"copy") {
        auto control = automation::MakeRef<QelControl>();
        control->SetCtrlID(std::move(id));
        control->SetCtrlType(std::move(type));
        EXPECT_TRUE(mControls->AddControl(*control));
        return *mControls->Item(automation::Variant(mControls->Count()));
    }

    /// The controls of a small template: files into a folder, a file with its own sub-folder,
    /// a whole folder, an extension's file under the application root, and a page control.
    void AddTemplateControls() {
        Add(u"img").SetCtrlIFiles(u"images/logo.gif,images\\bg.gif");
        mControls->Item(automation::Variant(1))->SetCtrlOFolder(u"images\\");
        Add(u"js").SetCtrlIFiles(u"js/app.js");
        Add(u"css").SetCtrlIFolder(u"css\\");
        QelControl& chart = Add(u"chart");
        chart.SetCtrlExt(u"Charts");
        chart.SetCtrlIFiles(u"chart.js");
        chart.SetCtrlOFolder(u"~\\lib\\");
        Add(u"list", u"table").SetCtrlIFiles(u"missing.asp");
    }

    std::optional<std::int16_t> Copy(bool checkOnly = false) {
        return CopyControlFiles(*mControls, mSettings, checkOnly);
    }

    automation::Ref<QelControls> mControls;
};

const std::vector<std::string> CopiedSite = {
    "css/",      "css/print/",    "css/print/p.css", "css/site.css",
    "images/",   "images/bg.gif", "images/logo.gif", "js/",
    "js/app.js", "lib/",          "lib/chart.js",
};

TEST_F(CopyControlsTest, AFirstRunCopiesEverythingWithoutAsking) {
    AddTemplateControls();
    mSettings.PromptOnOverwrite = true;
    EXPECT_EQ(Copy(/*checkOnly=*/true), 0);
    EXPECT_TRUE(Tree(mSite).empty()); // check-only creates nothing

    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_EQ(Tree(mSite), CopiedSite);
    EXPECT_EQ(Read(mSite / "lib" / "chart.js"), "chart");
    EXPECT_EQ(Read(mSite / "css" / "print" / "p.css"), "print");
    // The folder did not exist: there was nothing to ask about.
    EXPECT_EQ(mHost.Count(HostCallKind::Overwrite), 0u);
}

TEST_F(CopyControlsTest, ALaterRunAsksOnlyAboutWhatWouldChange) {
    AddTemplateControls();
    ASSERT_EQ(Copy(), 0);
    EXPECT_EQ(Copy(/*checkOnly=*/true), 5); // four files and one folder, changed or not
    mSettings.PromptOnOverwrite = true;
    mSettings.backupFile = true;
    // A file of the user's own in a copied folder does not make the copy a change.
    Write(mSite / "css" / "mine.css", "mine");
    const auto logoTime =
        std::filesystem::last_write_time(mSite / "images" / "logo.gif") - std::chrono::hours(1);
    std::filesystem::last_write_time(mSite / "images" / "logo.gif", logoTime);

    // Nothing changed: nothing is asked, backed up or copied again.
    OutputTally tally;
    EXPECT_EQ(CopyControlFiles(*mControls, mSettings, false, &tally), 0);
    EXPECT_EQ(mHost.Count(HostCallKind::Overwrite), 0u);
    EXPECT_EQ(tally.unchanged, 5);
    EXPECT_EQ(tally.created + tally.replaced + tally.kept, 0);
    EXPECT_EQ(std::filesystem::last_write_time(mSite / "images" / "logo.gif"), logoTime);
    auto expected = CopiedSite;
    expected.insert(expected.begin() + 1, "css/mine.css");
    EXPECT_EQ(Tree(mSite), expected);

    // A changed file and a folder with one changed file are asked about, and only they.
    Write(mTemp / "tpl" / "images" / "logo.gif", "new logo");
    Write(mTemp / "tpl" / "css" / "print" / "p.css", "new print");
    mHost.Answer(host::OverwriteAnswer{host::OverwriteChoice::Overwrite, false});
    mHost.Answer(host::OverwriteAnswer{host::OverwriteChoice::Skip, false});
    tally = {};
    EXPECT_EQ(CopyControlFiles(*mControls, mSettings, false, &tally), 0);
    const std::vector<host::HostCall> asked = mHost.Calls(HostCallKind::Overwrite);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].path, Text(mSite / "images/logo.gif"));
    EXPECT_EQ(asked[1].path, Text(mSite / "css"));
    EXPECT_EQ(asked[1].target, host::OverwriteTarget::Folder);
    EXPECT_EQ(Read(mSite / "images" / "logo.gif"), "new logo");
    EXPECT_EQ(Read(mSite / "images" / "logo.gif.bak"), "logo");
    EXPECT_EQ(Read(mSite / "css" / "print" / "p.css"), "print");
    EXPECT_FALSE(std::filesystem::exists(mSite / "css.bak"));
    EXPECT_EQ(tally.replaced, 1);
    EXPECT_EQ(tally.kept, 1);
    EXPECT_EQ(tally.unchanged, 3);
}

TEST_F(CopyControlsTest, OverwriteSwitchesKeepExistingTargets) {
    AddTemplateControls();
    Write(mSite / "js" / "app.js", "mine");
    mSettings.OtherOverwrite = false;
    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(Read(mSite / "js" / "app.js"), "mine");
    EXPECT_EQ(Read(mSite / "images" / "logo.gif"), "logo");
}

TEST_F(CopyControlsTest, MissingSourcesAndFailedCopiesAreReported) {
    Add(u"gone").SetCtrlIFolder(u"fonts\\");
    Add(u"js").SetCtrlIFiles(u"js/app.js");
    EXPECT_EQ(Copy(), std::nullopt); // reported after the copies: a missing folder does not end them
    EXPECT_EQ(State().gProjErr,
              u"Quorvane: Source folder does not exist - \"fonts\\\"! Check if correct template.");
    EXPECT_EQ(Read(mSite / "js" / "app.js"), "app");

    State().gProjErr.clear();
    Add(u"img").SetCtrlIFiles(u"images/logo.gif,images/none.gif");
    EXPECT_EQ(Copy(), std::nullopt);
    EXPECT_EQ(State().gProjErr,
              u"Quorvane: Source file does not exist - \"images/none.gif\"! Check if correct template.");

    mControls = automation::MakeRef<QelControls>();
    // A folder in the place of the target file.
    std::filesystem::remove(mSite / "js" / "app.js");
    std::filesystem::create_directories(mSite / "js" / "app.js");
    Add(u"js").SetCtrlIFiles(u"js/app.js");
    EXPECT_EQ(Copy(), std::nullopt);
    EXPECT_EQ(State().gProjErr, u"Copying to file \"" + Text(mSite / "js/app.js") + u"\" failed!");
}

TEST_F(CopyControlsTest, NamesFromTheControlFileStayInTheirFolders) {
    Add(u"evil").SetCtrlIFiles(u"../../etc/passwd");
    EXPECT_THROW(Copy(), automation::Error);
    mControls = automation::MakeRef<QelControls>();
    QelControl& out = Add(u"out");
    out.SetCtrlIFiles(u"js/app.js");
    out.SetCtrlOFolder(u"..\\..\\");
    EXPECT_THROW(Copy(), automation::Error);
    EXPECT_FALSE(std::filesystem::exists(mTemp / "app.js"));
}

} // namespace
} // namespace qv
