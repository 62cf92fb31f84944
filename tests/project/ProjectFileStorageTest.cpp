// The project file on disk: rotating backups, the encoding chosen from the registry and the
// text-file writers.

#include "project/ProjectFileTestSupport.h"
#include "support/ProcessesTogether.h"

#include "project/ProjectFileStorage.h"

#include "core/Apartment.h"
#include "core/Charsets.h"
#include "core/RegistryValues.h"
#include "core/VbText.h"

#include "platform/automation/Error.h"
#include "platform/registry/Value.h"
#include "platform/system/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv {
namespace {

constexpr std::u16string_view GeneralKey = u"Software\\Quorvane\\6.0\\Settings\\General";

class ProjectFileStorageTest : public test::ModelTest {
protected:
    void SetUp() override {
        test::ModelTest::SetUp();
        State().gRegKeyGeneral = GeneralKey;
        State().gMyDocumentsPath = system::FromNativePath(mTemp / "docs");
        std::filesystem::create_directories(mTemp / "work");
    }

    std::filesystem::path Backup(const std::string& name) const {
        return mTemp / "docs" / "Quorvane" / "Backup" / name;
    }
    std::u16string Project(const std::string& name) const {
        return system::FromNativePath(mTemp / "work" / name);
    }

    static void Write(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    static void SetGeneral(std::u16string_view name, const registry::Value& value) {
        WriteUserValue(GeneralKey, name, value);
    }

    /// Copies 1 to `count` of shop.xml, copy n holding "n".
    void MakeCopies(std::initializer_list<int> numbers) {
        for (int number : numbers) {
            Write(Backup("shop(" + std::to_string(number) + ").xml"), std::to_string(number));
        }
    }
    /// What copy n holds, or "-" when there is none.
    std::string CopyText(int number) const {
        const std::filesystem::path file = Backup("shop(" + std::to_string(number) + ").xml");
        return std::filesystem::exists(file) ? test::ReadFileBytes(file) : "-";
    }
    std::vector<std::string> Copies(int upTo) const {
        std::vector<std::string> texts;
        for (int number = 1; number <= upTo; ++number) {
            texts.push_back(CopyText(number));
        }
        return texts;
    }
};

TEST_F(ProjectFileStorageTest, ANewFileMakesNoBackupAndNoFolder) {
    ReplaceProjectFile(Project("shop.xml"), "new");
    EXPECT_EQ(test::ReadFileBytes(mTemp / "work" / "shop.xml"), "new");
    EXPECT_FALSE(std::filesystem::exists(mTemp / "docs" / "Quorvane"));
}

TEST_F(ProjectFileStorageTest, RotatesUpToTheDefaultLimitOfTen) {
    Write(mTemp / "work" / "shop.xml", "old");
    MakeCopies({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    ReplaceProjectFile(Project("shop.xml"), "new");
    EXPECT_EQ(Copies(11),
              (std::vector<std::string>{"old", "1", "2", "3", "4", "5", "6", "7", "8", "9", "-"}));
    EXPECT_EQ(test::ReadFileBytes(mTemp / "work" / "shop.xml"), "new");
}

TEST_F(ProjectFileStorageTest, DeletesCopiesBeyondASmallerLimitAndLeavesCopiesAfterAGap) {
    SetGeneral(u"MaxProjectBackupCount", registry::Value::Number(3));
    Write(mTemp / "work" / "shop.xml", "old");
    MakeCopies({1, 2, 3, 4, 5});
    BackupProjectFile(Project("shop.xml"));
    EXPECT_EQ(Copies(6), (std::vector<std::string>{"old", "1", "2", "-", "-", "-"}));

    // Copies 1, 2 and 5: the run 1 to 2 moves up, 5 stays where it is.
    std::filesystem::remove_all(mTemp / "docs");
    SetGeneral(u"MaxProjectBackupCount", registry::Value::Text(u"many"));
    MakeCopies({1, 2, 5});
    BackupProjectFile(Project("shop.xml"));
    EXPECT_EQ(Copies(5), (std::vector<std::string>{"old", "1", "2", "-", "5"}));
}

TEST_F(ProjectFileStorageTest, NamesCopiesByTheLastDot) {
    SetGeneral(u"MaxProjectBackupCount", registry::Value::Number(0));
    Write(mTemp / "work" / "shop.old.xml", "a");
    Write(mTemp / "work" / "project", "b");
    BackupProjectFile(Project("shop.old.xml"));
    BackupProjectFile(Project("project"));
    EXPECT_EQ(test::ReadFileBytes(Backup("shop.old(1).xml")), "a");
    EXPECT_EQ(test::ReadFileBytes(Backup("project(1)")), "b");
}

TEST_F(ProjectFileStorageTest, ChoosesTheEncodingAndRemembersTheCharset) {
    const std::u16string oemCharset = CodePageToCharset(automation::Variant(NumberText(OemCodePage())));
    ASSERT_NE(oemCharset, u"");
    ProjectFileEncoding encoding = ChooseProjectFileEncoding();
    EXPECT_EQ(encoding.charset, oemCharset);
    EXPECT_FALSE(encoding.byteOrderMark);
    EXPECT_EQ(automation::ToString(GetRegValue(u"HKCU", GeneralKey, u"XMLEncodeCharSet")), oemCharset);

    SetGeneral(u"XMLEncodeCharSet", registry::Value::Text(u"windows-1252"));
    EXPECT_EQ(ChooseProjectFileEncoding().charset, u"windows-1252");

    SetGeneral(u"UTF8Project", registry::Value::Text(u"True"));
    encoding = ChooseProjectFileEncoding();
    EXPECT_EQ(encoding.charset, u"utf-8");
    EXPECT_TRUE(encoding.byteOrderMark);
    EXPECT_EQ(automation::ToString(GetRegValue(u"HKCU", GeneralKey, u"XMLEncodeCharSet")), u"windows-1252");
}

TEST_F(ProjectFileStorageTest, WritesTextFilesInUtf8OnlyWhenAskedAndAllowed) {
    const std::u16string file = Project("page.asp");
    const std::u16string text = u"caf\u00e9\r\n";
    WriteTextFile(file, text, /*ansiOnly=*/false);
    EXPECT_EQ(test::ReadFileBytes(mTemp / "work" / "page.asp"), "caf\xE9\r\n");
    SetGeneral(u"UTF8Project", registry::Value::Text(u"True"));
    WriteTextFile(file, text, /*ansiOnly=*/true);
    EXPECT_EQ(test::ReadFileBytes(mTemp / "work" / "page.asp"), "caf\xE9\r\n");
    WriteTextFile(file, text, /*ansiOnly=*/false);
    EXPECT_EQ(test::ReadFileBytes(mTemp / "work" / "page.asp"), "\xEF\xBB\xBF"
                                                                "caf\xC3\xA9\r\n");
}

TEST_F(ProjectFileStorageTest, AProjectChangedByAnotherProgramIsReportedInUseAndLeftAlone) {
    using namespace std::chrono_literals;
    Write(mTemp / "work" / "shop.xml", "old");
    const std::u16string projFile = Project("shop.xml");
    const bool childSucceeded = test::WhileAChildPauses(
        [&](const std::function<void()>& pause) {
            // Another program in the middle of its read-change-write.
            const ProjectFileLock lock(projFile);
            pause();
            return true;
        },
        [&] {
            try {
                const ProjectFileLock lock(projFile, 50ms);
                ADD_FAILURE() << "no error raised";
            } catch (const automation::Error& error) {
                EXPECT_EQ(error.Number(), 70);
                EXPECT_NE(error.Description().find(u"'" + projFile + u"' is in use"), std::u16string::npos)
                    << error.what();
            }
            EXPECT_EQ(test::ReadFileBytes(mTemp / "work" / "shop.xml"), "old");
        });
    EXPECT_TRUE(childSucceeded);

    // Once it has finished, a command holds the lock from its read to its save, and the save
    // inside takes the same lock without waiting on itself.
    const ProjectFileLock lock(projFile, 50ms);
    ReplaceProjectFile(projFile, "new");
    EXPECT_EQ(test::ReadFileBytes(mTemp / "work" / "shop.xml"), "new");
    EXPECT_EQ(CopyText(1), "old");
    EXPECT_TRUE(std::filesystem::exists(mTemp / "work" / ".shop.xml.lock"));
}

// A save after a run killed in the middle of one: the halves it left beside the project and its
// backups go, and links in the backup folder are not written through, while a project file the
// user linked from elsewhere stays linked.
TEST_F(ProjectFileStorageTest, ASaveClearsWhatAKilledSaveLeftAndWritesThroughNoBackupLink) {
    Write(mTemp / "work" / "shop.xml", "old");
    Write(mTemp / "work" / ".shop.xml.~qvtmp-000000000badc0de", "half");
    Write(Backup(".shop(1).xml.~qvtmp-00000000deadbeef"), "half");
    Write(mTemp / "outside" / "kept.txt", "outside");
    std::filesystem::create_symlink(mTemp / "outside" / "kept.txt", Backup("shop(1).xml"));
    const timespec hourAgo{::time(nullptr) - 3600, 0};
    const timespec times[2] = {hourAgo, hourAgo};
    for (const auto& path : {mTemp / "work" / ".shop.xml.~qvtmp-000000000badc0de",
                             Backup(".shop(1).xml.~qvtmp-00000000deadbeef")}) {
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    ReplaceProjectFile(Project("shop.xml"), "new");
    EXPECT_EQ(test::ReadFileBytes(mTemp / "work" / "shop.xml"), "new");
    EXPECT_EQ(CopyText(1), "old");
    EXPECT_EQ(test::ReadFileBytes(mTemp / "outside" / "kept.txt"), "outside");
    EXPECT_FALSE(std::filesystem::exists(mTemp / "work" / ".shop.xml.~qvtmp-000000000badc0de"));
    EXPECT_FALSE(std::filesystem::exists(Backup(".shop(1).xml.~qvtmp-00000000deadbeef")));

    Write(mTemp / "elsewhere" / "linked.xml", "mine");
    std::filesystem::create_symlink(mTemp / "elsewhere" / "linked.xml", mTemp / "work" / "linked.xml");
    ReplaceProjectFile(Project("linked.xml"), "changed");
    EXPECT_TRUE(std::filesystem::is_symlink(mTemp / "work" / "linked.xml"));
    EXPECT_EQ(test::ReadFileBytes(mTemp / "elsewhere" / "linked.xml"), "changed");

    // The backup folder itself a link: the copies would be moved and deleted wherever it points.
    const std::filesystem::path backupFolder = mTemp / "docs" / "Quorvane" / "Backup";
    std::filesystem::rename(backupFolder, mTemp / "backups");
    std::filesystem::create_directory_symlink(mTemp / "backups", backupFolder);
    EXPECT_THROW(ReplaceProjectFile(Project("shop.xml"), "newer"), automation::Error);
    EXPECT_EQ(test::ReadFileBytes(mTemp / "work" / "shop.xml"), "new");
    EXPECT_EQ(test::ReadFileBytes(mTemp / "backups" / "shop(1).xml"), "old");
}

// Projects of one file name in two folders share the names of their backup copies: two saves
// at once once moved each other's copies away in the middle of a rotation, and one save failed.
TEST_F(ProjectFileStorageTest, SavesOfTwoProjectsOfOneNameAtOnceBothSucceed) {
    SetGeneral(u"MaxProjectBackupCount", registry::Value::Text(u"3"));
    Write(mTemp / "work" / "a" / "shop.xml", "a");
    Write(mTemp / "work" / "b" / "shop.xml", "b");
    constexpr int Saves = 60;
    const auto saveMany = [](const std::u16string& projFile) {
        int failures = 0;
        for (int save = 0; save < Saves; ++save) {
            try {
                ReplaceProjectFile(projFile, "saved");
            } catch (const automation::Error&) {
                ++failures;
            }
        }
        return failures;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::_exit(saveMany(Project("a/shop.xml")) == 0 ? 0 : 1);
    }
    EXPECT_EQ(saveMany(Project("b/shop.xml")), 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Copies(4), (std::vector<std::string>{"saved", "saved", "saved", "-"}));
}

// A project opened through a link once locked beside the link, so that a program using the
// link and one using the file itself did not exclude each other.
TEST_F(ProjectFileStorageTest, AProjectReachedThroughALinkTakesTheLockOfTheFileItself) {
    using namespace std::chrono_literals;
    Write(mTemp / "real" / "shop.xml", "old");
    std::filesystem::create_symlink(mTemp / "real" / "shop.xml", mTemp / "work" / "linked.xml");
    std::filesystem::create_directory_symlink(mTemp / "real", mTemp / "work" / "folder");
    const bool childSucceeded = test::WhileAChildPauses(
        [&](const std::function<void()>& pause) {
            const ProjectFileLock lock(system::FromNativePath(mTemp / "real" / "shop.xml"));
            pause();
            return true;
        },
        [&] {
            for (const char* reached : {"linked.xml", "folder/shop.xml"}) {
                SCOPED_TRACE(reached);
                EXPECT_THROW(ProjectFileLock(Project(reached), 50ms), automation::Error);
            }
        });
    EXPECT_TRUE(childSucceeded);
    EXPECT_FALSE(std::filesystem::exists(mTemp / "work" / ".linked.xml.lock"));
}

// A project file whose name is near the file system's limit loaded but could not be saved: the
// names of its lock, its temporary file and its backup copies went past the limit.
TEST_F(ProjectFileStorageTest, AProjectWithTheLongestNameIsSavedAndBackedUp) {
    for (const std::size_t length : {241, 251, 255}) {
        SCOPED_TRACE(length);
        const std::string name = std::string(length - 4, 'p') + ".xml";
        Write(mTemp / "work" / name, "old");
        ReplaceProjectFile(Project(name), "new");
        ReplaceProjectFile(Project(name), "newer");
        EXPECT_EQ(test::ReadFileBytes(mTemp / "work" / name), "newer");
    }
    std::vector<std::string> kept;
    for (const auto& entry : std::filesystem::directory_iterator(Backup(""))) {
        if (entry.path().filename().string().front() != '.') {
            kept.push_back(test::ReadFileBytes(entry.path()));
        }
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"new", "new", "new", "old", "old", "old"}));
}

} // namespace
} // namespace qv
