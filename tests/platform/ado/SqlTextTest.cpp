#include "platform/ado/SqlText.h"

#include "TrickyQueries.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace qv::ado {
namespace {

using automation::ToUtf8;

TEST(QuoteIdentifier, DoublesTheClosingQuote) {
    struct Case {
        std::u16string name;
        std::u16string open;
        std::u16string close;
        std::u16string quoted;
    };
    const Case cases[] = {
        {u"Order Details", u"\"", u"\"", u"\"Order Details\""},
        {u"say \"hi\"", u"\"", u"\"", u"\"say \"\"hi\"\"\""},
        {u"a]b[c", u"[", u"]", u"[a]]b[c]"},
        {u"back`tick", u"`", u"`", u"`back``tick`"},
        {u"no quote", u"", u"", u"no quote"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.name));
        EXPECT_EQ(QuoteIdentifier(c.name, c.open, c.close), c.quoted);
    }
}

TEST(EscapeSearchPattern, MakesWildcardsLiteral) {
    EXPECT_EQ(EscapeSearchPattern(u"order_lines", u"\\"), u"order\\_lines");
    EXPECT_EQ(EscapeSearchPattern(u"100%\\x", u"\\"), u"100\\%\\\\x");
    EXPECT_EQ(EscapeSearchPattern(u"order_lines", u""), u"order_lines");
}

TEST(CheckSingleQuery, AcceptsQueries) {
    struct Case {
        std::u16string sql;
        std::u16string statement;
    };
    const Case cases[] = {
        {u"SELECT * FROM t", u"SELECT * FROM t"},
        {u"  select a, b from t where c = 'x;y' ;  -- done\n", u"  select a, b from t where c = 'x;y' "},
        {u"WITH c AS (SELECT 1 AS n) SELECT n FROM c", u"WITH c AS (SELECT 1 AS n) SELECT n FROM c"},
        {u"(SELECT 1) UNION (SELECT 2)", u"(SELECT 1) UNION (SELECT 2)"},
        {u"/* note; DELETE */ SELECT [Update Date], \"Insert\" FROM t", u""},
        {u"SELECT 'it''s; DELETE' FROM t", u""},
        {u"SELECT updated_at, deleted FROM t", u""},
        // A backslash is part of a quoted name, never an escape of its closing quote; in a
        // string it escapes where the dialect says so (MySQL's '...'), and a dialect that then
        // never sees the text closed runs none of it.
        {u"SELECT \"na\\\" FROM \"end\\\".\"tb\\\"", u""},
        {u"SELECT [na\\], `na\\` FROM t ;", u"SELECT [na\\], `na\\` FROM t "},
        {u"SELECT 'it\\'s' FROM t", u""},
        // What custom views hold on each server: E-strings, dollar quotes, nested comments, CRLF
        // line ends after comments, MySQL's "#" comments, braces inside literals.
        {u"WITH recent AS (SELECT id FROM orders WHERE placed > now() - interval '7 days')\r\n"
         u"SELECT * FROM recent -- last week; all of it\r\n",
         u""},
        {u"SELECT E'C:\\\\temp' AS dir, $$dollar quoted$$ AS note, \"Order ID\" FROM \"Order Details\" "
         u"/* a /* nested */ comment */ WHERE tags = '{1,2}' AND doc ->> 'a' = '{}'",
         u""},
        {u"SELECT price FROM t WHERE note <> 'x' # what is left\n;\n",
         u"SELECT price FROM t WHERE note <> 'x' # what is left\n"},
        {u"SELECT [Update Date], x[1] FROM t WHERE dir = 'C:\\'", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.sql));
        QueryCheck check = CheckSingleQuery(c.sql);
        EXPECT_TRUE(check.IsQuery()) << ToUtf8(check.refusal);
        EXPECT_EQ(check.statement, c.statement.empty() ? c.sql : c.statement);
    }
}

TEST(CheckSingleQuery, RefusesWhatIsNotOneQuery) {
    struct Case {
        std::u16string sql;
        std::u16string reason; // a part of the refusal
    };
    const Case cases[] = {
        {u"", u"no statement"},
        {u"DELETE FROM customers", u"begins with DELETE"},
        {u"update t set a = 1", u"begins with UPDATE"},
        {u"SELECT 1; DELETE FROM t", u"more than one statement"},
        {u"WITH d AS (DELETE FROM t RETURNING *) SELECT * FROM d", u"contains DELETE"},
        {u"SELECT * INTO copy FROM t", u"contains INTO"},
        {u"SELECT 'open", u"never closed"},
        {u"+ SELECT 1", u"does not begin with SELECT"},
        // Each of these hides a second statement from some dialect's reading but not from
        // another's: MySQL's backslash escape, PostgreSQL's E'' and dollar quotes, MySQL's
        // executable comment and its "--" that needs a blank.
        {u"SELECT 'a\\''; DELETE FROM t; --'", u"more than one statement"},
        {u"SELECT E'\\''; DELETE FROM t; --'", u"more than one statement"},
        {u"SELECT $$'$$; DELETE FROM t; --'", u"more than one statement"},
        {u"SELECT 1 /*!; DELETE FROM t */", u"more than one statement"},
        {u"SELECT 1 --1; DELETE FROM t", u"more than one statement"},
        {u"SELECT x[ ; DELETE FROM t; --]", u"more than one statement"},
        {u"SELECT \"a\\\" \"; DELETE FROM t; -- \"", u"more than one statement"},
        {u"SELECT \"a\\\"; DELETE FROM t", u"more than one statement"},
        {u"DELETE FROM \"t\\\"", u"begins with DELETE"},
        {u"SELECT \"open", u"never closed"},
        // PostgreSQL's own reading: an E-string after a name ending in a backslash, comments that
        // nest, a line comment that a carriage return ends, a backquote that is an operator.
        {u"SELECT 'a' AS \"x\\\", E'\\'' ; DELETE FROM t ; -- '", u"more than one statement"},
        {u"SELECT 1 /* /* */ ' */ ; DELETE FROM t ; -- '", u"more than one statement"},
        {u"SELECT 1 -- note\r; DELETE FROM t", u"more than one statement"},
        {u"SELECT 1 `; DELETE FROM t; -- `", u"more than one statement"},
        // A data-changing expression hidden from the readings that take brackets for quotes by a
        // subscript holding a "]" in a string.
        {u"WITH d AS (SELECT a['x]y'] FROM t), e AS (DELETE FROM t RETURNING *) SELECT 1 -- '",
         u"contains DELETE"},
        // A reading one server alone has never lets a text through: a dollar quote after a
        // digit with a digit for its tag, "--" before a control character taken for no comment,
        // an executable comment's "*/" taken for code still refuse; and what only PostgreSQL's
        // backquote or MariaDB's /*M! reads to its end is still never closed.
        {u"SELECT 1$1$ ' $1$ ; DELETE FROM t ; -- '", u"more than one statement"},
        {u"SELECT 1 --\x01; DELETE FROM t", u"more than one statement"},
        {u"SELECT 1 /*! ; */", u"more than one statement"},
        {u"SELECT 1 ` 2", u"never closed"},
        {u"SELECT 1 /*M! 2", u"never closed"},
        // ODBC escapes, which drivers rewrite.
        {u"SELECT {fn NOW()}", u"ODBC escape"},
        {u"SELECT 1 -- {d '2024-01-01'}", u"ODBC escape"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.sql));
        QueryCheck check = CheckSingleQuery(c.sql);
        EXPECT_FALSE(check.IsQuery());
        EXPECT_NE(check.refusal.find(c.reason), std::u16string::npos) << ToUtf8(check.refusal);
    }
}

// A reading one server or driver alone has applies to the texts that go to it: names in
// backquotes on MariaDB and SQLite, where PostgreSQL may take a backquote for an operator, and
// the escapes SQLite's driver rewrites in comments too.
TEST(CheckSingleQuery, ReadsAsTheServerItGoesToCanRead) {
    const std::u16string backquoted = u"SELECT `Update`, `it's` FROM `Call;Log`";
    const std::u16string braceInComment = u"SELECT 1 -- {fn x}";
    for (QueryServer server :
         {QueryServer::Other, QueryServer::PostgreSQL, QueryServer::MySql, QueryServer::SQLite}) {
        SCOPED_TRACE(static_cast<int>(server));
        const bool namesInBackquotes = server == QueryServer::MySql || server == QueryServer::SQLite;
        EXPECT_EQ(CheckSingleQuery(backquoted, server).IsQuery(), namesInBackquotes);
        const bool sqliteDriver = server == QueryServer::Other || server == QueryServer::SQLite;
        EXPECT_EQ(CheckSingleQuery(braceInComment, server).IsQuery(), !sqliteDriver);
    }
}

// Every text the check lets through is, as SQLite's own parser reads what is handed to the
// driver, one statement that changes nothing, and is let through itself: a reading the check
// lacks shows here as a second statement.
TEST(CheckSingleQuery, WhatItAcceptsSqliteReadsAsOneQuery) {
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &database), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(database, "CREATE TABLE customers (id INTEGER)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::size_t accepted = 0;
    for (const std::u16string& text : test::TrickyQueries(20000)) {
        for (QueryServer server : {QueryServer::Other, QueryServer::SQLite}) {
            const QueryCheck check = CheckSingleQuery(text, server);
            if (!check.IsQuery()) {
                continue;
            }
            ++accepted;
            const std::string statement = ToUtf8(check.statement);
            SCOPED_TRACE(statement);
            EXPECT_TRUE(CheckSingleQuery(check.statement, server).IsQuery());
            sqlite3_stmt* first = nullptr;
            const char* tail = nullptr;
            if (sqlite3_prepare_v2(database, statement.c_str(), -1, &first, &tail) != SQLITE_OK) {
                continue; // fails as a whole: nothing runs
            }
            EXPECT_TRUE(first == nullptr || sqlite3_stmt_readonly(first) != 0);
            sqlite3_finalize(first);
            sqlite3_stmt* second = nullptr;
            EXPECT_EQ(sqlite3_prepare_v2(database, tail, -1, &second, nullptr), SQLITE_OK);
            EXPECT_EQ(second, nullptr);
            sqlite3_finalize(second);
        }
    }
    sqlite3_close(database);
    EXPECT_GT(accepted, 100u);
}

} // namespace
} // namespace qv::ado
