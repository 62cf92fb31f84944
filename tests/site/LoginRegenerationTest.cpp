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

    /// Sets the backup preference ("BackupFile") in the user's settings.
    void SetBackupFile(bool on) const {
        const fs::path hive = mTemp / "user.reg";
        const std::string settings = FileBytes(hive);
        const std::string changed =
            std::regex_replace(settings, std::regex("\"BackupFile\"=1:\"(True|False)\""),
                               on ? "\"BackupFile\"=1:\"True\"" : "\"BackupFile\"=1:\"False\"");
        ASSERT_TRUE(Holds(changed, "BackupFile")) << settings;
        std::ofstream(hive, std::ios::binary | std::ios::trunc) << changed;
    }

    void SetLogin() const {
        Succeed({"set", "p.xml", "SecType=Dynamic", "SecTbl=acct", "SecLoginIDFld=login", "SecPasswdFld=pw"});
    }

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

// The second unattended run took the page the first one had written under the login for one that
// might leave it open, replaced it again and kept it where the backup of the user's edit was; a
// link kept as a backup was replaced the same way.
TEST_P(LoginRegenerationTest, WhatAUserWroteOutlivesEveryUnattendedRun) {
    Succeed({"new", "p.xml", "--connection-string", automation::ToUtf8(mDatabase->ConnectionString())});
    const fs::path list = Site() / "acctlist.asp";
    const fs::path view = Site() / "acctview.asp";
    const fs::path linked = mTemp / "linked.asp";
    std::ofstream(linked) << "linked";
    std::ofstream(mTemp / "elsewhere.asp") << "elsewhere";
    for (const bool backups : {false, true}) {
        SCOPED_TRACE(backups ? "BackupFile on" : "BackupFile off");
        fs::remove_all(Site());
        Succeed({"set", "p.xml", "SecType=None"});
        Succeed({"set", "p.xml", "acct.login", "FldCaption=login"});
        Succeed({"generate", "p.xml", "--overwrite", "all"});
        SetBackupFile(backups);
        std::ofstream(list, std::ios::app) << "<% ' first edit %>\n";
        const std::string first = FileBytes(list);
        fs::remove(view);
        fs::create_symlink(linked, view);
        SetLogin();
        Succeed({"generate", "p.xml"});
        EXPECT_EQ(FileBytes(fs::path(list) += ".bak"), first);

        Succeed({"set", "p.xml", "acct.login", "FldCaption=Login changed"});
        const RunResult second = Quorvane({"generate", "p.xml"});
        EXPECT_EQ(second.status, 0) << second.err;
        EXPECT_FALSE(Holds(second.err, "may serve visitors")) << second.err;

        // Edited and linked once more: each backup keeps a name of its own.
        std::ofstream(list, std::ios::app) << "<% ' second edit %>\n";
        const std::string again = FileBytes(list);
        fs::remove(view);
        fs::create_symlink(mTemp / "elsewhere.asp", view);
        const RunResult third = Quorvane({"generate", "p.xml"});
        EXPECT_EQ(third.status, 0) << third.err;
        EXPECT_TRUE(Holds(third.err, "kept as \"" + list.string() + ".2.bak\".")) << third.err;
        EXPECT_EQ(FileBytes(fs::path(list) += ".bak"), first);
        EXPECT_EQ(FileBytes(fs::path(list) += ".2.bak"), again);
        EXPECT_EQ(fs::read_symlink(fs::path(view) += ".bak"), linked);
        EXPECT_EQ(fs::read_symlink(fs::path(view) += ".2.bak"), mTemp / "elsewhere.asp");
        EXPECT_EQ(FileBytes(linked), "linked");
    }
}

// With OtherGen False the run left qvfn.asp and qvheader.asp from before the login, so that every
// page served anonymous visitors; with TblGen False the user table's pages from before it showed
// every password. Both ended in success without a word, as did the other switches that keep a
// page from being built.
TEST_P(LoginRegenerationTest, ASwitchThatLeavesAPageFromBeforeTheLoginFailsTheRun) {
    Succeed({"new", "p.xml", "--connection-string", automation::ToUtf8(mDatabase->ConnectionString())});
    Succeed({"set", "p.xml", "acct.photo", "FldGenerate=True"});
    Succeed({"generate", "p.xml", "--overwrite", "all"});
    SetLogin();
    const fs::path before = mTemp / "before";
    fs::copy(Site(), before, fs::copy_options::recursive);
    const auto expectNamed = [&](const std::vector<std::vector<std::string>>& commands,
                                 const std::string& page, const std::string& reason) {
        SCOPED_TRACE(page);
        for (const std::vector<std::string>& command : commands) {
            Succeed(command);
        }
        const RunResult run = Quorvane({"generate", "p.xml"});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_TRUE(
            Holds(run.err, "The page \"" + (Site() / page).string() + "\" is not written, as " + reason))
            << run.err;
        EXPECT_EQ(FileBytes(Site() / page), FileBytes(before / page));
        Restore(before);
        return run.err;
    };
    const std::string otherGen =
        expectNamed({{"set", "p.xml", "OtherGen=False"}}, "qvfn.asp", "OtherGen is False");
    EXPECT_TRUE(Holds(otherGen, (Site() / "qvheader.asp").string() + "\" is not written")) << otherGen;
    EXPECT_FALSE(Holds(otherGen, "about.asp")) << "a page that comes out the same is what the login needs";
    const std::string tblGen =
        expectNamed({{"set", "p.xml", "OtherGen=True"}, {"set", "p.xml", "acct", "TblGen=False"}},
                    "acctedit.asp", "TblGen of the table \"acct\" is False");
    EXPECT_TRUE(Holds(tblGen, "show the password column \"pw\" of the user table \"acct\". ")) << tblGen;
    expectNamed({{"set", "p.xml", "acct", "TblGen=True", "TblView=False"}}, "acctview.asp",
                "the condition of its control \"view\"");
    // A picture page comes out the same under the login, which qvfn.asp checks; edited, it may
    // not check it.
    for (const fs::path& site : {Site(), before}) {
        std::ofstream(site / "acct_photopicture.asp", std::ios::app) << "<% ' edited %>\n";
    }
    expectNamed(
        {{"set", "p.xml", "acct", "TblView=True"}, {"set", "p.xml", "acct.photo", "FldGenerate=False"}},
        "acct_photopicture.asp", "FldGenerate of the field \"acct.photo\" is False");

    // Written under the login, the pages are known to check it, whatever switch keeps them later.
    Succeed({"set", "p.xml", "acct.photo", "FldGenerate=True"});
    Succeed({"generate", "p.xml"});
    Succeed({"set", "p.xml", "OtherGen=False"});
    Succeed({"set", "p.xml", "acct", "TblGen=False"});
    const RunResult vouched = Quorvane({"generate", "p.xml"});
    EXPECT_EQ(vouched.status, 0) << vouched.err;
    EXPECT_FALSE(Holds(vouched.err, "is not written")) << vouched.err;
    // Not for another login, nor for a table that is not loaded.
    Succeed({"set", "p.xml", "OtherGen=True"});
    Succeed({"set", "p.xml", "acct", "TblGen=True"});
    Succeed({"set", "p.xml", "SecType=Static", "SecLoginID=admin", "SecPasswd=Adm1n-pw"});
    Succeed({"unload-table", "p.xml", "acct"});
    fs::remove_all(before);
    fs::copy(Site(), before, fs::copy_options::recursive);
    expectNamed({}, "acctlist.asp", "the table \"acct\" is not loaded");
}

INSTANTIATE_TEST_SUITE_P(Databases, LoginRegenerationTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

} // namespace
} // namespace qv::test::site
