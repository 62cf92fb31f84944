#pragma once

#include "support/ApartmentFixture.h"
#include "support/ScopedEnvironment.h"

#include "project/Qel.h"
#include "project/QelMasterDetails.h"

#include "template/QoScript.h"

#include <filesystem>
#include <map>
#include <string>

namespace qv::test::templates {

/// One page of the generated site: the control and table it came from and its text.
struct GeneratedPage {
    std::u16string control;
    std::u16string table;
    std::u16string text;
};

/// The bundled demo database loaded into a project and the bundled template package, with the
/// export extension merged in, generated page by page as the generation run does it: every
/// control's templates merged and converted into its prepared script, and that script run by
/// the page engine for every table, field or other page the control makes. The pages are kept
/// by output file name; nothing is written but the work files.
class DemoSiteTest : public ApartmentTest {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The text of a generated page; a failure and "" when there is none.
    const std::u16string& Page(const std::string& name) const;

    std::map<std::string, GeneratedPage> mPages;
    automation::Ref<Qel> mProject;
    automation::Ref<QelMasterDetails> mMasterDetails;
    automation::Ref<QoScript> mPageScript;
    std::filesystem::path mTemplateFolder;
    std::filesystem::path mExtensionFolder;

private:
    void LoadDemoDatabase();
    void LoadControlsAndPhrases();
    void MergeExtension();
    void StartPageEngine();
    std::u16string Prepare(QelControl& control);
    void Generate(const std::u16string& prepared, std::int16_t controlIndex, std::int16_t initType,
                  const std::string& name, const std::u16string& table);
    void GenerateSite();

    ScopedEnvironment mEnvironment;
};

/// The output name of a page under the project's default naming (no extra text, letter case
/// kept), as the generator builds it.
std::string OutputName(std::u16string_view base, const QelControl& control);

} // namespace qv::test::templates
