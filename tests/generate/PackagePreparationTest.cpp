#include "generate/internal/PackagePreparation.h"

#include "GenerateFixture.h"

#include "generate/internal/WorkFolders.h"

#include "template/QelCache.h"
#include "template/TemplateState.h"

#include "support/ZipWriter.h"

#include <chrono>
#include <variant>

namespace qv {
namespace {

namespace fs = std::filesystem;
using host::HostCallKind;
using host::TemplateChoice;

class PackagePreparationTest : public test::GenerateTest {
protected:
    void SetUp() override {
        GenerateTest::SetUp();
        CurrentTemplateState().templateFileName = u"shop.zip";
        MakePackage(mTemplate, {{"control.xml", "<Quorvane.control version=\"6.0\"/>"}, {"list.htm", "v1"}});
        MakePackage(mExtension, {{"usercode.vbs", "' audit"}});
        mExtensions = {{u"Audit", Text(mExtension)}};
        (void)SetupWorkFolders(ScriptWorkFolder, {u"Audit"});
    }

    static void MakePackage(const fs::path& file,
                            const std::vector<std::pair<std::string, std::string>>& members) {
        ASSERT_EQ(test::WriteZip(file, members), "");
    }

    /// One run's package step followed by the cache update at its end; nullopt when the step
    /// stops the run, with its message in mStop.
    std::optional<PreparedPackages> Run() {
        auto cache = automation::MakeRef<QelCache>();
        std::variant<PreparedPackages, RunStop> step = PreparePackages(*cache, Text(mTemplate), mExtensions);
        if (const RunStop* stop = std::get_if<RunStop>(&step)) {
            mStop = stop->text;
            return std::nullopt;
        }
        const PreparedPackages& prepared = std::get<PreparedPackages>(step);
        RecordPackages(*cache, Text(mTemplate), mExtensions, prepared);
        cache->WriteCacheFile();
        return prepared;
    }

    std::u16string mStop;

    fs::path Work() const { return system::ToNativePath(CurrentTemplateState().templateFolder); }

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
    EXPECT_EQ(Read(system::ToNativePath(CurrentTemplateState().extensionsFolder) / "Audit" / "usercode.vbs"),
              "' audit");

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
    fs::remove_all(system::ToNativePath(CurrentTemplateState().extensionsFolder) / "Audit");
    std::optional<PreparedPackages> again = Run();
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->templateExtracted);
    EXPECT_TRUE(again->extensionsChanged);
    EXPECT_EQ(Read(Work() / "list.htm"), "v1");
    EXPECT_TRUE(
        fs::exists(system::ToNativePath(CurrentTemplateState().extensionsFolder) / "Audit" / "usercode.vbs"));
}

TEST_F(PackagePreparationTest, ChangedExtensionListAndMissingPackages) {
    ASSERT_TRUE(Run());
    mExtensions.clear();
    std::optional<PreparedPackages> fewer = Run();
    ASSERT_TRUE(fewer);
    EXPECT_TRUE(fewer->extensionsChanged);

    mExtensions = {{u"Charts", Text(mTemp / "packages" / "extensions" / "charts.zip")}};
    EXPECT_FALSE(Run());
    EXPECT_EQ(mStop, u": Extension Charts template file not found! Generation aborted!");

    fs::remove(mTemplate);
    EXPECT_FALSE(Run());
    EXPECT_EQ(mStop, u": Template file not found! Generation aborted!");
}

} // namespace
} // namespace qv
