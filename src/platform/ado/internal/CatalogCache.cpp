#include "platform/ado/internal/CatalogCache.h"

#include "platform/automation/Conversion.h"

namespace qv::ado::internal {

using automation::Variant;

const Variant& CatalogResult::At(std::size_t row, std::size_t column) const {
    static const Variant null = Variant::Null();
    if (column == 0 || column > mWidth) {
        return null;
    }
    return mValues[row * mWidth + column - 1];
}

std::u16string CatalogResult::Text(std::size_t row, std::size_t column) const {
    const Variant& value = At(row, column);
    return value.IsNull() || value.IsEmpty() ? std::u16string() : automation::ToString(value);
}

std::optional<std::int32_t> CatalogResult::Number(std::size_t row, std::size_t column) const {
    const Variant& value = At(row, column);
    if (value.IsNull() || value.IsEmpty()) {
        return std::nullopt;
    }
    return automation::ToLong(value);
}

Variant CatalogResult::TextOrNull(std::size_t row, std::size_t column) const {
    const Variant& value = At(row, column);
    return value.IsNull() || value.IsEmpty() ? Variant::Null() : Variant(automation::ToString(value));
}

CatalogListing::CatalogListing(CatalogResult result, std::size_t nameColumn) : mResult(std::move(result)) {
    for (std::size_t row = 0; row < mResult.RowCount(); ++row) {
        mRowsByName[mResult.Text(row, nameColumn)].push_back(row);
    }
}

std::span<const std::size_t> CatalogListing::RowsNamed(std::u16string_view name) const {
    auto found = mRowsByName.find(name);
    if (found == mRowsByName.end()) {
        return {};
    }
    return found->second;
}

} // namespace qv::ado::internal
