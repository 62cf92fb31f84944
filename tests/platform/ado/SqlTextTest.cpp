#include "platform/ado/SqlText.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.sql));
        QueryCheck check = CheckSingleQuery(c.sql);
        EXPECT_FALSE(check.IsQuery());
        EXPECT_NE(check.refusal.find(c.reason), std::u16string::npos) << ToUtf8(check.refusal);
    }
}

} // namespace
} // namespace qv::ado
