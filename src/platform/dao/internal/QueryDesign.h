#pragma once

#include "platform/dao/QueryDef.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv::dao::internal {

/// One row of the catalogue's query design table (MSysQueries): what the row describes is
/// given by its attribute, the meaning of the other values depends on it.
struct QueryRow {
    std::uint8_t attribute = 0;
    std::u16string name1;
    std::u16string name2;
    std::u16string expression;
    std::int16_t flag = 0;
};

/// A table or query the statement reads, by its name and alias.
struct QuerySource {
    std::u16string name;
    std::u16string alias;
    const std::u16string& Key() const noexcept { return alias.empty() ? name : alias; }
};

/// An output column: an expression ("*" and "Table.*" included) and its alias.
struct QueryColumn {
    std::u16string expression;
    std::u16string alias;
};

/// A stored query as its design rows describe it, with the SQL rebuilt from them.
struct QueryDesign {
    std::int16_t type = QueryType::Select;
    std::u16string sql;
    std::vector<Parameter> parameters; // declared ones
    std::vector<QuerySource> sources;
    std::vector<QueryColumn> columns; // the output columns in order; empty for action queries
    /// Every expression that can name a column (output, join, criteria, grouping, sorting):
    /// a name none of the sources supplies is a parameter the query asks for.
    std::vector<std::u16string> expressions;
};

/// The query type from the design's type row, or from the catalogue's object flags when the
/// design has none (Access 2007 and later omit it for select queries).
std::int16_t QueryTypeOf(const std::vector<QueryRow>& rows, std::int32_t objectFlags);

/// Rebuilds the query of type `type` from its design rows, kept in the order the catalogue
/// stores them within each attribute.
QueryDesign BuildQueryDesign(std::int16_t type, const std::vector<QueryRow>& rows);

} // namespace qv::dao::internal
