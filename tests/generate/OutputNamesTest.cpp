#include "generate/internal/OutputNames.h"

#include "GenerateFixture.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

namespace qv {
namespace {

using test::GenerateTest;

TEST(OutputNames, PlaceTheExtraTextAndLetterCase) {
    struct Case {
        std::u16string_view type, extra;
        bool lower;
        std::u16string_view base, part, word, extension, expected;
    };
    const Case cases[] = {
        {u"infix", u"_", false, u"orders", u"", u"list", u"asp", u"orders_list.asp"},
        {u"suffix", u"x", false, u"orders", u"", u"list", u"asp", u"orderslistx.asp"},
        {u"", u"x", false, u"orders", u"photo", u"list", u"asp", u"orders_photolist.asp"},
        {u"PREFIX", u"x", false, u"orders", u"", u"list", u"asp", u"xorderslist.asp"},
        // Other pages have no base: the infix text is dropped, prefix and suffix keep theirs.
        {u"infix", u"_", false, u"", u"", u"login", u"asp", u"login.asp"},
        {u"prefix", u"my", false, u"", u"", u"login", u"asp", u"mylogin.asp"},
        {u"suffix", u"my", false, u"", u"", u"login", u"asp", u"loginmy.asp"},
        {u"middle", u"my", false, u"Orders", u"", u"List", u"ASP", u"OrdersList.ASP"},
        {u"infix", u"_", true, u"Orders", u"Photo", u"List", u"ASP", u"orders_photo_list.asp"},
        {u"", u"", false, u"orders", u"", u"list", u"", u"orderslist."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(automation::ToUtf8(c.expected));
        GenerationSettings settings;
        settings.OutputNameType = c.type;
        settings.OutputNameExt = c.extra;
        settings.OutputNameLCase = c.lower;
        EXPECT_EQ(BuildOutputFileName(settings, c.base, c.part, c.word, c.extension), c.expected);
    }
}

TEST_F(GenerateTest, OutputFoldersLieUnderTheDestinationOrTheApplicationRoot) {
    mSettings.AppRootFolder = Text(mTemp / "approot");
    EXPECT_EQ(ResolveOutputFolder(mSettings, u"~/admin\\", u"x.asp", false),
              Text(mTemp / "approot/admin/x.asp"));
    EXPECT_TRUE(std::filesystem::is_directory(mTemp / "approot" / "admin"));
    EXPECT_EQ(ResolveOutputFolder(mSettings, u"admin\\", u"x.asp", false), Text(mSite / "admin/x.asp"));
    EXPECT_TRUE(std::filesystem::is_directory(mSite / "admin"));
    EXPECT_EQ(ResolveOutputFolder(mSettings, u"", u"x.asp", false), Text(mSite / "x.asp"));
    EXPECT_EQ(ResolveOutputFolder(mSettings, u"images\\", u"", false), Text(mSite / "images"));

    // Level by level, either separator; in check-only mode nothing is created.
    ResolveOutputFolder(mSettings, u"images/icons\\small", u"a.gif", false);
    EXPECT_TRUE(std::filesystem::is_directory(mSite / "images" / "icons" / "small"));
    EXPECT_EQ(ResolveOutputFolder(mSettings, u"reports\\", u"r.asp", true), Text(mSite / "reports/r.asp"));
    EXPECT_FALSE(std::filesystem::exists(mSite / "reports"));
}

TEST_F(GenerateTest, OutputFoldersRefuseWhatLeavesTheSite) {
    for (std::u16string_view folder : {u"..\\", u"~/../", u"/etc/", u"a\\..\\..\\"}) {
        SCOPED_TRACE(automation::ToUtf8(folder));
        EXPECT_THROW(ResolveOutputFolder(mSettings, folder, u"x.asp", false), automation::Error);
    }
    EXPECT_THROW(ResolveOutputFolder(mSettings, u"", u"../x.asp", false), automation::Error);
    EXPECT_FALSE(std::filesystem::exists(mTemp / "x.asp"));
}

TEST_F(GenerateTest, AnOutputFolderThatIsALinkIsRefused) {
    std::filesystem::create_directories(mTemp / "outside");
    std::filesystem::create_directories(mSite);
    std::filesystem::create_directory_symlink(mTemp / "outside", mSite / "admin");
    EXPECT_THROW(ResolveOutputFolder(mSettings, u"admin\\", u"x.asp", false), automation::Error);
    EXPECT_THROW(ResolveOutputFolder(mSettings, u"admin/reports", u"x.asp", false), automation::Error);
    EXPECT_TRUE(std::filesystem::is_empty(mTemp / "outside"));
    // Writers ask first, also about the folders of the file's name, and never through a link.
    for (const auto& [folder, name] :
         {std::pair<std::u16string_view, std::u16string_view>{u"admin/reports", u"x.asp"},
          {u"", u"admin/x.asp"}}) {
        const std::optional<FolderObstacle> obstacle = OutputFolderObstacle(mSettings, folder, name);
        ASSERT_TRUE(obstacle.has_value());
        EXPECT_TRUE(obstacle->link);
        EXPECT_EQ(obstacle->path, Text(mSite / "admin"));
    }
    EXPECT_FALSE(OutputFolderObstacle(mSettings, u"reports", u"x.asp").has_value());
}

TEST_F(GenerateTest, AnEmptyRootStopsTheRunInsteadOfWritingIntoTheCurrentFolder) {
    mSettings.Destination = u"  ";
    test::ExpectAbort([&] { ResolveOutputFolder(mSettings, u"admin\\", u"x.asp", false); },
                      u"Quorvane: Destination folder not set! Generation aborted!");
    mSettings.AppRootFolder.clear();
    test::ExpectAbort([&] { ResolveOutputFolder(mSettings, u"~\\admin\\", u"x.asp", true); },
                      u"Quorvane: Application root folder not set! Generation aborted!");
}

TEST_F(GenerateTest, SourcePathsAreFoundInAnyLetterCase) {
    Write(mTemp / "tpl" / "Images" / "Logo.GIF", "GIF");
    EXPECT_EQ(LocateSourcePath(Text(mTemp / "tpl"), u"images\\logo.gif"),
              Text(mTemp / "tpl/Images/Logo.GIF"));
    EXPECT_EQ(LocateSourcePath(Text(mTemp / "tpl"), u"images"), Text(mTemp / "tpl/Images"));
    EXPECT_EQ(LocateSourcePath(Text(mTemp / "tpl"), u"missing.gif"), u"");
    EXPECT_THROW(LocateSourcePath(Text(mTemp / "tpl"), u"..\\tpl\\Images"), automation::Error);
}

} // namespace
} // namespace qv
