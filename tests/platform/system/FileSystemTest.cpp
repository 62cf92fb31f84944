#include "platform/system/FileSystem.h"

#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include "support/PipeWatch.h"
#include "support/ProcessesTogether.h"
#include "support/TempDir.h"

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
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
    WriteFileAtomic(PathOf(u"link.reg"), "3", Durability::Flushed, FinalLink::Follow);
    EXPECT_TRUE(std::filesystem::is_symlink(ToNativePath(PathOf(u"link.reg"))));
    EXPECT_EQ(ReadFileBytes(path), "3");
}

// Links planted in a folder the program writes into: every write replaces the link by its file,
// a link where a folder is expected is refused, and a folder copy leaves a link in its way as it
// is, so nothing outside changes.
TEST_F(FileSystemTest, LinksInTheWayAreReplacedOrRefusedAndNothingOutsideChanges) {
    test::TempDir outside;
    const std::u16string secret = JoinPath(FromNativePath(outside.Path()), u"secret.txt");
    WriteFileAtomic(secret, "keep");
    CreateFolders(PathOf(u"site"));
    for (const char16_t* name : {u"site/page.asp", u"site/page.asp.bak", u"site/same.asp"}) {
        std::filesystem::create_symlink(ToNativePath(secret), ToNativePath(PathOf(name)));
    }
    WriteFileAtomic(PathOf(u"site/page.asp"), "page", Durability::RenameOnly);
    WriteFileAtomic(PathOf(u"images.txt"), "copy");
    CopyFile(PathOf(u"images.txt"), PathOf(u"site/page.asp.bak"), /*overwrite=*/true);
    // Holding the same bytes as the link's target does not leave the link standing.
    EXPECT_TRUE(WriteFileIfChanged(PathOf(u"site/same.asp"), "keep"));
    for (const char16_t* name : {u"site/page.asp", u"site/page.asp.bak", u"site/same.asp"}) {
        EXPECT_FALSE(std::filesystem::is_symlink(ToNativePath(PathOf(name))));
    }
    EXPECT_EQ(ReadFileBytes(PathOf(u"site/page.asp")), "page");
    EXPECT_EQ(ReadFileBytes(PathOf(u"site/page.asp.bak")), "copy");
    EXPECT_EQ(ReadFileBytes(secret), "keep");
    // A copy or a move to a new name leaves whatever stands there, a link most of all, whole.
    std::filesystem::create_symlink(ToNativePath(secret), ToNativePath(PathOf(u"site/kept.bak")));
    std::filesystem::create_symlink("nowhere", ToNativePath(PathOf(u"site/dangling.bak")));
    for (const char16_t* name : {u"site/kept.bak", u"site/dangling.bak", u"site/page.asp.bak"}) {
        EXPECT_FALSE(CopyFileToNew(PathOf(u"site/page.asp"), PathOf(name)));
        EXPECT_FALSE(MoveToNew(PathOf(u"site/same.asp"), PathOf(name)));
    }
    EXPECT_EQ(std::filesystem::read_symlink(ToNativePath(PathOf(u"site/dangling.bak"))), "nowhere");
    EXPECT_EQ(ReadFileBytes(PathOf(u"site/page.asp.bak")), "copy");
    EXPECT_TRUE(CopyFileToNew(PathOf(u"site/page.asp"), PathOf(u"site/page.asp.2.bak")));
    EXPECT_EQ(ReadFileBytes(PathOf(u"site/page.asp.2.bak")), "page");
    EXPECT_TRUE(MoveToNew(PathOf(u"site/kept.bak"), PathOf(u"site/kept.2.bak")));
    EXPECT_TRUE(std::filesystem::is_symlink(ToNativePath(PathOf(u"site/kept.2.bak"))));
    EXPECT_EQ(ReadFileBytes(secret), "keep");

    // Folders: the copy of a folder onto a link, or with a link below, and a folder made below
    // a root through a link.
    CreateFolders(PathOf(u"src/icons"));
    WriteFileAtomic(PathOf(u"src/icons/i.gif"), "gif");
    std::filesystem::create_directory_symlink(outside.Path(), ToNativePath(PathOf(u"site/images")));
    ExpectFileError(FileErrorNumber::PathFileAccessError, PathOf(u"site/images"),
                    [&] { CopyFolder(PathOf(u"src"), PathOf(u"site/images"), true); });
    // Below the target a link stays where the copy has a folder or a file, and the rest is copied;
    // a link in the source, to nowhere or to a file, is neither copied nor followed. A dangling
    // one stopped the whole copy.
    WriteFileAtomic(PathOf(u"src/logo.gif"), "logo");
    WriteFileAtomic(PathOf(u"src/top.gif"), "top");
    std::filesystem::create_symlink("nowhere", ToNativePath(PathOf(u"src/icons/a.gif")));
    std::filesystem::create_symlink(ToNativePath(secret), ToNativePath(PathOf(u"src/secret.txt")));
    CreateFolders(PathOf(u"site/pics"));
    std::filesystem::create_directory_symlink(outside.Path(), ToNativePath(PathOf(u"site/pics/icons")));
    std::filesystem::create_symlink("nowhere", ToNativePath(PathOf(u"site/pics/logo.gif")));
    const std::vector<NonFolder> left = CopyFolder(PathOf(u"src"), PathOf(u"site/pics"), true);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].path, PathOf(u"site/pics/icons"));
    EXPECT_TRUE(left[0].link && !left[0].whereFile);
    EXPECT_EQ(left[1].path, PathOf(u"site/pics/logo.gif"));
    EXPECT_TRUE(left[1].link && left[1].whereFile);
    EXPECT_EQ(ReadFileBytes(PathOf(u"site/pics/top.gif")), "top");
    const FolderEntries copied = ListFolder(PathOf(u"site/pics"));
    EXPECT_EQ(copied.files, std::vector<std::u16string>{u"top.gif"});
    EXPECT_EQ(copied.links, (std::vector<std::u16string>{u"icons", u"logo.gif"}));
    EXPECT_EQ(std::filesystem::read_symlink(ToNativePath(PathOf(u"site/pics/logo.gif"))), "nowhere");
    ExpectFileError(FileErrorNumber::PathFileAccessError,
                    u"a symbolic link stands where a folder is expected",
                    [&] { CreateFoldersBelow(PathOf(u"site"), u"images\\Script"); });
    ExpectFileError(FileErrorNumber::PathFileAccessError, PathOf(u"site/images"),
                    [&] { RefuseLinksBelow(PathOf(u"site"), u"images/deeper"); });
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside.Path()), {}), 1);

    // The root itself may be a link: it is the user's choice of folder, not something in it.
    std::filesystem::create_directory_symlink(ToNativePath(PathOf(u"site")), ToNativePath(PathOf(u"linked")));
    EXPECT_EQ(CreateFoldersBelow(PathOf(u"linked"), u"a/./b"), PathOf(u"linked/a/./b"));
    EXPECT_TRUE(FolderExists(PathOf(u"site/a/b")));
    RefuseLinksBelow(PathOf(u"linked"), u"a/missing/c");
    ExpectFileError(FileErrorNumber::FileAlreadyExists, PathOf(u"site/page.asp"),
                    [&] { CreateFoldersBelow(PathOf(u"site"), u"page.asp/x"); });
}

// A named pipe was opened as a file: a read, a copy, a folder copy (a backup of a site's folder)
// waited for a writer forever, and a link to a device read it without end. Each is named and left
// as it is; a folder copy and its listing pass it by, and what stands where a folder is to be
// deleted is named rather than reported as a missing path.
TEST_F(FileSystemTest, PipesAndDevicesAreNamedAndNeverOpened) {
    CreateFolders(PathOf(u"src/icons"));
    CreateFolders(PathOf(u"site/pics/icons"));
    WriteFileAtomic(PathOf(u"src/logo.gif"), "logo");
    WriteFileAtomic(PathOf(u"src/icons/up.gif"), "up");
    const test::PipeWatch pipes(
        {ToNativePath(PathOf(u"src/pipe")), ToNativePath(PathOf(u"src/icons/down.gif")),
         ToNativePath(PathOf(u"site/pics/logo.gif")), ToNativePath(PathOf(u"site/pics/pipe")),
         ToNativePath(PathOf(u"page.asp")), ToNativePath(PathOf(u"bak"))});
    std::filesystem::create_symlink("/dev/zero", ToNativePath(PathOf(u"zero")));
    std::filesystem::create_symlink(ToNativePath(PathOf(u"src/pipe")), ToNativePath(PathOf(u"linked")));
    for (const char16_t* name : {u"src/pipe", u"linked", u"zero"}) {
        ExpectFileError(FileErrorNumber::PathFileAccessError, PathOf(name),
                        [&] { ReadFileBytes(PathOf(name)); });
        ExpectFileError(FileErrorNumber::PathFileAccessError, u"never opened",
                        [&] { CopyFile(PathOf(name), PathOf(u"copy"), true); });
        EXPECT_FALSE(FileHoldsBytes(PathOf(name), ""));
        EXPECT_FALSE(FilesHoldSameBytes(PathOf(name), PathOf(name)));
    }
    EXPECT_FALSE(FileExists(PathOf(u"copy")));
    // A page written where a pipe stands replaces it, as it replaces a link.
    EXPECT_TRUE(WriteFileIfChanged(PathOf(u"page.asp"), "page"));
    EXPECT_EQ(ReadFileBytes(PathOf(u"page.asp")), "page");
    EXPECT_EQ(ListFolder(PathOf(u"src")).others, std::vector<std::u16string>{u"pipe"});
    EXPECT_EQ(ListFolder(PathOf(u"src")).files, std::vector<std::u16string>{u"logo.gif"});

    const std::vector<NonFolder> left = CopyFolder(PathOf(u"src"), PathOf(u"site/pics"), true);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].path, PathOf(u"site/pics/logo.gif"));
    EXPECT_TRUE(left[0].special && left[0].whereFile && !left[0].link);
    EXPECT_EQ(ReadFileBytes(PathOf(u"site/pics/icons/up.gif")), "up");
    const FolderEntries copied = ListFolder(PathOf(u"site/pics"));
    EXPECT_EQ(copied.others, (std::vector<std::u16string>{u"logo.gif", u"pipe"}));
    EXPECT_TRUE(ListFolder(PathOf(u"site/pics/icons")).others.empty());

    WriteFileAtomic(PathOf(u"file.bak"), "the user's");
    std::filesystem::create_symlink(ToNativePath(PathOf(u"site")), ToNativePath(PathOf(u"link.bak")));
    for (const auto& [name, what] :
         {std::pair{u"file.bak", u"a file"}, std::pair{u"link.bak", u"a symbolic link"},
          std::pair{u"bak", u"a named pipe"}}) {
        const std::u16string path = PathOf(name);
        ExpectFileError(FileErrorNumber::PathFileAccessError,
                        std::u16string(what) + u" stands where a folder is expected",
                        [&path] { DeleteFolder(path); });
    }
    EXPECT_EQ(ReadFileBytes(PathOf(u"file.bak")), "the user's");
    EXPECT_TRUE(FolderExists(PathOf(u"site/pics")));
    EXPECT_EQ(pipes.Opened(), std::vector<std::filesystem::path>{});
}

// Writes `target` through a FileBeside in a child process that dies before the rename, as a
// killed run does, and returns the temporary file it left.
std::filesystem::path LeaveHalfWrittenFile(const std::filesystem::path& target) {
    const std::set<std::filesystem::path> before(std::filesystem::directory_iterator(target.parent_path()),
                                                 {});
    const pid_t child = ::fork();
    if (child == 0) {
        FileBeside file(target);
        (void)file.Write("half");
        ::_exit(0); // no destructor runs: what a kill leaves
    }
    ::waitpid(child, nullptr, 0);
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path())) {
        if (before.count(entry.path()) == 0) {
            return entry.path();
        }
    }
    ADD_FAILURE() << "no temporary file beside " << target;
    return {};
}

// What a run killed in the middle of a write leaves is removed by the next run's first write
// into that folder, however old or new. A file that merely looks like a temporary one is the
// user's and stays, however old: ".notes.txt.tmp-deadbeef" in a site was once swept.
TEST_F(FileSystemTest, TemporaryFilesOfAKilledRunAreRemovedByTheNextWriteThere) {
    // Made without this layer, which would sweep the folder at its first write.
    std::filesystem::create_directories(mDir.Path() / "site" / "same");
    const auto make = [this](std::u16string_view name) {
        std::u16string path = PathOf(u"site/" + std::u16string(name));
        std::ofstream(ToNativePath(path)) << "mine";
        const timespec hourAgo{::time(nullptr) - 3600, 0};
        const timespec times[2] = {hourAgo, hourAgo};
        ::utimensat(AT_FDCWD, ToNativePath(path).c_str(), times, 0);
        return path;
    };
    const std::filesystem::path left = LeaveHalfWrittenFile(mDir.Path() / "site" / "page.asp");
    const std::filesystem::path stale = LeaveHalfWrittenFile(mDir.Path() / "site" / "same" / "list.asp");
    const std::u16string users[] = {make(u".notes.txt.tmp-deadbeef"), make(u".page.asp.tmp-0123abcd"),
                                    make(u"page.asp.~qvtmp-0123456789abcdef"),
                                    make(u".page.asp.~qvtmp-0123456789ABCDEF")};

    WriteFileAtomic(PathOf(u"site/page.asp"), "page", Durability::RenameOnly);
    EXPECT_FALSE(std::filesystem::exists(left));
    for (const std::u16string& path : users) {
        EXPECT_EQ(ReadFileBytes(path), "mine") << ToNativePath(path);
    }
    EXPECT_EQ(ReadFileBytes(PathOf(u"site/page.asp")), "page");

    // A run that writes nothing into a folder sweeps it on request.
    EXPECT_TRUE(std::filesystem::exists(stale));
    RemoveLeftoverTemporaries(PathOf(u"site/same"));
    RemoveLeftoverTemporaries(PathOf(u"no/such/folder"));
    EXPECT_FALSE(std::filesystem::exists(stale));

    // A sweep for one file takes its leftovers alone, also those whose name was shortened to fit.
    const std::string longName(240, 'n');
    const std::filesystem::path own = LeaveHalfWrittenFile(mDir.Path() / "site" / "same" / longName);
    const std::filesystem::path others = LeaveHalfWrittenFile(mDir.Path() / "site" / "same" / "list.asp");
    RemoveLeftoverTemporariesOf(PathOf(u"site/same/" + automation::FromUtf8(longName)));
    EXPECT_FALSE(std::filesystem::exists(own));
    EXPECT_TRUE(std::filesystem::exists(others));
}

// Another live run's temporary file survives a sweep, also closed and with an old time: an
// extraction closes its files and renames them all at the end, and a copy gives its file the
// time of the file it copies. A second run's sweep once removed them, and the first run failed
// with "File not found".
TEST_F(FileSystemTest, ALiveRunsClosedTemporaryFileOutlivesAnotherRunsSweep) {
    std::filesystem::create_directories(mDir.Path() / "site");
    const bool childSucceeded = qv::test::WhileAChildPauses(
        [&](const std::function<void()>& pause) {
            FileBeside file(mDir.Path() / "site" / "about.htm");
            bool failed = static_cast<bool>(file.Write("about"));
            const timespec hourAgo{::time(nullptr) - 3600, 0};
            const timespec times[2] = {hourAgo, hourAgo};
            failed = failed || ::futimens(file.Descriptor(), times) != 0 || static_cast<bool>(file.Close());
            pause();
            return !failed && !file.Replace();
        },
        [&] {
            RemoveLeftoverTemporaries(PathOf(u"site"));
            WriteFileAtomic(PathOf(u"site/other.htm"), "other", Durability::RenameOnly);
        });
    EXPECT_TRUE(childSucceeded);
    EXPECT_EQ(ReadFileBytes(PathOf(u"site/about.htm")), "about");
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

// Across file systems a folder is moved by copying it and deleting the source, and a copy makes no
// links: a folder that holds one stays where it is, whole.
TEST_F(FileSystemTest, AFolderHoldingALinkIsNotMovedToAnotherFileSystem) {
    struct stat here {};
    struct stat shm {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(mDir.Path().c_str(), &here) != 0 ||
        here.st_dev == shm.st_dev) {
        GTEST_SKIP() << "no second file system at /dev/shm";
    }
    CreateFolders(PathOf(u"src/icons"));
    WriteFileAtomic(PathOf(u"src/icons/a.gif"), "gif");
    const std::filesystem::path away =
        std::filesystem::path("/dev/shm") / ("qv-move-" + std::to_string(::getpid()));
    std::filesystem::remove_all(away);
    // Nor does a folder that holds a pipe, which a copy cannot make either.
    ASSERT_EQ(::mkfifo(ToNativePath(PathOf(u"src/pipe")).c_str(), 0600), 0);
    ExpectFileError(FileErrorNumber::PathFileAccessError, u"a named pipe cannot be moved",
                    [&] { MoveFile(PathOf(u"src"), FromNativePath(away)); });
    std::filesystem::remove(ToNativePath(PathOf(u"src/pipe")));
    std::filesystem::create_symlink("a.gif", ToNativePath(PathOf(u"src/icons/b.gif")));
    ExpectFileError(FileErrorNumber::PathFileAccessError, PathOf(u"src/icons/b.gif"),
                    [&] { MoveFile(PathOf(u"src"), FromNativePath(away)); });
    EXPECT_EQ(std::filesystem::read_symlink(ToNativePath(PathOf(u"src/icons/b.gif"))), "a.gif");
    EXPECT_EQ(ReadFileBytes(PathOf(u"src/icons/a.gif")), "gif");
    EXPECT_FALSE(std::filesystem::exists(away));

    std::filesystem::remove(ToNativePath(PathOf(u"src/icons/b.gif")));
    MoveFile(PathOf(u"src"), FromNativePath(away));
    EXPECT_FALSE(FolderExists(PathOf(u"src")));
    EXPECT_EQ(ReadFileBytes(FromNativePath(away / "icons/a.gif")), "gif");
    std::filesystem::remove_all(away);
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
