// Whole generation runs through the project object: a small template package written by the
// test, an SQLite database, GenScript and GenCheck as the host calls them, and the generated site
// compared with the golden files under golden/site.

#include "generate/Generator.h"
#include "generate/internal/GenerationRun.h"
#include "template/TemplateState.h"

#include "../project/ProjectFixture.h"
#include "GenerateFixture.h"
#include "db/TestDatabases.h"

#include "project/Qel.h"

#include "core/Apartment.h"
#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/registry/Value.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include "support/ZipWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using host::HostCallKind;

using Members = std::map<std::string, std::string>;

const Members TemplateMembers = {
    {"control.xml",
     "<?xml version=\"1.0\"?>\r\n"
     "<Quorvane_Template date=\"2024/05/01\" version=\"6.0\" desc=\"Test\" author=\"Tests\">\r\n"
     "  <control id=\"list\" type=\"table\" ifiles=\"list.htm\" ofile=\"list\" oext=\"*\"/>\r\n"
     "  <control id=\"view\" type=\"field\" ifiles=\"field.htm\" ofile=\"view\" oext=\"asp\" "
     "ofolder=\"fields\"/>\r\n"
     "  <control id=\"home\" type=\"other\" ifiles=\"home.htm\" ofile=\"default\" oext=\"*\"/>\r\n"
     "  <control id=\"config\" type=\"simple\" ifiles=\"config.htm\" ofile=\"web\" oext=\"config\" "
     "space=\"false\"/>\r\n"
     "  <control id=\"images\" type=\"copy\" ifiles=\"images/logo.gif\"/>\r\n"
     "</Quorvane_Template>\r\n"},
    {"lang.xml", "<?xml version=\"1.0\"?>\r\n<Quorvane.language>\r\n"
                 "  <phrase id=\"Fields\" value=\"Fields\"/>\r\n</Quorvane.language>\r\n"},
    {"list.htm", "<html><head><title><!--##=TABLE.TblName##--></title></head>\r\n"
                 "<body>\r\n\r\n"
                 "<p><!--##=TABLE.Fields.Count##--> <!--##@Fields##--></p>\r\n"
                 "</body></html>\r\n"},
    {"field.htm", "<!--##=TABLE.TblName##-->.<!--##=FIELD.FldName##-->\r\n"},
    {"home.htm", "<h1><!--##=PROJ.ProjName##--></h1>\r\n"},
    {"config.htm", "\r\n\r\n<configuration>\r\n\r\n  <appSettings/>\r\n</configuration>\r\n"},
    {"images/logo.gif", "GIF89a"},
};

class GenScriptTest : public ProjectTest {
protected:
    void SetUp() override {
        mEnvironment.Set("QUORVANE_DOCUMENTS", (mTemp / "docs").string());
        ProjectTest::SetUp();
        WriteUserText(GeneralKey, u"Language", u"");
        WriteValue(registry::HiveKind::User, GeneralKey, u"ScriptEngineTimeout",
                   registry::Value::Number(10000));
        WriteUserText(GeneralKey, u"UTF8Project", u"False");
        WritePackage(TemplateMembers);
        RegisterGenerator();

        mDatabase = std::make_unique<testdb::TestDatabase>(testdb::DatabaseKind::SQLite);
        mProject = MakeRef<Qel>();
        Call(*mProject, u"LoadDB",
             {Variant(u"shop"), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(), Variant(false),
              Variant(u""), Variant(u""), Variant(mDatabase->ConnectionString()), Variant(u"")});
        ASSERT_EQ(State().gProjErr, u"");
        mProject->SetProjName(u"Shop");
        mProject->SetTemplate(Text(mPackage));
        mProject->SetDestination(Text(mSite));
        mProject->SetAppRootFolder(Text(mSite));
        mProject->SetOtherGen(true);
        mProject->SetOtherOverwrite(true);
        mProject->SetPromptOnOverwrite(false);
        mProject->SetOutputNameLCase(true);
        // One table with two field pages keeps the site small.
        for (QelTable& table : *mProject->db()->tables()) {
            table.SetTblGen(table.TblName() == u"customers");
            table.SetTblOverwrite(true);
            for (QelField& field : *table.Fields()) {
                field.SetFldGenerate(field.FldName() == u"name" || field.FldName() == u"city");
            }
        }
    }

    void TearDown() override {
        mProject = nullptr;
        ProjectTest::TearDown();
        mDatabase.reset();
    }

    static std::u16string Text(const fs::path& path) { return system::FromNativePath(path); }

    void WritePackage(const Members& members) {
        ASSERT_EQ(test::WriteZip(mPackage, members), "");
        // A later package must not carry the same second as the one the cache recorded.
        fs::last_write_time(mPackage,
                            fs::file_time_type::clock::now() + std::chrono::seconds(++mPackageAge * 2));
    }

    static std::string Read(const fs::path& file) {
        std::ifstream stream(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(stream), {});
    }

    static std::vector<std::string> Files(const fs::path& folder) {
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                files.push_back(fs::relative(entry.path(), folder).generic_string());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    /// The generated site equals the golden tree, file by file.
    void ExpectGoldenSite() {
        const fs::path golden = fs::path(QV_TEST_DATA_DIR) / "golden" / "site";
        // Goldens change only on purpose: QV_UPDATE_GOLDEN=1 writes the site over them.
        if (std::getenv("QV_UPDATE_GOLDEN") != nullptr) {
            fs::remove_all(golden);
            fs::create_directories(golden);
            fs::copy(mSite, golden, fs::copy_options::recursive);
        }
        ASSERT_EQ(Files(mSite), Files(golden));
        for (const std::string& file : Files(golden)) {
            SCOPED_TRACE(file);
            EXPECT_EQ(Read(mSite / file), Read(golden / file));
        }
    }

    void GenScript() { Call(*mProject, u"GenScript"); }
    std::string ProjErr() { return automation::ToUtf8(automation::ToString(Get(*mProject, u"ProjErr"))); }

    fs::path mPackage = mTemp / "templates" / "shop.zip";
    fs::path mSite = mTemp / "site";
    int mPackageAge = 0;
    std::unique_ptr<testdb::TestDatabase> mDatabase;
    Ref<Qel> mProject;
};

TEST_F(GenScriptTest, AValidationScriptStopsTheRunWithItsOwnMessage) {
    const fs::path validate = mTemp / "validate";
    fs::create_directories(validate);
    std::ofstream(validate / "checks.vbs", std::ios::binary)
        << "Function CheckPages()\r\nPROJ.ProjErr = \"Quorvane: No pages!\"\r\nEnd Function\r\n";
    std::ofstream(validate / "list.xml", std::ios::binary)
        << "<validate><file value=\"checks.vbs\"/></validate>";
    WriteUserText(GeneralKey, u"VALIDATECODE", Text(validate / "list.xml"));
    GenScript();
    EXPECT_EQ(ProjErr(), "Quorvane: No pages!");
    // Stopped before the pass: nothing written, and the run's engines and cache are gone.
    EXPECT_FALSE(fs::exists(mSite / "default.asp"));
    EXPECT_FALSE(fs::exists(mSite / "customerslist.asp"));
    EXPECT_FALSE(CurrentTemplateState().pageScript);
    EXPECT_FALSE(CurrentTemplateState().evalScript);
    EXPECT_FALSE(CurrentRun().cache);

    // With the check passing, the same project generates.
    std::ofstream(validate / "checks.vbs", std::ios::binary)
        << "Function CheckPages()\r\nCheckPages = True\r\nEnd Function\r\n";
    GenScript();
    EXPECT_EQ(ProjErr(), "");
    EXPECT_TRUE(fs::exists(mSite / "default.asp"));
}

TEST_F(GenScriptTest, GeneratesTheSiteAndReusesPreparedScripts) {
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    ExpectGoldenSite();
    const fs::path work = mTemp / "docs" / "Quorvane" / "Templates" / "shop.zip";
    EXPECT_TRUE(fs::exists(work / "Script" / "control.xml"));
    EXPECT_TRUE(fs::exists(work / "temp" / "list.tmp"));
    EXPECT_TRUE(fs::exists(work / "temp" / "cache.xml"));
    const std::vector<std::u16string> captions = mHost.Texts(HostCallKind::ShowProgress);
    EXPECT_NE(std::find(captions.begin(), captions.end(), u"Quorvane - Creating Script Files..."),
              captions.end());
    // The engines and the cache belong to one run.
    EXPECT_FALSE(CurrentTemplateState().pageScript);
    EXPECT_FALSE(CurrentRun().cache);

    const auto* generator = dynamic_cast<const Generator*>(FindGenerationService());
    ASSERT_NE(generator, nullptr);
    EXPECT_EQ(generator->LastRun().preparedScripts, 4); // the copy control has no script
    EXPECT_EQ(generator->LastRun().pages, 5);

    // Unchanged inputs: nothing is prepared again, the site comes out the same, and pages whose
    // text is the same are not rewritten.
    const fs::path page = mSite / "customerslist.asp";
    const auto pageTime = fs::last_write_time(page);
    mHost.ClearCalls();
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    ExpectGoldenSite();
    const std::vector<std::u16string> again = mHost.Texts(HostCallKind::ShowProgress);
    EXPECT_EQ(std::find(again.begin(), again.end(), u"Quorvane - Creating Script Files..."), again.end());
    EXPECT_EQ(generator->LastRun().preparedScripts, 0);
    EXPECT_EQ(generator->LastRun().pages, 5);
    EXPECT_EQ(fs::last_write_time(page), pageTime);

    // A page whose text changes is written again.
    mProject->SetProjName(u"Shop 2");
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    EXPECT_NE(Read(mSite / "default.asp").find("Shop 2"), std::string::npos);
}

/// The modification time of every file below `folder`, by relative name.
std::map<std::string, fs::file_time_type> Stamps(const fs::path& folder) {
    std::map<std::string, fs::file_time_type> stamps;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            stamps[fs::relative(entry.path(), folder).generic_string()] = entry.last_write_time();
        }
    }
    return stamps;
}

TEST_F(GenScriptTest, ARunAsksAndBacksUpOnlyWhatWouldChange) {
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    const std::size_t outputs = Files(mSite).size();
    // An hour old, so that a rewrite within the same second would still show.
    for (const auto& [file, time] : Stamps(mSite)) {
        fs::last_write_time(mSite / file, time - std::chrono::hours(1));
    }
    const auto before = Stamps(mSite);
    WriteUserText(GeneralKey, u"BackupFile", u"True");
    mProject->SetPromptOnOverwrite(true);
    const auto* generator = dynamic_cast<const Generator*>(FindGenerationService());
    ASSERT_NE(generator, nullptr);

    // Nothing changed: no question, no backup, no file touched, every output counted as such.
    mHost.ClearCalls();
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    EXPECT_EQ(mHost.Count(HostCallKind::Overwrite), 0u);
    EXPECT_EQ(Stamps(mSite), before);
    EXPECT_EQ(generator->LastRun().outputs.unchanged, static_cast<std::int32_t>(outputs));
    EXPECT_EQ(generator->LastRun().outputs.created + generator->LastRun().outputs.replaced, 0);

    // The home page changes: it alone is asked about, and backed up when replaced.
    const std::string home = Read(mSite / "default.asp");
    mProject->SetProjName(u"Shop 2");
    mHost.Answer(host::OverwriteAnswer{host::OverwriteChoice::Overwrite, /*all=*/false});
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    const std::vector<host::HostCall> asked = mHost.Calls(HostCallKind::Overwrite);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].path, Text(mSite / "default.asp"));
    EXPECT_NE(Read(mSite / "default.asp").find("Shop 2"), std::string::npos);
    EXPECT_EQ(Read(mSite / "default.asp.bak"), home);
    auto after = Stamps(mSite);
    EXPECT_EQ(after.erase("default.asp.bak"), 1u);
    EXPECT_NE(after["default.asp"], before.at("default.asp"));
    after.erase("default.asp");
    auto others = before;
    others.erase("default.asp");
    EXPECT_EQ(after, others);
    EXPECT_EQ(generator->LastRun().outputs.replaced, 1);

    // Skipped, it stays; cancelled, the run ends with the cancel and the page stays too.
    const std::string second = Read(mSite / "default.asp");
    mProject->SetProjName(u"Shop 3");
    mHost.Answer(host::OverwriteAnswer{host::OverwriteChoice::Skip, /*all=*/false});
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    EXPECT_EQ(Read(mSite / "default.asp"), second);
    EXPECT_EQ(Read(mSite / "default.asp.bak"), home);
    EXPECT_EQ(generator->LastRun().outputs.kept, 1);
    mHost.Answer(host::OverwriteAnswer{host::OverwriteChoice::Cancel, /*all=*/false});
    ExpectAbort([&] { GenScript(); }, u"Generation cancelled by user!");
    EXPECT_EQ(Read(mSite / "default.asp"), second);
    EXPECT_EQ(mHost.Count(HostCallKind::Overwrite), 3u);
}

TEST_F(GenScriptTest, PagesThatMayNotBeReplacedAreNotBuilt) {
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    for (QelTable& table : *mProject->db()->tables()) {
        table.SetTblOverwrite(false);
    }
    mProject->SetProjName(u"Shop 2");
    const std::string list = Read(mSite / "customerslist.asp");
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    const auto* generator = dynamic_cast<const Generator*>(FindGenerationService());
    ASSERT_NE(generator, nullptr);
    // Only the home page and the configuration are built; the table and field pages stay, told
    // apart from pages that were built and found changed.
    EXPECT_EQ(generator->LastRun().pages, 2);
    EXPECT_EQ(generator->LastRun().outputs.notRebuilt, 3);
    EXPECT_EQ(generator->LastRun().outputs.kept, 0);
    EXPECT_EQ(Read(mSite / "customerslist.asp"), list);
    EXPECT_NE(Read(mSite / "default.asp").find("Shop 2"), std::string::npos);
}

// Under a login, a page a switch keeps from being written is built to be compared with the one
// in the site; it was taken through the writer's path first, which made its folder and counted a
// file standing where that folder goes as a page that could not be written.
TEST_F(GenScriptTest, APageASwitchKeepsUnderALoginIsOnlyLookedAt) {
    Members members = TemplateMembers;
    const std::string list = "ofile=\"list\" oext=\"*\"";
    members["control.xml"].replace(members["control.xml"].find(list), list.size(),
                                   list + " ofolder=\"lists\"");
    WritePackage(members);
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    fs::remove_all(mSite / "fields");
    fs::remove_all(mSite / "lists");
    std::ofstream(mSite / "lists") << "not a folder";
    mProject->SetSecType(u"Static");
    mProject->SetSecLoginID(u"admin");
    mProject->SetSecPasswd(u"Adm1n-pw");
    for (QelTable& table : *mProject->db()->tables()) {
        table.SetTblGen(false);
    }
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    const auto* generator = dynamic_cast<const Generator*>(FindGenerationService());
    ASSERT_NE(generator, nullptr);
    EXPECT_EQ(generator->LastRun().outputs.failed, 0);
    EXPECT_FALSE(fs::exists(mSite / "fields"));
}

// A "skip all" answer keeps every later output, but the summary must still say which of them
// would have changed: they are built and compared, not counted as kept unseen.
TEST_F(GenScriptTest, SkipAllCountsOnlyTheOutputsThatWouldChangeAsKept) {
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    const std::size_t outputs = Files(mSite).size();
    for (const char* page : {"customerslist.asp", "fields/customers_cityview.asp"}) {
        std::ofstream(mSite / page, std::ios::binary | std::ios::trunc) << "edited by hand";
    }
    mProject->SetPromptOnOverwrite(true);
    mHost.ClearCalls();
    mHost.Answer(host::OverwriteAnswer{host::OverwriteChoice::Skip, /*all=*/true});
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    EXPECT_EQ(mHost.Count(HostCallKind::Overwrite), 1u);
    const auto* generator = dynamic_cast<const Generator*>(FindGenerationService());
    ASSERT_NE(generator, nullptr);
    const OutputTally& tally = generator->LastRun().outputs;
    EXPECT_EQ(tally.kept, 2);
    EXPECT_EQ(tally.unchanged, static_cast<std::int32_t>(outputs) - 2);
    EXPECT_EQ(tally.created + tally.replaced + tally.notRebuilt, 0);
    EXPECT_EQ(Read(mSite / "customerslist.asp"), "edited by hand");
    EXPECT_EQ(Read(mSite / "fields" / "customers_cityview.asp"), "edited by hand");

    // Switched off, the pages are not built and so not compared; a copied file is compared all
    // the same, and one that is the same is not counted as kept.
    mProject->SetOtherOverwrite(false);
    for (QelTable& table : *mProject->db()->tables()) {
        table.SetTblOverwrite(false);
    }
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    EXPECT_EQ(generator->LastRun().pages, 0);
    EXPECT_EQ(tally.kept, 0);
    EXPECT_EQ(tally.notRebuilt + tally.unchanged, static_cast<std::int32_t>(outputs));
    EXPECT_GE(tally.unchanged, 1); // the image
    EXPECT_EQ(Read(mSite / "customerslist.asp"), "edited by hand");
}

TEST_F(GenScriptTest, CheckCountsExistingOutputsOverAFreshExtraction) {
    EXPECT_EQ(automation::ToLong(Call(*mProject, u"GenCheck")), 0);
    EXPECT_EQ(ProjErr(), "");
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    // The check stops at the first table with an existing page: its one list page.
    EXPECT_EQ(automation::ToLong(Call(*mProject, u"GenCheck")), 1);
    EXPECT_FALSE(fs::exists(mTemp / "docs" / "Quorvane" / "Templates" / "shop.zip" / "Tmp"));
}

TEST_F(GenScriptTest, AScriptErrorLeavesTheGoodPageAndResetsTheEngines) {
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    const std::string goodPage = Read(mSite / "customerslist.asp");

    Members broken = TemplateMembers;
    // The page function runs under On Error Resume Next: only a compile error fails it.
    broken["list.htm"] = "<!--##\r\nIf Then\r\n##-->\r\n";
    WritePackage(broken);
    mHost.Answer(host::TemplateChoice::Overwrite);
    GenScript();
    EXPECT_TRUE(ProjErr().starts_with("Quorvane: Generate Table customers list page error\r\n")) << ProjErr();
    EXPECT_EQ(Read(mSite / "customerslist.asp"), goodPage);
    EXPECT_FALSE(CurrentTemplateState().pageScript);
    EXPECT_FALSE(CurrentTemplateState().evalScript);
}

// Class_Terminate of an object the template code kept ran at the end of the run under a time-out
// of its own, and the run succeeded when that time-out stopped it. It now runs within the last
// page's time-out, and stopping it fails the run.
TEST_F(GenScriptTest, AClassTerminateTheTimeOutStopsFailsTheRun) {
    WriteValue(registry::HiveKind::User, GeneralKey, u"ScriptEngineTimeout", registry::Value::Number(1000));
    Members looping = TemplateMembers;
    looping["home.htm"] = "<!--##\r\nExecuteGlobal \"Class Looping\" & vbCrLf & \"Sub Class_Terminate\" & "
                          "vbCrLf & \"Do : Loop\" & vbCrLf & \"End Sub\" & vbCrLf & \"End Class\" & vbCrLf & "
                          "\"Set gKeep = New Looping\"\r\n##-->\r\n";
    WritePackage(looping);
    GenScript();
    EXPECT_NE(ProjErr().find("Script execution timed out"), std::string::npos) << ProjErr();
    EXPECT_FALSE(CurrentTemplateState().pageScript);
}

TEST_F(GenScriptTest, APackageNeverReadsOutsideItsFolders) {
    // A file above the extracted template, where hostile names point.
    const fs::path templates = mTemp / "docs" / "Quorvane" / "Templates";
    fs::create_directories(templates);
    std::ofstream(templates / "secret.htm") << "<!--##session s##-->secret<!--##/session##-->";
    struct Case {
        std::string include;     // named by an include directive of the page's session
        std::string sessionFile; // the file the session is read from ("" for the page's own)
        std::string refused;     // the name the error gives
    };
    const Case cases[] = {
        {"..\\..\\secret.htm", "", "..\\..\\secret.htm"},
        {"..\\secret.htm", "", "..\\secret.htm"},
        {"\\etc\\passwd", "", "\\etc\\passwd"},
        {"C:\\x.htm", "", "C:\\x.htm"},
        {"../../secret.htm", "", "../../secret.htm"},
        {"list.htm", "..\\..\\secret.htm", "..\\..\\secret.htm"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.include + " " + test.sessionFile);
        Members hostile = TemplateMembers;
        hostile["list.htm"] =
            "<!--##session s##-->[<!--##include " + test.include + "/s##-->]<!--##/session##-->";
        std::string& control = hostile["control.xml"];
        control.replace(control.find("ifiles=\"list.htm\" ofile=\"list\" oext=\"*\"/>"), 43,
                        "ifiles=\"list.htm\" ofile=\"list\" oext=\"*\"><session value=\"s\" type=\"key\" "
                        "ifile=\"" +
                            test.sessionFile + "\"/></control>");
        WritePackage(hostile);
        mHost.Answer(host::TemplateChoice::Overwrite);
        try {
            GenScript();
            ADD_FAILURE() << "the name was followed";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), 52);
            EXPECT_NE(automation::ToUtf8(error.Description()).find("\"" + test.refused + "\""),
                      std::string::npos)
                << automation::ToUtf8(error.Description());
        }
        EXPECT_FALSE(CurrentTemplateState().pageScript);
        EXPECT_FALSE(fs::exists(mSite / "customerslist.asp"));
    }
}

TEST_F(GenScriptTest, ExtensionPackagesAreFoundByAbsolutePathAndInTheShippedFolder) {
    // An absolute Template was refused with error 52 although the registry's resolver accepts it.
    const auto extension = [](const std::string& id) {
        return Members{{"control.xml", "<?xml version=\"1.0\"?>\r\n<Quorvane_Template version=\"6.0\">\r\n"
                                       "  <control id=\"" +
                                           id + "\" action=\"add\" type=\"other\" ifiles=\"" + id +
                                           ".htm\" ofile=\"" + id +
                                           "\" oext=\"*\"/>\r\n</Quorvane_Template>\r\n"},
                       {id + ".htm", "<p>" + id + " <!--##=PROJ.ProjName##--></p>\r\n"}};
    };
    const fs::path elsewhere = mTemp / "mine" / "audit.zip";
    ASSERT_EQ(test::WriteZip(elsewhere, extension("audit")), "");
    ASSERT_EQ(test::WriteZip(mTemp / "extensions" / "charts.zip", extension("charts")), "");
    ASSERT_TRUE(mProject->AddExtension(u"Audit", Text(elsewhere)));
    ASSERT_TRUE(mProject->AddExtension(u"Charts", u"charts.zip"));
    mHost.Answer(host::TemplateChoice::Overwrite);
    GenScript();
    EXPECT_EQ(ProjErr(), "");
    EXPECT_EQ(Read(mSite / "audit.asp"), "<p>audit Shop</p>\r\n");
    EXPECT_EQ(Read(mSite / "charts.asp"), "<p>charts Shop</p>\r\n");

    // A relative name stays inside the shipped folder.
    ASSERT_TRUE(mProject->AddExtension(u"Stray", u"../mine/audit.zip"));
    try {
        GenScript();
        ADD_FAILURE() << "a package above the shipped folder was read";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), 52);
    }
}

TEST_F(GenScriptTest, AnIncludeFromASubFolderServesEveryRun) {
    // Regression: the page's own reading dropped "parts/head.htm/h" while the rebuild check of
    // later runs followed it.
    Members members = TemplateMembers;
    members["list.htm"] = "<!--##session s##-->[<!--##include parts/head.htm/h##-->]<!--##/session##-->";
    members["parts/head.htm"] = "<!--##session h##-->head one<!--##/session##-->";
    std::string& control = members["control.xml"];
    control.replace(
        control.find("ifiles=\"list.htm\" ofile=\"list\" oext=\"*\"/>"), 43,
        "ifiles=\"list.htm\" ofile=\"list\" oext=\"*\"><session value=\"s\" type=\"key\"/></control>");
    WritePackage(members);
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    EXPECT_NE(Read(mSite / "customerslist.asp").find("[head one]"), std::string::npos);

    // A newer included file in the work folder makes the next run prepare the page again.
    const fs::path head =
        mTemp / "docs" / "Quorvane" / "Templates" / "shop.zip" / "Script" / "parts" / "head.htm";
    ASSERT_TRUE(fs::exists(head));
    std::ofstream(head, std::ios::binary) << "<!--##session h##-->head two<!--##/session##-->";
    fs::last_write_time(head, fs::file_time_type::clock::now() + std::chrono::seconds(5));
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    EXPECT_NE(Read(mSite / "customerslist.asp").find("[head two]"), std::string::npos);
}

TEST_F(GenScriptTest, ACancelEndsTheRunAndStillCleansUp) {
    mHost.CancelAtQuery(1);
    try {
        GenScript();
        ADD_FAILURE() << "not cancelled";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), -1);
        EXPECT_EQ(error.Description(), u"Generation cancelled by user!");
    }
    EXPECT_EQ(ProjErr(), "Generation cancelled by user!");
    EXPECT_FALSE(CurrentTemplateState().pageScript);
    EXPECT_FALSE(CurrentRun().cache);
    EXPECT_FALSE(fs::exists(mSite / "customerslist.asp"));
}

TEST_F(GenScriptTest, StopsBeforeGeneratingWithTheirMessages) {
    mProject->SetDestination(u" ");
    GenScript();
    EXPECT_EQ(ProjErr(), "Quorvane: Destination folder not set! Generation aborted!");
    EXPECT_EQ(automation::ToLong(Call(*mProject, u"GenCheck")), 0);
    EXPECT_EQ(ProjErr(), "Quorvane: Destination folder not set! Generation aborted!");
    EXPECT_FALSE(fs::exists(mSite / "customerslist.asp"));

    Members old = TemplateMembers;
    old["control.xml"].replace(old["control.xml"].find("version=\"6.0\""), 13, "version=\"5.2\"");
    WritePackage(old);
    mProject->SetDestination(Text(mSite));
    mHost.Answer(host::TemplateChoice::Overwrite);
    GenScript();
    EXPECT_EQ(ProjErr(),
              "Quorvane: Template version (5.2) older than minimum required (6.0)! Generation aborted!");

    fs::remove(mPackage);
    GenScript();
    EXPECT_EQ(ProjErr(), "Quorvane: Template file not found! Generation aborted!");

    Call(*mProject, u"UnLoadDB");
    EXPECT_EQ(automation::ToLong(Call(*mProject, u"GenCheck")), 0);
    EXPECT_EQ(ProjErr(), "Quorvane: Database not loaded! Generation aborted!");
    GenScript();
    EXPECT_EQ(ProjErr(), "Quorvane: Database not loaded! Generation aborted!");
}

} // namespace
} // namespace qv::test
