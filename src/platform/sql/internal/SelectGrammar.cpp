#include "platform/sql/internal/SelectGrammar.h"

#include <algorithm>

namespace qv::sql::internal {

namespace {

// Words that are never an alias written without AS: clause, join and expression keywords.
constexpr std::u16string_view NonAliasWords[] = {
    u"AND",    u"APPLY",     u"AS",      u"CONNECT", u"CROSS", u"DAY",    u"END",   u"EXCEPT",
    u"FETCH",  u"FOR",       u"FROM",    u"FULL",    u"GROUP", u"HAVING", u"HOUR",  u"IN",
    u"INNER",  u"INTERSECT", u"INTO",    u"IS",      u"JOIN",  u"LEFT",   u"LIMIT", u"MINUS",
    u"MINUTE", u"MONTH",     u"NATURAL", u"NOT",     u"NULL",  u"OFFSET", u"ON",    u"OR",
    u"ORDER",  u"OUTER",     u"PIVOT",   u"QUALIFY", u"RIGHT", u"SECOND", u"START", u"STRAIGHT_JOIN",
    u"UNION",  u"USING",     u"WHERE",   u"WINDOW",  u"WITH",  u"YEAR",
};
static_assert(IsSortedKeywordTable(NonAliasWords));

// Words that may stand between SELECT and the first column, TOP aside.
constexpr std::u16string_view SelectModifierWords[] = {
    u"ALL",
    u"DISTINCT",
    u"DISTINCTROW",
    u"HIGH_PRIORITY",
    u"SQL_BIG_RESULT",
    u"SQL_BUFFER_RESULT",
    u"SQL_CACHE",
    u"SQL_CALC_FOUND_ROWS",
    u"SQL_NO_CACHE",
    u"SQL_SMALL_RESULT",
    u"STRAIGHT_JOIN",
    u"UNIQUE",
};
static_assert(IsSortedKeywordTable(SelectModifierWords));

} // namespace

std::size_t FindClauseEnd(const std::vector<SqlToken>& tokens, std::size_t position,
                          bool (*ends)(const SqlToken& token)) {
    while (position + 1 < tokens.size()) {
        const SqlToken& token = tokens[position];
        if (token.IsSymbol(u"(")) {
            position = AfterGroup(tokens, position);
            continue;
        }
        if (token.IsSymbol(u")") || ends(token)) {
            return position;
        }
        ++position;
    }
    return tokens.size() - 1;
}

bool IsBareAlias(const SqlToken& token) noexcept {
    return token.kind == SqlTokenKind::QuotedName ||
           (token.kind == SqlTokenKind::Word && !token.IsKeywordIn(NonAliasWords));
}

std::u16string ReadAlias(const std::vector<SqlToken>& tokens, std::size_t& position, std::size_t end) {
    if (position + 1 < end && tokens[position].IsKeyword(u"AS") && tokens[position + 1].IsName()) {
        position += 2;
        return tokens[position - 1].text;
    }
    if (position < end && IsBareAlias(tokens[position])) {
        return tokens[position++].text;
    }
    return {};
}

std::optional<std::size_t> FindAsAlias(const std::vector<SqlToken>& tokens, std::size_t begin,
                                       std::size_t end) noexcept {
    if (end < begin + 3 || !tokens[end - 2].IsKeyword(u"AS")) {
        return std::nullopt;
    }
    const SqlToken& alias = tokens[end - 1];
    if (!alias.IsName() && !alias.IsLiteral()) {
        return std::nullopt;
    }
    return end - 1;
}

SelectModifiers SkipSelectModifiers(const std::vector<SqlToken>& tokens, std::size_t position) noexcept {
    const std::size_t last = tokens.size() - 1; // the End token
    auto at = [&](std::size_t index) -> const SqlToken& { return tokens[std::min(index, last)]; };
    SelectModifiers result;
    for (;;) {
        const SqlToken& token = at(position);
        if (token.IsKeywordIn(SelectModifierWords)) {
            ++position;
            if (token.IsKeyword(u"DISTINCT")) {
                result.distinct = true;
                if (at(position).IsKeyword(u"ON") && at(position + 1).IsSymbol(u"(")) {
                    position = AfterGroup(tokens, position + 1);
                }
            }
            continue;
        }
        if (!token.IsKeyword(u"TOP")) {
            break;
        }
        ++position;
        position = at(position).IsSymbol(u"(") ? AfterGroup(tokens, std::min(position, last)) : position + 1;
        if (at(position).IsKeyword(u"PERCENT")) {
            ++position;
        }
        if (at(position).IsKeyword(u"WITH") && at(position + 1).IsKeyword(u"TIES")) {
            position += 2;
        }
    }
    result.end = std::min(position, last);
    return result;
}

} // namespace qv::sql::internal
