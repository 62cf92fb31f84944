#include "platform/sql/CustomViewAnalyzer.h"

#include "platform/automation/Text.h"

#include <array>

namespace qv::sql {

using automation::EqualsNoCase;

namespace {

constexpr std::size_t NoPosition = static_cast<std::size_t>(-1);

/// Words that end the select list or the table list where they stand outside parentheses.
constexpr std::array<std::u16string_view, 18> ClauseWords{
    u"FROM",  u"INTO",   u"WHERE", u"GROUP",     u"HAVING", u"ORDER", u"LIMIT",   u"OFFSET", u"FETCH",
    u"UNION", u"EXCEPT", u"MINUS", u"INTERSECT", u"WINDOW", u"FOR",   u"CONNECT", u"START",  u"QUALIFY",
};

/// Words that can never be a bare alias: clause, join and expression keywords.
constexpr std::array<std::u16string_view, 44> ReservedWords{
    u"FROM",    u"INTO",          u"WHERE", u"GROUP",   u"HAVING", u"ORDER",     u"LIMIT",
    u"OFFSET",  u"FETCH",         u"UNION", u"EXCEPT",  u"MINUS",  u"INTERSECT", u"WINDOW",
    u"FOR",     u"CONNECT",       u"START", u"QUALIFY", u"AS",     u"ON",        u"USING",
    u"JOIN",    u"INNER",         u"LEFT",  u"RIGHT",   u"FULL",   u"OUTER",     u"CROSS",
    u"NATURAL", u"APPLY",         u"WITH",  u"AND",     u"OR",     u"NOT",       u"IS",
    u"NULL",    u"END",           u"DAY",   u"HOUR",    u"MINUTE", u"SECOND",    u"MONTH",
    u"YEAR",    u"STRAIGHT_JOIN",
};

/// Words that may stand between SELECT and the first column.
constexpr std::array<std::u16string_view, 12> SelectModifiers{
    u"DISTINCT",
    u"ALL",
    u"DISTINCTROW",
    u"UNIQUE",
    u"SQL_CALC_FOUND_ROWS",
    u"STRAIGHT_JOIN",
    u"HIGH_PRIORITY",
    u"SQL_NO_CACHE",
    u"SQL_CACHE",
    u"SQL_SMALL_RESULT",
    u"SQL_BIG_RESULT",
    u"SQL_BUFFER_RESULT",
};

template <std::size_t N>
bool IsOneOf(const CustomViewToken& token, const std::array<std::u16string_view, N>& words) {
    for (std::u16string_view word : words) {
        if (token.IsKeyword(word)) {
            return true;
        }
    }
    return false;
}

/// The token after the ")" that closes the "(" at `open`, or NoPosition.
std::size_t AfterGroup(const std::vector<CustomViewToken>& tokens, std::size_t open) {
    int depth = 0;
    for (std::size_t position = open; position < tokens.size(); ++position) {
        if (tokens[position].IsSymbol(u"(")) {
            ++depth;
        } else if (tokens[position].IsSymbol(u")") && --depth == 0) {
            return position + 1;
        }
    }
    return NoPosition;
}

/// The first token from `position` on, outside parentheses, that is a clause word or a ")"
/// closing a group the range began in; the End token when there is none.
std::size_t ClauseEnd(const std::vector<CustomViewToken>& tokens, std::size_t position) {
    while (position + 1 < tokens.size()) {
        const CustomViewToken& token = tokens[position];
        if (token.IsSymbol(u"(")) {
            position = AfterGroup(tokens, position);
            continue;
        }
        if (token.IsSymbol(u")") || IsOneOf(token, ClauseWords)) {
            return position;
        }
        ++position;
    }
    return tokens.size() - 1;
}

bool IsAliasName(const CustomViewToken& token) {
    return token.kind == CustomViewTokenKind::QuotedName ||
           (token.kind == CustomViewTokenKind::Word && !IsOneOf(token, ReservedWords));
}

/// Whether a token can end an operand, so that a name after it is an alias, not part of the
/// expression.
bool EndsOperand(const CustomViewToken& token) {
    return token.IsName() || token.kind == CustomViewTokenKind::Literal || token.IsSymbol(u")");
}

bool IsSeparator(const CustomViewToken& token) {
    return token.IsSymbol(u".") || token.IsSymbol(u"!");
}

} // namespace

bool CustomViewAnalyzer::AnalyzeSql(std::u16string_view sql, std::int16_t dialect) {
    mAnalyzed = false;
    mItems.clear();
    mTables.clear();
    mWithNames.clear();
    mTokens.clear();
    mSql = sql;
    CustomViewDialect rules =
        dialect >= 1 && dialect <= 4 ? static_cast<CustomViewDialect>(dialect) : CustomViewDialect::Access;
    if (!TokenizeCustomView(mSql, rules, mTokens)) {
        return false;
    }
    int depth = 0;
    for (const CustomViewToken& token : mTokens) {
        depth += token.IsSymbol(u"(") ? 1 : token.IsSymbol(u")") ? -1 : 0;
        if (depth < 0) {
            return false;
        }
    }
    if (depth != 0) {
        return false;
    }

    std::size_t position = 0;
    auto skipOpenings = [&] {
        while (mTokens[position].IsSymbol(u"(")) {
            ++position;
        }
    };
    skipOpenings();
    if (mTokens[position].IsKeyword(u"WITH")) {
        // WITH [RECURSIVE] name [(columns)] AS [[NOT] MATERIALIZED] (query) [, ...]
        ++position;
        if (mTokens[position].IsKeyword(u"RECURSIVE")) {
            ++position;
        }
        while (mTokens[position].IsName()) {
            mWithNames.push_back(mTokens[position++].text);
            if (mTokens[position].IsSymbol(u"(")) {
                position = AfterGroup(mTokens, position);
            }
            if (!mTokens[position].IsKeyword(u"AS")) {
                return false;
            }
            ++position;
            while (mTokens[position].IsKeyword(u"NOT") || mTokens[position].IsKeyword(u"MATERIALIZED")) {
                ++position;
            }
            if (!mTokens[position].IsSymbol(u"(")) {
                return false;
            }
            position = AfterGroup(mTokens, position);
            if (!mTokens[position].IsSymbol(u",")) {
                break;
            }
            ++position;
        }
        skipOpenings();
    }
    if (!mTokens[position].IsKeyword(u"SELECT")) {
        return false;
    }
    ++position;
    while (true) {
        const CustomViewToken& token = mTokens[position];
        if (IsOneOf(token, SelectModifiers)) {
            ++position;
            if (token.IsKeyword(u"DISTINCT") && mTokens[position].IsKeyword(u"ON") &&
                mTokens[position + 1].IsSymbol(u"(")) {
                position = AfterGroup(mTokens, position + 1);
            }
            continue;
        }
        if (token.IsKeyword(u"TOP")) {
            // TOP n [PERCENT] [WITH TIES], or TOP (expression)
            ++position;
            position = mTokens[position].IsSymbol(u"(") ? AfterGroup(mTokens, position) : position + 1;
            if (mTokens[position].IsKeyword(u"PERCENT")) {
                ++position;
            }
            if (mTokens[position].IsKeyword(u"WITH") && mTokens[position + 1].IsKeyword(u"TIES")) {
                position += 2;
            }
            continue;
        }
        break;
    }

    std::size_t listEnd = ClauseEnd(mTokens, position);
    ParseSelectList(position, listEnd);
    if (mItems.empty()) {
        return false;
    }
    position = listEnd;
    if (mTokens[position].IsKeyword(u"INTO")) {
        while (position + 1 < mTokens.size() && !mTokens[position].IsKeyword(u"FROM")) {
            ++position;
        }
    }
    if (mTokens[position].IsKeyword(u"FROM")) {
        std::size_t fromEnd = ClauseEnd(mTokens, position + 1);
        ParseTableList(position + 1, fromEnd);
    }
    Resolve();
    mAnalyzed = true;
    return true;
}

void CustomViewAnalyzer::ParseSelectList(std::size_t begin, std::size_t end) {
    std::size_t itemStart = begin;
    for (std::size_t position = begin; position <= end; ++position) {
        if (position < end && mTokens[position].IsSymbol(u"(")) {
            position = AfterGroup(mTokens, position) - 1;
            continue;
        }
        if (position < end && !mTokens[position].IsSymbol(u",")) {
            continue;
        }
        std::size_t itemEnd = position;
        if (itemEnd == itemStart) {
            itemStart = position + 1;
            continue;
        }
        Item item;
        std::size_t expressionEnd = itemEnd;
        std::size_t count = itemEnd - itemStart;
        const CustomViewToken& last = mTokens[itemEnd - 1];
        if (count >= 3 && mTokens[itemEnd - 2].IsKeyword(u"AS") &&
            (last.IsName() || last.kind == CustomViewTokenKind::Literal)) {
            item.outputName = last.text;
            item.source.isAlias = true;
            expressionEnd = itemEnd - 2;
        } else if (count >= 2 && IsAliasName(last) && EndsOperand(mTokens[itemEnd - 2])) {
            item.outputName = last.text;
            item.source.isAlias = true;
            expressionEnd = itemEnd - 1;
        }
        const CustomViewToken& first = mTokens[itemStart];
        item.source.sourceName = mSql.substr(first.offset, mTokens[expressionEnd - 1].End() - first.offset);

        // name, q.name, s.q.name (Access also writes q!name); or *, q.*
        std::size_t length = expressionEnd - itemStart;
        bool isPath = length % 2 == 1;
        for (std::size_t offset = 0; isPath && offset < length; ++offset) {
            const CustomViewToken& token = mTokens[itemStart + offset];
            bool isLastStar = offset == length - 1 && token.IsSymbol(u"*");
            isPath = offset % 2 == 0 ? token.IsName() || isLastStar : IsSeparator(token);
        }
        if (isPath && mTokens[expressionEnd - 1].IsSymbol(u"*")) {
            item.isStar = !item.source.isAlias;
            if (length >= 3) {
                item.starQualifier = mTokens[expressionEnd - 3].text;
            }
        } else if (isPath) {
            item.source.sourceField = mTokens[expressionEnd - 1].text;
            if (length >= 3) {
                // Kept here until Resolve turns the qualifier into its table.
                item.source.sourceTable = mTokens[expressionEnd - 3].text;
            }
            if (item.outputName.empty()) {
                item.outputName = item.source.sourceField;
            }
        }
        if (item.outputName.empty()) {
            item.outputName = item.source.sourceName;
        }
        mItems.push_back(std::move(item));
        itemStart = position + 1;
    }
}

std::size_t CustomViewAnalyzer::ParseTableList(std::size_t position, std::size_t end) {
    position = ParseTableFactor(position, end);
    while (position < end) {
        const CustomViewToken& token = mTokens[position];
        if (token.IsSymbol(u",") || token.IsKeyword(u"JOIN") || token.IsKeyword(u"APPLY")) {
            position = ParseTableFactor(position + 1, end);
            continue;
        }
        // Join words before JOIN, ON and USING conditions, table hints: nothing to learn.
        position = token.IsSymbol(u"(") ? AfterGroup(mTokens, position) : position + 1;
    }
    return position;
}

std::size_t CustomViewAnalyzer::ParseTableFactor(std::size_t position, std::size_t end) {
    if (position < end && mTokens[position].IsKeyword(u"LATERAL")) {
        ++position;
    }
    if (position >= end) {
        return position;
    }
    auto readAlias = [&](std::size_t& at) -> std::u16string {
        if (at < end && mTokens[at].IsKeyword(u"AS") && at + 1 < end && mTokens[at + 1].IsName()) {
            at += 2;
            return mTokens[at - 1].text;
        }
        if (at < end && IsAliasName(mTokens[at])) {
            return mTokens[at++].text;
        }
        return u"";
    };
    if (mTokens[position].IsSymbol(u"(")) {
        std::size_t after = AfterGroup(mTokens, position);
        bool isQuery = mTokens[position + 1].IsKeyword(u"SELECT") || mTokens[position + 1].IsKeyword(u"WITH");
        if (!isQuery) {
            // A parenthesised join, as Access writes every join of more than two tables.
            ParseTableList(position + 1, after - 1);
        }
        position = after;
        std::u16string alias = readAlias(position);
        if (isQuery) {
            mTables.push_back({u"", alias});
        }
        return position;
    }
    if (!mTokens[position].IsName()) {
        return position + 1;
    }
    std::u16string name = mTokens[position++].text;
    while (position + 1 < end && IsSeparator(mTokens[position]) && mTokens[position + 1].IsName()) {
        name = mTokens[position + 1].text;
        position += 2;
    }
    bool isFunction = position < end && mTokens[position].IsSymbol(u"(");
    if (isFunction) {
        position = AfterGroup(mTokens, position);
    }
    std::u16string alias = readAlias(position);
    bool isWithName = false;
    for (const std::u16string& withName : mWithNames) {
        isWithName = isWithName || EqualsNoCase(withName, name);
    }
    if (isFunction || isWithName) {
        // Rows that no table of the database holds: columns read from them have no source.
        mTables.push_back({u"", alias.empty() ? name : alias});
    } else {
        mTables.push_back({name, alias});
    }
    return position;
}

const CustomViewAnalyzer::TableRef* CustomViewAnalyzer::FindTable(std::u16string_view qualifier) const {
    for (const TableRef& table : mTables) {
        if (EqualsNoCase(table.alias, qualifier)) {
            return &table;
        }
    }
    for (const TableRef& table : mTables) {
        if (table.alias.empty() && EqualsNoCase(table.name, qualifier)) {
            return &table;
        }
    }
    return nullptr;
}

const CustomViewAnalyzer::TableRef* CustomViewAnalyzer::OnlyTable() const {
    return mTables.size() == 1 ? &mTables.front() : nullptr;
}

void CustomViewAnalyzer::Resolve() {
    for (Item& item : mItems) {
        if (item.isStar || item.source.sourceField.empty()) {
            continue;
        }
        const TableRef* table =
            item.source.sourceTable.empty() ? OnlyTable() : FindTable(item.source.sourceTable);
        item.source.sourceTable = table ? table->name : u"";
    }
}

std::optional<ColumnSource> CustomViewAnalyzer::FindColumn(std::u16string_view columnName) const {
    if (!mAnalyzed) {
        return std::nullopt;
    }
    for (const Item& item : mItems) {
        if (!item.isStar && EqualsNoCase(item.outputName, columnName)) {
            return item.source;
        }
    }
    // A column that no item names comes from a "*": traceable when only one "*" stands there
    // and it reads one table.
    const Item* star = nullptr;
    for (const Item& item : mItems) {
        if (item.isStar) {
            if (star != nullptr) {
                return ColumnSource{false, std::u16string(columnName), u"", u""};
            }
            star = &item;
        }
    }
    if (star == nullptr) {
        return std::nullopt;
    }
    const TableRef* table = star->starQualifier.empty() ? OnlyTable() : FindTable(star->starQualifier);
    if (table == nullptr || table->name.empty()) {
        return ColumnSource{false, std::u16string(columnName), u"", u""};
    }
    return ColumnSource{false, std::u16string(columnName), table->name, std::u16string(columnName)};
}

bool CustomViewAnalyzer::GetColumnSource(std::u16string_view columnName, std::u16string& sourceName,
                                         std::u16string& sourceTable, std::u16string& sourceField) const {
    std::optional<ColumnSource> source = FindColumn(columnName);
    if (!source) {
        sourceName.clear();
        sourceTable.clear();
        sourceField.clear();
        return false;
    }
    sourceName = source->sourceName;
    sourceTable = source->sourceTable;
    sourceField = source->sourceField;
    return source->isAlias;
}

} // namespace qv::sql
