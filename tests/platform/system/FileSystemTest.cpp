#include "platform/system/FileSystem.h"

#include "platform/system/Paths.h"

#include "platform/automation/Error.h"

#include "support/TempDir.h"

#include <csignal>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utime.h>

namespace qv::system {
namespace {

class FileSystemTest : public ::testing::Test {
protected:
    std::u16string PathOf(std::u16string_view name) const {
        return JoinPath(FromNativePath(mDir.Path()), name);
    }

    // Runs `operation`, which must raise the file error `number` with `path` in its text.
    template <typename Operation>
    static void ExpectFileError(std::int32_t number, std::u16string_view path, Operation&& operation) {
        try {
            operation();
            ADD_FAILURE() << "no error raised";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), number) << error.what();
            EXPECT_NE(error.Description().find(path), std::u16string::npos) << error.what();
        }
    }

    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(mDir.Path()), {}));
    }

    test::TempDir mDir;
};

TEST_F(FileSystemTest, FailuresCarryTheRuntimeNumbersAndTheFileName) {
    WriteFileAtomic(PathOf(u"file.txt"), "x");
    CreateFolders(PathOf(u"folder"));
    ExpectFileError(FileErrorNumber::FileNotFound, PathOf(u"missing.txt"),
                    [&] { ReadFileBytes(PathOf(u"missing.txt")); });
    ExpectFileError(FileErrorNumber::PathNotFound, PathOf(u"no\\such.txt"),
                    [&] { ReadFileBytes(PathOf(u"no\\such.txt")); });
    ExpectFileError(FileErrorNumber::PathNotFound, PathOf(u"no/such.txt"),
                    [&] { WriteFileAtomic(PathOf(u"no/such.txt"), "x"); });
    ExpectFileError(FileErrorNumber::PathFileAccessError, PathOf(u"folder"),
                    [&] { ReadFileBytes(PathOf(u"folder")); });
    ExpectFileError(FileErrorNumber::FileNotFound, PathOf(u"missing.txt"),
                    [&] { FileSize(PathOf(u"missing.txt")); });
    ExpectFileError(FileErrorNumber::FileAlreadyExists, PathOf(u"file.txt"),
                    [&] { CopyFile(PathOf(u"folder/../file.txt"), PathOf(u"file.txt"), false); });
    ExpectFileError(FileErrorNumber::PathNotFound, PathOf(u"file.txt/x"),
                    [&] { CreateFolders(PathOf(u"file.txt/x")); });
    EXPECT_FALSE(DeleteFile(PathOf(u"missing.txt")));
    EXPECT_FALSE(DeleteFolder(PathOf(u"missing")));
}

TEST_F(FileSystemTest, FailedWriteLeavesTheOldFileIntact) {
    std::u16string path = PathOf(u"project.xml");
    WriteFileAtomic(path, "old contents");
    ASSERT_EQ(EntryCount(), 1u);

    // A file-size limit makes the write fail half-way, as a full disk would (also for root).
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    ExpectFileError(FileErrorNumber::PathFileAccessError, path,
                    [&] { WriteFileAtomic(path, std::string(10000, 'n')); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);

    EXPECT_EQ(ReadFileBytes(path), "old contents");
    EXPECT_EQ(EntryCount(), 1u) << "the temporary file must not stay behind";
}

TEST_F(FileSystemTest, AFileThatWouldNotChangeIsLeftAlone) {
    const std::u16string path = PathOf(u"page.asp");
    auto inode = [&] {
        struct stat status {};
        ::stat(ToNativePath(path).c_str(), &status);
        return status.st_ino;
    };
    EXPECT_TRUE(WriteFileIfChanged(path, "<p>one</p>"));
    const auto written = inode();
    // The same bytes: the file is not replaced (a replacement is a new file with a new inode).
    EXPECT_FALSE(WriteFileIfChanged(path, "<p>one</p>"));
    EXPECT_EQ(inode(), written);
    // Same length, other bytes; then a longer and a shorter text: each is written.
    for (const std::string bytes : {"<p>two</p>", "<p>three</p>", "<p/>", ""}) {
        SCOPED_TRACE(bytes);
        EXPECT_TRUE(WriteFileIfChanged(path, bytes));
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
    EXPECT_FALSE(WriteFileIfChanged(path, ""));
    EXPECT_EQ(EntryCount(), 1u) << "no temporary file stays behind";
}

TEST_F(FileSystemTest, ReplacingKeepsPermissionsAndLinks) {
    std::u16string path = PathOf(u"settings.reg");
    WriteFileAtomic(path, "1");
    ::chmod(ToNativePath(path).c_str(), 0640);
    WriteFileAtomic(path, "2");
    struct stat status {};
    ::stat(ToNativePath(path).c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0640u);

    // A linked settings file stays linked: the write goes to the file the link names.
    std::filesystem::create_symlink(ToNativePath(path), ToNativePath(PathOf(u"link.reg")));
    WriteFileAtomic(PathOf(u"link.reg"), "3");
    EXPECT_TRUE(std::filesystem::is_symlink(ToNativePath(PathOf(u"link.reg"))));
    EXPECT_EQ(ReadFileBytes(path), "3");
}

TEST_F(FileSystemTest, CopiesDeletesAndMoves) {
    CreateFolders(PathOf(u"src\\images\\icons"));
    WriteFileAtomic(PathOf(u"src/a.txt"), "a");
    WriteFileAtomic(PathOf(u"src/images/icons/i.gif"), "gif");
    CopyFolder(PathOf(u"src"), PathOf(u"dst"), false);
    EXPECT_EQ(ReadFileBytes(PathOf(u"dst/images/icons/i.gif")), "gif");
    EXPECT_EQ(FileModified(PathOf(u"dst/a.txt")), FileModified(PathOf(u"src/a.txt")));
    ExpectFileError(FileErrorNumber::FileAlreadyExists, PathOf(u"dst/"),
                    [&] { CopyFolder(PathOf(u"src"), PathOf(u"dst"), false); });

    WriteFileAtomic(PathOf(u"src/a.txt"), "changed");
    CopyFile(PathOf(u"src/a.txt"), PathOf(u"dst/a.txt"), true);
    EXPECT_EQ(ReadFileBytes(PathOf(u"dst/a.txt")), "changed");
    EXPECT_EQ(FileSize(PathOf(u"dst/a.txt")), 7u);

    MoveFile(PathOf(u"dst/a.txt"), PathOf(u"dst/b.txt"));
    EXPECT_FALSE(FileExists(PathOf(u"dst/a.txt")));
    FolderEntries entries = ListFolder(PathOf(u"dst"));
    EXPECT_EQ(entries.files, std::vector<std::u16string>{u"b.txt"});
    EXPECT_EQ(entries.folders, std::vector<std::u16string>{u"images"});

    EXPECT_TRUE(DeleteFile(PathOf(u"dst/b.txt")));
    EXPECT_TRUE(DeleteFolder(PathOf(u"dst")));
    EXPECT_FALSE(FolderExists(PathOf(u"dst")));
}

TEST_F(FileSystemTest, ModificationTimeIsALocalDateSerial) {
    std::u16string path = PathOf(u"cache.zip");
    WriteFileAtomic(path, "zip");
    std::tm local{};
    local.tm_year = 2009 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 7;
    local.tm_hour = 8;
    local.tm_min = 5;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    utimbuf times{std::mktime(&local), std::mktime(&local)};
    ASSERT_EQ(::utime(ToNativePath(path).c_str(), &times), 0);
    EXPECT_NEAR(FileModified(path), 39879.0 + (8 * 3600 + 5 * 60 + 9) / 86400.0, 1e-9);
}

} // namespace
} // namespace qv::system
