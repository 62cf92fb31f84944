#include "SiteDatabase.h"

#include "platform/ado/ConnectionString.h"
#include "platform/ado/Constants.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace qv::test::site {

namespace fs = std::filesystem;
using automation::FromUtf8;
using automation::ToUtf8;
using testdb::DatabaseKind;

namespace {

// How often, and how far apart, a drop of the database is tried: half a minute in all.
constexpr int DropAttempts = 60;
constexpr std::chrono::milliseconds DropRetryPause{500};

std::string FileText(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        throw std::runtime_error("no script " + file.string());
    }
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

/// A schema's script for one database, followed by the rows the server scripts share
/// (`<script>.rows.sql`) where there are such.
std::string ScriptText(const std::string& script, DatabaseKind kind) {
    std::string suffix = kind == DatabaseKind::SQLite       ? "sqlite"
                         : kind == DatabaseKind::PostgreSQL ? "postgresql"
                                                            : "mariadb";
    const fs::path folder(QV_SITE_DATA_DIR);
    std::string text = FileText(folder / (script + "." + suffix + ".sql"));
    const fs::path rows = folder / (script + ".rows.sql");
    if (kind != DatabaseKind::SQLite && fs::exists(rows)) {
        text += "\n" + FileText(rows);
    }
    return text;
}

/// The statements of a script: each ends with ";" at the end of a line; comment lines go.
std::vector<std::u16string> Statements(const std::string& text) {
    std::vector<std::u16string> statements;
    std::string current;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.starts_with("--")) {
            continue;
        }
        current += line + "\n";
        if (!line.empty() && line.back() == ';') {
            current.erase(current.find_last_of(';'));
            statements.push_back(FromUtf8(current));
            current.clear();
        }
    }
    return statements;
}

/// The table of 300 columns (a key and c1 to c299) with one record, in the dialect's quotes:
/// written out it would be most of each dialect's script.
std::vector<std::u16string> WideTable(DatabaseKind kind) {
    const std::u16string q = kind == DatabaseKind::MariaDB ? u"`" : u"\"";
    std::u16string create =
        u"CREATE TABLE " + q + u"wide" + q + u" (" + q + u"id" + q + u" INTEGER PRIMARY KEY";
    for (int column = 1; column < 300; ++column) {
        create += u", c" + FromUtf8(std::to_string(column)) + u" INTEGER";
    }
    return {create + u")",
            u"INSERT INTO " + q + u"wide" + q + u" (" + q + u"id" + q + u", c1, c299) VALUES (1, 11, 299)"};
}

std::u16string UniqueName() {
    static std::atomic<int> counter{0};
    return FromUtf8("qv_site_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
}

} // namespace

ado::ParameterValue TextValue(std::u16string_view text) {
    return ado::ParameterValue{ado::DataType::VarWChar, static_cast<std::int32_t>(text.size()), 0, 0,
                               automation::Variant(std::u16string(text))};
}

SiteDatabase::SiteDatabase(DatabaseKind kind, const std::string& script, const fs::path& folder,
                           const std::string& schema)
    : mKind(kind) {
    mName = UniqueName();
    if (kind == DatabaseKind::SQLite) {
        mConnectionString =
            u"Driver=SQLite3;Database=" + FromUtf8((folder / (ToUtf8(mName) + ".db")).string());
    } else {
        const char* server =
            std::getenv(kind == DatabaseKind::PostgreSQL ? "QV_PG_CONNECTION" : "QV_MARIADB_CONNECTION");
        mServerConnectionString = FromUtf8(server == nullptr ? "" : server);
        ado::Connection admin;
        admin.Open(mServerConnectionString);
        ado::ExecuteCommand(admin,
                            kind == DatabaseKind::MariaDB
                                ? u"CREATE DATABASE " + mName + u" CHARACTER SET utf8mb4"
                                : u"CREATE DATABASE " + mName + u" ENCODING 'UTF8' TEMPLATE template0",
                            {});
        ado::ConnectionString text = ado::ConnectionString::Parse(mServerConnectionString);
        text.Set(u"Database", mName);
        mConnectionString = text.ToString();
    }
    if (script == "shop" && kind == DatabaseKind::SQLite) {
        // The demo's own database, as the build makes it; the servers get it in their dialects.
        fs::copy_file(fs::path(QV_SHARE_DIR) / "demo" / "shop.db", folder / (ToUtf8(mName) + ".db"));
        mConnection.Open(mConnectionString);
        return;
    }
    // A new SQLite database is made by the driver, which the connection string must allow.
    mConnection.Open(kind == DatabaseKind::SQLite ? mConnectionString + u";NoCreat=0" : mConnectionString);
    std::vector<std::u16string> statements = Statements(ScriptText(script, kind));
    if (!schema.empty() && kind == DatabaseKind::PostgreSQL) {
        const std::u16string name = FromUtf8(schema);
        statements.insert(statements.begin(),
                          {u"CREATE SCHEMA \"" + name + u"\"", u"SET search_path TO \"" + name + u"\""});
    }
    if (script == "awkward") {
        std::vector<std::u16string> wide = WideTable(kind);
        statements.insert(statements.end(), std::make_move_iterator(wide.begin()),
                          std::make_move_iterator(wide.end()));
    }
    for (const std::u16string& statement : statements) {
        try {
            ado::ExecuteCommand(mConnection, statement, {});
        } catch (const automation::Error& error) {
            throw std::runtime_error("the script " + script + " failed: " + ToUtf8(error.Description()) +
                                     "\n" + ToUtf8(statement));
        }
    }
}

SiteDatabase::~SiteDatabase() {
    mConnection.Close();
    if (mKind == DatabaseKind::SQLite) {
        return;
    }
    std::u16string drop = u"DROP DATABASE IF EXISTS " + mName;
    if (mKind == DatabaseKind::PostgreSQL) {
        // A connection a page left open must not keep the database.
        drop += u" WITH (FORCE)";
    }
    // A process the drop may not end (a server's own worker, busy there for a moment on a
    // loaded machine) fails it: tried again for a while before that counts as a failure.
    for (int attempt = 1;; ++attempt) {
        try {
            ado::Connection admin;
            admin.Open(mServerConnectionString);
            ado::ExecuteCommand(admin, drop, {});
            return;
        } catch (const automation::Error& error) {
            if (attempt == DropAttempts) {
                ADD_FAILURE() << "dropping the site's database: " << ToUtf8(error.Description());
                return;
            }
        }
        std::this_thread::sleep_for(DropRetryPause);
    }
}

ado::CommandResult SiteDatabase::Run(std::u16string_view sql,
                                     const std::vector<ado::ParameterValue>& parameters) {
    return ado::ExecuteCommand(mConnection, sql, parameters);
}

std::string SiteDatabase::Scalar(std::u16string_view sql,
                                 const std::vector<ado::ParameterValue>& parameters) {
    ado::CommandResult result = Run(sql, parameters);
    if (result.rows.State() != ado::ObjectState::Open || result.rows.Eof()) {
        return "<none>";
    }
    const automation::Variant& value = result.rows.Value(0);
    return value.IsNull() ? "<null>" : ToUtf8(automation::ToString(value));
}

std::string SiteDatabase::PrepareCheck(const std::u16string& sql,
                                       const std::vector<std::int32_t>& parameterTypes) {
    try {
        if (mKind == DatabaseKind::SQLite) {
            // EXPLAIN compiles the statement against the schema and runs none of it.
            std::vector<ado::ParameterValue> nulls;
            nulls.reserve(parameterTypes.size());
            for (std::int32_t type : parameterTypes) {
                nulls.push_back(ado::ParameterValue{type, 1, 0, 0, automation::Variant::Null()});
            }
            ado::ExecuteCommand(mConnection, u"EXPLAIN " + sql, nulls);
            return "";
        }
        std::u16string prepare;
        if (mKind == DatabaseKind::MariaDB) {
            std::u16string literal;
            for (char16_t c : sql) {
                if (c == u'\'' || c == u'\\') {
                    literal += c;
                }
                literal += c;
            }
            prepare = u"PREPARE qv_check FROM '" + literal + u"'";
        } else {
            // PostgreSQL numbers its placeholders; a "?" inside a quoted name or literal stays.
            std::u16string numbered;
            char16_t quote = 0;
            int number = 0;
            for (char16_t c : sql) {
                if (quote != 0) {
                    quote = c == quote ? 0 : quote;
                    numbered += c;
                } else if (c == u'\'' || c == u'"') {
                    quote = c;
                    numbered += c;
                } else if (c == u'?') {
                    numbered += u"$" + FromUtf8(std::to_string(++number));
                } else {
                    numbered += c;
                }
            }
            prepare = u"PREPARE qv_check AS " + numbered;
        }
        ado::ExecuteCommand(mConnection, prepare, {});
        ado::ExecuteCommand(mConnection, u"DEALLOCATE PREPARE qv_check", {});
        return "";
    } catch (const automation::Error& error) {
        return ToUtf8(error.Description());
    }
}

} // namespace qv::test::site
