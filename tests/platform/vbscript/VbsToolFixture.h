#pragma once

// Runs the vbs runner as a program, the way its users meet it, for the tests of the runner and
// of what bounds a script.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace qv::vbscript::test {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;
    std::string output; // standard output and error, in the order written
    long peakKb = 0;    // the most memory the run's processes held at once (resident, KiB)
};

/// Runs the vbs tool as its users do, on scripts written to a folder of the test's own.
class VbsToolFixture : public ::testing::Test {
protected:
    void SetUp() override {
        // The process id keeps two runs of the suite at once (two builds) out of each other's way.
        mFolder =
            fs::temp_directory_path() /
            ("vbs-tool-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
             "-" + std::to_string(getpid()));
        fs::remove_all(mFolder);
        fs::create_directories(mFolder);
    }
    void TearDown() override { fs::remove_all(mFolder); }

    fs::path Write(const std::string& name, const std::string& bytes) {
        fs::path path = mFolder / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    /// A run that outlives `limitSeconds` (when given) is killed and gives status 124, so that a
    /// script that never stops fails its test instead of hanging it.
    static RunResult Run(const std::string& arguments, int limitSeconds = 0) {
        RunResult result;
        const std::string limit = limitSeconds > 0 ? "timeout " + std::to_string(limitSeconds) + " " : "";
        const std::string command =
            "QUORVANE_ANSI_CODEPAGE=1252 " + limit + "'" + QV_VBS_TOOL + "' " + arguments + " 2>&1";
        // A child of its own (not popen) so that its resource use is the run's alone.
        std::array<int, 2> ends{};
        if (pipe(ends.data()) != 0) {
            return result;
        }
        const pid_t child = fork();
        if (child == 0) {
            dup2(ends[1], STDOUT_FILENO);
            close(ends[0]);
            close(ends[1]);
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ends[1]);
        std::array<char, 4096> buffer{};
        ssize_t count = 0;
        while ((count = read(ends[0], buffer.data(), buffer.size())) > 0) {
            result.output.append(buffer.data(), static_cast<std::size_t>(count));
        }
        close(ends[0]);
        int status = 0;
        rusage usage{};
        if (child < 0 || wait4(child, &status, 0, &usage) != child) {
            return result;
        }
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.peakKb = usage.ru_maxrss;
        return result;
    }
    static std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

    fs::path mFolder;
};

} // namespace qv::vbscript::test
