#pragma once

#include "platform/dao/QueryDef.h"
#include "platform/dao/TableDef.h"
#include "platform/dao/internal/QueryDesign.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qv::dao::internal {

/// Properties the designer stored for one output column, under the column's alias or its
/// expression as written ("Orders.ShipName").
struct ColumnProperties {
    std::u16string column;
    std::vector<Property> properties;
};

/// A stored query waiting for its fields.
struct PendingQuery {
    std::u16string name;
    QueryDesign design;
    std::vector<ColumnProperties> columnProperties;
};

/// What resolution gives a query: its output fields and the parameters its expressions imply.
struct ResolvedQuery {
    std::vector<Field> fields;
    std::vector<Parameter> impliedParameters;
};

/// Resolves the output columns of stored queries against the tables and against each other,
/// as the engine describes a query's fields: a column that reads a source column takes that
/// column's type, size, attributes and properties; "*" and "Table.*" expand to every column;
/// a computed column gets the type its expression yields. A name that no source supplies is a
/// parameter the query asks for when it runs ([Forms]![Orders]![OrderID]).
class QueryResolver {
public:
    QueryResolver(const std::vector<TableDef>& tables, const std::vector<PendingQuery>& queries);

    /// The result for every query, in the order given.
    std::vector<ResolvedQuery> ResolveAll();

private:
    enum class State { Pending, Busy, Done };

    /// The fields of the table or query called `name`; null when they cannot be known (a
    /// linked table, a missing object, or a query that reads itself through others).
    const std::vector<Field>* FieldsOf(std::u16string_view name);
    void Resolve(std::size_t query);

    const std::vector<TableDef>& mTables;
    const std::vector<PendingQuery>& mQueries;
    std::vector<State> mStates;
    std::vector<ResolvedQuery> mResults;
};

/// The byte size DAO gives a field of a fixed-size type (Text: 255, Memo and LongBinary: 0).
std::int32_t DefaultSizeOf(std::int16_t type) noexcept;

} // namespace qv::dao::internal
