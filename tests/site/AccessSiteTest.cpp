#include "SiteProject.h"

#include "asp/AspPages.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace qv::test::site {
namespace {

namespace fs = std::filesystem;

// An Access project generates: the site names the database file itself, with the provider
// that reads its format, and every page compiles. The pages cannot run here (no driver runs
// Access SQL), so the connection string is what is checked.
TEST(AccessSite, GeneratesAndNamesTheDatabaseFile) {
    for (const char* name : {"ASampleDatabase.accdb", "nwind.mdb"}) {
        SCOPED_TRACE(name);
        TempDir temp;
        fs::copy_file(fs::path(QV_FIXTURES_DIR) / "access" / name, temp / name);
        const fs::path site = temp / "site";
        ASSERT_EQ(GenerateAccessSite(temp / name, temp / "work", site), "");
        std::ifstream stream(site / "qvcfg.asp", std::ios::binary);
        const std::string config(std::istreambuf_iterator<char>(stream), {});
        EXPECT_NE(config.find(name), std::string::npos) << config;
        if (std::string(name).ends_with(".accdb")) {
            EXPECT_NE(config.find("Microsoft.ACE.OLEDB.12.0"), std::string::npos) << config;
        }
        EXPECT_EQ(AspCompileFailures(site), std::vector<std::string>{});
    }
}

} // namespace
} // namespace qv::test::site
