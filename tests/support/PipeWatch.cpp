#include "support/PipeWatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {

PipeWatch::PipeWatch(std::vector<std::filesystem::path> pipes) : mPipes(std::move(pipes)) {
    for (const std::filesystem::path& pipe : mPipes) {
        EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0) << pipe;
    }
    mThread = std::thread([this] { Watch(); });
}

PipeWatch::~PipeWatch() {
    mStop = true;
    mThread.join();
}

std::vector<std::filesystem::path> PipeWatch::Opened() const {
    const std::lock_guard lock(mMutex);
    return mOpened;
}

void PipeWatch::Watch() {
    while (!mStop) {
        for (const std::filesystem::path& pipe : mPipes) {
            // Opening a pipe for writing without waiting succeeds only while a reader has it open.
            const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            struct stat status {};
            if (::fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode)) {
                const std::lock_guard lock(mMutex);
                if (std::find(mOpened.begin(), mOpened.end(), pipe) == mOpened.end()) {
                    mOpened.push_back(pipe);
                }
            }
            ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace qv::test
