#include "generate/internal/DatabaseCopy.h"

#include "GenerateFixture.h"

#include "generate/OverwritePolicy.h"
#include "generate/internal/GenerationAbort.h"

namespace qv {
namespace {

using host::HostCallKind;
using host::MessageAnswer;

class DatabaseCopyTest : public test::GenerateTest {
protected:
    void SetUp() override {
        GenerateTest::SetUp();
        Write(mTemp / "db" / "shop.mdb", "access data");
        mDatabase.DBType = u"ACCESS";
        mDatabase.DBPhyPath = Text(mTemp / "db" / "shop.mdb");
    }
    std::optional<std::int16_t> Copy(bool checkOnly = false) {
        return CopyDatabase(mSettings, mDatabase, checkOnly);
    }

    DatabaseFileInfo mDatabase;
};

TEST_F(DatabaseCopyTest, CopiesIntoTheDatabaseFolderAskingToCreateIt) {
    mSettings.UploadPath = u"~/uploads";
    mSettings.AuditTrailPath = u"~\\logs\\audit";
    mDatabase.DBPath = u"~/data";
    mHost.Answer(MessageAnswer::Yes);
    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(Tree(mSite),
              (std::vector<std::string>{"data/", "data/shop.mdb", "logs/", "logs/audit/", "uploads/"}));
    EXPECT_EQ(Read(mSite / "data" / "shop.mdb"), "access data");
    const std::vector<host::HostCall> asked = mHost.Calls(HostCallKind::Message);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, u"Quorvane");
    EXPECT_EQ(asked[0].buttons, host::MessageButtons::YesNoCancel);
    EXPECT_EQ(asked[0].text,
              u"Folder \"" + Text(mSite / "data") + u"/\" does not exist! Do you want to create it?");

    // Check-only: the existing target counts.
    EXPECT_EQ(Copy(/*checkOnly=*/true), 1);
}

// A folder setting that starts with a separator but no "~" stopped the run with error 52, as if
// it named a folder outside the site; it lies under the application root like "~/...".
TEST_F(DatabaseCopyTest, FoldersStartingWithASeparatorLieUnderTheApplicationRoot) {
    mSettings.UploadPath = u"/uploads";
    mSettings.AuditTrailPath = u"\\logs";
    mDatabase.DBPath = u"/data/";
    mHost.Answer(MessageAnswer::Yes);
    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(Tree(mSite), (std::vector<std::string>{"data/", "data/shop.mdb", "logs/", "uploads/"}));
    // Leaving the root is still refused.
    mDatabase.DBPath = u"/../outside";
    EXPECT_THROW(Copy(), automation::Error);
    EXPECT_FALSE(std::filesystem::exists(mTemp / "outside"));
}

// A link in the site where the database's or the uploads' folder belongs would send the copy and
// the uploads outside the site: refused, and nothing lands behind the link. It is named and
// counted as not written, and the run goes on (before, it stopped the run).
TEST_F(DatabaseCopyTest, ALinkWhereASiteFolderBelongsIsRefused) {
    std::filesystem::create_directories(mSite);
    std::filesystem::create_directories(mTemp / "elsewhere");
    std::filesystem::create_directory_symlink(mTemp / "elsewhere", mSite / "data");
    mDatabase.DBPath = u"~/data";
    OutputTally tally;
    EXPECT_EQ(CopyDatabase(mSettings, mDatabase, /*checkOnly=*/false, &tally), 0);
    EXPECT_FALSE(std::filesystem::exists(mTemp / "elsewhere" / "shop.mdb"));

    std::filesystem::remove(mSite / "data");
    mDatabase.DBPath.clear();
    std::filesystem::create_directory_symlink(mTemp / "elsewhere", mSite / "uploads");
    mSettings.UploadPath = u"~/uploads/new";
    EXPECT_EQ(CopyDatabase(mSettings, mDatabase, /*checkOnly=*/false, &tally), 0);
    EXPECT_FALSE(std::filesystem::exists(mTemp / "elsewhere" / "new"));
    EXPECT_EQ(tally.failed, 2);
    const std::vector<std::u16string> texts = mHost.Texts(HostCallKind::Message);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1],
              u"Creating folder \"uploads/new\" failed! A symbolic link stands where the folder should "
              u"be: \"" +
                  Text(mSite / "uploads") + u"\" (it is not followed and is left as it is).");
}

TEST_F(DatabaseCopyTest, RefusedFolderAndCancelledRun) {
    mDatabase.DBPath = u"~\\data";
    mHost.Answer(MessageAnswer::No);
    EXPECT_EQ(Copy(), 0);
    EXPECT_FALSE(std::filesystem::exists(mSite / "data"));
    const std::vector<std::u16string> texts = mHost.Texts(HostCallKind::Message);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], u"Database Folder \"" + Text(mSite / "data") +
                            u"/\" not created! Database will not be copied. Make sure you set up the correct "
                            u"database path for the ASP scripts to work correctly!");

    mHost.Answer(MessageAnswer::Cancel);
    test::ExpectAbort([&] { Copy(/*checkOnly=*/true); }, std::u16string(CancelledText));
}

TEST_F(DatabaseCopyTest, AnExistingTargetIsReplacedOnlyAsTheSettingsSay) {
    Write(mSite / "shop.mdb", "old copy");
    mSettings.OtherOverwrite = false;
    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(Read(mSite / "shop.mdb"), "old copy");

    mSettings.OtherOverwrite = true;
    mSettings.PromptOnOverwrite = true;
    mHost.Answer(MessageAnswer::No);
    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(Read(mSite / "shop.mdb"), "old copy");
    EXPECT_EQ(mHost.Texts(HostCallKind::Message).back(),
              u"Database \"" + Text(mSite / "shop.mdb") + u"\" already exists! Overwrite?");
    mHost.Answer(MessageAnswer::Yes);
    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(Read(mSite / "shop.mdb"), "access data");

    // Now the copy is the same: nothing is asked, and it is counted as the same even where a
    // switch forbids replacing it; kept it is only once the database differs.
    OutputTally tally;
    EXPECT_EQ(CopyDatabase(mSettings, mDatabase, false, &tally), 0);
    EXPECT_EQ(mHost.Count(HostCallKind::Message), 2u);
    EXPECT_EQ(tally.unchanged, 1);
    mSettings.OtherOverwrite = false;
    EXPECT_EQ(CopyDatabase(mSettings, mDatabase, false, &tally), 0);
    EXPECT_EQ(tally.unchanged, 2);
    EXPECT_EQ(tally.kept, 0);
    Write(mTemp / "db" / "shop.mdb", "newer access data");
    EXPECT_EQ(CopyDatabase(mSettings, mDatabase, false, &tally), 0);
    EXPECT_EQ(tally.kept, 1);
    EXPECT_EQ(Read(mSite / "shop.mdb"), "access data");
    EXPECT_EQ(mHost.Count(HostCallKind::Message), 2u);
    // The check still reports the existing target.
    EXPECT_EQ(Copy(/*checkOnly=*/true), 1);
}

TEST_F(DatabaseCopyTest, NeverCopiesTheDatabaseOntoItself) {
    // The site's database is the project's database, named through a link and a "." level.
    Write(mSite / "shop.mdb", "live data");
    std::filesystem::create_directory_symlink(mSite, mTemp / "linked");
    mDatabase.DBPhyPath = Text(mTemp / "linked" / "." / "shop.mdb");
    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(Read(mSite / "shop.mdb"), "live data");
    EXPECT_TRUE(mHost.Calls().empty());
}

TEST_F(DatabaseCopyTest, SqlExpressFilesComeWithTheirLog) {
    Write(mTemp / "db" / "shop.mdf", "data");
    Write(mTemp / "db" / "shop_log.ldf", "log");
    mDatabase.DBType = u"ODBC";
    mDatabase.DBConnstr = u"Driver={SQL Server};Server=.\\SQLExpress;AttachDbFilename=" +
                          Text(mTemp / "db" / "shop.mdf") + u";Trusted_Connection=Yes";
    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(Tree(mSite), (std::vector<std::string>{"shop.mdf", "shop_log.ldf"}));

    // A copy that is already there, log included, is not asked about; a changed log is.
    mSettings.PromptOnOverwrite = true;
    OutputTally tally;
    EXPECT_EQ(CopyDatabase(mSettings, mDatabase, false, &tally), 0);
    EXPECT_EQ(tally.unchanged, 1);
    EXPECT_EQ(mHost.Count(HostCallKind::Message), 0u);
    Write(mTemp / "db" / "shop_log.ldf", "longer log");
    mHost.Answer(MessageAnswer::Yes);
    EXPECT_EQ(CopyDatabase(mSettings, mDatabase, false, &tally), 0);
    EXPECT_EQ(mHost.Count(HostCallKind::Message), 1u);
    EXPECT_EQ(tally.replaced, 1);
    EXPECT_EQ(Read(mSite / "shop_log.ldf"), "longer log");

    // Without "\SQLExpress" nothing is copied.
    std::filesystem::remove_all(mSite);
    std::filesystem::create_directories(mSite);
    mDatabase.DBConnstr = u"Server=db1;AttachDbFilename=" + Text(mTemp / "db" / "shop.mdf");
    EXPECT_EQ(Copy(), 0);
    EXPECT_TRUE(Tree(mSite).empty());
}

TEST_F(DatabaseCopyTest, AFailedCopyIsReported) {
    std::filesystem::create_directories(mSite / "shop.mdb" / "x"); // a folder in the way
    EXPECT_EQ(Copy(), std::nullopt);
    EXPECT_TRUE(State().gProjErr.starts_with(u"Copying to file \"" + Text(mSite / "shop.mdb") +
                                             u"\" failed! Error = "))
        << automation::ToUtf8(State().gProjErr);
}

} // namespace
} // namespace qv
