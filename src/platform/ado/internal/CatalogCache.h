#pragma once

// Catalog results held in memory: one catalog call's rows, and what a catalog snapshot keeps of
// them while it is open.

#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv::ado::internal {

/// A catalog function's whole result, read into memory; its statement is gone.
class CatalogResult {
public:
    CatalogResult() = default;
    CatalogResult(std::size_t width, std::vector<automation::Variant> values)
        : mWidth(width), mValues(std::move(values)) {}

    std::size_t RowCount() const { return mWidth == 0 ? 0 : mValues.size() / mWidth; }
    /// The value at a row and a 1-based column, as ODBC numbers them; Null past the columns
    /// the driver returned.
    const automation::Variant& At(std::size_t row, std::size_t column) const;
    /// The value as text; Null and Empty give "".
    std::u16string Text(std::size_t row, std::size_t column) const;
    std::optional<std::int32_t> Number(std::size_t row, std::size_t column) const;
    /// The value as text, or Null; for copying name columns.
    automation::Variant TextOrNull(std::size_t row, std::size_t column) const;

private:
    std::size_t mWidth = 0;
    std::vector<automation::Variant> mValues;
};

/// A catalog result whose rows are grouped by one name column without regard to letter case, so
/// that the rows of one table are found without looking at the others'.
class CatalogListing {
public:
    CatalogListing(CatalogResult result, std::size_t nameColumn);

    const CatalogResult& Result() const noexcept { return mResult; }
    /// The rows whose name equals `name` without regard to case, in result order.
    std::span<const std::size_t> RowsNamed(std::u16string_view name) const;

private:
    CatalogResult mResult;
    std::unordered_map<std::u16string, std::vector<std::size_t>, automation::NoCaseHash,
                       automation::NoCaseEqual>
        mRowsByName;
};

/// What an open catalog snapshot has read so far (see ado::CatalogSnapshot). Listings are kept
/// by the catalog they were read for ("" for none).
struct CatalogSnapshotState {
    int depth = 0;
    std::map<std::u16string, CatalogListing> tables;
    std::map<std::u16string, CatalogListing> columns;
    /// Catalogs whose whole column listing the driver refused: their tables are asked one by one.
    std::set<std::u16string> columnsRefused;
    /// Primary keys by table, keyed by catalog, schema and name joined with NULs.
    std::unordered_map<std::u16string, CatalogResult> primaryKeys;

    /// Forgets what was read, for a connection that closed; an open snapshot stays open.
    void Forget() {
        tables.clear();
        columns.clear();
        columnsRefused.clear();
        primaryKeys.clear();
    }
};

} // namespace qv::ado::internal
