// A login set on a project whose site was generated before, as a user does it with the quorvane
// program: the next generation must leave no page that serves anonymous visitors or shows the
// password column unless the user kept it on purpose, and then the run says so and fails.

#include "SiteDatabase.h"
#include "SiteFixture.h"

#include "asp/AspRunner.h"
#include "support/ProgramRun.h"

#include "support/TempDir.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>

namespace qv::test::site {
namespace {

namespace fs = std::filesystem;

std::string FileBytes(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

class LoginRegenerationTest : public ::testing::TestWithParam<testdb::DatabaseKind> {
protected:
    void SetUp() override {
        if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(GetParam())) {
            GTEST_SKIP() << *reason;
        }
        mDatabase = std::make_unique<SiteDatabase>(GetParam(), "acct", mTemp.Path());
        fs::create_directories(mTemp / "work");
    }

    std::map<std::string, std::string> Environment() const {
        return {{"QUORVANE_USER_HIVE", (mTemp / "user.reg").string()},
                {"QUORVANE_DOCUMENTS", (mTemp / "documents").string()},
                {"XDG_CONFIG_HOME", (mTemp / "config").string()},
                {"HOME", (mTemp / "home").string()}};
    }

    RunResult Quorvane(const std::vector<std::string>& arguments) const {
        return RunProgram(QV_QUORVANE_PROGRAM, arguments, Environment(), mTemp / "work");
    }

    /// A run on a terminal that reads `answers`, then ends its input; what it writes to either
    /// stream is in `err`. Nullopt where no program gives it a terminal.
    std::optional<RunResult> OnTerminal(const std::string& arguments, const std::string& answers) const {
        const fs::path script = "/usr/bin/script";
        if (!fs::exists(script)) {
            return std::nullopt;
        }
        std::ofstream(mTemp / "answers", std::ios::binary) << answers;
        RunResult run = RunProgram(
            script, {"-q", "-e", "-c", std::string(QV_QUORVANE_PROGRAM) + " " + arguments, "/dev/null"},
            Environment(), mTemp / "work", mTemp / "answers");
        run.err = std::regex_replace(run.out, std::regex("\r"), "");
        return run;
    }

    void Succeed(const std::vector<std::string>& arguments) const {
        const RunResult run = Quorvane(arguments);
        ASSERT_EQ(run.status, 0) << arguments.front() << ": " << run.err;
    }

    /// Puts the site back as `before` holds it.
    void Restore(const fs::path& before) const {
        fs::remove_all(Site());
        fs::copy(before, Site(), fs::copy_options::recursive);
    }

    fs::path Site() const { return mTemp / "work" / "p-site"; }

    /// A run that keeps pages on purpose: exit status 1, and each page that may leave the login
    /// open named with what it leaves open; the pages stay as they were.
    void ExpectKept(const RunResult& run, const fs::path& before) const {
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_TRUE(Holds(run.err, "The page \"" + (Site() / "acctlist.asp").string() + "\" is kept"))
            << run.err;
        EXPECT_TRUE(Holds(run.err, "may serve visitors who have not logged in, and show the password column "
                                   "\"pw\" of the user table \"acct\"."))
            << run.err;
        EXPECT_TRUE(Holds(run.err, "The page \"" + (Site() / "qvfn.asp").string() + "\" is kept")) << run.err;
        EXPECT_TRUE(Holds(run.err, "pages were kept although they may leave the login open")) << run.err;
        for (const char* page : {"acctlist.asp", "acctedit.asp", "qvfn.asp"}) {
            EXPECT_EQ(FileBytes(Site() / page), FileBytes(before / page)) << page;
        }
    }

    TempDir mTemp;
    std::unique_ptr<SiteDatabase> mDatabase;
};

// The run kept the changed pages as "kept although changed" and ended with success: anonymous
// visitors got acctlist.asp with every row, and logged in, list, view and edit showed the
// password column.
TEST_P(LoginRegenerationTest, TheNextGenerationPutsTheLoginInForce) {
    Succeed({"new", "p.xml", "--connection-string", automation::ToUtf8(mDatabase->ConnectionString())});
    Succeed({"generate", "p.xml", "--overwrite", "all"});
    Succeed({"set", "p.xml", "SecType=Dynamic", "SecTbl=acct", "SecLoginIDFld=login", "SecPasswdFld=pw"});
    const fs::path before = mTemp / "before";
    fs::copy(Site(), before, fs::copy_options::recursive);

    // Kept on purpose: by the answer given in advance, and by the switches.
    ExpectKept(Quorvane({"generate", "p.xml", "--overwrite", "none"}), before);
    Restore(before);
    Succeed({"set", "p.xml", "acct", "TblOverwrite=False"});
    Succeed({"set", "p.xml", "OtherOverwrite=False"});
    const RunResult bySwitch = Quorvane({"generate", "p.xml", "--overwrite", "all"});
    ExpectKept(bySwitch, before);
    EXPECT_TRUE(Holds(bySwitch.err, "is kept as its overwrite switch")) << bySwitch.err;
    Restore(before);
    Succeed({"set", "p.xml", "acct", "TblOverwrite=True"});
    Succeed({"set", "p.xml", "OtherOverwrite=True"});
    // "skip" at a terminal keeps each page; the question says what it leaves open.
    std::string skips;
    for (int question = 0; question < 20; ++question) {
        skips += "s\n";
    }
    if (const std::optional<RunResult> skipped = OnTerminal("generate p.xml", skips)) {
        ExpectKept(*skipped, before);
        EXPECT_TRUE(
            Holds(skipped->err, "As it is, it may serve visitors who have not logged in.\n[o]verwrite"))
            << skipped->err;
        Restore(before);
    }

    // Nobody answered: the pages are replaced, each earlier one kept as its backup although the
    // backup preference is off.
    const fs::path hive = mTemp / "user.reg";
    const std::string settings = FileBytes(hive);
    const std::string noBackups =
        std::regex_replace(settings, std::regex("\"BackupFile\"=1:\"True\""), "\"BackupFile\"=1:\"False\"");
    ASSERT_NE(noBackups, settings);
    std::ofstream(hive, std::ios::binary | std::ios::trunc) << noBackups;
    const RunResult unattended = Quorvane({"generate", "p.xml"});
    EXPECT_EQ(unattended.status, 0) << unattended.err;
    for (const char* page : {"acctlist.asp", "acctview.asp", "acctedit.asp", "qvfn.asp", "qvheader.asp"}) {
        const fs::path path = Site() / page;
        EXPECT_EQ(FileBytes(fs::path(path) += ".bak"), FileBytes(before / page)) << page;
        EXPECT_TRUE(Holds(unattended.err, "the earlier page is kept as \"" + path.string() + ".bak\"."))
            << unattended.err;
    }
    EXPECT_FALSE(fs::exists(Site() / "default.asp.bak")) << "a page that came out the same is left alone";
    const RunResult again = Quorvane({"generate", "p.xml"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_FALSE(Holds(again.err, "The page")) << again.err;

    AspSite site(Site());
    AspBrowser anonymous(site);
    const AspResponse list = anonymous.Get("acctlist.asp");
    EXPECT_TRUE(list.redirect.starts_with("login.asp?return=")) << list.StatusCode() << list.body;
    EXPECT_FALSE(Holds(list.body, "Secr3t")) << list.body;

    AspBrowser alice(site);
    static const std::regex token(R"re(name="qv_token" value="([^"]*)")re");
    std::smatch match;
    const std::string form = alice.Get("login.asp?return=acctlist.asp").body;
    ASSERT_TRUE(std::regex_search(form, match, token)) << form;
    const AspResponse in =
        alice.Post("login.asp?return=acctlist.asp",
                   {{"qv_token", match[1].str()}, {"qv_login", "alice"}, {"qv_password", "Secr3t-alice"}});
    ASSERT_EQ(in.redirect, "acctlist.asp") << in.body;
    EXPECT_TRUE(Holds(alice.Get("acctlist.asp").body, "bob"));
    for (const char* page : {"acctlist.asp", "acctview.asp?k_id=2", "acctedit.asp?k_id=2"}) {
        const AspResponse response = alice.Get(page);
        EXPECT_EQ(response.StatusCode(), 200) << page << ": " << response.error;
        EXPECT_FALSE(Holds(response.body, "Secr3t-bob")) << page << "\n" << response.body;
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, LoginRegenerationTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

} // namespace
} // namespace qv::test::site
