// A new project made from a database as the host makes one, for a user whose hive holds the
// shipped defaults: the project file it saves (golden/loaded-*.xml) and the defaults it saves
// to an empty hive (golden/loaded-defaults.reg), compared byte for byte. Of the database's
// settings only its upload size goes to the registry, the same for both databases, so both
// share one hive golden. What differs between machines (temporary folders, the test database's
// connection string, driver versions) is replaced by a name in angle brackets.

#include "ProjectFileTestSupport.h"
#include "ProjectFixture.h"

#include "db/TestDatabases.h"
#include "model/ModelGolden.h"

#include "project/Qel.h"

#include "core/Apartment.h"

#include "platform/automation/Text.h"
#include "platform/registry/Registry.h"
#include "platform/system/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::test {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;

/// A machine-dependent value and the placeholder the goldens show in its place.
using Placeholders = std::vector<std::pair<std::string, std::string>>;

class LoadedProjectGoldenTest : public ProjectTest {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        // The charset of the project file follows the code pages, which a machine may set; the
        // documents folder (for backups) stays inside the test's folder.
        mEnvironment.Unset("QUORVANE_OEM_CODEPAGE")
            .Unset("QUORVANE_ANSI_CODEPAGE")
            .Set("QUORVANE_DOCUMENTS", (mTemp / "documents").string());
        // The user's hive holds what a first run copies from the machine's: a copy of the file
        // costs one write where the first run's copy costs one per value.
        const std::filesystem::path shipped =
            std::filesystem::path(QV_SOURCE_DIR) / "share" / "quorvane" / "machine.reg";
        std::filesystem::copy_file(shipped, mTemp / "machine.reg");
        std::filesystem::copy_file(shipped, mTemp / "user.reg");
        mProject = MakeRef<Qel>();
    }

    void TearDown() override {
        mProject = nullptr;
        ProjectTest::TearDown();
    }

    /// LoadDB late-bound, as the host calls it.
    void LoadDB(const Variant& type, const Variant& physicalPath, bool serverMapPath,
                const Variant& connection) {
        Call(*mProject, u"LoadDB",
             {Variant(u""), type, Variant(u""), physicalPath, Variant(serverMapPath), Variant(u""),
              Variant(u""), connection, Variant(u"")});
        ASSERT_EQ(automation::ToUtf8(mProject->ProjErr()), "");
    }

    /// Saves the project file and then the defaults, the latter into an empty hive so that the
    /// golden holds what SaveDefault writes (in its order) and nothing the user had, and
    /// compares both with their goldens.
    void ExpectSavedAsGolden(const std::string& projectGolden, const Placeholders& machine) {
        const std::filesystem::path file = mTemp / "site" / "project.qvp";
        std::filesystem::create_directories(file.parent_path());
        Call(*mProject, u"Save", {Variant(system::FromNativePath(file))});
        ASSERT_EQ(automation::ToUtf8(mProject->ProjErr()), "");

        const std::filesystem::path hive = mTemp / "defaults.reg";
        UseRegistry(std::make_unique<registry::Registry>(hive, mTemp / "machine.reg"));
        Call(*mProject, u"SaveDefault");
        ASSERT_EQ(automation::ToUtf8(mProject->ProjErr()), "");

        ExpectSameAsGolden(projectGolden, Normalised(ReadFileBytes(file), machine));
        ExpectSameAsGolden("loaded-defaults.reg", Normalised(ReadFileBytes(hive), machine));
    }

    /// The temporary folder as <temp>, each listed value as its placeholder.
    std::string Normalised(std::string text, const Placeholders& machine) const {
        ReplaceAll(text, mTemp.Path().string(), "<temp>");
        for (const auto& [value, placeholder] : machine) {
            ReplaceAll(text, value, placeholder);
        }
        return text;
    }

    static void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
        if (from.empty()) {
            return;
        }
        for (std::size_t at = text.find(from); at != std::string::npos;
             at = text.find(from, at + to.size())) {
            text.replace(at, from.size(), to);
        }
    }

    /// ExpectGolden, which names the first line that differs; a project file's lines run to
    /// thousands of characters, so the failure also shows the text around the first difference.
    static void ExpectSameAsGolden(const std::string& name, const std::string& text) {
        std::string around;
        if (std::getenv("QV_UPDATE_GOLDEN") == nullptr) {
            const std::string golden =
                ReadFileBytes(std::filesystem::path(QV_TEST_DATA_DIR) / "golden" / name);
            const auto differ = std::mismatch(golden.begin(), golden.end(), text.begin(), text.end());
            const auto at = static_cast<std::size_t>(differ.first - golden.begin());
            if (at < std::max(golden.size(), text.size())) {
                const std::size_t from = at < 80 ? 0 : at - 80;
                around = "first difference at byte " + std::to_string(at) + "\n  golden: ..." +
                         golden.substr(std::min(from, golden.size()), 160) + "...\n  now:    ..." +
                         text.substr(std::min(from, text.size()), 160) + "...";
            }
        }
        SCOPED_TRACE(around);
        ExpectGolden(name, text);
    }

    Ref<Qel> mProject;
};

TEST_F(LoadedProjectGoldenTest, SqliteDatabase) {
    if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(testdb::DatabaseKind::SQLite)) {
        GTEST_SKIP() << *reason;
    }
    const testdb::TestDatabase database(testdb::DatabaseKind::SQLite);
    ASSERT_NO_FATAL_FAILURE(
        LoadDB(Variant(u"CONNECTIONSTRING"), Variant(u""), false, Variant(database.ConnectionString())));
    const auto setting = [&](std::u16string_view name) {
        return automation::ToUtf8(
            automation::ToString(mProject->db()->Properties()->Item(Variant(name))->Value()));
    };
    ExpectSavedAsGolden(
        "loaded-sqlite.xml",
        {{automation::ToUtf8(database.ConnectionString()), "<connection string>"},
         {"DBDBMSVer=\"" + setting(u"DBDBMSVer"), "DBDBMSVer=\"<driver version>"},
         {"DBProviderVer=\"" + setting(u"DBProviderVer"), "DBProviderVer=\"<driver version>"}});
}

TEST_F(LoadedProjectGoldenTest, AccessDatabase) {
    // The host's way: the file is the physical path, found beside the pages on the server.
    const std::filesystem::path copy = mTemp / "ASampleDatabase.accdb";
    std::filesystem::copy_file(std::filesystem::path(QV_FIXTURES_DIR) / "access" / "ASampleDatabase.accdb",
                               copy);
    ASSERT_NO_FATAL_FAILURE(
        LoadDB(Variant(u"ACCESS"), Variant(system::FromNativePath(copy)), true, Variant(u"")));
    ExpectSavedAsGolden("loaded-access.xml", {});
}

} // namespace
} // namespace qv::test
