#pragma once

#include "platform/sql/AccessQueryOutline.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::sql {

/// The query-key analyser: tells, for the SQL of an Access query, whether the query can be
/// updated, how many joins it has, its one base table, or the two tables, two columns and kind
/// of a join. The database loader derives a view's key from these answers. One object serves
/// one statement at a time; SetSql starts over.
///
/// The verdict is conservative: a statement that cannot be followed is reported not updatable,
/// and so is anything Access itself refuses to update (DISTINCT, grouping, aggregates, unions,
/// crosstabs, action queries, Cartesian products, subqueries in the select list or FROM).
class AccessQueryAnalyzer {
public:
    /// Starts the analysis of `sql`.
    void SetSql(std::u16string_view sql);

    bool IsUpdatable() const noexcept { return mUpdatable; }
    std::int32_t JoinCount() const noexcept { return static_cast<std::int32_t>(mOutline.joins.size()); }
    /// The one table of a statement without joins; "" when there are joins, several FROM items
    /// or no table.
    std::u16string BaseTable() const;

    /// Selects the first join for the Join* members; they answer "" while no join is selected.
    void FirstJoin() noexcept;
    /// Selects the join after the current one; false when there is none.
    bool NextJoin() noexcept;

    /// The table names (not aliases) and the bare column names of the first equality of the
    /// selected join's condition, and its kind: "INNER", "LEFT" or "RIGHT".
    std::u16string JoinLeftTable() const;
    std::u16string JoinLeftColumn() const;
    std::u16string JoinRightTable() const;
    std::u16string JoinRightColumn() const;
    std::u16string JoinType() const;

    /// What the analysis read, for callers that need more than the answers above.
    const AccessQueryOutline& Outline() const noexcept { return mOutline; }

private:
    const AccessQueryJoin* CurrentJoin() const noexcept;
    std::u16string SourceName(std::size_t source) const;

    AccessQueryOutline mOutline;
    bool mUpdatable = false;
    std::size_t mCurrentJoin = AccessQueryJoin::NoSource;
};

} // namespace qv::sql
