#include "SiteFixture.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

namespace qv::test::site {

using testdb::DatabaseKind;

std::vector<DatabaseKind> SiteKinds() {
#if QV_SITE_SERVERS
    return {DatabaseKind::PostgreSQL, DatabaseKind::MariaDB};
#else
    return {DatabaseKind::SQLite};
#endif
}

std::string KindTestName(const ::testing::TestParamInfo<DatabaseKind>& info) {
    return testdb::KindName(info.param);
}

std::map<std::string, std::unique_ptr<BuiltSite>>& SiteTest::Sites() {
    static std::map<std::string, std::unique_ptr<BuiltSite>> sites;
    return sites;
}

void SiteTest::TearDownTestSuite() {
    Sites().clear();
}

void SiteTest::SetUp() {
    if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(Kind())) {
        GTEST_SKIP() << *reason;
    }
    std::unique_ptr<BuiltSite>& built = Sites()[Script() + "/" + Schema() + "/" + testdb::KindName(Kind())];
    if (!built) {
        built = std::make_unique<BuiltSite>();
        const std::filesystem::path root = built->temp / "site";
        built->site = std::make_unique<AspSite>(root);
        try {
            built->database = std::make_unique<SiteDatabase>(Kind(), Script(), built->temp.Path(), Schema());
            built->failure = GenerateSite(
                built->database->ConnectionString(), built->temp / "work", root,
                [this](Qel& project) { Configure(project); }, automation::FromUtf8(Schema()));
        } catch (const std::exception& error) {
            built->failure = error.what();
        }
    }
    mBuilt = built.get();
    if (!GenerationMayStop()) {
        ASSERT_EQ(mBuilt->failure, "") << "generating the site";
    }
    mBrowser = std::make_unique<AspBrowser>(*mBuilt->site);
    mLogStart = mBuilt->site->Statements().size();
}

std::vector<ExecutedStatement> SiteTest::StatementsOfThisTest() const {
    const StatementLog& log = mBuilt->site->Statements();
    return std::vector<ExecutedStatement>(log.begin() + static_cast<std::ptrdiff_t>(mLogStart), log.end());
}

void SiteTest::ExpectClean(const AspResponse& response, const std::string& what) {
    EXPECT_EQ(response.error, "") << what;
    EXPECT_LT(response.StatusCode(), 500) << what;
    for (const char* failure : {"Microsoft VBScript", "error '800", "ADODB.", "ODBC"}) {
        EXPECT_FALSE(Holds(response.body, failure)) << what << ": the page shows \"" << failure << "\"";
    }
}

AspResponse SiteTest::Clean(const std::string& url) {
    AspResponse response = mBrowser->Get(url);
    ExpectClean(response, "GET " + url);
    return response;
}

AspResponse SiteTest::CleanPost(const std::string& url,
                                const std::vector<std::pair<std::string, std::string>>& form) {
    AspResponse response = mBrowser->Post(url, form);
    ExpectClean(response, "POST " + url);
    return response;
}

std::size_t SiteTest::TryInjections(const std::vector<std::string>& urls,
                                    const std::vector<std::string>& attacks) {
    std::set<std::string> tried;
    for (const std::string& url : urls) {
        const std::size_t question = url.find('?');
        if (question == std::string::npos) {
            continue;
        }
        const std::string page = url.substr(0, question);
        std::vector<std::string> parameters;
        std::stringstream query(url.substr(question + 1));
        for (std::string pair; std::getline(query, pair, '&');) {
            parameters.push_back(pair);
        }
        for (std::size_t index = 0; index < parameters.size(); ++index) {
            const std::string name = parameters[index].substr(0, parameters[index].find('='));
            std::string key = page;
            key += "?";
            key += name;
            if (!tried.insert(key).second) {
                continue;
            }
            for (const std::string& attack : attacks) {
                std::string hostile = page + "?";
                for (std::size_t other = 0; other < parameters.size(); ++other) {
                    hostile += (other > 0 ? "&" : "") +
                               (other == index ? name + "=" + UrlEncode(attack) : parameters[other]);
                }
                const AspResponse response = Clean(hostile);
                EXPECT_FALSE(Holds(response.body, "<script>alert")) << hostile;
            }
        }
    }
    return tried.size();
}

std::vector<std::string> SiteTest::Links(const std::string& page) {
    static const std::regex link(R"re(href="([^":/#]+\.asp(?:\?[^"]*)?)")re");
    std::vector<std::string> links;
    for (std::sregex_iterator match(page.begin(), page.end(), link), end; match != end; ++match) {
        links.push_back(std::regex_replace((*match)[1].str(), std::regex("&amp;"), "&"));
    }
    return links;
}

std::vector<std::string> SiteTest::Crawl(const std::string& start, std::size_t limit,
                                         const std::vector<std::string>& excluded) {
    std::vector<std::string> queue{start};
    std::set<std::string> seen{start};
    for (std::size_t next = 0; next < queue.size() && next < limit; ++next) {
        const AspResponse response = Clean(queue[next]);
        for (const std::string& link : Links(response.body)) {
            const bool left = std::any_of(excluded.begin(), excluded.end(), [&](const std::string& prefix) {
                return link.starts_with(prefix);
            });
            if (!left && seen.insert(link).second) {
                queue.push_back(link);
            }
        }
    }
    queue.resize(std::min(queue.size(), limit));
    return queue;
}

std::string SiteTest::ReadSiteFile(const std::string& name) {
    std::ifstream stream(Site().Root() / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

namespace {

std::string Attribute(const std::string& tag, const std::string& name) {
    const std::regex attribute("\\s" + name + R"re(="([^"]*)")re");
    std::smatch match;
    return std::regex_search(tag, match, attribute) ? match[1].str() : "";
}

std::string DecodeEntities(const std::string& text) {
    std::string decoded;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const std::size_t end = text[at] == '&' ? text.find(';', at) : std::string::npos;
        if (end == std::string::npos) {
            decoded += text[at];
            continue;
        }
        const std::string entity = text.substr(at + 1, end - at - 1);
        std::u16string character;
        if (entity == "lt") {
            character = u"<";
        } else if (entity == "gt") {
            character = u">";
        } else if (entity == "quot") {
            character = u"\"";
        } else if (entity == "amp") {
            character = u"&";
        } else if (entity.starts_with("#") && entity.size() > 1) {
            character = std::u16string(1, static_cast<char16_t>(std::stoi(entity.substr(1))));
        } else {
            decoded += text[at];
            continue;
        }
        decoded += automation::ToUtf8(character);
        at = end;
    }
    return decoded;
}

} // namespace

std::vector<std::pair<std::string, std::string>>
SiteTest::FormFields(const std::string& page, const std::map<std::string, std::string>& changes) {
    std::vector<std::pair<std::string, std::string>> fields;
    static const std::regex control(R"re(<input\b[^>]*>|<textarea\b[^>]*>([^<]*)</textarea>)re");
    for (std::sregex_iterator match(page.begin(), page.end(), control), end; match != end; ++match) {
        const std::string tag = (*match)[0].str();
        const std::string name = Attribute(tag, "name");
        const std::string type = Attribute(tag, "type");
        if (name.empty() || type == "submit" || (type == "checkbox" && !Holds(tag, " checked"))) {
            continue;
        }
        fields.emplace_back(
            name, DecodeEntities(tag.starts_with("<textarea") ? (*match)[1].str() : Attribute(tag, "value")));
    }
    for (const auto& change : changes) {
        auto found = std::find_if(fields.begin(), fields.end(),
                                  [&](const auto& field) { return field.first == change.first; });
        if (found == fields.end()) {
            fields.emplace_back(change.first, change.second);
        } else {
            found->second = change.second;
        }
    }
    return fields;
}

std::string SiteTest::Token(const std::string& page) {
    static const std::regex token(R"re(name="qv_token" value="([^"]*)")re");
    std::smatch match;
    return std::regex_search(page, match, token) ? match[1].str() : "";
}

std::set<std::pair<std::u16string, std::vector<std::int32_t>>> SiteTest::DistinctStatements() const {
    std::set<std::pair<std::u16string, std::vector<std::int32_t>>> statements;
    for (const ExecutedStatement& statement : mBuilt->site->Statements()) {
        statements.emplace(statement.sql, statement.parameterTypes);
    }
    return statements;
}

std::vector<std::string> SiteTest::PrepareFailures() {
    std::vector<std::string> failures;
    for (const auto& [sql, types] : DistinctStatements()) {
        std::string refusal = Database().PrepareCheck(sql, types);
        if (!refusal.empty()) {
            failures.push_back(automation::ToUtf8(sql) + "\n    " + refusal);
        }
    }
    return failures;
}

} // namespace qv::test::site
