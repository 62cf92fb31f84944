#include "generate/internal/WorkFolders.h"

#include "generate/internal/GenerationRun.h"

#include "template/QelCache.h"
#include "template/TemplateState.h"

#include "GenerateFixture.h"

#include "platform/automation/Error.h"

namespace qv {
namespace {

using test::GenerateTest;

TEST_F(GenerateTest, WorkFoldersArePerTemplateFileWhateverItsSeparators) {
    // Both spellings of the template path lead to one tree, so that the cache is found again.
    EXPECT_EQ(TemplateFileNameOf(u"C:\\Templates\\My Template.zip"), u"My Template.zip");
    EXPECT_EQ(TemplateFileNameOf(u"/home/u/templates/My Template.zip"), u"My Template.zip");
    EXPECT_EQ(TemplateFileNameOf(u"My Template.zip"), u"My Template.zip");

    CurrentTemplateState().templateFileName = u"My Template.zip";
    (void)SetupWorkFolders(ScriptWorkFolder, {u"Charts", u"Audit"});
    const std::filesystem::path root = mTemp / "docs" / "Quorvane";
    const std::filesystem::path templateFolder = root / "Templates" / "MyTemplate.zip";
    EXPECT_EQ(Tree(root),
              (std::vector<std::string>{
                  "Backup/", "Sites/", "Templates/", "Templates/MyTemplate.zip/",
                  "Templates/MyTemplate.zip/.run.lock", "Templates/MyTemplate.zip/Script/",
                  "Templates/MyTemplate.zip/extensions/", "Templates/MyTemplate.zip/extensions/Audit/",
                  "Templates/MyTemplate.zip/extensions/Charts/", "Templates/MyTemplate.zip/temp/"}));
    EXPECT_EQ(CurrentRun().backupFolder, Text(root / "Backup"));
    EXPECT_EQ(CurrentTemplateState().templateFolder, Text(templateFolder / "Script"));
    EXPECT_EQ(CurrentTemplateState().tempFolder, Text(templateFolder / "temp"));
    EXPECT_EQ(CurrentTemplateState().extensionsFolder, Text(templateFolder / "extensions"));
    EXPECT_EQ(CurrentRun().extensionFolder, Text(templateFolder / "extensions" / "Audit"));

    // A second call on the existing tree only changes the work folder.
    Write(templateFolder / "temp" / "cache.xml", "<Cache/>");
    (void)SetupWorkFolders(CheckWorkFolder, {});
    EXPECT_EQ(CurrentTemplateState().templateFolder, Text(templateFolder / "Tmp"));
    EXPECT_EQ(Read(templateFolder / "temp" / "cache.xml"), "<Cache/>");
}

TEST_F(GenerateTest, WorkFoldersRefuseNamesThatLeaveTheTree) {
    CurrentTemplateState().templateFileName = u"..";
    EXPECT_THROW((void)SetupWorkFolders(ScriptWorkFolder, {}), automation::Error);
    CurrentTemplateState().templateFileName = u"t.zip";
    EXPECT_THROW((void)SetupWorkFolders(ScriptWorkFolder, {u"..\\..\\evil"}), automation::Error);
    EXPECT_FALSE(std::filesystem::exists(mTemp / "docs" / "Quorvane" / "evil"));
}

TEST_F(GenerateTest, AWorkFolderThatIsALinkIsRefusedButTheUsersTreeMayBeLinked) {
    // The product's tree in the documents folder kept elsewhere on purpose.
    std::filesystem::create_directories(mTemp / "elsewhere");
    std::filesystem::create_directories(mTemp / "docs");
    std::filesystem::create_directory_symlink(mTemp / "elsewhere", mTemp / "docs" / "Quorvane");
    CurrentTemplateState().templateFileName = u"t.zip";
    (void)SetupWorkFolders(ScriptWorkFolder, {});
    EXPECT_TRUE(std::filesystem::is_directory(mTemp / "elsewhere" / "Templates" / "t.zip" / "Script"));

    // The folder a package is extracted into, linked out of the tree.
    std::filesystem::create_directories(mTemp / "outside");
    std::filesystem::remove(mTemp / "elsewhere" / "Templates" / "t.zip" / "Script");
    std::filesystem::create_directory_symlink(mTemp / "outside",
                                              mTemp / "elsewhere" / "Templates" / "t.zip" / "Script");
    EXPECT_THROW((void)SetupWorkFolders(ScriptWorkFolder, {}), automation::Error);

    // Every folder below the product's is the program's own: the template's (where a link once
    // took the extraction, the cache and the cleaning of ".tmp" files elsewhere), Templates and
    // Backup; the cache finds its folder the same way.
    for (const char* name : {"Templates/t.zip", "Templates", "Backup"}) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(mTemp / "elsewhere");
        std::filesystem::create_directories((mTemp / "elsewhere" / name).parent_path());
        std::filesystem::create_directory_symlink(mTemp / "outside", mTemp / "elsewhere" / name);
        EXPECT_THROW((void)SetupWorkFolders(ScriptWorkFolder, {}), automation::Error);
        if (std::string_view(name) != "Backup") {
            EXPECT_THROW(QelCache(), automation::Error);
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(mTemp / "outside"));
}

TEST_F(GenerateTest, DeletingByExtensionKeepsEverythingElse) {
    const std::filesystem::path folder = mTemp / "temp";
    for (const char* name : {"a.tmp", "B.TMP", "cache.xml", "c.tmp.bak", "tmp", "sub/d.tmp"}) {
        Write(folder / name, "x");
    }
    DeleteFilesByExtension(Text(folder), u"tmp");
    EXPECT_EQ(Tree(folder), (std::vector<std::string>{"c.tmp.bak", "cache.xml", "sub/", "sub/d.tmp", "tmp"}));

    DeleteWorkFolder(Text(folder));
    EXPECT_FALSE(std::filesystem::exists(folder));
    DeleteWorkFolder(Text(folder)); // a missing folder is no error
}

TEST_F(GenerateTest, AMissingWorkFolderMeansTheExtractionIsGone) {
    const std::filesystem::path folder = mTemp / "Script";
    EXPECT_TRUE(ExtractionMissing(Text(folder)));
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(ExtractionMissing(Text(folder)));
    Write(folder / "images" / "a.gif", "x");
    EXPECT_FALSE(ExtractionMissing(Text(folder)));
    EXPECT_TRUE(ExtractionMissing(Text(folder), u"control.xml"));
    Write(folder / "control.xml", "x");
    EXPECT_FALSE(ExtractionMissing(Text(folder), u"control.xml"));
}

} // namespace
} // namespace qv
