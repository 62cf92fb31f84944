#pragma once

#include "db/TestDatabases.h"

#include "platform/ado/Command.h"
#include "platform/ado/Connection.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qv::test::site {

/// A database of one kind made from a script of this folder (`<name>.<kind>.sql`, statements
/// ending with ";" at a line's end), dropped again when the object goes: an SQLite file in
/// `folder`, or a database of its own on the PostgreSQL or MariaDB server of the db tests. On
/// PostgreSQL a `schema` is made and the script's tables go there, out of the search path of
/// every other connection (the object's own connection keeps searching it).
class SiteDatabase {
public:
    SiteDatabase(testdb::DatabaseKind kind, const std::string& script, const std::filesystem::path& folder,
                 const std::string& schema = "");
    ~SiteDatabase();
    SiteDatabase(const SiteDatabase&) = delete;
    SiteDatabase& operator=(const SiteDatabase&) = delete;

    testdb::DatabaseKind Kind() const { return mKind; }
    const std::u16string& ConnectionString() const { return mConnectionString; }

    /// Runs one statement of the test's own (set-up or a look at the data afterwards), with
    /// values bound to its placeholders.
    ado::CommandResult Run(std::u16string_view sql, const std::vector<ado::ParameterValue>& parameters = {});
    /// The first column of the first row of a query, as text ("<null>" for NULL, "<none>" for
    /// no row).
    std::string Scalar(std::u16string_view sql, const std::vector<ado::ParameterValue>& parameters = {});

    /// Prepares a statement of a page against the database without running it: SQLite's
    /// EXPLAIN, the servers' PREPARE. The database's refusal, or "" when it takes the statement.
    std::string PrepareCheck(const std::u16string& sql, const std::vector<std::int32_t>& parameterTypes);

private:
    testdb::DatabaseKind mKind;
    std::u16string mName;
    std::u16string mServerConnectionString;
    std::u16string mConnectionString;
    ado::Connection mConnection;
};

/// A text parameter, for the tests' own statements.
ado::ParameterValue TextValue(std::u16string_view text);

} // namespace qv::test::site
