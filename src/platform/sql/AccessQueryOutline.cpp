#include "platform/sql/AccessQueryOutline.h"

#include "platform/sql/SqlTokens.h"
#include "platform/sql/internal/SelectGrammar.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <optional>

namespace qv::sql {

namespace {

using automation::EqualsNoCase;

constexpr std::u16string_view AggregateFunctions[] = {
    u"Avg", u"Count", u"First", u"Last", u"Max", u"Min", u"StDev", u"StDevP", u"Sum", u"Var", u"VarP",
};
static_assert(IsSortedKeywordTable(AggregateFunctions));

// Words that end a FROM item or a join condition when they stand outside parentheses.
constexpr std::u16string_view FromStopWords[] = {
    u"GROUP", u"HAVING", u"IN",    u"INNER", u"JOIN",  u"LEFT", u"ON",
    u"ORDER", u"PIVOT",  u"RIGHT", u"UNION", u"WHERE", u"WITH",
};
static_assert(IsSortedKeywordTable(FromStopWords));

class OutlineParser : private SqlTokenCursor {
public:
    explicit OutlineParser(std::u16string_view sql)
        : SqlTokenCursor(TokenizeSql(sql, SqlDialect::Access).tokens), mSql(sql) {}

    AccessQueryOutline Run() {
        SkipParameters();
        const SqlToken& first = Peek();
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
    // PARAMETERS name type, ... ;
    void SkipParameters() {
        if (!AcceptKeyword(u"PARAMETERS")) {
            return;
        }
        while (!AtEnd() && !AcceptSymbol(u";")) {
            Advance();
        }
    }

    // SELECT [DISTINCT | DISTINCTROW | ALL] [TOP n [PERCENT]] columns [INTO target] [FROM items]
    //     [WHERE ...] [GROUP BY ...] [HAVING ...] [ORDER BY ...] [UNION ...]
    bool ParseSelect() {
        const internal::SelectModifiers modifiers = internal::SkipSelectModifiers(Tokens(), Position() + 1);
        SetPosition(modifiers.end);
        mOutline.distinct = modifiers.distinct;
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
        std::size_t begin = Position();
        int depth = 0;
        for (;; Advance()) {
            const SqlToken& token = Peek();
            const bool atEnd = token.kind == SqlTokenKind::End || token.IsSymbol(u";") ||
                               (depth == 0 && (token.IsKeyword(u"FROM") || token.IsKeyword(u"INTO")));
            if (atEnd || (depth == 0 && token.IsSymbol(u","))) {
                AddColumn(begin, Position());
                if (atEnd) {
                    return;
                }
                begin = Position() + 1;
                continue;
            }
            if (token.IsSymbol(u"(")) {
                ++depth;
                if (Peek(1).IsKeyword(u"SELECT")) {
                    mOutline.hasSubqueryColumn = true;
                }
            } else if (token.IsSymbol(u")")) {
                --depth;
            } else if (token.kind == SqlTokenKind::Word && Peek(1).IsSymbol(u"(") &&
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
        if (std::optional<std::size_t> alias = internal::FindAsAlias(Tokens(), begin, end)) {
            column.alias = Tokens()[*alias].text;
            end -= 2;
        }
        column.expression = SourceText(mSql, Tokens(), begin, end);
        mOutline.columns.push_back(std::move(column));
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
            const std::size_t conditionBegin = Position();
            SkipCondition();
            AddJoin(kind, *left, *right, conditionBegin, Position());
            left->insert(left->end(), right->begin(), right->end());
        }
    }

    // primary: "(" item ")" | "(" SELECT ... ")" [AS] alias | name [IN 'database'] [[AS] alias]
    std::optional<std::vector<std::size_t>> ParsePrimary() {
        if (AcceptSymbol(u"(")) {
            if (Peek().IsKeyword(u"SELECT")) {
                SetPosition(AfterGroup(Tokens(), Position() - 1));
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
        if (Peek().IsKeywordIn(FromStopWords)) {
            return std::nullopt;
        }
        std::size_t position = Position();
        std::optional<QualifiedName> name =
            ReadQualifiedName(Tokens(), position, LastPosition(), /*allowStar=*/false);
        if (!name) {
            return std::nullopt;
        }
        SetPosition(position);
        AccessQuerySource source;
        // A qualified name (owner.table) keeps its last part: that is what the rest names.
        source.name = std::move(name->name);
        if (AcceptKeyword(u"IN")) {
            while (Peek().kind == SqlTokenKind::String || Peek().kind == SqlTokenKind::QuotedName) {
                Advance();
            }
        }
        source.alias = ParseAlias();
        mOutline.sources.push_back(std::move(source));
        return std::vector<std::size_t>{mOutline.sources.size() - 1};
    }

    std::u16string ParseAlias() {
        std::size_t position = Position();
        std::u16string alias = internal::ReadAlias(Tokens(), position, LastPosition());
        SetPosition(position);
        return alias;
    }

    // The End token's index.
    std::size_t LastPosition() const { return Tokens().size() - 1; }

    // Moves over a join condition: everything up to a join word, a comma, a clause or the
    // parenthesis that closes the enclosing item.
    void SkipCondition() {
        SetPosition(internal::FindClauseEnd(Tokens(), Position(), [](const SqlToken& token) {
            return token.IsSymbol(u",") || token.IsSymbol(u";") ||
                   (token.IsKeywordIn(FromStopWords) && !token.IsKeyword(u"IN"));
        }));
    }

    void AddJoin(AccessJoinKind kind, const std::vector<std::size_t>& left,
                 const std::vector<std::size_t>& right, std::size_t conditionBegin,
                 std::size_t conditionEnd) {
        AccessQueryJoin join;
        join.kind = kind;
        join.condition = SourceText(mSql, Tokens(), conditionBegin, conditionEnd);
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
            join.leftColumn = std::move(first.name);
            join.rightColumn = std::move(second.name);
        }
        mOutline.joins.push_back(std::move(join));
    }

    // The first "reference = reference" of the tokens [begin, end).
    std::optional<std::pair<QualifiedName, QualifiedName>> FirstEquality(std::size_t begin,
                                                                         std::size_t end) const {
        for (std::size_t index = begin; index < end; ++index) {
            std::size_t next = index;
            auto first = ReadReference(next, end);
            if (!first || next >= end || !Tokens()[next].IsSymbol(u"=")) {
                continue;
            }
            ++next;
            if (auto second = ReadReference(next, end)) {
                return std::make_pair(std::move(*first), std::move(*second));
            }
        }
        return std::nullopt;
    }

    // [qualifier ("." | "!")] column, starting at `index` and not inside a dotted name:
    // advances `index`.
    std::optional<QualifiedName> ReadReference(std::size_t& index, std::size_t end) const {
        if (index > 0 && index < end && IsNameSeparator(Tokens()[index - 1])) {
            return std::nullopt;
        }
        std::optional<QualifiedName> reference = ReadQualifiedName(Tokens(), index, end, /*allowStar=*/false);
        if (reference && index < end && Tokens()[index].IsSymbol(u"(")) {
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
            const SqlToken& token = Peek();
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
    AccessQueryOutline mOutline;
};

} // namespace

AccessQueryOutline OutlineAccessQuery(std::u16string_view sql) {
    return OutlineParser(sql).Run();
}

bool IsAccessAggregateFunction(std::u16string_view name) noexcept {
    return IsKeywordIn(name, AggregateFunctions);
}

} // namespace qv::sql
