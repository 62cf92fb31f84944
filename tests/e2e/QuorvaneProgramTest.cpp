// The quorvane program run as a user runs it: a project made from an SQLite database, saved,
// loaded, changed, generated and generated again, compared with the golden site under
// golden/site; and bad input refused without touching what exists. Every run has its own
// hives, configuration and documents folders in a temporary folder.

#include "asp/AspPages.h"

#include "support/ProgramRun.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"

#include "platform/ado/Command.h"
#include "platform/ado/Connection.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

using Members = std::map<std::string, std::string>;

// A small package whose pages hold server-side script, an include made by an "other" control, a
// field page in a folder, a web.config and a copied image.
const Members ShopPackage = {
    {"control.xml",
     "<?xml version=\"1.0\"?>\r\n"
     "<Quorvane_Template date=\"2024/05/01\" version=\"6.0\" desc=\"Shop\" author=\"Tests\">\r\n"
     "  <control id=\"list\" type=\"table\" ifiles=\"list.htm\" ofile=\"list\" oext=\"asp\"/>\r\n"
     "  <control id=\"view\" type=\"field\" ifiles=\"field.htm\" ofile=\"view\" oext=\"asp\" "
     "ofolder=\"fields\"/>\r\n"
     "  <control id=\"common\" type=\"other\" ifiles=\"common.htm\" ofile=\"common\" oext=\"asp\"/>\r\n"
     "  <control id=\"home\" type=\"other\" ifiles=\"home.htm\" ofile=\"default\" oext=\"asp\"/>\r\n"
     "  <control id=\"config\" type=\"simple\" ifiles=\"config.htm\" ofile=\"web\" oext=\"config\" "
     "space=\"false\"/>\r\n"
     "  <control id=\"images\" type=\"copy\" ifiles=\"images/logo.gif\"/>\r\n"
     "</Quorvane_Template>\r\n"},
    {"lang.xml", "<?xml version=\"1.0\"?>\r\n<Quorvane.language>\r\n"
                 "  <phrase id=\"Fields\" value=\"fields\"/>\r\n</Quorvane.language>\r\n"},
    {"list.htm",
     "<%@ Language=VBScript %>\r\n"
     "<!--#include file=\"common.asp\"-->\r\n"
     "<html><head><title><!--##=TABLE.TblName##--></title></head>\r\n"
     "<body>\r\n"
     "<% Dim fieldCount\r\n"
     "fieldCount = <!--##=TABLE.Fields.Count##-->\r\n"
     "If fieldCount > 0 Then %>\r\n"
     "<p><%= Greeting(\"<!--##=TABLE.TblName##-->\") %>: <%= fieldCount %> <!--##@Fields##--></p>\r\n"
     "<% End If %>\r\n"
     "</body></html>\r\n"},
    {"field.htm",
     "<p><%= Server.HTMLEncode(\"<!--##=TABLE.TblName##-->.<!--##=FIELD.FldName##-->\") %></p>\r\n"},
    {"common.htm",
     "<%\r\nFunction Greeting(name)\r\n    Greeting = \"Hello, \" & name\r\nEnd Function\r\n%>\r\n"},
    {"home.htm",
     "<!--#include file=\"common.asp\"-->\r\n<h1><%= Greeting(\"<!--##=PROJ.ProjName##-->\") %></h1>\r\n"},
    {"config.htm", "<configuration>\r\n  <appSettings/>\r\n</configuration>\r\n"},
    {"images/logo.gif", "GIF89a"},
};

std::string Read(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

/// Every regular file below `folder`, relative and sorted.
std::vector<std::string> Files(const fs::path& folder) {
    std::vector<std::string> files;
    if (!fs::exists(folder)) {
        return files;
    }
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files.push_back(fs::relative(entry.path(), folder).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

/// Every file's modification time, to tell which files a run wrote.
std::map<std::string, fs::file_time_type> Stamps(const fs::path& folder) {
    std::map<std::string, fs::file_time_type> stamps;
    for (const std::string& file : Files(folder)) {
        stamps[file] = fs::last_write_time(folder / file);
    }
    return stamps;
}

/// Makes a folder take no writes for as long as it lives, by mounting it read-only over itself:
/// the tests run as root, whom permission bits alone do not stop.
class ReadOnlyMount {
public:
    explicit ReadOnlyMount(fs::path folder) : mFolder(std::move(folder)) {
        if (::geteuid() != 0) {
            mRefused = "mounting a folder read-only needs root";
            return;
        }
        if (::mount(mFolder.c_str(), mFolder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            mRefused = std::string("the bind mount was refused: ") + std::strerror(errno);
            return;
        }
        mMounted = true;
        if (::mount(nullptr, mFolder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
            mRefused = std::string("the read-only remount was refused: ") + std::strerror(errno);
        }
    }
    ~ReadOnlyMount() {
        if (mMounted) {
            ::umount2(mFolder.c_str(), MNT_DETACH);
        }
    }
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;

    /// Why the folder could not be made read-only; empty when it is.
    const std::string& Refused() const { return mRefused; }

private:
    fs::path mFolder;
    bool mMounted = false;
    std::string mRefused;
};

class QuorvaneProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(mWork);
        const RunResult created = RunProgram(
            "/bin/sh", {"-c", "sqlite3 shop.db < \"$0\"", std::string(QV_TEST_DATA_DIR) + "/shop.sql"}, {},
            mWork);
        ASSERT_EQ(created.status, 0) << created.err;
        WritePackage(mPackage, ShopPackage);
    }

    /// The test's own hives and folders.
    std::map<std::string, std::string> Environment() const {
        return {
            {"QUORVANE_USER_HIVE", (mTemp / "user.reg").string()},
            {"QUORVANE_DOCUMENTS", (mTemp / "documents").string()},
            {"XDG_CONFIG_HOME", (mTemp / "config").string()},
            {"HOME", (mTemp / "home").string()},
        };
    }

    /// Runs quorvane in the work folder under the test's own hives and folders.
    RunResult Quorvane(const std::vector<std::string>& arguments) {
        return RunProgram(QV_QUORVANE_PROGRAM, arguments, Environment(), mWork);
    }

    /// Runs two quorvane commands side by side in the work folder, as two users would, each
    /// `times` times over, the second after a pause that differs from run to run: the runs meet
    /// each other at every stage of their work. Before each run the package gets a new time, so
    /// that a generation extracts it again and prepares every script anew. Gives a line "first
    /// FAILURES" and a line "second FAILURES", and the errors.
    RunResult Together(const std::vector<std::string>& first, const std::vector<std::string>& second,
                       int times) {
        const auto side = [times](const std::string& name, int number,
                                  const std::vector<std::string>& arguments) {
            std::string line = "(n=0; i=0; while [ $i -lt " + std::to_string(times) +
                               " ]; do touch -d @$((1600000000 + " + std::to_string(number * 1000) +
                               " + i)) \"$1\"; sleep $(printf 0.%03d $((i * " +
                               std::to_string(number == 1 ? 0 : 13) + " % 40))); \"$0\"";
            for (const std::string& argument : arguments) {
                line += " '" + argument + "'";
            }
            return line + " >/dev/null 2>>" + name + ".err || n=$((n + 1)); i=$((i + 1)); done; echo \"" +
                   name + " $n\" >" + name + ".count) & ";
        };
        const std::string script = side("first", 1, first) + side("second", 2, second) +
                                   "wait; cat first.count second.count; cat first.err second.err >&2; "
                                   "rm -f first.count second.count first.err second.err";
        return RunProgram("/bin/sh", {"-c", script, QV_QUORVANE_PROGRAM, mPackage.string()}, Environment(),
                          mWork);
    }

    /// Runs quorvane and expects success.
    std::string Succeed(const std::vector<std::string>& arguments) {
        const RunResult result = Quorvane(arguments);
        EXPECT_EQ(result.status, 0) << arguments.front() << ": " << result.err;
        return result.out;
    }

    /// Runs quorvane and expects a failure with `text` in its message.
    /// Runs quorvane and expects a failure with `text` in its message, which starts as every
    /// message of the program does. Gives standard error.
    std::string Fail(const std::vector<std::string>& arguments, const std::string& text) {
        const RunResult result = Quorvane(arguments);
        EXPECT_NE(result.status, 0) << arguments.front() << " succeeded: " << result.out;
        EXPECT_NE(result.err.find(text), std::string::npos) << result.err;
        // Progress captions, written as lines without a terminal, come before it.
        std::size_t message = 0;
        while (result.err.compare(message, 11, "Quorvane - ") == 0) {
            message = result.err.find('\n', message) + 1;
        }
        EXPECT_EQ(result.err.compare(message, 10, "quorvane: "), 0) << result.err;
        return result.err;
    }

    /// Runs SQL statements on the work folder's shop database.
    void Sqlite(const std::string& statements, const std::string& database = "shop.db") {
        const RunResult result =
            RunProgram("/bin/sh", {"-c", "sqlite3 \"$0\" \"$1\"", database, statements}, {}, mWork);
        ASSERT_EQ(result.status, 0) << result.err;
    }

    static void WritePackage(const fs::path& file, const Members& members) {
        ASSERT_EQ(test::WriteZip(file, members), "");
    }

    /// A new project over the shop database with the test package, every table generated.
    void CreateProject() {
        Succeed({"new", "shop.xml", "--sqlite", "shop.db"});
        Succeed({"set", "shop.xml", "Template=" + mPackage.string(), "PromptOnOverwrite=True"});
        for (const char* table : {"customers", "products", "order_lines", "big_lines"}) {
            Succeed({"set", "shop.xml", table, "TblGen=True", "TblOverwrite=True"});
        }
    }

    /// The site's files equal the golden tree's, byte for byte, once the absolute folders a
    /// page may name (the bundled database's) read as placeholders.
    void ExpectGoldenSite(const fs::path& site, const std::string& name) {
        const fs::path golden = fs::path(QV_TEST_DATA_DIR) / "golden" / name;
        // Goldens change only on purpose: QV_UPDATE_GOLDEN=1 writes the site over them.
        if (std::getenv("QV_UPDATE_GOLDEN") != nullptr) {
            fs::remove_all(golden);
            for (const std::string& file : Files(site)) {
                Write(golden / file, Portable(Read(site / file)));
            }
        }
        ASSERT_EQ(Files(site), Files(golden));
        for (const std::string& file : Files(golden)) {
            SCOPED_TRACE(file);
            EXPECT_EQ(Portable(Read(site / file)), Read(golden / file));
        }
    }

    /// The text with the share folder of the program under test written "@SHARE@".
    static std::string Portable(std::string text) {
        const std::string share =
            fs::weakly_canonical(fs::path(QV_QUORVANE_PROGRAM).parent_path() / ".." / "share" / "quorvane")
                .string();
        for (std::size_t position = text.find(share); position != std::string::npos;
             position = text.find(share, position)) {
            text.replace(position, share.size(), "@SHARE@");
        }
        return text;
    }
    void ExpectGoldenSite() { ExpectGoldenSite(mSite, "site"); }

    TempDir mTemp;
    fs::path mWork = mTemp / "work";
    fs::path mSite = mWork / "shop-site";
    fs::path mPackage = mTemp / "packages" / "shop.zip";
};

TEST_F(QuorvaneProgramTest, GeneratesTheSavedProjectAndAgainWithoutTouchingIt) {
    CreateProject();
    const std::string settings = Succeed({"show", "shop.xml"});
    EXPECT_NE(settings.find("ProjName = shop\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("Destination = " + mSite.string() + "\n"), std::string::npos) << settings;

    const std::string first = Succeed({"generate", "shop.xml"});
    EXPECT_NE(first.find(" new, 0 replaced"), std::string::npos) << first;
    ExpectGoldenSite();
    const std::vector<std::string> failures = AspCompileFailures(mSite);
    EXPECT_TRUE(failures.empty()) << failures.front();
    const std::string existing = Succeed({"gencheck", "shop.xml"});
    EXPECT_GT(std::atoi(existing.c_str()), 0) << existing;
    EXPECT_NE(existing.find(" existing output files found"), std::string::npos) << existing;

    // Nothing changed: no page is written and nothing is asked, although the project asks
    // before replacing a file.
    const auto before = Stamps(mSite);
    // A copy a killed run left half-made below the site goes although the copy comes out the
    // same; a user's file that merely looks like one stays.
    const fs::path halfCopy = mSite / "images" / ".logo.gif.~qvtmp-0123456789abcdef";
    const fs::path usersFile = mSite / ".notes.txt.tmp-deadbeef";
    Write(halfCopy, "GIF");
    Write(usersFile, "notes");
    const RunResult again = Quorvane({"generate", "shop.xml"});
    EXPECT_FALSE(fs::exists(halfCopy));
    EXPECT_EQ(Read(usersFile), "notes");
    fs::remove(usersFile);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find(": 0 new, 0 replaced"), std::string::npos) << again.out;
    EXPECT_EQ(again.err.find("already exists"), std::string::npos) << again.err;
    EXPECT_EQ(Stamps(mSite), before);
    ExpectGoldenSite();
}

// The bundled demo: the shop database and our template package from the staged share tree.
TEST_F(QuorvaneProgramTest, DemoGeneratesTheBundledShopAndAgainWithoutTouchingIt) {
    const std::string first = Succeed({"demo", "site"});
    EXPECT_NE(first.find("Site:         " + (mWork / "site").string() + "\n"), std::string::npos) << first;
    EXPECT_NE(first.find("Project file: " + (mWork / "site.xml").string() + "\n"), std::string::npos)
        << first;
    ExpectGoldenSite(mWork / "site", "demo");
    const std::vector<std::string> failures = AspCompileFailures(mWork / "site");
    EXPECT_TRUE(failures.empty()) << failures.size() << " pages, first: " << failures.front();

    const auto before = Stamps(mWork / "site");
    EXPECT_NE(Succeed({"demo", "site"}).find(": 0 new, 0 replaced"), std::string::npos);
    const RunResult again = Quorvane({"generate", "site.xml"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find(": 0 new, 0 replaced"), std::string::npos) << again.out;
    EXPECT_EQ(again.err.find("already exists"), std::string::npos) << again.err;
    EXPECT_EQ(Stamps(mWork / "site"), before);
}

TEST_F(QuorvaneProgramTest, RegeneratesOnlyWhatAChangedSettingChanges) {
    CreateProject();
    Succeed({"generate", "shop.xml"});
    const auto before = Stamps(mSite);
    const std::string home = Read(mSite / "default.asp");
    Succeed({"set", "shop.xml", "ProjName=Corner Shop"});

    // Kept when told so, and without a terminal when asking is the rule.
    const RunResult kept = Quorvane({"generate", "shop.xml", "--overwrite", "none"});
    EXPECT_EQ(kept.status, 0) << kept.err;
    // Only the page that changed is kept although changed; the rest came out the same.
    EXPECT_NE(kept.out.find("0 new, 0 replaced, " + std::to_string(before.size() - 1) +
                            " left as they were, 1 kept although changed, 0 not rebuilt"),
              std::string::npos)
        << kept.out;
    const RunResult unattended = Quorvane({"generate", "shop.xml"});
    EXPECT_EQ(unattended.status, 0) << unattended.err;
    EXPECT_NE(unattended.err.find("quorvane: File " + (mSite / "default.asp").string() +
                                  " already exists! -> Skip"),
              std::string::npos)
        << unattended.err;
    // The page that would change is told apart from those that would come out the same.
    EXPECT_NE(unattended.out.find("0 new, 0 replaced, " + std::to_string(before.size() - 1) +
                                  " left as they were, 1 kept although changed, 0 not rebuilt"),
              std::string::npos)
        << unattended.out;
    EXPECT_EQ(Read(mSite / "default.asp"), home);

    const std::string replaced = Succeed({"generate", "shop.xml", "--overwrite", "all"});
    EXPECT_NE(replaced.find("0 new, 1 replaced"), std::string::npos) << replaced;
    EXPECT_NE(Read(mSite / "default.asp").find("Corner Shop"), std::string::npos);
    EXPECT_EQ(Read(mSite / "default.asp.bak"), home);
    auto after = Stamps(mSite);
    after.erase("default.asp");
    after.erase("default.asp.bak");
    auto unchanged = before;
    unchanged.erase("default.asp");
    EXPECT_EQ(after, unchanged);

    // A table whose pages may not be replaced: its pages are not built, and are counted apart
    // from those that were built and found the same.
    Succeed({"set", "shop.xml", "customers", "TblOverwrite=False"});
    Succeed({"set", "shop.xml", "ProjName=Shop"});
    const std::size_t customerPages =
        static_cast<std::size_t>(std::count_if(before.begin(), before.end(), [](const auto& entry) {
            return entry.first.starts_with("customers") || entry.first.starts_with("fields/customers");
        }));
    ASSERT_GT(customerPages, 1u);
    const std::string locked = Succeed({"generate", "shop.xml", "--overwrite", "none"});
    EXPECT_NE(locked.find("0 new, 0 replaced, " + std::to_string(before.size() - 1 - customerPages) +
                          " left as they were, 1 kept although changed, " + std::to_string(customerPages) +
                          " not rebuilt"),
              std::string::npos)
        << locked;
}

// A site on a disk that takes no writes: the page and the copied image that would change used
// to be counted as kept although changed, and the run ended with success.
TEST_F(QuorvaneProgramTest, OutputsThatCannotBeWrittenFailTheRun) {
    CreateProject();
    Succeed({"generate", "shop.xml"});
    const std::string home = Read(mSite / "default.asp");
    Succeed({"set", "shop.xml", "ProjName=Corner Shop"});
    Members package = ShopPackage;
    package["images/logo.gif"] = "GIF89a, second edition";
    WritePackage(mPackage, package);

    const ReadOnlyMount readOnly(mSite);
    if (!readOnly.Refused().empty()) {
        GTEST_SKIP() << readOnly.Refused();
    }
    const RunResult run =
        Quorvane({"generate", "shop.xml", "--overwrite", "all", "--template-folder", "replace"});
    EXPECT_NE(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("0 new, 0 replaced, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" 0 kept although changed, 0 not rebuilt as TblOverwrite or OtherOverwrite is "
                           "False, 2 could not be written\n"),
              std::string::npos)
        << run.out;
    for (const fs::path& output : {mSite / "default.asp", mSite / "images" / "logo.gif"}) {
        EXPECT_NE(run.err.find("quorvane: Error in open \"" + output.string() + "\", description:"),
                  std::string::npos)
            << output << "\n"
            << run.err;
    }
    EXPECT_NE(run.err.find("quorvane: generate: 2 outputs could not be written"), std::string::npos)
        << run.err;
    EXPECT_EQ(Read(mSite / "default.asp"), home);
    EXPECT_EQ(Read(mSite / "images" / "logo.gif"), "GIF89a");
}

// A new table's pages follow its settings: its TblOverwrite comes True from the shipped
// defaults, so that replacing a changed page is the user's answer alone.
TEST_F(QuorvaneProgramTest, NewTablesReplaceTheirPagesWhenTheirSettingsChange) {
    Members package = ShopPackage;
    package["list.htm"] = "<h1><!--##=TABLE.TblCaption##--></h1>\r\n";
    WritePackage(mPackage, package);
    Succeed({"new", "shop.xml", "--sqlite", "shop.db"});
    Succeed({"set", "shop.xml", "Template=" + mPackage.string()});
    EXPECT_NE(Succeed({"show", "shop.xml", "customers"}).find("TblOverwrite = True\n"), std::string::npos);
    Succeed({"generate", "shop.xml", "--overwrite", "all"});
    const fs::path page = mSite / "customerslist.asp";
    ASSERT_TRUE(fs::exists(page)) << Files(mSite).size() << " files in the site";

    Succeed({"set", "shop.xml", "customers", "TblCaption=Our clients"});
    const std::string replaced = Succeed({"generate", "shop.xml", "--overwrite", "all"});
    EXPECT_NE(replaced.find("0 new, 1 replaced"), std::string::npos) << replaced;
    EXPECT_NE(Read(page).find("Our clients"), std::string::npos) << Read(page);
}

// Questions nobody can answer are answered as their dialogs closed without a button: the
// changed package is extracted again and a changed key is taken from the database. Both are said.
TEST_F(QuorvaneProgramTest, AnswersUnattendedQuestionsAsADialogClosedWithoutAButton) {
    CreateProject();
    Succeed({"generate", "shop.xml"});
    Members package = ShopPackage;
    package["list.htm"] = "<p>Second edition of <!--##=TABLE.TblName##--></p>\r\n";
    WritePackage(mPackage, package);
    const RunResult regenerated = Quorvane({"generate", "shop.xml", "--overwrite", "all"});
    EXPECT_EQ(regenerated.status, 0) << regenerated.err;
    EXPECT_NE(
        regenerated.err.find("quorvane: no terminal to ask whether to keep the extracted template folder"),
        std::string::npos)
        << regenerated.err;
    EXPECT_NE(Read(mSite / "customerslist.asp").find("Second edition of customers"), std::string::npos);

    Sqlite("CREATE TABLE renewed (id INTEGER, name VARCHAR(50) NOT NULL PRIMARY KEY, city VARCHAR(40), "
           "active BOOLEAN NOT NULL DEFAULT 1); INSERT INTO renewed SELECT * FROM customers; "
           "DROP TABLE customers; ALTER TABLE renewed RENAME TO customers;");
    const RunResult synced = Quorvane({"sync", "shop.xml"});
    EXPECT_EQ(synced.status, 0) << synced.err;
    EXPECT_NE(
        synced.err.find("quorvane: no terminal to ask: Primary key for \"customers\" has been modified."),
        std::string::npos)
        << synced.err;
    EXPECT_NE(synced.err.find("the database's key is taken"), std::string::npos) << synced.err;
    EXPECT_NE(Succeed({"show", "shop.xml", "customers"}).find("TblKey = name\n"), std::string::npos);
    EXPECT_NE(Succeed({"show", "shop.xml", "customers.name"}).find("FldIsPrimaryKey = True\n"),
              std::string::npos);
    EXPECT_NE(Succeed({"show", "shop.xml", "customers.id"}).find("FldIsPrimaryKey = False\n"),
              std::string::npos);
}

// show, set and unload-table never reach the database, so a project whose database is gone can
// still be mended; the commands that need the database say how to get by without it.
TEST_F(QuorvaneProgramTest, SettingsCommandsWorkWhileTheDatabaseIsDown) {
    fs::copy_file(mWork / "shop.db", mWork / "gone.db");
    Succeed({"new", "gone.xml", "--connection-string",
             "Driver=SQLite3;Database=" + (mWork / "gone.db").string()});
    Succeed({"set", "gone.xml", "Template=" + mPackage.string(), "AutoSync=True"});
    // A folder where the database file was: the driver cannot open it (and cannot quietly
    // create an empty database in its place).
    fs::remove(mWork / "gone.db");
    fs::create_directory(mWork / "gone.db");

    EXPECT_NE(Succeed({"show", "gone.xml", "customers"}).find("TblName = customers\n"), std::string::npos);
    Succeed({"set", "gone.xml", "BodyTitle=Closed for now"});
    Succeed({"unload-table", "gone.xml", "products"});
    const std::string checked = Fail({"check", "gone.xml"}, "'quorvane set gone.xml AutoSync=False'");
    EXPECT_NE(checked.find("could not be reached"), std::string::npos) << checked;
    Fail({"generate", "gone.xml"}, "'quorvane set gone.xml AutoSync=False'");
    EXPECT_FALSE(fs::exists(mWork / "gone-site"));
    Succeed({"set", "gone.xml", "AutoSync=False"});
    const std::string generated = Succeed({"generate", "gone.xml"});
    EXPECT_NE(generated.find(" new, 0 replaced"), std::string::npos) << generated;
    EXPECT_TRUE(fs::exists(mWork / "gone-site" / "customerslist.asp"));
    EXPECT_FALSE(fs::exists(mWork / "gone-site" / "productslist.asp"));
}

// A project whose SQLite file was removed: the driver used to create an empty database in its
// place, and the comparison then took every table for dropped.
TEST_F(QuorvaneProgramTest, AMissingSqliteDatabaseIsNamedAndNeverCreated) {
    fs::copy_file(mWork / "shop.db", mWork / "removed.db");
    const std::string removed = (mWork / "removed.db").string();
    Succeed({"new", "removed.xml", "--connection-string", "Driver=SQLite3;Database=" + removed});
    Succeed({"set", "removed.xml", "AutoSync=True"});
    fs::remove(mWork / "removed.db");
    const std::string project = Read(mWork / "removed.xml");

    EXPECT_NE(Succeed({"show", "removed.xml", "customers"}).find("TblName = customers\n"), std::string::npos);
    const std::string checked = Fail({"check", "removed.xml"}, "\"" + removed + "\" does not exist");
    EXPECT_NE(checked.find("could not be reached"), std::string::npos) << checked;
    Fail({"sync", "removed.xml"}, "\"" + removed + "\" does not exist");
    EXPECT_FALSE(fs::exists(mWork / "removed.db"));
    EXPECT_EQ(Read(mWork / "removed.xml"), project);

    // Nor does a new project create the file it names.
    const std::string none = (mWork / "none.db").string();
    Fail({"new", "none.xml", "--connection-string", "Driver=SQLite3;Database=" + none},
         "\"" + none + "\" does not exist");
    EXPECT_FALSE(fs::exists(mWork / "none.db"));
    EXPECT_FALSE(fs::exists(mWork / "none.xml"));
}

// A project's SQLite file emptied (truncated, or a link to a device put in its place) opened as a
// database without tables: check listed every table as gone, and sync, told on standard error
// that the project was kept, saved it without a table. Both succeeded.
TEST_F(QuorvaneProgramTest, AnEmptiedSqliteDatabaseIsRefusedAndTheProjectKept) {
    const std::string database = (mWork / "shop.db").string();
    Succeed({"new", "emptied.xml", "--connection-string", "Driver=SQLite3;Database=" + database});
    Succeed({"set", "emptied.xml", "AutoSync=True"});
    const std::string project = Read(mWork / "emptied.xml");
    fs::copy_file(mWork / "shop.db", mWork / "saved.db");
    fs::resize_file(mWork / "shop.db", 0);
    Fail({"check", "emptied.xml"}, "\"" + database + "\" is empty: file is not a database");
    Fail({"sync", "emptied.xml"}, "\"" + database + "\" is empty: file is not a database");
    EXPECT_EQ(Read(mWork / "emptied.xml"), project);
    fs::remove(mWork / "shop.db");
    fs::create_symlink("/dev/zero", mWork / "shop.db");
    Fail({"check", "emptied.xml"}, "file is not a database");
    Fail({"sync", "emptied.xml"}, "file is not a database");
    EXPECT_EQ(Read(mWork / "emptied.xml"), project);

    // The database back with a new table: the unanswered question of the load keeps the project
    // as saved, and the sync goes on to take the table in. What is said must be what happens.
    fs::remove(mWork / "shop.db");
    fs::rename(mWork / "saved.db", mWork / "shop.db");
    Sqlite("CREATE TABLE extra (id INTEGER PRIMARY KEY)");
    const RunResult synced = Quorvane({"sync", "emptied.xml"});
    EXPECT_EQ(synced.status, 0) << synced.err;
    EXPECT_NE(synced.err.find("'quorvane sync' then updates it to the database"), std::string::npos)
        << synced.err;
    EXPECT_NE(Succeed({"show", "emptied.xml", "extra"}).find("TblName = extra\n"), std::string::npos);
}

// SQLite's driver describes a column "unit.price" by a part after a dot: the project held a
// field "price" that no table has, its pages queried it, and check saw no difference. Names of
// three dots and more were cut elsewhere than at the last ("p.q.r.s.t" became "r.s.t"), and a
// generated column, which the catalog does not list, put the catalog's names out of step: a
// password column "sec.ret.p.w" became "p.w", which SQLite read as a text, so that the password
// "p.w" logged in as any user.
TEST_F(QuorvaneProgramTest, ColumnNamesHoldingADotAreLoadedWhole) {
    Sqlite("CREATE TABLE prices (id INTEGER PRIMARY KEY, \"unit.price\" DECIMAL(10,2), \"a.b.c\" TEXT, "
           "twice INTEGER GENERATED ALWAYS AS (id * 2), \"p.q.r.s.t\" TEXT, \"a.b.c.d\" TEXT, "
           "\"sec.ret.p.w\" TEXT)");
    Succeed({"new", "prices.xml", "--connection-string",
             "Driver=SQLite3;Database=" + (mWork / "shop.db").string()});
    for (const char* name : {"unit.price", "a.b.c", "twice", "p.q.r.s.t", "a.b.c.d", "sec.ret.p.w"}) {
        EXPECT_NE(Succeed({"show", "prices.xml", std::string("prices.") + name})
                      .find("FldName = " + std::string(name) + "\n"),
                  std::string::npos)
            << name;
    }
    EXPECT_EQ(Succeed({"check", "prices.xml"}), "0\n");
    // A column renamed to a name of more dots is a difference, which sync takes whole.
    Sqlite("ALTER TABLE prices RENAME COLUMN \"a.b.c.d\" TO \"x.y.c.d\"");
    EXPECT_NE(Succeed({"check", "prices.xml"}), "0\n");
    Succeed({"sync", "prices.xml"});
    EXPECT_NE(Succeed({"show", "prices.xml", "prices.x.y.c.d"}).find("FldName = x.y.c.d\n"),
              std::string::npos);
    EXPECT_EQ(Succeed({"check", "prices.xml"}), "0\n");
}

// A database another program held locked made every command wait, without a word, for as long
// as the lock lasted. The wait is now a few seconds, and the failure names the file.
TEST_F(QuorvaneProgramTest, ALockedSqliteDatabaseFailsNamingTheFile) {
    const std::string database = (mWork / "shop.db").string();
    Succeed({"new", "locked.xml", "--connection-string", "Driver=SQLite3;Database=" + database});
    ado::Connection holder;
    holder.Open(automation::FromUtf8("Driver=SQLite3;Database=" + database));
    ado::ExecuteCommand(holder, u"BEGIN EXCLUSIVE", {});
    ado::ExecuteCommand(holder, u"UPDATE customers SET city = city", {});

    const auto start = std::chrono::steady_clock::now();
    const std::string message = Fail({"check", "locked.xml"}, "database is locked");
    EXPECT_NE(message.find("\"" + database + "\""), std::string::npos) << message;
    // A bound, not a timing: the wait is seconds; unbounded it lasted as long as the lock.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    ado::ExecuteCommand(holder, u"ROLLBACK", {});
}

// The application root moves with the site when the two were one folder, as with
// generate --destination, and stays where the user put it otherwise.
TEST_F(QuorvaneProgramTest, MovesTheApplicationRootWithTheDestination) {
    CreateProject();
    const fs::path moved = mWork / "moved";
    Succeed({"set", "shop.xml", "Destination=" + moved.string()});
    EXPECT_NE(Succeed({"show", "shop.xml"}).find("AppRootFolder = " + moved.string() + "\n"),
              std::string::npos);
    Succeed({"generate", "shop.xml"});
    EXPECT_FALSE(fs::exists(mSite));
    ExpectGoldenSite(moved, "site");

    const fs::path root = mWork / "root";
    Succeed({"set", "shop.xml", "AppRootFolder=" + root.string()});
    Succeed({"set", "shop.xml", "Destination=" + (mWork / "third").string()});
    EXPECT_NE(Succeed({"show", "shop.xml"}).find("AppRootFolder = " + root.string() + "\n"),
              std::string::npos);
}

TEST_F(QuorvaneProgramTest, ShowsAndSetsSettingsOfTheProjectTablesAndFields) {
    CreateProject();
    Succeed({"set", "shop.xml", "customers", "TblCaption=Clients"});
    Succeed({"set", "shop.xml", "customers.city", "FldCaption=Town", "FldGenerate=False"});
    Succeed({"set", "shop.xml", "FooterText=line one\\r\\nline two C:\\\\site"});
    EXPECT_NE(Succeed({"show", "shop.xml", "customers"}).find("TblCaption = Clients\n"), std::string::npos);
    const std::string field = Succeed({"show", "shop.xml", "customers.city"});
    EXPECT_NE(field.find("FldCaption = Town\n"), std::string::npos) << field;
    EXPECT_NE(field.find("FldGenerate = False\n"), std::string::npos) << field;
    EXPECT_NE(Succeed({"show", "shop.xml"}).find("FooterText = line one\\r\\nline two C:\\\\site\n"),
              std::string::npos);
    // The project name's own setter keeps its identifier form in step.
    Succeed({"set", "shop.xml", "ProjName=Corner Shop"});
    EXPECT_NE(Succeed({"show", "shop.xml"}).find("ProjVar = Corner_Shop\n"), std::string::npos);

    // A wrong setting or value anywhere in the list saves nothing.
    const std::string saved = Read(mWork / "shop.xml");
    const auto stamp = fs::last_write_time(mWork / "shop.xml");
    Fail({"set", "shop.xml", "BodyTitle=Shop", "NoSuchSetting=1"}, "has no setting NoSuchSetting");
    Fail({"set", "shop.xml", "UseCss=maybe"}, "takes Boolean values");
    Fail({"set", "shop.xml", "RecPerPage=99999"}, "out of range");
    Fail({"set", "shop.xml", "ProjVar=x"}, "cannot be set");
    // Settings the project file does not keep, or loading works out again, used to be "Saved"
    // and were gone on the next load.
    Fail({"set", "shop.xml", "customers", "TblVar=x"},
         "TblVar of table customers cannot be set; the library works it out itself and keeps no value "
         "given to it");
    Fail({"set", "shop.xml", "DBQuoteS=["}, "DBQuoteS of the project's database cannot be set");
    // The library takes a quote style it does not know for the database's own, without a word.
    Fail({"set", "shop.xml", "SQLQuote=double quote"}, "SQLQuote takes Square Bracket, Double Quote,");
    Fail({"set", "shop.xml", "nosuchtable", "TblCaption=x"}, "no table nosuchtable");
    Fail({"show", "shop.xml", "customers.nosuchfield"}, "has no field nosuchfield");
    EXPECT_EQ(Read(mWork / "shop.xml"), saved);
    EXPECT_EQ(fs::last_write_time(mWork / "shop.xml"), stamp);
}

// The database's settings used to be out of reach: show left them out and set knew no such
// setting.
TEST_F(QuorvaneProgramTest, ShowsAndSetsTheDatabaseSettingsAsTheProjectsOwn) {
    CreateProject();
    const std::string database = (mWork / "shop.db").string();
    EXPECT_NE(Succeed({"show", "shop.xml"}).find("DBConnstr = Driver=SQLite3;Database=" + database),
              std::string::npos);
    const std::string connection = "Driver=SQLite3;Database=" + database + ";Timeout=2000";
    EXPECT_NE(Succeed({"set", "shop.xml", "DBConnstr=" + connection, "DBUID=clerk", "DBPwd=s3cret"})
                  .find("3 settings"),
              std::string::npos);
    const std::string shown = Succeed({"show", "shop.xml"});
    EXPECT_NE(shown.find("DBConnstr = " + connection + "\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("DBUID = clerk\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("DBPwd = ********\n"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("s3cret"), std::string::npos) << shown;
    EXPECT_NE(Read(mWork / "shop.xml").find("DBPwd=\"s3cret\""), std::string::npos);
}

TEST_F(QuorvaneProgramTest, CreatesProjectsFromADataSourceAndAConnectionString) {
    Write(mWork / "odbc.ini", "[shopdsn]\nDriver=SQLite3\nDatabase=" + (mWork / "shop.db").string() + "\n");
    const std::map<std::string, std::string> environment = {
        {"QUORVANE_USER_HIVE", (mTemp / "user.reg").string()},
        {"QUORVANE_DOCUMENTS", (mTemp / "documents").string()},
        {"HOME", (mTemp / "home").string()},
        {"ODBCINI", (mWork / "odbc.ini").string()},
    };
    const RunResult dsn =
        RunProgram(QV_QUORVANE_PROGRAM, {"new", "dsn.xml", "--odbc", "shopdsn"}, environment, mWork);
    EXPECT_EQ(dsn.status, 0) << dsn.err;
    EXPECT_NE(dsn.out.find("4 tables and views"), std::string::npos) << dsn.out;
    const RunResult missing =
        RunProgram(QV_QUORVANE_PROGRAM, {"new", "nodsn.xml", "--odbc", "nosuchdsn"}, environment, mWork);
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("Data source name not found"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(mWork / "nodsn.xml"));

    EXPECT_NE(Succeed({"new", "text.xml", "--connection-string",
                       "Driver=SQLite3;Database=" + (mWork / "shop.db").string(), "--tables", "big_lines"})
                  .find("4 tables and views, 1 loaded"),
              std::string::npos);
    Fail({"new", "user.xml", "--sqlite", "shop.db", "--user", "me"}, "--user goes with --odbc");
    // A database without schemas of its own loads its tables whatever schema is named.
    EXPECT_NE(
        Succeed({"new", "schema.xml", "--sqlite", "shop.db", "--schema", "main"}).find("4 tables and views"),
        std::string::npos);
    // The project keeps the schema for its later checks and syncs.
    EXPECT_NE(Read(mWork / "schema.xml").find("DBSchema=\"main\""), std::string::npos);
    Fail({"new", "access.xml", "--access", "shop.db", "--schema", "main"}, "--schema goes with");
}

TEST_F(QuorvaneProgramTest, LoadsAndUnloadsTables) {
    EXPECT_NE(Succeed({"new", "shop.xml", "--sqlite", "shop.db", "--tables", "customers,products"})
                  .find("4 tables and views, 2 loaded"),
              std::string::npos);
    Fail({"show", "shop.xml", "order_lines.quantity"}, "not loaded");
    EXPECT_NE(Succeed({"load-table", "shop.xml", "order_lines"}).find("3 tables loaded"), std::string::npos);
    EXPECT_NE(Succeed({"show", "shop.xml", "order_lines.quantity"}).find("FldName = quantity\n"),
              std::string::npos);
    Fail({"load-table", "shop.xml", "order_lines"}, "quorvane: Table order_lines already loaded!");
    EXPECT_NE(Succeed({"unload-table", "shop.xml", "customers", "products"}).find("1 tables loaded"),
              std::string::npos);
    // A wrong name among several unloads none of them.
    Fail({"unload-table", "shop.xml", "order_lines", "nosuchtable"}, "no table nosuchtable");
    EXPECT_NE(Succeed({"show", "shop.xml", "order_lines"}).find("TblLoaded = True\n"), std::string::npos);
}

TEST_F(QuorvaneProgramTest, RefusesBadInputAndLeavesFilesAlone) {
    // A missing database: no project, and no empty database made in its place.
    Fail({"new", "shop.xml", "--sqlite", "missing.db"}, "no SQLite database missing.db");
    EXPECT_FALSE(fs::exists(mWork / "shop.xml"));
    EXPECT_FALSE(fs::exists(mWork / "missing.db"));
    Fail({"new", "shop.xml"}, "give one database");
    Fail({"new", "shop.xml", "--connection-string", "Driver=NoSuchDriver;Database=x"}, "");
    EXPECT_FALSE(fs::exists(mWork / "shop.xml"));

    CreateProject();
    const std::string project = Read(mWork / "shop.xml");
    Fail({"new", "shop.xml", "--sqlite", "shop.db"}, "already exists");
    EXPECT_EQ(Read(mWork / "shop.xml"), project);

    // A damaged project file is reported by the library and stays as it was.
    const std::string damaged = project.substr(0, project.size() / 2);
    Write(mWork / "damaged.xml", damaged);
    // The library's text, then why the XML could not be read and where.
    const std::string damagedReason =
        Fail({"show", "damaged.xml"}, "quorvane: Load Project File failed! Please check!\n");
    EXPECT_NE(damagedReason.find("\n" + (mWork / "damaged.xml").string() + ", line "), std::string::npos)
        << damagedReason;
    EXPECT_NE(damagedReason.find(", column "), std::string::npos) << damagedReason;
    // One the XML layer reads, but the library cannot take, says where and why.
    Write(mWork / "early.xml", "<Project Version=\"6.0\">\n<Field FldName=\"id\"/>\n<Database/></Project>");
    Fail({"show", "early.xml"},
         "quorvane: Load Project File failed! Please check! The element Field on line 2 "
         "cannot be read: it comes before any Database element");
    Fail({"generate", "damaged.xml", "--destination", "damaged-site"}, "Load Project File failed");
    Fail({"set", "damaged.xml", "BodyTitle=x"}, "Load Project File failed");
    EXPECT_EQ(Read(mWork / "damaged.xml"), damaged);
    // Regression: a file without its version was refused without a reason.
    std::string unversioned = project;
    const std::size_t version = unversioned.find(" Version=\"");
    unversioned.erase(version, unversioned.find('"', version + 10) + 1 - version);
    Write(mWork / "unversioned.xml", unversioned);
    Fail({"set", "unversioned.xml", "BodyTitle=x"},
         "quorvane: Load Project File failed! Please check! The element Project on line 2 cannot be read: it "
         "has no Version attribute.");
    EXPECT_EQ(Read(mWork / "unversioned.xml"), unversioned);
    EXPECT_FALSE(fs::exists(mWork / "damaged-site"));
    Fail({"show", "nosuchproject.xml"}, "no project file nosuchproject.xml");

    // A package whose control file writes outside the site stops the run; nothing lands outside.
    Members hostile = ShopPackage;
    hostile["control.xml"] =
        "<?xml version=\"1.0\"?>\r\n"
        "<Quorvane_Template date=\"2024/05/01\" version=\"6.0\" desc=\"x\" author=\"x\">\r\n"
        "  <control id=\"home\" type=\"other\" ifiles=\"home.htm\" ofile=\"escaped\" oext=\"asp\" "
        "ofolder=\"../..\"/>\r\n"
        "</Quorvane_Template>\r\n";
    const fs::path hostilePackage = mTemp / "packages" / "hostile.zip";
    WritePackage(hostilePackage, hostile);
    const RunResult escaped = Quorvane({"generate", "shop.xml", "--template", hostilePackage.string()});
    EXPECT_NE(escaped.status, 0) << escaped.out;
    EXPECT_FALSE(escaped.err.empty());
    for (const auto& entry : fs::recursive_directory_iterator(mTemp.Path())) {
        EXPECT_NE(entry.path().filename(), "escaped.asp") << entry.path();
    }
    Fail({"generate", "shop.xml", "--template", "nosuch.zip"}, "no template package nosuch.zip");
    Fail({"generate", "shop.xml", "--overwrite", "sometimes"}, "--overwrite takes one of all, none, ask");
    Write(mWork / "plain-file", "not a folder");
    Fail({"generate", "shop.xml", "--destination", "plain-file"},
         "the destination " + (mWork / "plain-file").string() + " is a file, not a folder");
    EXPECT_EQ(Read(mWork / "plain-file"), "not a folder");
    EXPECT_EQ(Read(mWork / "shop.xml"), project);
}

TEST_F(QuorvaneProgramTest, ChecksAndSynchronisesThroughTheLibrary) {
    CreateProject();
    EXPECT_EQ(Succeed({"check", "shop.xml"}), "0\n");
    Succeed({"set", "shop.xml", "customers.city", "FldCaption=Town"});
    Succeed({"set", "shop.xml", "order_lines.quantity", "FldCaption=How many"});
    Sqlite("ALTER TABLE customers RENAME COLUMN city TO town; ALTER TABLE customers RENAME COLUMN id TO cid; "
           "ALTER TABLE customers ADD COLUMN phone VARCHAR(20); "
           "ALTER TABLE order_lines RENAME COLUMN quantity TO qty");
    // Each difference on a line of its own, then their number.
    const std::string differences = Succeed({"check", "shop.xml"});
    const auto lines = static_cast<int>(std::count(differences.begin(), differences.end(), '\n'));
    const std::size_t lastLine = differences.rfind('\n', differences.size() - 2) + 1;
    EXPECT_EQ(std::atoi(differences.c_str() + lastLine), lines - 1) << differences;
    for (const char* difference :
         {"customers.town: new in the database\n", "customers.phone: new in the database\n",
          "order_lines.qty: new in the database\n",
          "customers: primary key (id) in the project, (cid) in the database\n",
          "customers: changed: gone from the database: id, city\n"}) {
        EXPECT_NE(differences.find(difference), std::string::npos) << difference << differences;
    }

    // A mapping that matches nothing would lose the settings it was meant to keep: nothing is saved.
    const std::string saved = Read(mWork / "shop.xml");
    Fail({"sync", "shop.xml", "--keys", "keep", "--map", "city=town,customers.id=customers.cid", "--map",
          "order_lines.quantity=order_lines.quantty"},
         "--map order_lines.quantity=order_lines.quantty matches no renamed");
    // Of two entries for one field, the one that names its table exactly answers; the other is
    // left over.
    Fail({"sync", "shop.xml", "--keys", "keep", "--map",
          std::string("city=town,CUSTOMERS.id=CUSTOMERS.cid,customers.id=customers.cid,") +
              "order_lines.quantity=order_lines.qty"},
         "--map CUSTOMERS.id=CUSTOMERS.cid matches no renamed");
    EXPECT_EQ(Read(mWork / "shop.xml"), saved);

    // Renamed columns keep the settings the project gave them, a renamed key column stays the
    // key without a question (kept, the old key would name a field that is gone); the new
    // column comes in.
    const RunResult synced =
        Quorvane({"sync", "shop.xml", "--keys", "keep", "--map", "city=town", "--map",
                  "customers.id=customers.cid,order_lines.quantity=order_lines.qty", "--yes"});
    EXPECT_EQ(synced.status, 0) << synced.err;
    EXPECT_EQ(synced.err.find("Primary key"), std::string::npos) << synced.err;
    EXPECT_EQ(Succeed({"check", "shop.xml"}), "0\n");
    EXPECT_NE(Succeed({"show", "shop.xml", "customers.town"}).find("FldCaption = Town\n"), std::string::npos);
    EXPECT_NE(Succeed({"show", "shop.xml", "customers"}).find("TblKey = cid\n"), std::string::npos);
    EXPECT_NE(Succeed({"show", "shop.xml", "customers.cid"}).find("FldIsPrimaryKey = True\n"),
              std::string::npos);
    EXPECT_NE(Succeed({"show", "shop.xml", "order_lines.qty"}).find("FldCaption = How many\n"),
              std::string::npos);
    EXPECT_NE(Succeed({"show", "shop.xml", "customers.phone"}).find("FldName = phone\n"), std::string::npos);
    Fail({"show", "shop.xml", "customers.city"}, "has no field city");
    // A script that gives the same renames again finds them done, not mistyped.
    Succeed({"sync", "shop.xml", "--map",
             "city=town,customers.id=customers.cid,order_lines.quantity=order_lines.qty"});
    Fail({"sync", "shop.xml", "--map", "nomapping"}, "--map takes OLD=NEW");
    Fail({"sync", "shop.xml", "--map", "a=b=c"}, "--map takes OLD=NEW or TABLE.OLD=TABLE.NEW, not 'a=b=c'");
    Fail({"sync", "shop.xml", "--map", "customers.city=town"}, "not 'customers.city=town'");
    Fail({"sync", "shop.xml", "--map", "customers.city=products.town"}, "a field stays in its table");
    Fail({"sync", "shop.xml", "--keys", "maybe"}, "--keys takes one of keep, update");
}

// Runs of one template share its work folders: two generations that both extracted the package
// once deleted each other's prepared scripts ("list.tmp not found"). Side by side, one waits.
TEST_F(QuorvaneProgramTest, TwoGenerationsOfOneTemplateAtOnceBothSucceed) {
    CreateProject();
    Succeed({"new", "other.xml", "--sqlite", "shop.db"});
    Succeed(
        {"set", "other.xml", "Template=" + mPackage.string(), "Destination=" + (mWork / "other").string()});
    Succeed({"set", "other.xml", "products", "TblGen=True", "TblOverwrite=True"});
    const RunResult both = Together({"generate", "shop.xml"}, {"generate", "other.xml"}, 20);
    EXPECT_EQ(both.out, "first 0\nsecond 0\n") << both.err;
    ExpectGoldenSite();
}

// Two checks extracted into one folder and deleted it under each other; a check beside a
// generation must not disturb it either.
TEST_F(QuorvaneProgramTest, TwoChecksOfOneTemplateAtOnceBothSucceed) {
    CreateProject();
    const RunResult checks = Together({"gencheck", "shop.xml"}, {"gencheck", "shop.xml"}, 20);
    EXPECT_EQ(checks.out, "first 0\nsecond 0\n") << checks.err;
    const RunResult mixed = Together({"generate", "shop.xml"}, {"gencheck", "shop.xml"}, 3);
    EXPECT_EQ(mixed.out, "first 0\nsecond 0\n") << mixed.err;
    ExpectGoldenSite();
}

TEST_F(QuorvaneProgramTest, HelpNamesTheCommandsAndTheEnvironment) {
    const std::string help = Succeed({"--help"});
    for (const char* command : {"new ", "show ", "set ", "load-table ", "unload-table ", "generate ",
                                "gencheck ", "check ", "sync ", "demo "}) {
        EXPECT_NE(help.find(command), std::string::npos) << command;
    }
    const std::string generate = Succeed({"generate", "--help"});
    for (const char* variable : {"QUORVANE_USER_HIVE", "QUORVANE_MACHINE_HIVE", "QUORVANE_DOCUMENTS",
                                 "QUORVANE_ANSI_CODEPAGE", "QUORVANE_OEM_CODEPAGE"}) {
        EXPECT_NE(generate.find(variable), std::string::npos) << variable;
    }
    const RunResult unknown = Quorvane({"frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown command 'frobnicate'"), std::string::npos);
    EXPECT_EQ(Quorvane({"show", "--bogus"}).status, 2);
    const std::string version = Succeed({"--version"});
    EXPECT_EQ(version.rfind("quorvane 6.", 0), 0u) << version;
}

// The page check itself must catch a page that does not compile, or its silence means nothing.
TEST(AspPages, ReportsAPageWhoseScriptDoesNotCompile) {
    TempDir site;
    Write(site / "inc" / "common.asp", "<% Function Twice(x)\r\nTwice = 2 * x\r\nEnd Function %>");
    Write(site / "good.asp", "<%@ Language=VBScript %>\r\n<!--#include virtual=\"/inc/common.asp\"-->\r\n"
                             "<p><%= Twice(2) %></p>\r\n<% If True Then %>x<% End If %>");
    Write(site / "bad.asp", "<!--#include file=\"inc/common.asp\"-->\r\n<% If True Then %>x<% End Sub %>");
    Write(site / "lost.asp", "<!--#include file=\"nowhere.asp\"-->");
    std::vector<std::string> missing;
    const std::string program = AspProgram(ExpandAspIncludes(site / "good.asp", site.Path(), missing));
    EXPECT_TRUE(missing.empty());
    EXPECT_NE(program.find("Function Twice(x)"), std::string::npos) << program;
    EXPECT_NE(program.find("Response.Write ( Twice(2) )"), std::string::npos) << program;
    const std::vector<std::string> failures = AspCompileFailures(site.Path());
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].rfind("bad.asp: script line ", 0), 0u) << failures[0];
    EXPECT_EQ(failures[1], "lost.asp: include of a missing file nowhere.asp");
}

} // namespace
} // namespace qv::test
