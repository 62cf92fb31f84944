#include "platform/system/FileLock.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "platform/automation/Error.h"

#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::system {
namespace {

using namespace std::chrono_literals;

class FileLockTest : public ::testing::Test {
protected:
    std::u16string PathOf(std::u16string_view name) const {
        return JoinPath(FromNativePath(mDir.Path()), name);
    }

    test::TempDir mDir;
};

// Adds one to the number in `counter` `times` times, each a read, a pause and a write under the
// lock: without the lock two processes doing this lose each other's additions.
void CountUnderLock(const std::u16string& lockFile, const std::u16string& counter, int times) {
    for (int time = 0; time < times; ++time) {
        const std::optional<FileLock> lock = FileLock::Acquire(lockFile, 10s);
        if (!lock) {
            return;
        }
        const int number = std::stoi(ReadFileBytes(counter));
        ::usleep(200);
        WriteFileAtomic(counter, std::to_string(number + 1), Durability::RenameOnly);
    }
}

TEST_F(FileLockTest, TwoProcessesChangingOneFileLoseNothing) {
    const std::u16string lockFile = PathOf(u".counter.lock");
    const std::u16string counter = PathOf(u"counter");
    WriteFileAtomic(counter, "0");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CountUnderLock(lockFile, counter, 200);
        ::_exit(0);
    }
    CountUnderLock(lockFile, counter, 200);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(ReadFileBytes(counter), "400");
}

TEST_F(FileLockTest, AnotherProcessWaitsThenGivesUpWhileTheHoldersInThisOneShare) {
    const std::u16string lockFile = PathOf(u"sub/../.p.xml.lock");
    std::optional<FileLock> outer = FileLock::Acquire(lockFile, 0ms);
    ASSERT_TRUE(outer);
    {
        // A second holder in this process (a save inside a command that holds the lock) shares it.
        const std::optional<FileLock> inner = FileLock::Acquire(PathOf(u".p.xml.lock"), 0ms);
        EXPECT_TRUE(inner);
    }
    int toParent[2];
    ASSERT_EQ(::pipe(toParent), 0);
    auto childTries = [&](std::chrono::milliseconds wait) {
        const pid_t child = ::fork();
        if (child == 0) {
            const auto started = std::chrono::steady_clock::now();
            const bool got = FileLock::Acquire(lockFile, wait).has_value();
            const auto waited = std::chrono::steady_clock::now() - started;
            const char answer = got ? 'y' : waited >= wait ? 'n' : 'e';
            (void)!::write(toParent[1], &answer, 1);
            ::_exit(0);
        }
        char answer = '?';
        EXPECT_EQ(::read(toParent[0], &answer, 1), 1);
        ::waitpid(child, nullptr, 0);
        return answer;
    };
    // Still held by the outer holder after the inner one let go: the other process waits, gives up.
    EXPECT_EQ(childTries(100ms), 'n');
    outer.reset();
    EXPECT_EQ(childTries(100ms), 'y');
    ::close(toParent[0]);
    ::close(toParent[1]);
}

TEST_F(FileLockTest, ALockFileThatCannotBeMadeNamesIt) {
    const std::u16string lockFile = PathOf(u"missing/.p.xml.lock");
    try {
        FileLock::Acquire(lockFile, 0ms);
        ADD_FAILURE() << "no error raised";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), FileErrorNumber::PathNotFound);
        EXPECT_NE(error.Description().find(lockFile), std::u16string::npos) << error.what();
    }
}

// A link planted at the lock file's name once made the lock create a file where it pointed.
TEST_F(FileLockTest, ALinkAtTheLockFilesNameIsRefusedNotFollowed) {
    CreateFolders(PathOf(u"elsewhere"));
    WriteFileAtomic(PathOf(u"elsewhere/kept"), "kept");
    std::filesystem::create_symlink(ToNativePath(PathOf(u"elsewhere/made")),
                                    ToNativePath(PathOf(u".p.xml.lock")));
    std::filesystem::create_symlink(ToNativePath(PathOf(u"elsewhere/kept")),
                                    ToNativePath(PathOf(u".q.xml.lock")));
    for (const std::u16string_view name : {u".p.xml.lock", u".q.xml.lock"}) {
        const std::u16string lockFile = PathOf(name);
        try {
            FileLock::Acquire(lockFile, 0ms);
            ADD_FAILURE() << "no error raised";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), FileErrorNumber::PathFileAccessError);
            EXPECT_NE(error.Description().find(lockFile), std::u16string::npos) << error.what();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(ToNativePath(PathOf(u"elsewhere/made"))));
    EXPECT_EQ(ReadFileBytes(PathOf(u"elsewhere/kept")), "kept");
}

} // namespace
} // namespace qv::system
