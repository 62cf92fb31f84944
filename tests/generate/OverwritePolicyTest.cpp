#include "generate/OverwritePolicy.h"

#include "GenerateFixture.h"

#include "generate/internal/GenerationAbort.h"
#include "generate/internal/GenerationRun.h"
#include "generate/internal/OutputContent.h"

#include "core/QelStatus.h"

#include "platform/automation/Text.h"

namespace qv {
namespace {

using host::HostCallKind;
using host::OverwriteAnswer;
using host::OverwriteChoice;

class OverwritePolicyTest : public test::GenerateTest {
protected:
    void SetUp() override {
        GenerateTest::SetUp();
        for (const char* name : {"a.asp", "b.asp", "c.asp"}) {
            Write(mSite / name, std::string("old ") + name);
        }
    }
    bool MayWrite(const char* name, bool overwrite, bool prompt, bool backup = false) {
        return CheckFileOverwrite(Text(mSite / name), overwrite, prompt, /*checkOnly=*/false, backup);
    }
};

TEST_F(OverwritePolicyTest, TheTargetsOwnSwitchAlwaysWins) {
    EXPECT_TRUE(MayWrite("new.asp", false, true)); // a missing file is always written
    EXPECT_FALSE(MayWrite("a.asp", false, true));  // never asked
    EXPECT_TRUE(MayWrite("a.asp", true, false));   // no prompt: the switch decides
    EXPECT_EQ(mHost.Count(HostCallKind::Overwrite), 0u);

    mHost.Answer(OverwriteAnswer{OverwriteChoice::Overwrite, /*all=*/true});
    EXPECT_TRUE(MayWrite("a.asp", true, true));
    EXPECT_EQ(CurrentRun().overwriteAnswer, OverwriteForAll::Overwrite);
    EXPECT_TRUE(MayWrite("b.asp", true, true));
    EXPECT_FALSE(MayWrite("c.asp", false, true)); // "all" does not override a forbidding switch
    const std::vector<host::HostCall> asked = mHost.Calls(HostCallKind::Overwrite);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, u"Quorvane");
    EXPECT_EQ(asked[0].path, Text(mSite / "a.asp"));
    EXPECT_EQ(asked[0].target, host::OverwriteTarget::File);
}

TEST_F(OverwritePolicyTest, SkipAllSkipsEveryLaterExistingTarget) {
    mHost.Answer(OverwriteAnswer{OverwriteChoice::Skip, /*all=*/false});
    EXPECT_FALSE(MayWrite("a.asp", true, true));
    EXPECT_EQ(CurrentRun().overwriteAnswer, OverwriteForAll::None);
    mHost.Answer(OverwriteAnswer{OverwriteChoice::Skip, /*all=*/true});
    EXPECT_FALSE(MayWrite("a.asp", true, true));
    EXPECT_FALSE(MayWrite("b.asp", true, false));
    EXPECT_FALSE(CheckFolderOverwrite(Text(mSite), true, true, false, false));
    EXPECT_TRUE(MayWrite("new.asp", true, true));
    EXPECT_EQ(mHost.Count(HostCallKind::Overwrite), 2u);

    // A prompt shut by its frame skips the file and remembers nothing.
    CurrentRun().overwriteAnswer = OverwriteForAll::None;
    mHost.Answer(OverwriteAnswer{OverwriteChoice::Closed, /*all=*/true});
    EXPECT_FALSE(MayWrite("a.asp", true, true));
    EXPECT_EQ(CurrentRun().overwriteAnswer, OverwriteForAll::None);
}

// A page that differs from what a login in force needs was kept by the host's own "skip all", as
// by any answer, with nothing said: the site served visitors who had not logged in.
TEST_F(OverwritePolicyTest, APageThatLeavesTheLoginOpenIsKeptOnlyByAChoice) {
    const std::u16string_view open = u"serve visitors who have not logged in";
    OutputTally tally;
    const auto write = [&](const char* name, std::u16string_view leavesOpen) {
        const std::filesystem::path path = mSite / name;
        return WriteOutput(
            Text(path), OutputContent::Bytes("new"), /*overwrite=*/true, /*prompt=*/true,
            /*backupFile=*/false, &tally, [&] { Write(path, "new"); }, leavesOpen);
    };
    mHost.Answer(OverwriteAnswer{OverwriteChoice::Skip, /*all=*/true, /*byDefault=*/true});
    EXPECT_FALSE(write("a.asp", {}));
    // Nobody chose to keep it: asked again, and replaced by the host's own answer, it keeps its
    // backup although backups are off, and that is said.
    mHost.Answer(OverwriteAnswer{OverwriteChoice::Overwrite, /*all=*/false, /*byDefault=*/true});
    EXPECT_TRUE(write("b.asp", open));
    EXPECT_EQ(Read(mSite / "b.asp.bak"), "old b.asp");
    ASSERT_EQ(mHost.Calls(HostCallKind::Overwrite).size(), 2u);
    EXPECT_EQ(mHost.Calls(HostCallKind::Overwrite)[1].path, Text(mSite / "b.asp"));
    // A "skip all" somebody gave keeps it, named with what it leaves open.
    CurrentRun().overwriteAnswer = OverwriteForAll::None;
    mHost.Answer(OverwriteAnswer{OverwriteChoice::Skip, /*all=*/true});
    EXPECT_FALSE(write("c.asp", open));
    EXPECT_FALSE(write("a.asp", open));
    EXPECT_EQ(Read(mSite / "c.asp"), "old c.asp");
    EXPECT_FALSE(std::filesystem::exists(mSite / "c.asp.bak"));
    EXPECT_EQ(tally.kept, 3);
    EXPECT_EQ(tally.leftOpen, 2);
    const std::vector<std::u16string> shown = mHost.Texts(HostCallKind::Message);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_NE(shown[0].find(u"the earlier page is kept as \"" + Text(mSite / "b.asp.bak")),
              std::u16string::npos);
    EXPECT_NE(shown[2].find(Text(mSite / "a.asp") + u"\" is kept as answered"), std::u16string::npos);
    EXPECT_TRUE(shown[2].ends_with(u"as it is, it may serve visitors who have not logged in."));
}

TEST_F(OverwritePolicyTest, CancelEndsTheRun) {
    GetStatus().ShowStatus3(0, FrameText(u"Quorvane - Generating"));
    mHost.Answer(OverwriteAnswer{OverwriteChoice::Cancel, /*all=*/false});
    test::ExpectAbort([&] { MayWrite("a.asp", true, true); }, std::u16string(CancelledText));
    EXPECT_EQ(mHost.Count(HostCallKind::CloseProgress), 1u);
    EXPECT_EQ(Read(mSite / "a.asp"), "old a.asp");
}

// A second backup used to replace the first, which may have been the only copy of what a user
// wrote, and to write over a link standing there.
TEST_F(OverwritePolicyTest, BackupsKeepThePreviousTarget) {
    EXPECT_TRUE(MayWrite("a.asp", true, false, /*backup=*/true));
    EXPECT_EQ(Read(mSite / "a.asp.bak"), "old a.asp");
    Write(mSite / "a.asp", "second");
    EXPECT_TRUE(MayWrite("a.asp", true, false, /*backup=*/true));
    EXPECT_TRUE(MayWrite("a.asp", true, false, /*backup=*/true)); // the same bytes are kept once
    EXPECT_EQ(Read(mSite / "a.asp.bak"), "old a.asp");
    EXPECT_EQ(Read(mSite / "a.asp.2.bak"), "second");
    Write(mTemp / "outside.txt", "outside");
    std::filesystem::create_symlink(mTemp / "outside.txt", mSite / "a.asp.3.bak");
    Write(mSite / "a.asp", "third");
    EXPECT_TRUE(MayWrite("a.asp", true, false, /*backup=*/true));
    EXPECT_EQ(Read(mSite / "a.asp.4.bak"), "third");
    EXPECT_TRUE(std::filesystem::is_symlink(mSite / "a.asp.3.bak"));
    EXPECT_EQ(Read(mTemp / "outside.txt"), "outside");

    Write(mSite / "images" / "new.gif", "new");
    Write(mSite / "images.bak" / "stale.gif", "stale");
    EXPECT_TRUE(CheckFolderOverwrite(Text(mSite / "images"), true, false, false, /*backupFile=*/true));
    EXPECT_EQ(Tree(mSite / "images.bak"), std::vector<std::string>{"new.gif"});
}

// Links planted in the site: backing them up must not copy what they point at into the site.
TEST_F(OverwritePolicyTest, ALinkedTargetIsBackedUpAsItsLinkOrRefused) {
    Write(mTemp / "outside" / "secret.txt", "secret");
    std::filesystem::create_symlink(mTemp / "outside" / "secret.txt", mSite / "linked.asp");
    EXPECT_TRUE(MayWrite("linked.asp", true, false, /*backup=*/true));
    EXPECT_TRUE(std::filesystem::is_symlink(mSite / "linked.asp.bak"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(mSite / "linked.asp")));
    Write(mTemp / "outside" / "other.txt", "other");
    std::filesystem::create_symlink(mTemp / "outside" / "other.txt", mSite / "linked.asp");
    EXPECT_TRUE(MayWrite("linked.asp", true, false, /*backup=*/true));
    EXPECT_EQ(std::filesystem::read_symlink(mSite / "linked.asp.bak"), mTemp / "outside" / "secret.txt");
    EXPECT_EQ(std::filesystem::read_symlink(mSite / "linked.asp.2.bak"), mTemp / "outside" / "other.txt");

    std::filesystem::create_directory_symlink(mTemp / "outside", mSite / "images");
    EXPECT_FALSE(CheckFolderOverwrite(Text(mSite / "images"), true, false, false, /*backupFile=*/true));
    EXPECT_FALSE(std::filesystem::exists(mSite / "images.bak"));
    const std::vector<host::HostCall> shown = mHost.Calls(HostCallKind::Message);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(u"a symbolic link stands where a folder is expected"), std::u16string::npos)
        << automation::ToUtf8(shown[0].text);
    EXPECT_EQ(Read(mTemp / "outside" / "secret.txt"), "secret");
}

TEST_F(OverwritePolicyTest, CheckOnlyReportsExistenceAndTouchesNothing) {
    CurrentRun().overwriteAnswer = OverwriteForAll::Skip;
    EXPECT_TRUE(CheckFileOverwrite(Text(mSite / "a.asp"), false, true, /*checkOnly=*/true, true));
    EXPECT_FALSE(CheckFileOverwrite(Text(mSite / "new.asp"), true, true, true, true));
    EXPECT_TRUE(CheckFolderOverwrite(Text(mSite), false, true, true, true));
    EXPECT_FALSE(std::filesystem::exists(mSite / "a.asp.bak"));
    EXPECT_TRUE(mHost.Calls().empty());
}

TEST_F(OverwritePolicyTest, AFailingBackupIsShownAndRefusesTheWrite) {
    // A page whose name leaves no room for the backup's ending.
    const std::string page = std::string(250, 'n') + ".asp";
    Write(mSite / page, "old a.asp");
    EXPECT_FALSE(MayWrite(page.c_str(), true, false, /*backup=*/true));
    const std::vector<host::HostCall> shown = mHost.Calls(HostCallKind::Message);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, u"Quorvane");
    EXPECT_EQ(shown[0].icon, host::MessageIcon::Exclamation);
    EXPECT_TRUE(shown[0].text.starts_with(u"Error in open \"" + Text(mSite / page) + u"\", description:"))
        << automation::ToUtf8(shown[0].text);

    // An output that would change but stays as it was for that reason is a failed write, not
    // one kept on purpose (it used to be counted kept, and the run ended in success).
    OutputTally tally;
    const std::string changed = "new a.asp";
    EXPECT_FALSE(MayWriteOutput(Text(mSite / page), OutputContent::Bytes(changed), true, false,
                                /*backupFile=*/true, &tally));
    EXPECT_EQ(tally.failed, 1);
    EXPECT_EQ(tally.kept, 0);
    EXPECT_EQ(Read(mSite / page), "old a.asp");
}

} // namespace
} // namespace qv
