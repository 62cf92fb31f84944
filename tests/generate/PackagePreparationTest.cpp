#include "generate/internal/PackagePreparation.h"

#include "GenerateFixture.h"

#include "generate/internal/WorkFolders.h"

#include "template/QelCache.h"

#include "support/ZipWriter.h"

#include <chrono>

namespace qv {
namespace {

namespace fs = std::filesystem;
using host::HostCallKind;
using host::TemplateChoice;

class PackagePreparationTest : public test::GenerateTest {
protected:
    void SetUp() override {
        GenerateTest::SetUp();
        State().gTemplateFileName = u"shop.zip";
        MakePackage(mTemplate, {{"control.xml", "<Quorvane.control version=\"6.0\"/>"}, {"list.htm", "v1"}});
        MakePackage(mExtension, {{"usercode.vbs", "' audit"}});
        mExtensions = {{u"Audit", Text(mExtension)}};
        SetupWorkFolders(ScriptWorkFolder, {u"Audit"});
    }

    static void MakePackage(const fs::path& file,
                            const std::vector<std::pair<std::string, std::string>>& members) {
        ASSERT_EQ(test::WriteZip(file, members), "");
    }

    /// One run's package step followed by the cache update at its end.
    std::optional<PreparedPackages> Run() {
        auto cache = automation::MakeRef<QelCache>();
        std::optional<PreparedPackages> prepared = PreparePackages(*cache, Text(mTemplate), mExtensions);
        if (prepared) {
            RecordPackages(*cache, Text(mTemplate), mExtensions, *prepared);
            cache->WriteCacheFile();
        }
        return prepared;
    }

    fs::path Work() const { return system::ToNativePath(State().gTemplateFolder); }

    fs::path mTemplate = mTemp / "packages" / "shop.zip";
    fs::path mExtension = mTemp / "packages" / "extensions" / "audit.zip";
    std::vector<ExtensionPackage> mExtensions;
};

TEST_F(PackagePreparationTest, ExtractsOnceAndThenTrustsTheCache) {
    std::optional<PreparedPackages> first = Run();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->templateExtracted);
    EXPECT_TRUE(first->extensionsChanged);
    EXPECT_EQ(Read(Work() / "list.htm"), "v1");
    EXPECT_EQ(Read(system::ToNativePath(State().gExtensionsFolder) / "Audit" / "usercode.vbs"), "' audit");

    Write(Work() / "list.htm", "edited in the work folder");
    std::optional<PreparedPackages> second = Run();
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->templateExtracted);
    EXPECT_FALSE(second->extensionsChanged);
    EXPECT_EQ(Read(Work() / "list.htm"), "edited in the work folder");
    EXPECT_EQ(mHost.Count(HostCallKind::TemplateFolder), 0u);
}

TEST_F(PackagePreparationTest, AChangedTemplateAsksKeepOrOverwrite) {
    ASSERT_TRUE(Run());
    MakePackage(mTemplate, {{"control.xml", "<Quorvane.control/>"}, {"list.htm", "version two"}});
    fs::last_write_time(mTemplate, fs::file_time_type::clock::now() + std::chrono::seconds(3));

    mHost.Answer(TemplateChoice::Keep);
    std::optional<PreparedPackages> kept = Run();
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->templateKept);
    EXPECT_EQ(Read(Work() / "list.htm"), "v1");
    EXPECT_EQ(mHost.Calls(HostCallKind::TemplateFolder).at(0).title, u"Quorvane");

    // Kept, so not recorded: the next run asks again.
    mHost.Answer(TemplateChoice::Overwrite);
    std::optional<PreparedPackages> overwritten = Run();
    ASSERT_TRUE(overwritten);
    EXPECT_TRUE(overwritten->templateExtracted);
    EXPECT_EQ(Read(Work() / "list.htm"), "version two");
    EXPECT_EQ(mHost.Count(HostCallKind::TemplateFolder), 2u);
}

TEST_F(PackagePreparationTest, ADeletedWorkFolderIsExtractedAgain) {
    ASSERT_TRUE(Run());
    fs::remove_all(Work());
    fs::remove_all(system::ToNativePath(State().gExtensionsFolder) / "Audit");
    std::optional<PreparedPackages> again = Run();
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->templateExtracted);
    EXPECT_TRUE(again->extensionsChanged);
    EXPECT_EQ(Read(Work() / "list.htm"), "v1");
    EXPECT_TRUE(fs::exists(system::ToNativePath(State().gExtensionsFolder) / "Audit" / "usercode.vbs"));
}

TEST_F(PackagePreparationTest, ChangedExtensionListAndMissingPackages) {
    ASSERT_TRUE(Run());
    mExtensions.clear();
    std::optional<PreparedPackages> fewer = Run();
    ASSERT_TRUE(fewer);
    EXPECT_TRUE(fewer->extensionsChanged);

    mExtensions = {{u"Charts", Text(mTemp / "packages" / "extensions" / "charts.zip")}};
    EXPECT_FALSE(Run());
    EXPECT_EQ(State().gProjErr, u"Quorvane: Extension Charts template file not found! Generation aborted!");

    fs::remove(mTemplate);
    EXPECT_FALSE(Run());
    EXPECT_EQ(State().gProjErr, u"Quorvane: Template file not found! Generation aborted!");
}

} // namespace
} // namespace qv
