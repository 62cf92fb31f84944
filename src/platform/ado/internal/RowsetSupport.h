#pragma once

// What the schema rowsets share: their column tables and the rows under construction, the
// catalog calls with their arguments, the caller's restrictions, and the snapshot's listings.

#include "platform/ado/Recordset.h"
#include "platform/ado/internal/CatalogCache.h"
#include "platform/ado/internal/ConnectionImpl.h"
#include "platform/ado/internal/Odbc.h"

#include "platform/automation/Variant.h"

#include <sql.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ado::internal {

inline constexpr std::u16string_view SchemaSource = u"Connection";

/// One column of a rowset, as ADO names and types it.
struct RowsetColumn {
    std::u16string_view name;
    std::int32_t type;
};

/// A rowset's columns in ADO's order. Columns are set by name: `Columns[u"TABLE_NAME"]` is the
/// position, worked out while compiling, so a misspelt name does not compile.
template <std::size_t N> struct RowsetColumns {
    std::array<RowsetColumn, N> columns;

    consteval std::size_t operator[](std::u16string_view name) const {
        for (std::size_t index = 0; index < N; ++index) {
            if (columns[index].name == name) {
                return index;
            }
        }
        throw std::logic_error("the rowset has no column of that name");
    }
};

/// Rows under construction: each Add starts a row of Null values, filled by Set.
class RowBuilder {
public:
    template <std::size_t N>
    explicit RowBuilder(const RowsetColumns<N>& columns) : mColumns(columns.columns) {}
    void Add() { mValues.resize(mValues.size() + mColumns.size(), automation::Variant::Null()); }
    void Set(std::size_t column, automation::Variant value) {
        mValues[mValues.size() - mColumns.size() + column] = std::move(value);
    }
    Recordset Finish();

private:
    std::span<const RowsetColumn> mColumns;
    std::vector<automation::Variant> mValues;
};

using CatalogCall = std::function<SQLRETURN(SQLHSTMT)>;

/// Runs one catalog function and reads its whole result; the statement is closed before return.
CatalogResult RunCatalog(ConnectionImpl& impl, std::u16string_view what, const CatalogCall& call);

/// An argument of a catalog function in the connection's encoding, or a null pointer for
/// "any".
class Argument {
public:
    Argument(const internal::ConnectionImpl& impl, const std::optional<std::u16string>& value) {
        if (value) {
            mText.emplace(*value, impl.encoding);
        }
    }
    SQLWCHAR* Wide() { return mText ? mText->Wide() : nullptr; }
    SQLCHAR* Narrow() { return mText ? mText->Narrow() : nullptr; }
    SQLSMALLINT Length() const { return mText ? SQL_NTS : 0; }

private:
    std::optional<internal::DriverText> mText;
};

bool IsWide(const ConnectionImpl& impl);

/// The catalog restriction to use: the caller's, or else the connection's current catalog, so
/// that a server's other databases stay out of the rowsets (some drivers list every database
/// when no catalog is given).
std::optional<std::u16string> CatalogOrCurrent(const internal::ConnectionImpl& impl,
                                               const std::optional<std::u16string>& catalog);

/// The text, or Null for "".
automation::Variant TextOrNull(const std::u16string& text);
/// The text, or nullopt for "".
std::optional<std::u16string> NonEmpty(const std::u16string& text);

/// The caller's restriction at `index` as text; nullopt for a missing, Empty or Null one.
std::optional<std::u16string> Restriction(std::span<const automation::Variant> restrictions,
                                          std::size_t index);

/// Keeps the rows whose `column` matches the restriction: exactly when some row matches
/// exactly (a database may hold "Orders" and "orders" side by side, and its search may ignore
/// case), otherwise without regard to case (a database that folds names).
void FilterByName(std::vector<std::size_t>& rows, const CatalogResult& result, std::size_t column,
                  const std::optional<std::u16string>& restriction);

std::vector<std::size_t> AllRows(const CatalogResult& result);

/// A name as a search-pattern argument, escaped so that it matches only itself.
std::optional<std::u16string> Pattern(const internal::ConnectionImpl& impl,
                                      const std::optional<std::u16string>& name);

bool InSnapshot(const ConnectionImpl& impl);

/// A name restriction on one column (1-based, as ODBC numbers them) of a catalog result.
struct NameFilter {
    std::size_t column;
    const std::optional<std::u16string>& value;
};

/// The rows of a snapshot's listing that a restricted rowset keeps, or nullopt when the listing
/// cannot stand in for the driver's own search. It can when only the catalog is restricted (the
/// listing is that very search), and when some row bears every restricted name exactly: the
/// driver's search finds such rows whatever its letter-case rules, and the filters then keep
/// just those. A name held only in another letter case is found or not depending on the
/// driver's rules, which only the driver can apply.
std::optional<std::vector<std::size_t>> SnapshotRows(const CatalogListing& listing,
                                                     std::initializer_list<NameFilter> filters);

} // namespace qv::ado::internal
