#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace qv::test {

/// Named pipes made for a test, and a watch on them: whoever opens one for reading is let go at
/// once (the watch opens it for writing and closes it, so that the reader meets its end) and is
/// recorded. A test of code that must never open a pipe then fails instead of hanging, whatever
/// the machine's speed. A pipe that the code replaces or removes is no longer watched.
class PipeWatch {
public:
    explicit PipeWatch(std::vector<std::filesystem::path> pipes);
    ~PipeWatch();
    PipeWatch(const PipeWatch&) = delete;
    PipeWatch& operator=(const PipeWatch&) = delete;

    /// The pipes somebody opened so far.
    std::vector<std::filesystem::path> Opened() const;

private:
    void Watch();

    std::vector<std::filesystem::path> mPipes;
    mutable std::mutex mMutex;
    std::vector<std::filesystem::path> mOpened;
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

} // namespace qv::test
