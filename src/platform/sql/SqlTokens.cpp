#include "platform/sql/SqlTokens.h"

#include "platform/automation/Text.h"

#include <cassert>

namespace qv::sql {

namespace {

bool IsBlank(char16_t c) noexcept {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}
bool IsAsciiLetter(char16_t c) noexcept {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsDigit(char16_t c) noexcept {
    return c >= u'0' && c <= u'9';
}
bool IsHexDigit(char16_t c) noexcept {
    return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
// Names may hold any letter, accented ones included ("Umsätze"); "@" starts SQL Server's and
// MySQL's variables, "$" ends Access's Left$, "#" and "$" stand in Oracle's names. In Access
// "#" always delimits a date, even right after a word: Between#1/1/95#.
bool IsWordStart(char16_t c) noexcept {
    return IsAsciiLetter(c) || c == u'_' || c == u'@' || c > 0x7F;
}
bool IsWordPart(char16_t c, SqlDialect dialect) noexcept {
    return IsWordStart(c) || IsDigit(c) || c == u'$' || (c == u'#' && dialect != SqlDialect::Access);
}

constexpr std::u16string_view TwoCharacterSymbols[] = {u"<=", u">=", u"<>", u"!=", u"||", u"::"};

class Tokenizer {
public:
    Tokenizer(std::u16string_view sql, SqlDialect dialect) : mSql(sql), mDialect(dialect) {}

    SqlTokens Run() {
        SqlTokens result;
        while (SkipBlanksAndComments()) {
            result.tokens.push_back(Next());
        }
        result.tokens.push_back(SqlToken{SqlTokenKind::End, {}, mSql.size(), 0});
        result.complete = mComplete;
        return result;
    }

private:
    bool Is(SqlDialect dialect) const noexcept { return mDialect == dialect; }
    char16_t At(std::size_t position) const noexcept {
        return position < mSql.size() ? mSql[position] : u'\0';
    }

    // Moves to the next token's first character; false at the end of the text.
    bool SkipBlanksAndComments() {
        while (mPos < mSql.size()) {
            const char16_t c = mSql[mPos];
            const char16_t next = At(mPos + 1);
            if (IsBlank(c)) {
                ++mPos;
                continue;
            }
            if (Is(SqlDialect::Access)) {
                return true; // Access SQL has no comments
            }
            if ((c == u'-' && next == u'-') || (Is(SqlDialect::MySql) && c == u'#')) {
                const std::size_t end = mSql.find(u'\n', mPos);
                mPos = end == std::u16string_view::npos ? mSql.size() : end + 1;
                continue;
            }
            if (c == u'/' && next == u'*') {
                const std::size_t end = mSql.find(u"*/", mPos + 2);
                mComplete = mComplete && end != std::u16string_view::npos;
                mPos = end == std::u16string_view::npos ? mSql.size() : end + 2;
                continue;
            }
            return true;
        }
        return false;
    }

    SqlToken Next() {
        const std::size_t start = mPos;
        const char16_t c = mSql[mPos];
        const char16_t next = At(mPos + 1);
        const bool brackets = Is(SqlDialect::Access) || Is(SqlDialect::SqlServer);
        const bool backquotes = Is(SqlDialect::Access) || Is(SqlDialect::MySql);
        // Access and MySQL read "..." as a string; the others as a name.
        const bool doubleQuotedNames = Is(SqlDialect::SqlServer) || Is(SqlDialect::Oracle);
        if ((brackets && c == u'[') || (backquotes && c == u'`') || (doubleQuotedNames && c == u'"')) {
            return Quoted(SqlTokenKind::QuotedName, c == u'[' ? u']' : c, /*backslashEscapes=*/false);
        }
        if (c == u'\'' || c == u'"') {
            return Quoted(SqlTokenKind::String, c, /*backslashEscapes=*/Is(SqlDialect::MySql));
        }
        if (Is(SqlDialect::Access) && c == u'#') {
            const std::size_t end = mSql.find(u'#', mPos + 1);
            mComplete = mComplete && end != std::u16string_view::npos;
            mPos = end == std::u16string_view::npos ? mSql.size() : end + 1;
            const std::size_t valueEnd = end == std::u16string_view::npos ? mSql.size() : end;
            return Make(SqlTokenKind::Date, start,
                        std::u16string(mSql.substr(start + 1, valueEnd - start - 1)));
        }
        const bool accessHex = Is(SqlDialect::Access) && c == u'&' && (next == u'H' || next == u'h');
        const bool hex = (Is(SqlDialect::SqlServer) || Is(SqlDialect::MySql)) && c == u'0' &&
                         (next == u'x' || next == u'X');
        if ((accessHex || hex) && IsHexDigit(At(mPos + 2))) {
            mPos += 2;
            while (mPos < mSql.size() && IsHexDigit(mSql[mPos])) {
                ++mPos;
            }
            return Make(SqlTokenKind::Number, start, std::u16string(mSql.substr(start, mPos - start)));
        }
        if (IsDigit(c) || (c == u'.' && IsDigit(next))) {
            return NumberToken();
        }
        if (IsWordStart(c)) {
            while (mPos < mSql.size() && IsWordPart(mSql[mPos], mDialect)) {
                ++mPos;
            }
            return Make(SqlTokenKind::Word, start, std::u16string(mSql.substr(start, mPos - start)));
        }
        const std::u16string_view pair = mSql.substr(mPos, 2);
        const bool isPair = std::find(std::begin(TwoCharacterSymbols), std::end(TwoCharacterSymbols), pair) !=
                            std::end(TwoCharacterSymbols);
        mPos += isPair ? 2 : 1;
        return Make(SqlTokenKind::Symbol, start, std::u16string(mSql.substr(start, mPos - start)));
    }

    // A token between the character at the current position and `close`; the closing character
    // doubled inside stands for itself, as in 'O''Brien', and with backslash escapes a
    // backslash takes the next character as it is.
    SqlToken Quoted(SqlTokenKind kind, char16_t close, bool backslashEscapes) {
        const std::size_t start = mPos++;
        std::u16string value;
        while (mPos < mSql.size()) {
            const char16_t c = mSql[mPos++];
            if (backslashEscapes && c == u'\\' && mPos < mSql.size()) {
                value.push_back(mSql[mPos++]);
                continue;
            }
            if (c != close) {
                value.push_back(c);
                continue;
            }
            if (At(mPos) == close) {
                value.push_back(c);
                ++mPos;
                continue;
            }
            return Make(kind, start, std::move(value));
        }
        mComplete = false;
        return Make(kind, start, std::move(value));
    }

    // digits [. digits] [E [+|-] digits]; the exponent only where digits follow it.
    SqlToken NumberToken() {
        const std::size_t start = mPos;
        while (mPos < mSql.size() && (IsDigit(mSql[mPos]) || mSql[mPos] == u'.')) {
            ++mPos;
        }
        if (At(mPos) == u'E' || At(mPos) == u'e') {
            std::size_t next = mPos + 1;
            if (At(next) == u'+' || At(next) == u'-') {
                ++next;
            }
            if (IsDigit(At(next))) {
                mPos = next;
                while (mPos < mSql.size() && IsDigit(mSql[mPos])) {
                    ++mPos;
                }
            }
        }
        return Make(SqlTokenKind::Number, start, std::u16string(mSql.substr(start, mPos - start)));
    }

    SqlToken Make(SqlTokenKind kind, std::size_t start, std::u16string text) const {
        return SqlToken{kind, std::move(text), start, mPos - start};
    }

    std::u16string_view mSql;
    SqlDialect mDialect;
    std::size_t mPos = 0;
    bool mComplete = true;
};

// Words of Access's SQL grammar that a name must not be written as without brackets.
constexpr std::u16string_view AccessReservedWords[] = {
    u"ALL",      u"AND",         u"AS",        u"ASC",        u"BETWEEN", u"BY",     u"DELETE", u"DESC",
    u"DISTINCT", u"DISTINCTROW", u"FROM",      u"GROUP",      u"HAVING",  u"IN",     u"INNER",  u"INSERT",
    u"INTO",     u"IS",          u"JOIN",      u"LEFT",       u"LIKE",    u"NOT",    u"NULL",   u"ON",
    u"OR",       u"ORDER",       u"OUTER",     u"PARAMETERS", u"PERCENT", u"PIVOT",  u"RIGHT",  u"SELECT",
    u"SET",      u"TOP",         u"TRANSFORM", u"UNION",      u"UPDATE",  u"VALUES", u"WHERE",
};
static_assert(IsSortedKeywordTable(AccessReservedWords));

} // namespace

bool IsKeywordIn(std::u16string_view word, KeywordTable keywords) noexcept {
    const auto found = std::lower_bound(keywords.begin(), keywords.end(), word,
                                        [](std::u16string_view keyword, std::u16string_view text) {
                                            return automation::CompareNoCase(keyword, text) < 0;
                                        });
    return found != keywords.end() && automation::EqualsNoCase(*found, word);
}

bool SqlToken::IsKeyword(std::u16string_view keyword) const noexcept {
    return kind == SqlTokenKind::Word && automation::EqualsNoCase(text, keyword);
}

bool SqlToken::IsKeywordIn(KeywordTable keywords) const noexcept {
    return kind == SqlTokenKind::Word && sql::IsKeywordIn(text, keywords);
}

bool SqlToken::IsSymbol(std::u16string_view symbol) const noexcept {
    return kind == SqlTokenKind::Symbol && text == symbol;
}

SqlTokens TokenizeSql(std::u16string_view sql, SqlDialect dialect) {
    return Tokenizer(sql, dialect).Run();
}

std::size_t AfterGroup(const std::vector<SqlToken>& tokens, std::size_t open) noexcept {
    int depth = 0;
    for (std::size_t position = open; position < tokens.size(); ++position) {
        if (tokens[position].IsSymbol(u"(")) {
            ++depth;
        } else if (tokens[position].IsSymbol(u")") && --depth == 0) {
            return position + 1;
        }
    }
    return tokens.size() - 1;
}

std::u16string SourceText(std::u16string_view sql, const std::vector<SqlToken>& tokens, std::size_t begin,
                          std::size_t end) {
    if (begin >= end) {
        return {};
    }
    const std::size_t from = tokens[begin].offset;
    return std::u16string(sql.substr(from, tokens[end - 1].End() - from));
}

SqlTokenCursor::SqlTokenCursor(std::vector<SqlToken> tokens) : mTokens(std::move(tokens)) {
    assert(!mTokens.empty() && mTokens.back().kind == SqlTokenKind::End && "tokens must end with End");
}

bool SqlTokenCursor::AcceptKeyword(std::u16string_view keyword) noexcept {
    if (!Peek().IsKeyword(keyword)) {
        return false;
    }
    Advance();
    return true;
}

bool SqlTokenCursor::AcceptSymbol(std::u16string_view symbol) noexcept {
    if (!Peek().IsSymbol(symbol)) {
        return false;
    }
    Advance();
    return true;
}

bool IsNameSeparator(const SqlToken& token) noexcept {
    return token.IsSymbol(u".") || token.IsSymbol(u"!");
}

std::optional<QualifiedName> ReadQualifiedName(const std::vector<SqlToken>& tokens, std::size_t& position,
                                               std::size_t end, bool allowStar) {
    if (position >= end) {
        return std::nullopt;
    }
    QualifiedName result;
    if (allowStar && tokens[position].IsSymbol(u"*")) {
        result.name = u"*";
        result.isStar = true;
        ++position;
        return result;
    }
    if (!tokens[position].IsName()) {
        return std::nullopt;
    }
    result.name = tokens[position].text;
    std::size_t next = position + 1;
    while (next + 1 < end && IsNameSeparator(tokens[next])) {
        const SqlToken& part = tokens[next + 1];
        const bool isStar = allowStar && part.IsSymbol(u"*");
        if (!isStar && !part.IsName()) {
            break;
        }
        result.qualifier = std::move(result.name);
        result.name = part.text;
        result.isStar = isStar;
        next += 2;
        if (isStar) {
            break;
        }
    }
    position = next;
    return result;
}

bool IsPlainAccessName(std::u16string_view name) noexcept {
    if (name.empty() || !(IsAsciiLetter(name.front()) || name.front() == u'_')) {
        return false;
    }
    return std::all_of(name.begin(), name.end(),
                       [](char16_t c) { return IsAsciiLetter(c) || IsDigit(c) || c == u'_'; });
}

std::u16string QuoteAccessName(std::u16string_view name) {
    if (IsPlainAccessName(name) && !IsKeywordIn(name, AccessReservedWords)) {
        return std::u16string(name);
    }
    std::u16string quoted;
    quoted.reserve(name.size() + 2);
    quoted += u'[';
    quoted += name;
    quoted += u']';
    return quoted;
}

} // namespace qv::sql
