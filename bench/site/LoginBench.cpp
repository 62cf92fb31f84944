// Logins on a generated site whose user table keeps the login ID as bytes: the login page run by
// the page runner, as a visitor posts it, on a table of 1,000 users and then, in the same run and
// the same database, of 300,000. Prints the time per login at each size and their ratio; the
// goal is at most 1.5, as the login column's index finds the user whatever the table's size.
// The logins are refused ones, half of them for a login ID that no user has, half for a wrong
// password, as an attacker sends them.
//
//   login_bench [users] [repetitions]
//
// On SQLite always; with QV_PG_CONNECTION or QV_MARIADB_CONNECTION set (scripts/db-servers.sh),
// on that server too. Each figure is the median of the repetitions, each of 20 logins, after one
// warm-up round.

#include "asp/AspRunner.h"
#include "db/TestDatabases.h"
#include "site/SiteDatabase.h"
#include "site/SiteProject.h"
#include "support/TempDir.h"

#include "project/Qel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using qv::test::AspBrowser;
using qv::test::AspSite;
using qv::test::site::SiteDatabase;
using qv::testdb::DatabaseKind;

constexpr int kBaseUsers = 1000;
constexpr int kLoginsPerRound = 20;

/// Users `first` to `last` (login "user<n>@example.com", password "pw<n>"), made by the
/// database itself. Their keys follow the largest one in the table, whatever users the test
/// database brings.
void AddUsers(SiteDatabase& database, int first, int last) {
    const std::string from = std::to_string(first);
    const std::string to = std::to_string(last);
    const std::string offset =
        std::to_string(std::stoll(database.Scalar(u"SELECT MAX(keyholder_id) FROM keyholders")) - first + 1);
    std::string sql;
    switch (database.Kind()) {
    case DatabaseKind::SQLite:
        sql = "WITH RECURSIVE c(n) AS (SELECT " + from + " UNION ALL SELECT n + 1 FROM c WHERE n < " + to +
              ") INSERT INTO keyholders SELECT n + " + offset +
              ", CAST('user' || n || '@example.com' AS BLOB), 'pw' || n, "
              "'User ' || n FROM c";
        break;
    case DatabaseKind::PostgreSQL:
        sql = "INSERT INTO keyholders SELECT n + " + offset +
              ", convert_to('user' || n || '@example.com', 'UTF8'), 'pw' "
              "|| n, "
              "'User ' || n FROM generate_series(" +
              from + ", " + to + ") AS n";
        break;
    default: {
        // Numbers from the digits of six places: no recursion limit of the server applies.
        const std::string digits =
            "(SELECT 0 AS d UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3 "
            "UNION ALL SELECT 4 UNION ALL SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7 "
            "UNION ALL SELECT 8 UNION ALL SELECT 9)";
        std::string number = "(a.d";
        std::string joins = digits + " AS a";
        const std::string places = "bcdef";
        int scale = 10;
        for (char place : places) {
            number += " + " + std::to_string(scale) + " * " + place + ".d";
            joins += " CROSS JOIN " + digits + " AS " + place;
            scale *= 10;
        }
        number += ")";
        sql = "INSERT INTO keyholders SELECT n + " + offset +
              ", CAST(CONCAT('user', n, '@example.com') AS BINARY), "
              "CONCAT('pw', n), CONCAT('User ', n) FROM (SELECT " +
              number + " AS n FROM " + joins + ") AS s WHERE n BETWEEN " + from + " AND " + to;
        break;
    }
    }
    database.Run(std::u16string(sql.begin(), sql.end()));
    if (database.Kind() == DatabaseKind::PostgreSQL) {
        database.Run(u"ANALYZE keyholders");
    }
}

std::string Token(const std::string& page) {
    static const std::regex token(R"re(name="qv_token" value="([^"]*)")re");
    std::smatch match;
    return std::regex_search(page, match, token) ? match[1].str() : "";
}

/// Seconds per login: the median of the rounds' averages, after a warm-up round. Each login is
/// the form's post alone; the page that gives its token is fetched before it, untimed.
double SecondsPerLogin(AspSite& site, int users, int repetitions) {
    AspBrowser browser(site);
    std::vector<double> rounds;
    for (int round = 0; round <= repetitions; ++round) {
        double total = 0;
        for (int login = 0; login < kLoginsPerRound; ++login) {
            // Users spread over the table, and IDs that no user has.
            const int user = 1 + static_cast<int>((static_cast<long long>(login) * 7919 + round) % users);
            const std::string id = login % 2 == 0 ? "user" + std::to_string(user) + "@example.com"
                                                  : "nobody" + std::to_string(login) + "@example.com";
            const std::string page = "login.asp?return=default.asp";
            const std::string token = Token(browser.Get(page).body);
            const auto start = std::chrono::steady_clock::now();
            const qv::test::AspResponse response =
                browser.Post(page, {{"qv_token", token}, {"qv_login", id}, {"qv_password", "wrong"}});
            total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (!response.redirect.empty() || response.body.find("qv-error") == std::string::npos) {
                throw std::runtime_error("a login was not refused: " + response.error);
            }
        }
        if (round > 0) {
            rounds.push_back(total / kLoginsPerRound);
        }
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}

void Measure(DatabaseKind kind, int users, int repetitions) {
    qv::test::TempDir temp;
    SiteDatabase database(kind, "binlogin", temp.Path());
    AddUsers(database, 1, kBaseUsers - 2);
    const std::string failure = qv::test::site::GenerateSite(database.ConnectionString(), temp / "work",
                                                             temp / "site", [](qv::Qel& project) {
                                                                 project.SetSecType(u"Dynamic");
                                                                 project.SetSecTbl(u"keyholders");
                                                                 project.SetSecLoginIDFld(u"login");
                                                                 project.SetSecPasswdFld(u"password");
                                                             });
    if (!failure.empty()) {
        throw std::runtime_error("generating the site: " + failure);
    }
    AspSite site(temp / "site");
    const double small = SecondsPerLogin(site, kBaseUsers - 2, repetitions);
    AddUsers(database, kBaseUsers - 1, users - 2);
    const double large = SecondsPerLogin(site, users - 2, repetitions);
    std::printf("%-10s  %9.2f ms per login on %d users  %9.2f ms on %d  ratio %5.2f (goal <= 1.5)\n",
                qv::testdb::KindName(kind).c_str(), small * 1000, kBaseUsers, large * 1000, users,
                large / small);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const int users = argc > 1 ? std::max(std::atoi(argv[1]), kBaseUsers + 1) : 300000;
    const int repetitions = argc > 2 ? std::max(std::atoi(argv[2]), 1) : 5;
    int status = 0;
    for (DatabaseKind kind : {DatabaseKind::SQLite, DatabaseKind::PostgreSQL, DatabaseKind::MariaDB}) {
        if (const std::optional<std::string> reason = qv::testdb::TestDatabase::Unavailable(kind)) {
            std::printf("%-10s  skipped: %s\n", qv::testdb::KindName(kind).c_str(), reason->c_str());
            continue;
        }
        try {
            Measure(kind, users, repetitions);
        } catch (const std::exception& error) {
            std::printf("%-10s  failed: %s\n", qv::testdb::KindName(kind).c_str(), error.what());
            status = 1;
        }
    }
    return status;
}
