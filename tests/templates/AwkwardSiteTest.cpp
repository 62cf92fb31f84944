// A site generated with the bundled package from a database whose names break careless SQL and
// script text: reserved words, spaces, dashes, quotes, mixed case and "%>" in table and column
// names, and "%>" in a caption, the project name and the connection string. The project names
// no quote style, as a new SQLite project does. Every page must still compile as the web server
// cuts it into script blocks, and every statement its pages run must prepare against the
// database the site was generated from.

#include "DemoSite.h"

#include "asp/AspPages.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/system/Paths.h"

#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <utility>

namespace qv::test::templates {
namespace {

namespace fs = std::filesystem;

using automation::Variant;

constexpr const char* AwkwardSchema = R"sql(
CREATE TABLE "Order Details" (
    "id" INTEGER PRIMARY KEY,
    "user" VARCHAR(30),
    "reply-to" VARCHAR(40),
    "select" INTEGER,
    "say ""hi""" VARCHAR(20),
    "it's" VARCHAR(20),
    "Mixed Case" VARCHAR(20),
    "50%>off" VARCHAR(20),
    "from" DATE
);
CREATE TABLE "user" ("order" INTEGER PRIMARY KEY, "photo" BLOB);
CREATE TABLE "pic" ("id" INTEGER PRIMARY KEY, "a_photo" BLOB);
CREATE TABLE "pic_a" ("id" INTEGER PRIMARY KEY, "photo" BLOB);
)sql";

std::string Read(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

/// Runs the sqlite3 program over `script` on `database`: its error output, "" when every
/// statement passed.
std::string RunSqlite(const fs::path& database, const std::string& script, const fs::path& work) {
    const fs::path scriptFile = work / "script.sql";
    const fs::path errors = work / "errors.txt";
    std::ofstream(scriptFile, std::ios::binary) << script;
    const std::string command =
        "sqlite3 '" + database.string() + "' < '" + scriptFile.string() + "' 2> '" + errors.string() + "'";
    const int status = std::system(command.c_str());
    std::string output = Read(errors);
    if (status != 0 && output.empty()) {
        output = "sqlite3 failed: " + command;
    }
    return output;
}

/// A VBScript string expression of a page: the joined value of its literals, and what follows
/// them ("" when the expression ends there).
struct Literal {
    std::string value;
    std::string rest;
};

/// The string expression that starts at `at` in `text`: literals joined by "&", up to the first
/// part that is no literal. The page splits a "%>" of a name so, and the SQL it sends is the
/// joined text.
Literal LiteralAt(const std::string& text, std::size_t at) {
    Literal literal;
    while (at < text.size() && text[at] == '"') {
        for (++at; at < text.size(); ++at) {
            if (text[at] == '"') {
                if (at + 1 < text.size() && text[at + 1] == '"') {
                    literal.value += '"';
                    ++at;
                    continue;
                }
                ++at;
                break;
            }
            literal.value += text[at];
        }
        const std::size_t next = text.find_first_not_of(' ', at);
        if (next == std::string::npos || text[next] != '&') {
            return literal;
        }
        const std::size_t following = text.find_first_not_of(' ', next + 1);
        if (following == std::string::npos || text[following] != '"') {
            literal.rest = text.substr(following, text.find_first_of("\r\n", following) - following);
            return literal;
        }
        at = following;
    }
    return literal;
}

/// Every statement of a page as it reaches the database whose text the page holds whole: each
/// command's text, and a list's query with each of its filter conditions and each of its
/// orders. Text the page puts together while it runs is left to the page runs.
std::vector<std::string> PageStatements(const std::string& page) {
    std::vector<std::string> statements;
    std::vector<std::string> queries;
    std::vector<std::string> conditions;
    std::vector<std::string> orders;
    const std::regex command(R"((qvNewCommand\(\w+, |CommandText = |sWhere = sWhere & |sOrder = )\")");
    for (std::sregex_iterator match(page.begin(), page.end(), command), end; match != end; ++match) {
        const std::string kind = (*match)[1].str();
        const Literal literal =
            LiteralAt(page, static_cast<std::size_t>(match->position() + match->length() - 1));
        if (literal.value.empty()) {
            continue; // a command whose text comes later
        }
        if (kind.starts_with("qvNewCommand") && literal.rest.empty()) {
            statements.push_back(literal.value);
        } else if (kind.starts_with("CommandText") && literal.rest.starts_with("sWhere")) {
            queries.push_back(literal.value);
        } else if (kind.starts_with("sWhere") && literal.rest.empty()) {
            conditions.push_back(literal.value);
        } else if (kind.starts_with("sOrder") && literal.rest.empty()) {
            orders.push_back(literal.value);
        } else if (kind.starts_with("sOrder") && literal.rest == "sDir") {
            orders.push_back(literal.value + "DESC");
        }
    }
    for (const std::string& query : queries) {
        statements.push_back(query);
        for (const std::string& condition : conditions) {
            std::string filtered = query;
            filtered += " WHERE 1 = 1";
            filtered += condition;
            statements.push_back(std::move(filtered));
        }
        for (const std::string& order : orders) {
            statements.push_back(query + order);
        }
    }
    return statements;
}

class AwkwardSite : public DemoSiteTest {
protected:
    void LoadProject() override {
        fs::create_directories(mData);
        ASSERT_EQ(RunSqlite(mDatabase, AwkwardSchema, mTemp.Path()), "");
        const std::u16string connection = u"Driver=SQLite3;Database=" + system::FromNativePath(mDatabase);
        automation::CallByName(*mProject, u"LoadDB", automation::InvokeRead,
                               {Variant(u"awkward"), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(),
                                Variant(false), Variant(u""), Variant(u""), Variant(connection),
                                Variant(u"")});
        ASSERT_EQ(ProjErr(), "");
        mProject->SetProjName(u"Shop %> \"Co\"");
        QelTables& tables = *mProject->db()->tables();
        ASSERT_NE(tables.Find(u"Order Details"), nullptr);
        tables.Find(u"Order Details")->SetTblCaption(u"Deals 50%> off \"now\"");
        ASSERT_NE(tables.Find(u"user"), nullptr);
        tables.Find(u"user")->Fields()->Find(u"photo")->SetFldGenerate(true);
    }

    /// The folder name holds "%>", so the connection string does.
    fs::path mData = mTemp / "data %> here";
    fs::path mDatabase = mData / "awkward.db";
};

TEST_F(AwkwardSite, EveryPageCompilesAndEveryStatementPrepares) {
    const std::vector<std::string> failures = AspCompileFailures(mSite);
    for (const std::string& failure : failures) {
        ADD_FAILURE() << failure;
    }

    // SQLite's EXPLAIN compiles a statement against the schema without running it.
    std::string script;
    std::size_t count = 0;
    for (const auto& [name, page] : mPages) {
        for (const std::string& statement : PageStatements(page)) {
            script += "EXPLAIN " + statement + ";\n";
            ++count;
        }
    }
    EXPECT_GT(count, 30u) << count;
    EXPECT_EQ(RunSqlite(mDatabase, ".output /dev/null\n" + script, mTemp.Path()), "") << script;

    // Unquoted, these names were taken as keywords, operators or several words; a quote inside
    // a name is doubled for SQL, then again for the page's literal.
    EXPECT_NE(Page("order_detailsdelete.asp")
                  .find(R"(DELETE FROM ""Order Details"" WHERE ""Order Details"".""id"" = ?")"),
              std::string::npos);
    const std::string& list = Page("order_detailslist.asp");
    for (const char* order : {R"(" ORDER BY ""Order Details"".""reply-to"" " & sDir)",
                              R"(" ORDER BY ""Order Details"".""select"" " & sDir)",
                              R"(" ORDER BY ""Order Details"".""say """"hi"""""" " & sDir)",
                              R"(" ORDER BY ""Order Details"".""50%" & ">off"" " & sDir)"}) {
        EXPECT_NE(list.find(order), std::string::npos) << order;
    }
}

// The picture page had no sessions: its includes were never put in, so it queried
// "SELECT col FROM  WHERE " and read no key.
TEST_F(AwkwardSite, PicturePageSelectsItsColumnByTheKey) {
    const std::string& picture = Page("user_photopicture.asp");
    EXPECT_NE(
        picture.find(
            R"(qvNewCommand(conn, "SELECT ""user"".""photo"" FROM ""user"" WHERE ""user"".""order"" = ?"))"),
        std::string::npos)
        << picture;
    EXPECT_NE(picture.find("<!--#include file=\"qvcfg.asp\"-->"), std::string::npos);
    EXPECT_NE(picture.find("<!--#include file=\"qvfn.asp\"-->"), std::string::npos);
    EXPECT_NE(picture.find("qvRequestValue(\"k_order\")"), std::string::npos) << picture;
    // Nothing may follow the bytes: the page ends its response after writing them.
    EXPECT_NE(picture.find("Response.End\r\n%>"), std::string::npos);
    EXPECT_EQ(picture.find("%>", picture.find("Response.End")) + 2, picture.find_last_not_of("\r\n") + 1);
}

// The site's name, caption and connection string with "%>" stay text of the site.
TEST_F(AwkwardSite, TextWithTheScriptEndStaysText) {
    const std::string& config = Page("qvcfg.asp");
    EXPECT_NE(config.find(R"(QV_SITE_NAME = "Shop %" & "> ""Co""")"), std::string::npos) << config;
    EXPECT_NE(config.find(R"(QV_CONNECTION_STRING = "Driver=SQLite3;Database=)"), std::string::npos);
    EXPECT_NE(config.find(R"(data %" & "> here/awkward.db")"), std::string::npos) << config;
    EXPECT_NE(Page("order_detailslist.asp").find(R"(qvPageTitle = "Deals 50%" & "> off ""now""")"),
              std::string::npos);
}

// Two tables whose picture pages get one file name: the run stops before writing anything and
// names both fields, as it does for two tables with one page name.
class ClashingPictures : public AwkwardSite {
protected:
    bool GeneratesInSetUp() const override { return false; }
};

TEST_F(ClashingPictures, StopTheRunBeforeAnythingIsWritten) {
    QelTables& tables = *mProject->db()->tables();
    tables.Find(u"pic")->Fields()->Find(u"a_photo")->SetFldGenerate(true);
    tables.Find(u"pic_a")->Fields()->Find(u"photo")->SetFldGenerate(true);
    GenScript();
    const std::string error = ProjErr();
    EXPECT_TRUE(error == "Quorvane: Fields \"pic.a_photo\" and \"pic_a.photo\" give the same page name "
                         "(pic_a_photopicture.asp)!" ||
                error == "Quorvane: Fields \"pic_a.photo\" and \"pic.a_photo\" give the same page name "
                         "(pic_a_photopicture.asp)!")
        << error;
    EXPECT_TRUE(fs::is_empty(mSite));

    tables.Find(u"pic_a")->Fields()->Find(u"photo")->SetFldGenerate(false);
    GenScript();
    EXPECT_EQ(ProjErr(), "");
    EXPECT_TRUE(fs::exists(mSite / "pic_a_photopicture.asp"));
}

} // namespace
} // namespace qv::test::templates
