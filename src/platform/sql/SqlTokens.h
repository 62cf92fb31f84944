#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sql {

/// The SQL dialects the analysers read, numbered as the database kinds are.
enum class SqlDialect : std::int16_t { Access = 1, SqlServer = 2, MySql = 3, Oracle = 4 };

enum class SqlTokenKind {
    Word,       // a plain name or keyword: Orders, SELECT, Sum
    QuotedName, // [a b], "a b" or `a b` as the dialect quotes names; text holds the name
    String,     // 'x', and "x" where double quotes do not quote names; text holds the value
    Number,     // 12, 1.5, 1E-3; Access's &H1F; SQL Server's and MySQL's 0x1F
    Date,       // Access's #1/1/95#; text holds what stands between the hashes
    Symbol,     // punctuation and operators; <= >= <> != || :: are one symbol each
    End,        // after the last token
};

/// Keywords sorted by their upper-case spelling, so that a lookup bisects the table (check a
/// table with IsSortedKeywordTable where it is defined).
using KeywordTable = std::span<const std::u16string_view>;

/// Whether `word` is one of `keywords`, ignoring case.
bool IsKeywordIn(std::u16string_view word, KeywordTable keywords) noexcept;

/// The order IsKeywordIn relies on; keywords are ASCII.
constexpr bool IsSortedKeywordTable(KeywordTable keywords) noexcept {
    auto upper = [](char16_t c) {
        return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    };
    auto less = [&](std::u16string_view a, std::u16string_view b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [&](char16_t x, char16_t y) { return upper(x) < upper(y); });
    };
    return std::is_sorted(keywords.begin(), keywords.end(), less);
}

/// One token of an SQL text, with its place in that text so that callers can cut expressions
/// out of the original exactly as written.
struct SqlToken {
    SqlTokenKind kind = SqlTokenKind::End;
    std::u16string text;    // a quoted token's value, quotes removed and escapes undone
    std::size_t offset = 0; // first code unit in the SQL text
    std::size_t length = 0; // code units in the SQL text, delimiters included

    bool IsName() const noexcept { return kind == SqlTokenKind::Word || kind == SqlTokenKind::QuotedName; }
    bool IsLiteral() const noexcept {
        return kind == SqlTokenKind::String || kind == SqlTokenKind::Number || kind == SqlTokenKind::Date;
    }
    /// A plain word equal to `keyword` ignoring case; a quoted name never is a keyword.
    bool IsKeyword(std::u16string_view keyword) const noexcept;
    /// A plain word that is one of `keywords`.
    bool IsKeywordIn(KeywordTable keywords) const noexcept;
    bool IsSymbol(std::u16string_view symbol) const noexcept;
    std::size_t End() const noexcept { return offset + length; }
};

/// What TokenizeSql makes of a text.
struct SqlTokens {
    std::vector<SqlToken> tokens; // always ending with one End token
    bool complete = true;         // false when a quote, date or comment never closes
};

/// Splits an SQL text into tokens by the dialect's rules: which quotes make names and which
/// make strings, comments (none in Access), MySQL's backslash escapes, Access's #date#
/// literals. Comments are skipped. Never fails: an unclosed quote or date runs to the end of
/// the text and an unclosed comment swallows it, both leaving `complete` false; a character
/// that starts no token becomes a one-character Symbol.
SqlTokens TokenizeSql(std::u16string_view sql, SqlDialect dialect);

/// The index after the ")" that closes the "(" at `open`; the End token's index when it never
/// closes.
std::size_t AfterGroup(const std::vector<SqlToken>& tokens, std::size_t open) noexcept;

/// The text of tokens [begin, end) of `sql` as written, comments and spacing between them
/// included; "" for an empty range.
std::u16string SourceText(std::u16string_view sql, const std::vector<SqlToken>& tokens, std::size_t begin,
                          std::size_t end);

/// A reading position in a token list that never moves past its End token, for the
/// recursive-descent readers built on the tokens.
class SqlTokenCursor {
public:
    /// `tokens` as TokenizeSql gives them, ending with the End token.
    explicit SqlTokenCursor(std::vector<SqlToken> tokens);

    /// The token `ahead` places on; the End token beyond the last.
    const SqlToken& Peek(std::size_t ahead = 0) const noexcept {
        return mTokens[std::min(mPos + ahead, mTokens.size() - 1)];
    }
    bool AtEnd() const noexcept { return Peek().kind == SqlTokenKind::End; }
    void Advance() noexcept {
        if (!AtEnd()) {
            ++mPos;
        }
    }
    bool AcceptKeyword(std::u16string_view keyword) noexcept;
    bool AcceptSymbol(std::u16string_view symbol) noexcept;

    std::size_t Position() const noexcept { return mPos; }
    void SetPosition(std::size_t position) noexcept { mPos = std::min(position, mTokens.size() - 1); }
    const std::vector<SqlToken>& Tokens() const noexcept { return mTokens; }

private:
    std::vector<SqlToken> mTokens; // never empty: TokenizeSql always adds the End token
    std::size_t mPos = 0;
};

/// "." between the parts of a dotted name, or the "!" that Access also writes there.
bool IsNameSeparator(const SqlToken& token) noexcept;

/// A dotted name as written: name, q.name, s.q.name, q!name; where allowed q.* or * alone.
struct QualifiedName {
    std::u16string qualifier; // the part before the last; "" for a single part
    std::u16string name;      // the last part, "*" for a star
    bool isStar = false;
};

/// name {separator name} [separator "*"], or "*" alone, the stars only with `allowStar`. Moves
/// `position` past it; nullopt, leaving `position`, where no name starts.
std::optional<QualifiedName> ReadQualifiedName(const std::vector<SqlToken>& tokens, std::size_t& position,
                                               std::size_t end, bool allowStar);

/// True for a name that Access writes without brackets: a letter or "_" first, then letters,
/// digits and "_" only.
bool IsPlainAccessName(std::u16string_view name) noexcept;

/// The name as Access SQL writes it: bracketed unless it is plain and no word of the SQL
/// grammar (SELECT, ORDER, ...).
std::u16string QuoteAccessName(std::u16string_view name);

} // namespace qv::sql
