#include "platform/sql/AccessQueryOutline.h"

#include "platform/sql/AccessQueryToken.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <array>
#include <optional>

namespace qv::sql {

namespace {

using automation::EqualsNoCase;

constexpr std::array AggregateFunctions{
    std::u16string_view(u"Avg"),   std::u16string_view(u"Count"),  std::u16string_view(u"First"),
    std::u16string_view(u"Last"),  std::u16string_view(u"Max"),    std::u16string_view(u"Min"),
    std::u16string_view(u"StDev"), std::u16string_view(u"StDevP"), std::u16string_view(u"Sum"),
    std::u16string_view(u"Var"),   std::u16string_view(u"VarP"),
};

// Words that end a FROM item or a join condition when they stand outside parentheses.
constexpr std::array FromStopWords{
    std::u16string_view(u"GROUP"), std::u16string_view(u"HAVING"), std::u16string_view(u"INNER"),
    std::u16string_view(u"JOIN"),  std::u16string_view(u"LEFT"),   std::u16string_view(u"ON"),
    std::u16string_view(u"ORDER"), std::u16string_view(u"PIVOT"),  std::u16string_view(u"RIGHT"),
    std::u16string_view(u"UNION"), std::u16string_view(u"WHERE"),  std::u16string_view(u"IN"),
    std::u16string_view(u"WITH"),
};

bool IsFromStopWord(const AccessQueryToken& token) {
    return std::any_of(FromStopWords.begin(), FromStopWords.end(),
                       [&](std::u16string_view word) { return token.IsKeyword(word); });
}

// A column reference of a join condition: [qualifier.]column.
struct ColumnReference {
    std::u16string qualifier;
    std::u16string column;
};

class OutlineParser {
public:
    explicit OutlineParser(std::u16string_view sql) : mSql(sql), mTokens(TokenizeAccessQuery(sql)) {}

    AccessQueryOutline Run() {
        SkipParameters();
        const AccessQueryToken& first = Peek();
        if (first.IsKeyword(u"SELECT")) {
            mOutline.kind = AccessStatementKind::Select;
            mOutline.complete = ParseSelect();
        } else if (first.IsKeyword(u"TRANSFORM")) {
            mOutline.kind = AccessStatementKind::Transform;
        } else if (first.IsKeyword(u"INSERT")) {
            mOutline.kind = AccessStatementKind::Insert;
        } else if (first.IsKeyword(u"UPDATE")) {
            mOutline.kind = AccessStatementKind::Update;
        } else if (first.IsKeyword(u"DELETE")) {
            mOutline.kind = AccessStatementKind::Delete;
        }
        return std::move(mOutline);
    }

private:
    const AccessQueryToken& Peek(std::size_t ahead = 0) const {
        return mTokens[std::min(mPos + ahead, mTokens.size() - 1)];
    }
    bool AtEnd() const { return Peek().kind == AccessTokenKind::End; }
    void Advance() {
        if (!AtEnd()) {
            ++mPos;
        }
    }
    bool AcceptKeyword(std::u16string_view keyword) {
        if (!Peek().IsKeyword(keyword)) {
            return false;
        }
        Advance();
        return true;
    }
    bool AcceptSymbol(std::u16string_view symbol) {
        if (!Peek().IsSymbol(symbol)) {
            return false;
        }
        Advance();
        return true;
    }

    // PARAMETERS name type, ... ;
    void SkipParameters() {
        if (!AcceptKeyword(u"PARAMETERS")) {
            return;
        }
        while (!AtEnd() && !AcceptSymbol(u";")) {
            Advance();
        }
    }

    // Moves past the parenthesis that closes the one just consumed.
    void SkipToClosingParenthesis() {
        int depth = 1;
        while (!AtEnd()) {
            const AccessQueryToken& token = Peek();
            Advance();
            if (token.IsSymbol(u"(")) {
                ++depth;
            } else if (token.IsSymbol(u")") && --depth == 0) {
                return;
            }
        }
    }

    // SELECT [DISTINCT | DISTINCTROW | ALL | TOP n [PERCENT]] columns [INTO target] [FROM items]
    //     [WHERE ...] [GROUP BY ...] [HAVING ...] [ORDER BY ...] [UNION ...]
    bool ParseSelect() {
        Advance();
        for (;;) {
            if (AcceptKeyword(u"DISTINCT")) {
                mOutline.distinct = true;
            } else if (AcceptKeyword(u"DISTINCTROW") || AcceptKeyword(u"ALL")) {
            } else if (AcceptKeyword(u"TOP")) {
                Advance();
                AcceptKeyword(u"PERCENT");
            } else {
                break;
            }
        }
        ParseColumns();
        if (AcceptKeyword(u"INTO")) {
            mOutline.hasInto = true;
            while (!AtEnd() && !Peek().IsKeyword(u"FROM")) {
                Advance();
            }
        }
        bool followed = true;
        if (AcceptKeyword(u"FROM")) {
            followed = ParseFromList();
        }
        ScanClauses();
        return followed;
    }

    // The select list up to FROM or INTO, split at commas outside parentheses.
    void ParseColumns() {
        std::size_t begin = mPos;
        int depth = 0;
        for (;; Advance()) {
            const AccessQueryToken& token = Peek();
            const bool atEnd = token.kind == AccessTokenKind::End || token.IsSymbol(u";") ||
                               (depth == 0 && (token.IsKeyword(u"FROM") || token.IsKeyword(u"INTO")));
            if (atEnd || (depth == 0 && token.IsSymbol(u","))) {
                AddColumn(begin, mPos);
                if (atEnd) {
                    return;
                }
                begin = mPos + 1;
                continue;
            }
            if (token.IsSymbol(u"(")) {
                ++depth;
                if (Peek(1).IsKeyword(u"SELECT")) {
                    mOutline.hasSubqueryColumn = true;
                }
            } else if (token.IsSymbol(u")")) {
                --depth;
            } else if (token.kind == AccessTokenKind::Word && Peek(1).IsSymbol(u"(") &&
                       IsAccessAggregateFunction(token.text)) {
                mOutline.hasAggregate = true;
            }
        }
    }

    void AddColumn(std::size_t begin, std::size_t end) {
        if (begin >= end) {
            return;
        }
        AccessQueryColumn column;
        if (end - begin >= 3 && mTokens[end - 2].IsKeyword(u"AS") && mTokens[end - 1].IsName()) {
            column.alias = mTokens[end - 1].text;
            end -= 2;
        }
        column.expression = Slice(begin, end);
        mOutline.columns.push_back(std::move(column));
    }

    // The text of tokens [begin, end) as written.
    std::u16string Slice(std::size_t begin, std::size_t end) const {
        if (begin >= end) {
            return {};
        }
        const std::size_t from = mTokens[begin].offset;
        return std::u16string(mSql.substr(from, mTokens[end - 1].End() - from));
    }

    // items: item {"," item}
    bool ParseFromList() {
        do {
            ++mOutline.fromItems;
            if (!ParseFromItem()) {
                return false;
            }
        } while (AcceptSymbol(u","));
        return true;
    }

    // item: primary {join-kind JOIN primary ON condition}
    // Returns the sources of the item, or nullopt when the text cannot be followed.
    std::optional<std::vector<std::size_t>> ParseFromItem() {
        auto left = ParsePrimary();
        if (!left) {
            return std::nullopt;
        }
        for (;;) {
            AccessJoinKind kind = AccessJoinKind::Inner;
            if (AcceptKeyword(u"INNER")) {
            } else if (AcceptKeyword(u"LEFT")) {
                kind = AccessJoinKind::Left;
                AcceptKeyword(u"OUTER");
            } else if (AcceptKeyword(u"RIGHT")) {
                kind = AccessJoinKind::Right;
                AcceptKeyword(u"OUTER");
            } else if (!Peek().IsKeyword(u"JOIN")) {
                return left;
            }
            if (!AcceptKeyword(u"JOIN")) {
                return std::nullopt;
            }
            auto right = ParsePrimary();
            if (!right || !AcceptKeyword(u"ON")) {
                return std::nullopt;
            }
            const std::size_t conditionBegin = mPos;
            SkipCondition();
            AddJoin(kind, *left, *right, conditionBegin, mPos);
            left->insert(left->end(), right->begin(), right->end());
        }
    }

    // primary: "(" item ")" | "(" SELECT ... ")" [AS] alias | name [IN 'database'] [[AS] alias]
    std::optional<std::vector<std::size_t>> ParsePrimary() {
        if (AcceptSymbol(u"(")) {
            if (Peek().IsKeyword(u"SELECT")) {
                SkipToClosingParenthesis();
                AccessQuerySource source;
                source.isSubquery = true;
                source.alias = ParseAlias();
                mOutline.sources.push_back(std::move(source));
                return std::vector<std::size_t>{mOutline.sources.size() - 1};
            }
            auto item = ParseFromItem();
            if (!item || !AcceptSymbol(u")")) {
                return std::nullopt;
            }
            return item;
        }
        if (!Peek().IsName() || IsFromStopWord(Peek())) {
            return std::nullopt;
        }
        AccessQuerySource source;
        source.name = Peek().text;
        Advance();
        // A qualified name (owner.table) keeps its last part: that is what the rest names.
        while (Peek().IsSymbol(u".") && Peek(1).IsName()) {
            Advance();
            source.name = Peek().text;
            Advance();
        }
        if (AcceptKeyword(u"IN")) {
            while (Peek().kind == AccessTokenKind::String || Peek().kind == AccessTokenKind::BracketedName) {
                Advance();
            }
        }
        source.alias = ParseAlias();
        mOutline.sources.push_back(std::move(source));
        return std::vector<std::size_t>{mOutline.sources.size() - 1};
    }

    std::u16string ParseAlias() {
        if (AcceptKeyword(u"AS")) {
            if (!Peek().IsName()) {
                return {};
            }
            std::u16string alias = Peek().text;
            Advance();
            return alias;
        }
        const AccessQueryToken& token = Peek();
        if (token.kind == AccessTokenKind::BracketedName ||
            (token.kind == AccessTokenKind::Word && !IsFromStopWord(token))) {
            std::u16string alias = token.text;
            Advance();
            return alias;
        }
        return {};
    }

    // Moves over a join condition: everything up to a join word, a comma, a clause or the
    // parenthesis that closes the enclosing item.
    void SkipCondition() {
        int depth = 0;
        for (; !AtEnd(); Advance()) {
            const AccessQueryToken& token = Peek();
            if (token.IsSymbol(u"(")) {
                ++depth;
            } else if (token.IsSymbol(u")")) {
                if (depth == 0) {
                    return;
                }
                --depth;
            } else if (depth == 0 && (token.IsSymbol(u",") || token.IsSymbol(u";") ||
                                      (IsFromStopWord(token) && !token.IsKeyword(u"IN")))) {
                return;
            }
        }
    }

    void AddJoin(AccessJoinKind kind, const std::vector<std::size_t>& left,
                 const std::vector<std::size_t>& right, std::size_t conditionBegin,
                 std::size_t conditionEnd) {
        AccessQueryJoin join;
        join.kind = kind;
        join.condition = Slice(conditionBegin, conditionEnd);
        if (left.size() == 1) {
            join.leftSource = left.front();
        }
        if (right.size() == 1) {
            join.rightSource = right.front();
        }
        auto comparison = FirstEquality(conditionBegin, conditionEnd);
        if (comparison) {
            auto [first, second] = *comparison;
            const std::size_t firstSource = FindSource(first.qualifier);
            const std::size_t secondSource = FindSource(second.qualifier);
            // The condition may name the right table first: "a JOIN b ON b.x = a.y".
            if (Contains(right, firstSource) || Contains(left, secondSource)) {
                std::swap(first, second);
            }
            const std::size_t leftSource = FindSource(first.qualifier);
            const std::size_t rightSource = FindSource(second.qualifier);
            if (Contains(left, leftSource)) {
                join.leftSource = leftSource;
            }
            if (Contains(right, rightSource)) {
                join.rightSource = rightSource;
            }
            join.leftColumn = std::move(first.column);
            join.rightColumn = std::move(second.column);
        }
        mOutline.joins.push_back(std::move(join));
    }

    // The first "reference = reference" of the tokens [begin, end).
    std::optional<std::pair<ColumnReference, ColumnReference>> FirstEquality(std::size_t begin,
                                                                             std::size_t end) const {
        for (std::size_t index = begin; index < end; ++index) {
            std::size_t next = index;
            auto first = ReadReference(next, end);
            if (!first || next >= end || !mTokens[next].IsSymbol(u"=")) {
                continue;
            }
            ++next;
            if (auto second = ReadReference(next, end)) {
                return std::make_pair(std::move(*first), std::move(*second));
            }
        }
        return std::nullopt;
    }

    // [qualifier "."] column, starting at `index` and not preceded by ".": advances `index`.
    std::optional<ColumnReference> ReadReference(std::size_t& index, std::size_t end) const {
        if (index >= end || !mTokens[index].IsName() || (index > 0 && mTokens[index - 1].IsSymbol(u"."))) {
            return std::nullopt;
        }
        ColumnReference reference;
        reference.column = mTokens[index++].text;
        while (index + 1 < end && mTokens[index].IsSymbol(u".") && mTokens[index + 1].IsName()) {
            reference.qualifier = std::move(reference.column);
            reference.column = mTokens[index + 1].text;
            index += 2;
        }
        if (index < end && mTokens[index].IsSymbol(u"(")) {
            return std::nullopt; // a function call, not a column
        }
        return reference;
    }

    std::size_t FindSource(std::u16string_view key) const {
        if (key.empty()) {
            return AccessQueryJoin::NoSource;
        }
        for (std::size_t index = 0; index < mOutline.sources.size(); ++index) {
            if (EqualsNoCase(mOutline.sources[index].Key(), key)) {
                return index;
            }
        }
        return AccessQueryJoin::NoSource;
    }

    static bool Contains(const std::vector<std::size_t>& sources, std::size_t source) {
        return std::find(sources.begin(), sources.end(), source) != sources.end();
    }

    // The clauses after FROM, as far as they decide what the outline reports.
    void ScanClauses() {
        int depth = 0;
        for (; !AtEnd(); Advance()) {
            const AccessQueryToken& token = Peek();
            if (token.IsSymbol(u"(")) {
                ++depth;
            } else if (token.IsSymbol(u")")) {
                --depth;
            } else if (depth == 0) {
                if (token.IsKeyword(u"GROUP")) {
                    mOutline.hasGroupBy = true;
                } else if (token.IsKeyword(u"HAVING")) {
                    mOutline.hasHaving = true;
                } else if (token.IsKeyword(u"UNION")) {
                    mOutline.hasUnion = true;
                }
            }
        }
    }

    std::u16string_view mSql;
    std::vector<AccessQueryToken> mTokens;
    std::size_t mPos = 0;
    AccessQueryOutline mOutline;
};

} // namespace

AccessQueryOutline OutlineAccessQuery(std::u16string_view sql) {
    return OutlineParser(sql).Run();
}

bool IsAccessAggregateFunction(std::u16string_view name) noexcept {
    return std::any_of(AggregateFunctions.begin(), AggregateFunctions.end(),
                       [&](std::u16string_view aggregate) { return EqualsNoCase(aggregate, name); });
}

} // namespace qv::sql
