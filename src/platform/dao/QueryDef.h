#pragma once

#include "platform/dao/Constants.h"
#include "platform/dao/Field.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv::dao {

/// A parameter of a query: declared (PARAMETERS) or implied by a name that the query's
/// sources do not supply ([Forms]![Orders]![OrderID]).
struct Parameter {
    std::u16string name;
    std::int16_t type = DataType::Text; // a DataType code; Text for an implied parameter
};

/// A stored query. Access keeps no SQL text for it: `sql` is rebuilt from the query's design
/// rows in the catalogue, in the layout Access shows (clauses on their own lines, ending with
/// ";"). A plain value owned by the Database.
struct QueryDef {
    std::u16string name;
    std::int16_t type = QueryType::Select; // a QueryType code
    bool hidden = false;                   // hidden in the designer's window
    bool system = false;                   // a form's or report's own record source ("~sq_...")
    std::u16string sql;
    std::vector<Parameter> parameters;
    /// The output columns, resolved against the source tables and queries; empty for a query
    /// that returns no rows.
    std::vector<Field> fields;
    std::vector<Property> properties; // the query's own (Description, ...)

    /// True for a query that returns rows (select, crosstab and union queries).
    bool ReturnsRows() const noexcept {
        return type == QueryType::Select || type == QueryType::Crosstab || type == QueryType::SetOperation;
    }
    /// What a catalogue lists as a view: a row-returning query without parameters that is not
    /// a form's or report's own record source.
    bool IsView() const noexcept { return ReturnsRows() && parameters.empty() && !system; }
};

} // namespace qv::dao
