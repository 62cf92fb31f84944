#include "platform/sql/SqlTokens.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

namespace qv::sql {
namespace {

std::string Utf8(std::u16string_view text) {
    return automation::ToUtf8(text);
}

// The tokens of `sql` as "kind:text" words, End left out, for comparing whole lists.
std::string Describe(std::u16string_view sql, SqlDialect dialect) {
    std::string described;
    for (const SqlToken& token : TokenizeSql(sql, dialect).tokens) {
        const char* kind = "";
        switch (token.kind) {
        case SqlTokenKind::Word:
            kind = "w";
            break;
        case SqlTokenKind::QuotedName:
            kind = "q";
            break;
        case SqlTokenKind::String:
            kind = "s";
            break;
        case SqlTokenKind::Number:
            kind = "n";
            break;
        case SqlTokenKind::Date:
            kind = "d";
            break;
        case SqlTokenKind::Symbol:
            kind = "y";
            break;
        case SqlTokenKind::End:
            continue;
        }
        described += (described.empty() ? "" : " ") + std::string(kind) + ":" + Utf8(token.text);
    }
    return described;
}

TEST(SqlTokens, AccessNamesStringsAndDatesKeepTheirValues) {
    const SqlTokens result = TokenizeSql(
        u"SELECT [Order Details].Qty, 'O''Brien', \"a\"\"b\", #1/1/95#, 1.5E3, &H1F<>x", SqlDialect::Access);
    EXPECT_TRUE(result.complete);
    const std::vector<SqlToken>& tokens = result.tokens;
    ASSERT_EQ(tokens.size(), 17u);
    EXPECT_TRUE(tokens[0].IsKeyword(u"select"));
    EXPECT_EQ(tokens[1].kind, SqlTokenKind::QuotedName);
    EXPECT_EQ(Utf8(tokens[1].text), "Order Details");
    EXPECT_FALSE(tokens[1].IsKeyword(u"Order Details")); // a quoted name is never a keyword
    EXPECT_EQ(Utf8(tokens[5].text), "O'Brien");
    EXPECT_EQ(Utf8(tokens[7].text), "a\"b");
    EXPECT_EQ(tokens[9].kind, SqlTokenKind::Date);
    EXPECT_EQ(Utf8(tokens[9].text), "1/1/95");
    EXPECT_EQ(Utf8(tokens[11].text), "1.5E3");
    EXPECT_EQ(Utf8(tokens[13].text), "&H1F");
    EXPECT_TRUE(tokens[14].IsSymbol(u"<>"));
    EXPECT_EQ(tokens.back().kind, SqlTokenKind::End);
    // Cutting the text by offsets gives it back as written.
    EXPECT_EQ(tokens[1].offset, 7u);
    EXPECT_EQ(tokens[1].length, 15u);
}

TEST(SqlTokens, EachDialectQuotesAndCommentsByItsOwnRules) {
    struct Case {
        SqlDialect dialect;
        std::u16string_view sql;
        std::string tokens;
    };
    const Case cases[] = {
        {SqlDialect::Access, u"[a b] `c` \"d\" 'e' #1/2/03#", "q:a b q:c s:d s:e d:1/2/03"},
        {SqlDialect::SqlServer, u"[a]]b] \"c\"\"d\" 'e' `f`", "q:a]b q:c\"d s:e y:` w:f y:`"},
        {SqlDialect::MySql, u"`a``b` \"c\" 'it\\'s' [d]", "q:a`b s:c s:it's y:[ w:d y:]"},
        {SqlDialect::Oracle, u"\"a b\" 'c' emp@remote x$#", "q:a b s:c w:emp@remote w:x$#"},
        // Access has no comments: "--" is two minus signs, "#" opens a date.
        {SqlDialect::Access, u"a -- b\n c", "w:a y:- y:- w:b w:c"},
        {SqlDialect::SqlServer, u"a -- b\n c /* d */ e", "w:a w:c w:e"},
        {SqlDialect::MySql, u"a # b\n c", "w:a w:c"},
        {SqlDialect::Oracle, u"a # b", "w:a y:# w:b"},
        // Numbers: exponents with a sign, each dialect's hexadecimal form.
        {SqlDialect::Access, u"1E+3 .5 2e &HFF 0x1F", "n:1E+3 n:.5 n:2 w:e n:&HFF n:0 w:x1F"},
        {SqlDialect::SqlServer, u"0x1F &HFF", "n:0x1F y:& w:HFF"},
        {SqlDialect::MySql, u"0X1f", "n:0X1f"},
        {SqlDialect::SqlServer, u"a<=b<>c!=d||e::f", "w:a y:<= w:b y:<> w:c y:!= w:d y:|| w:e y::: w:f"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.sql));
        EXPECT_EQ(Describe(c.sql, c.dialect), c.tokens);
    }
}

TEST(SqlTokens, WhatNeverClosesRunsToTheEndAndLeavesTheListIncomplete) {
    struct Case {
        SqlDialect dialect;
        std::u16string_view sql;
    };
    const Case cases[] = {
        {SqlDialect::Access, u"SELECT [Order"}, {SqlDialect::Access, u"SELECT 'abc"},
        {SqlDialect::Access, u"WHERE #1/1"},    {SqlDialect::MySql, u"SELECT 'a\\'"},
        {SqlDialect::Oracle, u"SELECT \"a"},    {SqlDialect::SqlServer, u"SELECT a /* b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.sql));
        const SqlTokens result = TokenizeSql(c.sql, c.dialect);
        EXPECT_FALSE(result.complete);
        ASSERT_GE(result.tokens.size(), 2u);
        EXPECT_EQ(result.tokens.back().kind, SqlTokenKind::End);
        EXPECT_EQ(result.tokens.back().offset, c.sql.size());
        if (!c.sql.ends_with(u"b")) { // a comment adds no token
            EXPECT_EQ(result.tokens[result.tokens.size() - 2].End(), c.sql.size());
        }
    }
    EXPECT_TRUE(TokenizeSql(u"", SqlDialect::Access).complete);
    EXPECT_EQ(TokenizeSql(u"  ", SqlDialect::Access).tokens.size(), 1u);
}

TEST(SqlTokens, KeywordTablesIgnoreCaseAndNeverMatchQuotedNames) {
    // By upper-case spelling "_" sorts after the letters.
    static constexpr std::u16string_view Words[] = {u"FROM", u"SQLX", u"SQL_CACHE", u"WHERE"};
    static_assert(IsSortedKeywordTable(Words));
    static constexpr std::u16string_view Unsorted[] = {u"WHERE", u"FROM"};
    static_assert(!IsSortedKeywordTable(Unsorted));
    EXPECT_TRUE(IsKeywordIn(u"where", Words));
    EXPECT_TRUE(IsKeywordIn(u"Sql_Cache", Words));
    EXPECT_FALSE(IsKeywordIn(u"WHER", Words));
    EXPECT_FALSE(IsKeywordIn(u"", Words));
    const std::vector<SqlToken> tokens = TokenizeSql(u"From [From]", SqlDialect::Access).tokens;
    EXPECT_TRUE(tokens[0].IsKeywordIn(Words));
    EXPECT_FALSE(tokens[1].IsKeywordIn(Words));
}

TEST(SqlTokens, GroupsTextAndTheCursorStayWithinTheTokens) {
    const std::u16string_view sql = u"f(a, (b)) /* c */ + g(";
    const std::vector<SqlToken> tokens = TokenizeSql(sql, SqlDialect::SqlServer).tokens;
    ASSERT_EQ(tokens.size(), 12u);
    EXPECT_EQ(AfterGroup(tokens, 1), 8u);
    EXPECT_EQ(AfterGroup(tokens, 10), 11u); // never closed: the End token
    EXPECT_EQ(Utf8(SourceText(sql, tokens, 0, 10)), "f(a, (b)) /* c */ + g");
    EXPECT_EQ(Utf8(SourceText(sql, tokens, 3, 3)), "");

    SqlTokenCursor cursor(tokens);
    EXPECT_FALSE(cursor.AcceptKeyword(u"g"));
    EXPECT_TRUE(cursor.AcceptKeyword(u"F"));
    EXPECT_TRUE(cursor.AcceptSymbol(u"("));
    EXPECT_EQ(cursor.Peek(100).kind, SqlTokenKind::End);
    cursor.SetPosition(100);
    EXPECT_TRUE(cursor.AtEnd());
    cursor.Advance();
    EXPECT_EQ(cursor.Position(), 11u);
}

TEST(SqlTokens, DottedNamesAreReadAsFarAsTheyGo) {
    struct Case {
        std::u16string_view sql;
        bool allowStar;
        std::size_t end;      // tokens the name may take, from the first
        std::size_t consumed; // 0: no name starts there
        const char* qualifier;
        const char* name;
    };
    const Case cases[] = {
        {u"Orders", false, 1, 1, "", "Orders"},
        {u"[Order Details].Qty + 1", false, 5, 3, "Order Details", "Qty"},
        {u"s.q.[x y]", false, 5, 5, "q", "x y"},
        {u"Forms!F!Top", false, 5, 5, "F", "Top"},
        {u"a.b.c", false, 3, 3, "a", "b"}, // stops at `end`
        {u"T.*", true, 3, 3, "T", "*"},
        {u"T.*", false, 3, 1, "", "T"},
        {u"*", true, 1, 1, "", "*"},
        {u"*", false, 1, 0, "", ""},
        {u"T. + 1", false, 4, 1, "", "T"},
        {u"'x'", false, 1, 0, "", ""},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(Utf8(expected.sql) + (expected.allowStar ? " with stars" : ""));
        const std::vector<SqlToken> tokens = TokenizeSql(expected.sql, SqlDialect::Access).tokens;
        std::size_t position = 0;
        const std::optional<QualifiedName> name =
            ReadQualifiedName(tokens, position, expected.end, expected.allowStar);
        EXPECT_EQ(position, expected.consumed);
        ASSERT_EQ(name.has_value(), expected.consumed > 0);
        if (name) {
            EXPECT_EQ(Utf8(name->qualifier), expected.qualifier);
            EXPECT_EQ(Utf8(name->name), expected.name);
            EXPECT_EQ(name->isStar, Utf8(name->name) == "*");
        }
    }
}

TEST(SqlTokens, QuotesAccessNamesOnlyWhereAccessWould) {
    EXPECT_EQ(Utf8(QuoteAccessName(u"Orders")), "Orders");
    EXPECT_EQ(Utf8(QuoteAccessName(u"Order Details")), "[Order Details]");
    EXPECT_EQ(Utf8(QuoteAccessName(u"Umsätze")), "[Umsätze]");
    EXPECT_EQ(Utf8(QuoteAccessName(u"2010")), "[2010]");
    EXPECT_EQ(Utf8(QuoteAccessName(u"Order")), "[Order]"); // a keyword
    EXPECT_EQ(Utf8(QuoteAccessName(u"order_id")), "order_id");
}

} // namespace
} // namespace qv::sql
