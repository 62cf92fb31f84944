// An Access project as a user makes it with the program: created from the file, generated with
// the bundled package. The run used to stop, since the file's own path was taken for the
// database's folder in the site.

#include "asp/AspPages.h"

#include "support/ProgramRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

class AccessProjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(mWork / "db");
        fs::copy_file(fs::path(QV_FIXTURES_DIR) / "access" / "nwind.mdb", mWork / "db" / "nwind.mdb");
    }

    RunResult Quorvane(const std::vector<std::string>& arguments) {
        const std::map<std::string, std::string> environment = {
            {"QUORVANE_USER_HIVE", (mTemp / "user.reg").string()},
            {"QUORVANE_DOCUMENTS", (mTemp / "documents").string()},
            {"XDG_CONFIG_HOME", (mTemp / "config").string()},
            {"HOME", (mTemp / "home").string()},
        };
        return RunProgram(QV_QUORVANE_PROGRAM, arguments, environment, mWork);
    }

    TempDir mTemp;
    fs::path mWork = mTemp / "work";
};

// The file is copied beside the pages, and the site opens that copy where the web server maps
// it, with the provider that reads both Access formats.
TEST_F(AccessProjectTest, GeneratesTheSiteWithTheDatabaseBesideThePages) {
    const RunResult created = Quorvane({"new", "shop.xml", "--access", "db/nwind.mdb"});
    ASSERT_EQ(created.status, 0) << created.err;
    const RunResult generated = Quorvane({"generate", "shop.xml"});
    ASSERT_EQ(generated.status, 0) << generated.err;

    const fs::path site = mWork / "shop-site";
    EXPECT_TRUE(fs::exists(site / "nwind.mdb"));
    EXPECT_TRUE(Read(site / "nwind.mdb") == Read(mWork / "db" / "nwind.mdb"));
    const std::string config = Read(site / "qvcfg.asp");
    EXPECT_NE(config.find("QV_CONNECTION_STRING = \"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=\" & "
                          "Server.MapPath(\"nwind.mdb\") & \";\""),
              std::string::npos)
        << config;
    const std::vector<std::string> failures = AspCompileFailures(site);
    EXPECT_TRUE(failures.empty()) << failures.size() << " pages, first: " << failures.front();
}

} // namespace
} // namespace qv::test
