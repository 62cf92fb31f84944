#pragma once

#include "platform/ado/Field.h"

#include "platform/automation/Variant.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qv::ado {

class Connection;

/// The result of a query or a schema rowset: its fields and its rows, read whole into memory so
/// that no statement stays open behind it. Read forward from the first row; MoveFirst goes
/// back to the start (the schema readers walk a rowset twice). A closed recordset (default
/// constructed, or after Close) raises ObjectClosed on every read.
class Recordset {
public:
    Recordset() = default;
    /// An open recordset over rows made in memory; `values` holds one row's columns after the
    /// other, so its size is a multiple of the field count.
    Recordset(ado::Fields fields, std::vector<automation::Variant> values);

    /// Runs one query and reads all its rows. Text that is not a single SELECT statement is
    /// refused with InvalidArgument before anything reaches the driver; driver errors fill the
    /// connection's Errors and are raised.
    static Recordset Open(Connection& connection, std::u16string_view sql);
    /// The fields a query would return, from the driver's description of the prepared
    /// statement: the query is never executed, so describing reads no data and changes nothing.
    /// The result is open, with no rows. Refuses what Open refuses.
    static Recordset Describe(Connection& connection, std::u16string_view sql);
    /// The fields of one table or view, as Describe gives them for `sql`, a query of all its
    /// columns in their order; `restrictions` find the table in the Columns schema rowset.
    /// SQLite's driver describes a column whose name holds a "." by a part after one (it takes
    /// the rest for the names of a database and a table); there each such name is taken whole
    /// from SQLite's list of the table's columns, as the other drivers describe it. A name that
    /// may be a part, and whose whole the list does not give, raises: no field bears a part of a
    /// column's name.
    static Recordset DescribeTable(Connection& connection, std::u16string_view sql,
                                   std::span<const automation::Variant> restrictions);
    /// The fields of a query, as Describe gives them, with each name whole on SQLite as for
    /// DescribeTable: there the names come from a temporary view of the query.
    static Recordset DescribeQuery(Connection& connection, std::u16string_view sql);

    /// ObjectState::Open or ObjectState::Closed.
    std::int32_t State() const noexcept { return mIsOpen ? 1 : 0; }
    void Close() noexcept;

    const ado::Fields& Fields() const;
    /// True past the last row (and at once for an empty result).
    bool Eof() const;
    std::int32_t RecordCount() const;
    /// Raises NoCurrentRecord when already past the last row.
    void MoveNext();
    void MoveFirst();

    /// A value of the current row; raises NoCurrentRecord past the last row and ItemNotFound for
    /// an unknown field.
    const automation::Variant& Value(std::int32_t index) const;
    const automation::Variant& Value(std::u16string_view name) const;

private:
    /// Describe of a text the single-query check has already taken.
    static Recordset DescribeChecked(Connection& connection, const std::u16string& statementText);
    void RequireOpen() const;
    const automation::Variant& ValueAt(std::size_t column) const;

    ado::Fields mFields;
    std::vector<automation::Variant> mValues;
    std::size_t mRowCount = 0;
    std::size_t mRow = 0;
    bool mIsOpen = false;
};

} // namespace qv::ado
