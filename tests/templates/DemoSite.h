#pragma once

#include "support/ApartmentFixture.h"
#include "support/ScopedEnvironment.h"

#include "project/Qel.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace qv::test::templates {

/// The demo site as a developer makes it: the bundled demo database loaded into a project with
/// the shop's two master/detail pairs, a report of the order lines and the export extension,
/// and the project's own generation run writing the site with the bundled template package.
/// The staged share tree is copied into the temporary folder, so that the machine hive there is
/// the one the build ships and the packages lie beside it; the user hive and the documents
/// folder (the run's work folders) are temporary too. The generated files are read back by
/// their path in the site.
class DemoSiteTest : public ApartmentTest {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Fills the new project before the site's folders are set: the demo database, its
    /// relations, the report and the export extension. Another site loads its own.
    virtual void LoadProject();
    /// Whether SetUp generates the site and reads it into mPages.
    virtual bool GeneratesInSetUp() const { return true; }

    /// The project's GenScript; "" in its ProjErr is a pass.
    void GenScript();
    std::string ProjErr();
    /// The project's GenCheck.
    std::int32_t GenCheck();

    /// Every file of the site, by path relative to it ('/' between folders), as UTF-8 text
    /// without the byte-order mark that the run writes.
    std::map<std::string, std::string> ReadSite() const;
    /// Every file below `folder` with its time of last writing.
    static std::map<std::string, std::filesystem::file_time_type>
    WriteTimes(const std::filesystem::path& folder);

    /// The text of a generated file; a failure and "" when there is none.
    const std::string& Page(const std::string& name) const;

    std::map<std::string, std::string> mPages;
    automation::Ref<Qel> mProject;
    std::filesystem::path mSite = mTemp / "site";
    /// The run's work folder of the template package, below the documents folder.
    std::filesystem::path mWork = mTemp / "docs" / "Quorvane" / "Templates" / "quorvane.zip";

private:
    void LoadDemoDatabase();
    void AddOrderReport();

    ScopedEnvironment mEnvironment;
};

} // namespace qv::test::templates
