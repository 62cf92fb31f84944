#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sql {

enum class AccessStatementKind { Select, Transform, Insert, Update, Delete, Other };

enum class AccessJoinKind { Inner, Left, Right };

/// One table, query or subquery of a FROM clause.
struct AccessQuerySource {
    std::u16string name;  // without brackets; "" for a subquery
    std::u16string alias; // "" when none
    bool isSubquery = false;

    /// The name by which the rest of the statement refers to the source.
    const std::u16string& Key() const noexcept { return alias.empty() ? name : alias; }
};

/// One JOIN of a FROM clause. The sides are the sources whose columns the first equality of
/// the ON condition compares: `a JOIN b ON b.x = a.y` has a on the left with column y.
struct AccessQueryJoin {
    static constexpr std::size_t NoSource = static_cast<std::size_t>(-1);

    AccessJoinKind kind = AccessJoinKind::Inner;
    std::size_t leftSource = NoSource; // index into the outline's sources
    std::size_t rightSource = NoSource;
    std::u16string leftColumn; // a column name without table or brackets
    std::u16string rightColumn;
    std::u16string condition; // the ON condition as written
};

/// One output column of a SELECT: the expression as written and its alias ("" when none).
struct AccessQueryColumn {
    std::u16string expression;
    std::u16string alias;
};

/// What a shallow reading of an Access SQL statement finds: its kind and, for a SELECT, its
/// select list, FROM sources, joins and the clauses that make a query read-only. This is not a
/// full parser: expressions are kept as text, and only the FROM clause is followed in detail.
struct AccessQueryOutline {
    AccessStatementKind kind = AccessStatementKind::Other;
    bool complete = false; // the statement was followed to its end without surprises
    bool distinct = false; // SELECT DISTINCT (DISTINCTROW is not)
    bool hasInto = false;  // SELECT ... INTO: a make-table query
    bool hasGroupBy = false;
    bool hasHaving = false;
    bool hasUnion = false;
    bool hasAggregate = false;      // Sum, Count, ... in the select list
    bool hasSubqueryColumn = false; // (SELECT ...) in the select list
    std::size_t fromItems = 0;      // FROM items separated by commas
    std::vector<AccessQueryColumn> columns;
    std::vector<AccessQuerySource> sources; // every source in the order written
    std::vector<AccessQueryJoin> joins;     // in the order written
};

/// Reads `sql` (an optional PARAMETERS declaration first). Never fails: what cannot be followed
/// leaves `complete` false.
AccessQueryOutline OutlineAccessQuery(std::u16string_view sql);

/// True for the aggregate functions of Access SQL (Sum, Avg, Count, Min, Max, First, Last,
/// StDev, StDevP, Var, VarP), ignoring case.
bool IsAccessAggregateFunction(std::u16string_view name) noexcept;

} // namespace qv::sql
