#pragma once

#include "support/ProgramRun.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qv::test {

/// A file's bytes, or nothing when it cannot be read.
inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

/// A work folder of the test's own and the quorvane program run in it, with hives and folders
/// that no other test shares.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(mWork); }

    RunResult Quorvane(const std::vector<std::string>& arguments) const {
        return RunProgram(QV_QUORVANE_PROGRAM, arguments,
                          {
                              {"QUORVANE_USER_HIVE", (mTemp / "user.reg").string()},
                              {"QUORVANE_DOCUMENTS", (mTemp / "documents").string()},
                              {"XDG_CONFIG_HOME", (mTemp / "config").string()},
                              {"HOME", (mTemp / "home").string()},
                          },
                          mWork);
    }

    /// Runs quorvane and expects success.
    RunResult Succeed(const std::vector<std::string>& arguments) const {
        RunResult result = Quorvane(arguments);
        EXPECT_EQ(result.status, 0) << arguments.front() << ": " << result.err;
        return result;
    }

    /// The shop database as shop.db in the work folder.
    void CreateShopDatabase() const {
        const RunResult created = RunProgram(
            "/bin/sh", {"-c", "sqlite3 shop.db < \"$0\"", std::string(QV_TEST_DATA_DIR) + "/shop.sql"}, {},
            mWork);
        ASSERT_EQ(created.status, 0) << created.err;
    }

    TempDir mTemp;
    std::filesystem::path mWork = mTemp / "work";
};

} // namespace qv::test
