// Saving and loading whole projects through the project object: what comes back, what a damaged
// file leaves behind, backups, older files and the synchronisation step.

#include "ProjectFixture.h"

#include "project/ProjectFileParts.h"
#include "project/ProjectFileTestSupport.h"

#include "db/TestDatabases.h"

#include "project/Qel.h"
#include "project/QelExtension.h"
#include "project/QelExtensions.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"
#include "project/SynchronizationService.h"
#include "project/internal/ProjectFileConverter.h"
#include "project/internal/QelCustomScript.h"
#include "project/internal/QelCustomScripts.h"

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"

#include "platform/automation/Error.h"
#include "platform/system/Environment.h"
#include "platform/system/Paths.h"
#include "platform/xml/Document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;

constexpr std::u16string_view ScriptCode =
    u"Function Go()\r\n  Go = \"]]>\" & \"\u2713\"\r\nEnd Function\r\n";

class ProjectFileSaveLoad : public test::ProjectTest {
protected:
    void SetUp() override {
        test::ProjectTest::SetUp();
        WriteUserText(test::GeneralKey, u"Language", u"");
        mDatabase = std::make_unique<testdb::TestDatabase>(testdb::DatabaseKind::SQLite);
        mProject = MakeRef<Qel>();
        State().gMyDocumentsPath = system::FromNativePath(mTemp / "docs");
    }
    void TearDown() override {
        mProject = nullptr;
        mLoaded = nullptr;
        test::ProjectTest::TearDown();
        mDatabase.reset();
    }

    std::u16string File(const std::string& name) const { return system::FromNativePath(mTemp / name); }
    std::string Bytes(const std::string& name) const { return test::ReadFileBytes(mTemp / name); }
    void WriteFile(const std::string& name, const std::string& bytes) const {
        std::ofstream(mTemp / name, std::ios::binary) << bytes;
    }
    std::string ProjErr() const { return automation::ToUtf8(State().gProjErr); }

    /// The test database loaded into the project, as a new project has it.
    void LoadDatabase() {
        mProject->LoadDB(Variant(u"DB"), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""),
                         Variant(false), Variant(u""), Variant(u""), Variant(mDatabase->ConnectionString()),
                         Variant(u""));
        ASSERT_EQ(ProjErr(), "");
    }

    /// A project over the test database with settings, pairs and scripts of every kind.
    void BuildProject() {
        Qel& project = *mProject;
        LoadDatabase();
        project.SetProjName(u"Shop & Co");
        project.SetAutoSync(false);
        project.SetCache(true);
        project.SetRecPerPage(25);
        project.SetFooterText(u"line 1\r\nline 2\t<b>");
        project.SetCodePage(65001);
        // An empty mail server is filled in by the load, which a byte-for-byte check would see.
        project.SetSmtpServer(u"mail.example.com");
        QelTable& customers = *project.db()->tables()->Find(u"customers");
        customers.SetTblCaption(u"Our \u2713 customers");
        customers.Fields()->At(2)->SetFldTagValues(u"a\r\nb");
        ASSERT_TRUE(project.AddExtension(u"Chart", u"chart.zip"));
        project.AddMasterDetail(u"customers", u"orders");
        project.AddMasterDetailRelation(u"customers", u"orders", u"id", u"customer_id");
        ASSERT_TRUE(
            project.AddCustomScript(u"Table", u"Server", u"Go", u"list", u"customers", u"", ScriptCode));
        ASSERT_TRUE(project.AddCustomScript(u"Global", u"Client", u"Empty", u"", u"", u"", u""));
    }

    /// A second project of the apartment, with the shared extension list emptied.
    Qel& FreshProject() {
        mLoaded = MakeRef<Qel>();
        while (GetExtensions().Count() > 0) {
            GetExtensions().Delete(Variant(GetExtensions().At(1)->Name()));
        }
        return *mLoaded;
    }

    std::unique_ptr<testdb::TestDatabase> mDatabase;
    Ref<Qel> mProject;
    Ref<Qel> mLoaded;
};

TEST_F(ProjectFileSaveLoad, ALoadedProjectHoldsEverythingAndSavesTheSameBytes) {
    BuildProject();
    mProject->Save(File("shop.xml"));
    const std::string saved = Bytes("shop.xml");
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\"", 0), 0u);

    Qel& loaded = FreshProject();
    loaded.Load(File("shop.xml"));
    ASSERT_EQ(ProjErr(), "");
    EXPECT_EQ(loaded.ProjName(), u"Shop & Co");
    EXPECT_EQ(loaded.ProjVar(), mProject->ProjVar());
    EXPECT_TRUE(loaded.Cache());
    EXPECT_EQ(loaded.RecPerPage(), 25);
    EXPECT_EQ(loaded.FooterText(), u"line 1\r\nline 2\t<b>");
    EXPECT_EQ(mHost.Texts(host::HostCallKind::ShowProgress).back(), u"Quorvane - Loading Project File...");
    EXPECT_EQ(mHost.Count(host::HostCallKind::ShowProgress), mHost.Count(host::HostCallKind::CloseProgress));
    EXPECT_EQ(loaded.DatabaseKey(), u"DB");
    ASSERT_EQ(loaded.DBCnt(), 1);
    QelTable& customers = *loaded.db()->tables()->Find(u"customers");
    EXPECT_EQ(customers.TblCaption(), u"Our \u2713 customers");
    EXPECT_EQ(customers.Fields()->At(2)->FldTagValues(), u"a\r\nb");
    EXPECT_EQ(customers.TblKey(), mProject->db()->tables()->Find(u"customers")->TblKey());
    EXPECT_EQ(loaded.db()->DBQuoteS(), mProject->db()->DBQuoteS());
    ASSERT_EQ(GetExtensions().Count(), 1);
    EXPECT_EQ(GetExtensions().At(1)->Template(), u"chart.zip");
    const auto& pairs = *automation::DynamicRefCast<QelMasterDetails>(loaded.masterdetails());
    ASSERT_EQ(pairs.Count(), 1);
    EXPECT_EQ(pairs.At(1)->DetailField(1), u"customer_id");
    const auto& scripts = *automation::DynamicRefCast<QelCustomScripts>(loaded.customscripts());
    ASSERT_EQ(scripts.Count(), 2);
    EXPECT_EQ(scripts.At(1)->ScriptCode(), ScriptCode);
    EXPECT_EQ(scripts.At(2)->ScriptCode(), u"");

    loaded.Save(File("again.xml"));
    EXPECT_TRUE(Bytes("again.xml") == saved) << "saving a loaded project changes the file";

    // Nothing a save writes is read past, so that no file saved before is refused a save.
    EXPECT_TRUE(loaded.SkippedOnLoad().empty());
    for (const char* golden :
         {"every-element.xml", "loaded-access.xml", "loaded-sqlite.xml", "utf8-scripts-only.xml"}) {
        FreshProject().Load(
            system::FromNativePath(std::filesystem::path(QV_TEST_DATA_DIR) / "golden" / golden));
        EXPECT_TRUE(mLoaded->SkippedOnLoad().empty())
            << golden << ": " << automation::ToUtf8(mLoaded->SkippedOnLoad()[0].text);
    }
}

// A project of some five hundred tables is saved as a file over 10 MB, which the XML parser
// refused to read beyond ("Huge input lookup"): the project could be saved but never opened
// again, and every command on it failed.
TEST_F(ProjectFileSaveLoad, AProjectFileOverTenMegabytesLoadsAgain) {
    // Made without waiting for the disk after each table.
    std::u16string tables = u"PRAGMA synchronous = OFF;\n";
    for (int table = 0; table < 520; ++table) {
        tables +=
            u"CREATE TABLE wide_" + automation::FromUtf8(std::to_string(table)) + u" (id INTEGER PRIMARY KEY";
        for (int column = 1; column < 10; ++column) {
            tables += u", column_" + automation::FromUtf8(std::to_string(column)) + u" VARCHAR(50)";
        }
        tables += u");\n";
    }
    mDatabase->Execute(tables);
    // As a new project is saved with the shipped defaults: UTF-8 with a byte order mark, the
    // tables' fields last. The parser stopped where it looked ahead within a field's
    // attributes near the end of the file.
    WriteUserText(test::GeneralKey, u"UTF8Project", u"True");
    LoadDatabase();
    mProject->SetAutoSync(false);
    mProject->SetSmtpServer(u"mail.example.com");
    mProject->Save(File("large.xml"));
    ASSERT_EQ(ProjErr(), "");
    const std::string saved = Bytes("large.xml");
    ASSERT_GT(saved.size(), 10'000'000u);

    Qel& loaded = FreshProject();
    loaded.Load(File("large.xml"));
    ASSERT_EQ(ProjErr(), "");
    ASSERT_EQ(loaded.DBCnt(), 1);
    EXPECT_EQ(loaded.db()->tables()->Count(), mProject->db()->tables()->Count());
    loaded.Save(File("again.xml"));
    EXPECT_TRUE(Bytes("again.xml") == saved) << "the loaded project is not the one saved";
}

// Whatever charset the file is written in, what the project holds comes back: a character the
// charset has no byte of its own for is written as a reference, never as a byte the charset
// leaves undefined, which the reader would refuse.
TEST_F(ProjectFileSaveLoad, EveryCharsetGivesBackEveryCharacter) {
    BuildProject();
    const std::u16string name = u"M\u00fcller \u0081 caf\u00e9 \u20ac \u05d0 \u65e5\u672c \U0001F600 +-&;";
    mProject->SetProjName(name);
    for (const char16_t* charset :
         {u"iso-8859-8", u"windows-1252", u"us-ascii", u"utf-7", u"iso-8859-1", u"shift_jis", u"ibm437"}) {
        SCOPED_TRACE(automation::ToUtf8(charset));
        WriteUserText(test::GeneralKey, u"XMLEncodeCharSet", charset);
        State().gProjErr.clear();
        mProject->Save(File("charset.xml"));
        ASSERT_EQ(ProjErr(), "");
        EXPECT_NE(
            Bytes("charset.xml").find(automation::ToUtf8(u"encoding=\"" + std::u16string(charset) + u"\"")),
            std::string::npos)
            << Bytes("charset.xml").substr(0, 300);
        Qel& loaded = FreshProject();
        loaded.Load(File("charset.xml"));
        ASSERT_EQ(ProjErr(), "");
        EXPECT_EQ(loaded.ProjName(), name);
    }
}

TEST_F(ProjectFileSaveLoad, DamagedFilesLeaveTheProjectAsItWas) {
    BuildProject();
    mProject->Save(File("shop.xml"));
    const std::string good = Bytes("shop.xml");
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"truncated", good.substr(0, good.size() / 2), "Quorvane: Load Project File failed! Please check!"},
        {"empty", "", "Quorvane: Load Project File failed! Please check!"},
        {"no version", "<Project ProjName=\"x\"/>",
         "Quorvane: Load Project File failed! Please check! The element Project on line 1 cannot be read: it "
         "has no Version attribute."},
        {"other root", "<Other Version=\"6.0\"/>", "Quorvane: Invalid Project File!"},
        {"entities",
         "<!DOCTYPE Project [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
         "<Project Version=\"6.0\" ProjName=\"&b;\"/>",
         "Quorvane: Load Project File failed! Please check!"},
        {"external entity",
         "<!DOCTYPE Project [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
         "<Project Version=\"6.0\" ProjName=\"&x;\"/>",
         "Quorvane: Load Project File failed! Please check!"},
        {"script without CDATA",
         "<Project Version=\"6.0\" ProjName=\"lost\"><Database DBName=\"DB\"/>"
         "<CustomScript ScriptType=\"T\" ScriptCodeType=\"S\" ScriptName=\"N\">code</CustomScript></Project>",
         "Quorvane: Load Project File failed! Please check! The element CustomScript on line 1 cannot be "
         "read: the "
         "script code is not a CDATA section."},
        {"another database",
         "<Project Version=\"6.0\" ProjName=\"lost\"><Database DBName=\"Other\"/></Project>",
         "Quorvane: Load Project File failed! Please check! The element Database on line 1 cannot be read: "
         "the project already has the database \"DB\"."},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        WriteFile("bad.xml", row.bytes);
        mProject->Load(File("bad.xml"));
        EXPECT_EQ(ProjErr(), row.message);
        EXPECT_EQ(mProject->ProjName(), u"Shop & Co");
        EXPECT_EQ(mProject->RecPerPage(), 25);
        EXPECT_EQ(mProject->DatabaseKey(), u"DB");
        EXPECT_EQ(mProject->db()->tables()->Find(u"customers")->TblCaption(), u"Our \u2713 customers");
        // Regression: a save to the file whose load failed wrote the project over what it held.
        EXPECT_THROW(mProject->Save(File("bad.xml")), automation::Error);
        EXPECT_EQ(Bytes("bad.xml"), row.bytes) << "neither loading nor the refused save writes";
    }
    // The file the project does hold is saved over as ever, and where no file was, one is made.
    mProject->Save(File("shop.xml"));
    mProject->Load(File("missing.xml"));
    EXPECT_EQ(ProjErr(), "Quorvane: Load Project File failed! Please check!");
    mProject->Save(File("missing.xml"));

    // Regression: an element the load could not take was named by the text above alone, without
    // the line and the reason.
    WriteFile("early.xml",
              "<Project Version=\"6.0\">\n<Field FldName=\"id\"/>\n<Database DBName=\"DB\"/></Project>");
    FreshProject().Load(File("early.xml"));
    EXPECT_EQ(ProjErr(),
              "Quorvane: Load Project File failed! Please check! The element Field on line 2 cannot be "
              "read: it comes before any Database element, and the project has no database yet.");
}

// Regression: of three hundred project files damaged at random, Load and Save to the same file
// emptied more than half (their load failed, and the save wrote the project the failure left) and
// dropped settings from most of the rest (attributes the reader did not know, values it could not
// take). Whatever the damage, a save to the damaged file is refused, or writes all it held again.
TEST_F(ProjectFileSaveLoad, ARandomlyDamagedFileIsNeverSavedWithoutWhatItHeld) {
    BuildProject();
    mProject->Save(File("shop.xml"));
    const std::string good = Bytes("shop.xml");
    std::mt19937 random(20240611);
    int refused = 0;
    int saved = 0;
    for (int round = 0; round < 300; ++round) {
        std::string bad = good;
        const std::size_t at = random() % bad.size();
        switch (random() % 4) {
        case 0:
            bad[at] = static_cast<char>(' ' + random() % 95);
            break;
        case 1:
            bad.erase(at, 1 + random() % 20);
            break;
        case 2:
            bad.insert(at, good.substr(random() % good.size(), 1 + random() % 30));
            break;
        default:
            bad.resize(at);
        }
        SCOPED_TRACE("round " + std::to_string(round));
        WriteFile("damaged.xml", bad);
        Qel& project = FreshProject();
        project.Load(File("damaged.xml"));
        const std::optional<xml::Document> document = xml::Document::TryLoad(File("damaged.xml"));
        try {
            project.Save(File("damaged.xml"));
        } catch (const automation::Error&) {
            ++refused;
            ASSERT_TRUE(Bytes("damaged.xml") == bad);
            continue;
        }
        ++saved;
        ASSERT_EQ(ProjErr(), "") << "a load that failed gave a file to save over";
        const std::multiset<std::u16string> held = test::FileParts(document->DocumentElement());
        const std::multiset<std::u16string> written =
            test::FileParts(xml::Document::Load(File("damaged.xml")).DocumentElement());
        std::vector<std::u16string> dropped;
        std::set_difference(held.begin(), held.end(), written.begin(), written.end(),
                            std::back_inserter(dropped));
        ASSERT_TRUE(dropped.empty()) << automation::ToUtf8(dropped.front());
    }
    // Both ways are taken: the damage is neither always fatal nor always harmless.
    EXPECT_GT(refused, 0);
    EXPECT_GT(saved, 0);
}

TEST_F(ProjectFileSaveLoad, AFileWithoutDatabaseIsRefusedAfterItsExtensions) {
    BuildProject();
    mProject->Save(File("shop.xml"));
    const std::string shop = Bytes("shop.xml");
    const std::string nodb =
        "<Project Version=\"6.0\" SmtpServer=\"\"><Extension Name=\"Menu\" Template=\"m.zip\"/></Project>";
    WriteFile("nodb.xml", nodb);
    Qel& project = FreshProject();
    project.Load(File("shop.xml"));
    ASSERT_EQ(ProjErr(), "");
    project.UnLoadDB();
    project.Load(File("nodb.xml"));
    EXPECT_EQ(project.SmtpServer(), system::MachineName());
    EXPECT_EQ(project.SmtpServerPort(), 25);
    EXPECT_EQ(ProjErr(), "Quorvane: No Database Information in Project File!");
    ASSERT_EQ(GetExtensions().Count(), 1);
    EXPECT_EQ(GetExtensions().At(1)->Name(), u"Menu");

    // Regression: the load had reset the project and read part of the file into it, and a save
    // wrote that over the file, or over the file the project had come from, as if it held either.
    EXPECT_THROW(project.Save(File("nodb.xml")), automation::Error);
    EXPECT_NE(ProjErr().find("nodb.xml is left as it is: its load failed"), std::string::npos) << ProjErr();
    EXPECT_THROW(project.Save(File("shop.xml")), automation::Error);
    EXPECT_NE(ProjErr().find("shop.xml is left as it is: the project no longer holds it as it was loaded, "
                             "since the load of " +
                             automation::ToUtf8(File("nodb.xml"))),
              std::string::npos)
        << ProjErr();
    EXPECT_TRUE(Bytes("nodb.xml") == nodb && Bytes("shop.xml") == shop);
    // What it holds now goes to a file of its own, and again to that file.
    project.Save(File("mixed.xml"));
    project.Save(File("mixed.xml"));
}

// Regression: a load that read past a second table of one name left it out, and Save through
// the object model then wrote the file without it, returning normally with ProjErr empty.
TEST_F(ProjectFileSaveLoad, SaveRefusesToWriteTheLoadedFileWithoutWhatTheLoadSkipped) {
    BuildProject();
    mProject->Save(File("shop.xml"));
    std::string bytes = Bytes("shop.xml");
    const std::string from = "TblName=\"order_lines\"";
    ASSERT_NE(bytes.find(from), std::string::npos);
    bytes.replace(bytes.find(from), from.size(), "TblName=\"Customers\"");
    WriteFile("twice.xml", bytes);
    std::filesystem::create_directory(mTemp / "sub");
    std::filesystem::create_symlink(mTemp / "twice.xml", mTemp / "link.xml");
    std::filesystem::create_hard_link(mTemp / "twice.xml", mTemp / "hard.xml");

    Qel& project = FreshProject();
    project.Load(File("twice.xml"));
    ASSERT_EQ(ProjErr(), "");
    ASSERT_EQ(project.SkippedOnLoad().size(), 1u);
    // The same file, however the caller names it.
    for (const std::u16string& path : {File("twice.xml"), File("sub/../twice.xml"), File("./twice.xml"),
                                       File("link.xml"), File("hard.xml")}) {
        SCOPED_TRACE(automation::ToUtf8(path));
        State().gProjErr.clear();
        try {
            automation::CallByName(project, u"Save", automation::InvokeKind::Method, {Variant(path)});
            ADD_FAILURE() << "the save went through";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Description(), State().gProjErr);
        }
        EXPECT_NE(
            ProjErr().find(" is left as it is: saving the project would drop the element of it that the "
                           "load skipped. Change the file first: rename the table \"Customers\" on line"),
            std::string::npos)
            << ProjErr();
        EXPECT_TRUE(Bytes("twice.xml") == bytes) << "the file is left byte for byte";
    }
    // Regression: a load that failed emptied the list of what the earlier load skipped.
    WriteFile("bad.xml", "not XML");
    project.Load(File("bad.xml"));
    EXPECT_THROW(project.Save(File("twice.xml")), automation::Error);
    // Another file is a copy the user makes on purpose, and may be saved again.
    automation::CallByName(project, u"Save", automation::InvokeKind::Method, {Variant(File("copy.xml"))});
    automation::CallByName(project, u"Save", automation::InvokeKind::Method, {Variant(File("copy.xml"))});
    EXPECT_EQ(Bytes("copy.xml").find("TblName=\"Customers\""), std::string::npos);
    EXPECT_TRUE(Bytes("twice.xml") == bytes);
    // A file that loads whole is saved over as ever.
    Qel& whole = FreshProject();
    whole.Load(File("copy.xml"));
    ASSERT_EQ(ProjErr(), "");
    whole.Save(File("copy.xml"));
}

// Regression: the refusal knew the loaded file by the path it was loaded by, so that the file
// renamed, or reached through a link that had been moved, was saved without what the load skipped.
TEST_F(ProjectFileSaveLoad, TheRefusalKnowsTheFileItselfNotThePathItWasLoadedBy) {
    BuildProject();
    mProject->Save(File("shop.xml"));
    std::string bytes = Bytes("shop.xml");
    bytes.replace(bytes.find("TblName=\"order_lines\""), 21, "TblName=\"Customers\"");
    WriteFile("twice.xml", bytes);
    std::filesystem::create_symlink(mTemp / "twice.xml", mTemp / "link.xml");
    FreshProject().Load(File("link.xml"));
    std::filesystem::rename(mTemp / "link.xml", mTemp / "moved-link.xml");
    EXPECT_THROW(mLoaded->Save(File("moved-link.xml")), automation::Error);

    Qel& project = FreshProject();
    project.Load(File("twice.xml"));
    ASSERT_EQ(project.SkippedOnLoad().size(), 1u);
    std::filesystem::rename(mTemp / "twice.xml", mTemp / "moved.xml");
    EXPECT_THROW(project.Save(File("moved.xml")), automation::Error);
    // Changed in place it is still that file, which may hold more now.
    std::ofstream(mTemp / "moved.xml", std::ios::binary | std::ios::app) << "\n";
    EXPECT_THROW(project.Save(File("moved.xml")), automation::Error);
    EXPECT_EQ(Bytes("moved.xml"), bytes + "\n");
    // At the old path, the same bytes put back are the file again; a file that only took the path
    // is another, saved over as any other.
    WriteFile("twice.xml", bytes);
    EXPECT_THROW(project.Save(File("twice.xml")), automation::Error);
    WriteFile("twice.xml", "<Project/>");
    project.Save(File("twice.xml"));
    EXPECT_NE(Bytes("twice.xml").find("TblName=\"customers\""), std::string::npos);
    EXPECT_EQ(Bytes("moved.xml"), bytes + "\n");
}

// Regression: after DeleteProj and a new project, the file the old project was loaded from was
// still refused, although the project saved no longer came from it.
TEST_F(ProjectFileSaveLoad, TheRefusalLastsAsLongAsTheProjectComesFromTheFile) {
    WriteFile("twice.xml",
              "<Project Version=\"6.0\" AutoSync=\"0\"><Database DBName=\"DB\"><Table TblName=\"T\"/>"
              "<Table TblName=\"t\"/></Database></Project>");
    Qel& project = FreshProject();
    project.Load(File("twice.xml"));
    ASSERT_EQ(project.SkippedOnLoad().size(), 1u);
    // Changed, saved elsewhere, it still holds the file's settings, not the table the load skipped.
    project.AddProj(u"renamed");
    project.LoadDefault();
    project.UnLoadDB();
    project.Save(File("copy.xml"));
    EXPECT_THROW(project.Save(File("twice.xml")), automation::Error);
    project.DeleteProj();
    project.AddProj(u"new");
    project.Save(File("twice.xml"));
    EXPECT_EQ(Bytes("twice.xml").find("TblName=\"t\""), std::string::npos);
}

/// Records what it was asked and answers with a prepared file.
class RecordingConverter final : public ProjectFileConverter {
public:
    explicit RecordingConverter(std::u16string answer, std::vector<std::u16string>& calls)
        : mAnswer(std::move(answer)), mCalls(calls) {}
    std::u16string ConvertProject(std::u16string_view projFile, std::u16string_view language,
                                  std::u16string_view version) override {
        mCalls.push_back(std::u16string(projFile) + u"|" + std::u16string(language) + u"|" +
                         std::u16string(version));
        return mAnswer;
    }

private:
    std::u16string mAnswer;
    std::vector<std::u16string>& mCalls;
};

TEST_F(ProjectFileSaveLoad, OnlyOlderFilesGoThroughTheConverter) {
    std::vector<std::u16string> calls;
    WriteFile(
        "converted.xml",
        "<Project Version=\"6.0\" ProjName=\"converted\" AutoSync=\"0\"><Database DBName=\"DB\"/></Project>");
    RegisterProjectFileConverter(std::make_unique<RecordingConverter>(File("converted.xml"), calls));
    WriteFile(
        "old.xml",
        "<Project Version=\"5.0.1\" ProjName=\"old\" AutoSync=\"0\"><Database DBName=\"DB\"/></Project>");
    Qel& project = FreshProject();
    project.Load(File("old.xml"));
    EXPECT_EQ(ProjErr(), "");
    EXPECT_EQ(project.ProjName(), u"converted");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], File("old.xml") + u"|ASP|" + project.DllVersion());

    for (const char* version : {"6.0", "6", "6.0.0.5"}) {
        WriteFile("new.xml", std::string("<Project Version=\"") + version +
                                 "\" ProjName=\"new\" AutoSync=\"0\"><Database DBName=\"DB\"/></Project>");
        project.Load(File("new.xml"));
        EXPECT_EQ(project.ProjName(), u"new") << version;
    }
    EXPECT_EQ(calls.size(), 1u);

    // Without a converter the older file is read as it is.
    RegisterProjectFileConverter(nullptr);
    project.Load(File("old.xml"));
    EXPECT_EQ(ProjErr(), "");
    EXPECT_EQ(project.ProjName(), u"old");
}

/// Records the synchronisation step of a load.
class RecordingSync final : public SynchronizationService {
public:
    explicit RecordingSync(int& calls) : mCalls(calls) {}
    std::int16_t CheckDB(Qel&) override { return 0; }
    void SynchronizeDB(Qel&) override {}
    void SyncCustom(Qel&, const Variant&) override {}
    void SyncReport(Qel&, const Variant&) override {}
    void LoadCustomView(Qel&, const Variant&, const Variant&, const Variant&) override {}
    bool LoadReport(Qel&, const Variant&, const Variant&) override { return false; }
    void SynchronizeAfterLoad(Qel&) override { ++mCalls; }

private:
    int& mCalls;
};

// Only a project that asks for it is compared with its database after a load.
TEST_F(ProjectFileSaveLoad, AutoSyncHandsOverToTheService) {
    int calls = 0;
    WriteFile("sync.xml", "<Project Version=\"6.0\" AutoSync=\"1\"><Database DBName=\"DB\"/></Project>");
    WriteFile("nosync.xml", "<Project Version=\"6.0\" AutoSync=\"0\"><Database DBName=\"DB\"/></Project>");
    Qel& project = FreshProject();
    project.Load(File("sync.xml"));
    EXPECT_EQ(ProjErr(),
              "Quorvane: Synchronization is not available: no synchronization service is registered!");
    EXPECT_EQ(project.DBCnt(), 1) << "the project is loaded all the same";

    RegisterSynchronizationService(std::make_unique<RecordingSync>(calls));
    project.Load(File("nosync.xml"));
    EXPECT_EQ(calls, 0);
    project.Load(File("sync.xml"));
    EXPECT_EQ(calls, 1);
}

TEST_F(ProjectFileSaveLoad, ASaveThatCannotBeWrittenTouchesNoFile) {
    BuildProject();
    mProject->Save(File("shop.xml"));
    const std::string before = Bytes("shop.xml");
    mProject->db()->tables()->Find(u"customers")->Fields()->At(1)->SetFldCaption(u"bell\u0007");
    EXPECT_THROW(mProject->Save(File("shop.xml")), automation::Error);
    EXPECT_EQ(Bytes("shop.xml"), before);
    EXPECT_FALSE(std::filesystem::exists(mTemp / "docs" / "Quorvane" / "Backup" / "shop(1).xml"));

    // A value with no text form is saved as "" instead of stopping every save.
    mProject->db()->tables()->Find(u"customers")->Fields()->At(1)->SetFldCaption(u"fine");
    mProject->Properties()->Item(Variant(u"FooterText"))->SetValue(Variant::Null());
    mProject->Save(File("shop.xml"));
    EXPECT_NE(Bytes("shop.xml").find("FooterText=\"\""), std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(mTemp / "docs" / "Quorvane" / "Backup" / "shop(1).xml"), before);
}

} // namespace
} // namespace qv
