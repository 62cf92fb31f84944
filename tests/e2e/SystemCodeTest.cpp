// The bundled template package generated with a system-code list of the user's own (the SYSCODE
// setting) in place of the built-in system code.

#include "ProgramTest.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

class SystemCodeTest : public ProgramTest {
protected:
    /// A system-code list of `files` (name, template text) in a folder of the test's own, named by
    /// the user hive's SYSCODE, and the shop project made with its site folder.
    void UseSystemCode(const std::vector<std::pair<std::string, std::string>>& files) {
        const fs::path folder = mTemp / "syscode";
        fs::create_directories(folder);
        std::string list = "<codes>\n";
        for (const auto& [name, text] : files) {
            std::ofstream(folder / name, std::ios::binary) << text;
            list += "<file value=\"" + name + "\"/>\n";
        }
        std::ofstream(folder / "list.xml", std::ios::binary) << list << "</codes>\n";
        std::ofstream(mTemp / "user.reg", std::ios::binary)
            << "[Software\\Quorvane\\6.0\\Settings\\General]\n\"SYSCODE\"=1:\""
            << (folder / "list.xml").string() << "\"\n";
        CreateShopDatabase();
        Succeed({"new", "shop.xml", "--sqlite", "shop.db"});
        Succeed({"set", "shop.xml", "Destination=" + mSite.string()});
    }

    /// The pages the run wrote.
    std::vector<std::string> Pages() const {
        std::vector<std::string> pages;
        if (fs::is_directory(mSite)) {
            for (const auto& entry : fs::recursive_directory_iterator(mSite)) {
                if (entry.is_regular_file()) {
                    pages.push_back(entry.path().filename().string());
                }
            }
        }
        return pages;
    }

    fs::path mSite = mTemp / "site";
};

// Before, the run wrote every page and said that all were written, while each statement that
// called a missing function was dropped by the page's error trap: list pages without their
// header, their SELECT or their search columns' names (" AND  = ?"). The stop then blamed the
// list page of the first table.
TEST_F(SystemCodeTest, AListWithoutThePackagesFunctionsStopsTheRunBeforeAnyPage) {
    UseSystemCode(
        {{"mine.vbs", "<!--##\nFunction ShoutText(sText)\n    ShoutText = UCase(sText)\nEnd Function\n"
                      "Function VBStringText(sText)\n    VBStringText = Replace(sText, \"\"\"\", "
                      "\"\"\"\"\"\")\nEnd Function\n##-->"}});
    const RunResult run = Quorvane({"generate", "shop.xml"});
    EXPECT_NE(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Include_File, IsLoginPasswordField"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("VBStringText"), std::string::npos) << run.err;
    EXPECT_EQ(Pages(), std::vector<std::string>()) << run.err;
    // Said of the package, not of the first page it happened to build.
    EXPECT_NE(run.err.find("The template package stopped the generation"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("page error"), std::string::npos) << run.err;
}

// A list of the user's own that offers every function the package calls generates the site.
TEST_F(SystemCodeTest, AListWithThePackagesFunctionsGeneratesTheSite) {
    UseSystemCode({{"helpers.vbs", "<!--##\n"
                                   "Function VBStringText(sText)\n"
                                   "    VBStringText = Replace(sText, \"\"\"\", \"\"\"\"\"\")\n"
                                   "End Function\n"
                                   "Function Include_File(sFile, sKind)\n"
                                   "    Include_File = \"<!--#include file=\"\"\" & sFile & \"\"\"-->\"\n"
                                   "End Function\n"
                                   "Function IsLoginPasswordField()\n"
                                   "    IsLoginPasswordField = False\n"
                                   "End Function\n"
                                   "##-->"}});
    Succeed({"generate", "shop.xml"});
    const std::string list = ReadBytes(mSite / "customerslist.asp");
    EXPECT_NE(list.find("cmd.CommandText = \"SELECT "), std::string::npos) << list;
    EXPECT_NE(list.find("<!--#include file=\"qvheader.asp\"-->"), std::string::npos) << list;
}

// Code added under the time-out whose compile outlasted it (here a user-code file of one line of
// twenty million characters, under a time-out of 1 ms) failed the run as a syntax error of the
// file. The run fails as the time-out it is, before any page.
TEST_F(SystemCodeTest, ACompileStoppedByTheTimeOutFailsTheRunAsATimeOut) {
    const fs::path userCode = mTemp / "usercode.vbs";
    std::string line = "' ";
    line.resize(20000000, 'a');
    std::ofstream(userCode, std::ios::binary) << line << "\n";
    std::ofstream(mTemp / "user.reg", std::ios::binary)
        << "[Software\\Quorvane\\6.0\\Settings\\General]\n\"USERCODE\"=1:\"" << userCode.string()
        << "\"\n\"ScriptEngineTimeout\"=4:1\n";
    CreateShopDatabase();
    Succeed({"new", "shop.xml", "--sqlite", "shop.db"});
    Succeed({"set", "shop.xml", "Destination=" + mSite.string()});
    const RunResult run = Quorvane({"generate", "shop.xml"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("Script execution timed out"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Syntax Error"), std::string::npos) << run.err;
    EXPECT_EQ(Pages(), std::vector<std::string>()) << run.err;
}

} // namespace
} // namespace qv::test
