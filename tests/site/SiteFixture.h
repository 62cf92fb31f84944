#pragma once

#include "SiteDatabase.h"
#include "SiteProject.h"

#include "asp/AspRunner.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace qv::test::site {

/// The kinds of database this program runs the sites on: SQLite in the unit program, the two
/// servers in the db program.
std::vector<testdb::DatabaseKind> SiteKinds();
std::string KindTestName(const ::testing::TestParamInfo<testdb::DatabaseKind>& info);

/// A site generated from a database made from a script, and the runner over it.
struct BuiltSite {
    TempDir temp;
    std::unique_ptr<SiteDatabase> database;
    std::unique_ptr<AspSite> site;
    std::string failure;
};

/// The tests of one generated site on every kind of database: the site is generated once per
/// kind and program, and every test runs its pages through a browser of its own. Tests change
/// the data only in rows of their own, so that they may run in any order.
class SiteTest : public ::testing::TestWithParam<testdb::DatabaseKind> {
protected:
    /// The database script's name and the developer's choices for the project.
    virtual std::string Script() const = 0;
    virtual void Configure(Qel& project) const = 0;
    /// The schema the script's tables are made in and the project is loaded from ("" for the
    /// database's own; PostgreSQL only).
    virtual std::string Schema() const { return ""; }
    /// Whether the project's settings may rightly stop the generation run (the tests then look
    /// at GenerationFailure()).
    virtual bool GenerationMayStop() const { return false; }
    const std::string& GenerationFailure() const { return mBuilt->failure; }

    void SetUp() override;
    static void TearDownTestSuite();

    testdb::DatabaseKind Kind() const { return GetParam(); }
    SiteDatabase& Database() { return *mBuilt->database; }
    AspSite& Site() { return *mBuilt->site; }
    AspBrowser& Browser() { return *mBrowser; }

    /// A request of the test's browser that must give a clean page: no script error, no status
    /// of a server failure, and none of the host's error texts in the body.
    AspResponse Clean(const std::string& url);
    AspResponse CleanPost(const std::string& url,
                          const std::vector<std::pair<std::string, std::string>>& form);
    static void ExpectClean(const AspResponse& response, const std::string& what);
    /// Follows the links from `start` to the site's pages, breadth first, each address once, up to
    /// `limit` requests, leaving out pages whose names start with one of `excluded`; every page
    /// must be clean. Returns the addresses requested.
    std::vector<std::string> Crawl(const std::string& start, std::size_t limit,
                                   const std::vector<std::string>& excluded = {});
    /// Requests each address once more for each of its query parameters and each attack, the
    /// parameter's value replaced by the attack; every page must be clean and show no markup of
    /// the attack. Returns how many distinct page parameters were tried.
    std::size_t TryInjections(const std::vector<std::string>& urls, const std::vector<std::string>& attacks);
    /// The links of a page to the site's own .asp pages, as the browser reads them.
    static std::vector<std::string> Links(const std::string& page);
    /// The text of a file of the generated site ("" when there is none).
    std::string ReadSiteFile(const std::string& name);
    /// The fields of a page's form as a browser posts them untouched: inputs with their values
    /// (check boxes only when checked) and text areas, entities decoded; `changes` replace or
    /// add values by name.
    static std::vector<std::pair<std::string, std::string>>
    FormFields(const std::string& page, const std::map<std::string, std::string>& changes = {});
    /// The form token of a page's form ("" when it has none).
    static std::string Token(const std::string& page);
    /// Every statement run since the site was generated, each once, with every statement that
    /// failed while a page ran.
    std::set<std::pair<std::u16string, std::vector<std::int32_t>>> DistinctStatements() const;
    /// The statements the pages ran since this test started.
    std::vector<ExecutedStatement> StatementsOfThisTest() const;
    /// Each statement of the log that does not prepare against the database, with the reason.
    std::vector<std::string> PrepareFailures();

private:
    static std::map<std::string, std::unique_ptr<BuiltSite>>& Sites();
    BuiltSite* mBuilt = nullptr;
    std::unique_ptr<AspBrowser> mBrowser;
    std::size_t mLogStart = 0;
};

/// Whether `text` holds `part`.
inline bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace qv::test::site
