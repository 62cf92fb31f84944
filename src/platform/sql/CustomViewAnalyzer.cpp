#include "platform/sql/CustomViewAnalyzer.h"

#include "platform/sql/internal/SelectGrammar.h"

#include "platform/automation/Text.h"

namespace qv::sql {

using automation::EqualsNoCase;
using internal::IsBareAlias;

namespace {

/// Words that end the select list or the table list where they stand outside parentheses.
constexpr std::u16string_view ClauseWords[] = {
    u"CONNECT", u"EXCEPT", u"FETCH",  u"FOR",   u"FROM",    u"GROUP", u"HAVING", u"INTERSECT", u"INTO",
    u"LIMIT",   u"MINUS",  u"OFFSET", u"ORDER", u"QUALIFY", u"START", u"UNION",  u"WHERE",     u"WINDOW",
};
static_assert(IsSortedKeywordTable(ClauseWords));

/// Where the select list or the table list that begins at `position` ends.
std::size_t ClauseEnd(const std::vector<SqlToken>& tokens, std::size_t position) {
    return internal::FindClauseEnd(tokens, position,
                                   [](const SqlToken& token) { return token.IsKeywordIn(ClauseWords); });
}

/// Whether a token can end an operand, so that a name after it is an alias, not part of the
/// expression.
bool EndsOperand(const SqlToken& token) {
    return token.IsName() || token.IsLiteral() || token.IsSymbol(u")");
}

} // namespace

bool CustomViewAnalyzer::AnalyzeSql(std::u16string_view sql, std::int16_t dialect) {
    mAnalyzed = false;
    mItems.clear();
    mTables.clear();
    mWithNames.clear();
    mTokens.clear();
    mSql = sql;
    SqlDialect rules = dialect >= 1 && dialect <= 4 ? static_cast<SqlDialect>(dialect) : SqlDialect::Access;
    SqlTokens tokens = TokenizeSql(mSql, rules);
    if (!tokens.complete) {
        return false;
    }
    mTokens = std::move(tokens.tokens);
    int depth = 0;
    for (const SqlToken& token : mTokens) {
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
    position = internal::SkipSelectModifiers(mTokens, position + 1).end;

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
        const SqlToken& last = mTokens[itemEnd - 1];
        if (std::optional<std::size_t> alias = internal::FindAsAlias(mTokens, itemStart, itemEnd)) {
            item.outputName = mTokens[*alias].text;
            item.source.isAlias = true;
            expressionEnd = itemEnd - 2;
        } else if (itemEnd - itemStart >= 2 && IsBareAlias(last) && EndsOperand(mTokens[itemEnd - 2])) {
            item.outputName = last.text;
            item.source.isAlias = true;
            expressionEnd = itemEnd - 1;
        }
        item.source.sourceName = SourceText(mSql, mTokens, itemStart, expressionEnd);

        // The item is a column path when a dotted name (or a star) is all there is of it.
        std::size_t pathEnd = itemStart;
        std::optional<QualifiedName> path =
            ReadQualifiedName(mTokens, pathEnd, expressionEnd, /*allowStar=*/true);
        if (path && pathEnd == expressionEnd && path->isStar) {
            item.isStar = !item.source.isAlias;
            item.starQualifier = std::move(path->qualifier);
        } else if (path && pathEnd == expressionEnd) {
            item.source.sourceField = std::move(path->name);
            // Kept here until Resolve turns the qualifier into its table.
            item.source.sourceTable = std::move(path->qualifier);
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
        const SqlToken& token = mTokens[position];
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
    if (mTokens[position].IsSymbol(u"(")) {
        std::size_t after = AfterGroup(mTokens, position);
        bool isQuery = mTokens[position + 1].IsKeyword(u"SELECT") || mTokens[position + 1].IsKeyword(u"WITH");
        if (!isQuery) {
            // A parenthesised join, as Access writes every join of more than two tables.
            ParseTableList(position + 1, after - 1);
        }
        position = after;
        std::u16string alias = internal::ReadAlias(mTokens, position, end);
        if (isQuery) {
            mTables.push_back({u"", alias});
        }
        return position;
    }
    std::optional<QualifiedName> qualified = ReadQualifiedName(mTokens, position, end, /*allowStar=*/false);
    if (!qualified) {
        return position + 1;
    }
    // A schema-qualified name keeps its last part: that is the table's own name.
    std::u16string name = std::move(qualified->name);
    bool isFunction = position < end && mTokens[position].IsSymbol(u"(");
    if (isFunction) {
        position = AfterGroup(mTokens, position);
    }
    std::u16string alias = internal::ReadAlias(mTokens, position, end);
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
