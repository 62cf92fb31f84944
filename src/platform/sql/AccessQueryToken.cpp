#include "platform/sql/AccessQueryToken.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <iterator>

namespace qv::sql {

namespace {

bool IsAsciiLetter(char16_t c) noexcept {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsDigit(char16_t c) noexcept {
    return c >= u'0' && c <= u'9';
}
bool IsHexDigit(char16_t c) noexcept {
    return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
bool IsSpace(char16_t c) noexcept {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}

// Access names may hold any letter, accented ones included ("Umsätze").
bool IsWordStart(char16_t c) noexcept {
    return IsAsciiLetter(c) || c == u'_' || c >= 0x80;
}
bool IsWordPart(char16_t c) noexcept {
    return IsWordStart(c) || IsDigit(c);
}

class Tokenizer {
public:
    explicit Tokenizer(std::u16string_view sql) : mSql(sql) {}

    std::vector<AccessQueryToken> Run() {
        std::vector<AccessQueryToken> tokens;
        for (;;) {
            while (mPos < mSql.size() && IsSpace(mSql[mPos])) {
                ++mPos;
            }
            if (mPos >= mSql.size()) {
                break;
            }
            tokens.push_back(Next());
        }
        tokens.push_back(AccessQueryToken{AccessTokenKind::End, {}, mSql.size(), 0});
        return tokens;
    }

private:
    AccessQueryToken Next() {
        const std::size_t start = mPos;
        const char16_t c = mSql[mPos];
        if (c == u'[') {
            return Delimited(AccessTokenKind::BracketedName, u']', /*doubledEscapes=*/false);
        }
        if (c == u'\'' || c == u'"') {
            return Delimited(AccessTokenKind::String, c, /*doubledEscapes=*/true);
        }
        if (c == u'#') {
            return Delimited(AccessTokenKind::Date, u'#', /*doubledEscapes=*/false);
        }
        if (IsDigit(c) || (c == u'.' && mPos + 1 < mSql.size() && IsDigit(mSql[mPos + 1]))) {
            return NumberToken();
        }
        if (c == u'&' && mPos + 1 < mSql.size() && (mSql[mPos + 1] == u'H' || mSql[mPos + 1] == u'h') &&
            mPos + 2 < mSql.size() && IsHexDigit(mSql[mPos + 2])) {
            mPos += 2;
            while (mPos < mSql.size() && IsHexDigit(mSql[mPos])) {
                ++mPos;
            }
            return Make(AccessTokenKind::Number, start, std::u16string(mSql.substr(start, mPos - start)));
        }
        if (IsWordStart(c)) {
            while (mPos < mSql.size() && IsWordPart(mSql[mPos])) {
                ++mPos;
            }
            return Make(AccessTokenKind::Word, start, std::u16string(mSql.substr(start, mPos - start)));
        }
        if ((c == u'<' || c == u'>') && mPos + 1 < mSql.size() &&
            (mSql[mPos + 1] == u'=' || (c == u'<' && mSql[mPos + 1] == u'>'))) {
            mPos += 2;
            return Make(AccessTokenKind::Symbol, start, std::u16string(mSql.substr(start, 2)));
        }
        ++mPos;
        return Make(AccessTokenKind::Symbol, start, std::u16string(1, c));
    }

    // A token between `close` and the character that opened it; with doubled escapes a doubled
    // closing character stands for itself, as in 'O''Brien'.
    AccessQueryToken Delimited(AccessTokenKind kind, char16_t close, bool doubledEscapes) {
        const std::size_t start = mPos++;
        std::u16string value;
        while (mPos < mSql.size()) {
            const char16_t c = mSql[mPos++];
            if (c != close) {
                value.push_back(c);
                continue;
            }
            if (doubledEscapes && mPos < mSql.size() && mSql[mPos] == close) {
                value.push_back(c);
                ++mPos;
                continue;
            }
            break;
        }
        return Make(kind, start, std::move(value));
    }

    AccessQueryToken NumberToken() {
        const std::size_t start = mPos;
        while (mPos < mSql.size() && (IsDigit(mSql[mPos]) || mSql[mPos] == u'.')) {
            ++mPos;
        }
        if (mPos < mSql.size() && (mSql[mPos] == u'E' || mSql[mPos] == u'e')) {
            std::size_t next = mPos + 1;
            if (next < mSql.size() && (mSql[next] == u'+' || mSql[next] == u'-')) {
                ++next;
            }
            if (next < mSql.size() && IsDigit(mSql[next])) {
                mPos = next;
                while (mPos < mSql.size() && IsDigit(mSql[mPos])) {
                    ++mPos;
                }
            }
        }
        return Make(AccessTokenKind::Number, start, std::u16string(mSql.substr(start, mPos - start)));
    }

    AccessQueryToken Make(AccessTokenKind kind, std::size_t start, std::u16string text) const {
        return AccessQueryToken{kind, std::move(text), start, mPos - start};
    }

    std::u16string_view mSql;
    std::size_t mPos = 0;
};

// Words of the SQL grammar that a name must not be written as without brackets, sorted for the
// binary search (by upper-case spelling).
constexpr std::u16string_view SqlKeywords[] = {
    u"ALL",      u"AND",         u"AS",        u"ASC",        u"BETWEEN", u"BY",     u"DELETE", u"DESC",
    u"DISTINCT", u"DISTINCTROW", u"FROM",      u"GROUP",      u"HAVING",  u"IN",     u"INNER",  u"INSERT",
    u"INTO",     u"IS",          u"JOIN",      u"LEFT",       u"LIKE",    u"NOT",    u"NULL",   u"ON",
    u"OR",       u"ORDER",       u"OUTER",     u"PARAMETERS", u"PERCENT", u"PIVOT",  u"RIGHT",  u"SELECT",
    u"SET",      u"TOP",         u"TRANSFORM", u"UNION",      u"UPDATE",  u"VALUES", u"WHERE",
};

bool IsSqlKeyword(std::u16string_view name) {
    const std::u16string upper = automation::ToUpper(name);
    return std::binary_search(std::begin(SqlKeywords), std::end(SqlKeywords), std::u16string_view(upper));
}

} // namespace

bool AccessQueryToken::IsKeyword(std::u16string_view keyword) const noexcept {
    return kind == AccessTokenKind::Word && automation::EqualsNoCase(text, keyword);
}

bool AccessQueryToken::IsSymbol(std::u16string_view symbol) const noexcept {
    return kind == AccessTokenKind::Symbol && text == symbol;
}

std::vector<AccessQueryToken> TokenizeAccessQuery(std::u16string_view sql) {
    return Tokenizer(sql).Run();
}

bool IsPlainAccessName(std::u16string_view name) noexcept {
    if (name.empty() || !(IsAsciiLetter(name.front()) || name.front() == u'_')) {
        return false;
    }
    for (const char16_t c : name) {
        if (!(IsAsciiLetter(c) || IsDigit(c) || c == u'_')) {
            return false;
        }
    }
    return true;
}

std::u16string QuoteAccessName(std::u16string_view name) {
    if (IsPlainAccessName(name) && !IsSqlKeyword(name)) {
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
