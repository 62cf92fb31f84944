#include "platform/ado/internal/RowsetSupport.h"

#include "platform/ado/Constants.h"
#include "platform/ado/SqlText.h"
#include "platform/ado/internal/ResultSet.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <algorithm>

namespace qv::ado::internal {

using automation::EqualsNoCase;
using automation::Variant;

Recordset RowBuilder::Finish() {
    std::vector<Field> fields;
    for (const RowsetColumn& column : mColumns) {
        FieldDescription description;
        description.name = column.name;
        description.type = column.type;
        description.definedSize = DefinedSize(column.type, 128);
        description.attributes = FieldAttribute::IsNullable | FieldAttribute::MayBeNull;
        if (IsFixedLengthType(column.type)) {
            description.attributes |= FieldAttribute::Fixed;
        }
        fields.emplace_back(std::move(description));
    }
    return Recordset(ado::Fields(std::move(fields)), std::move(mValues));
}

CatalogResult RunCatalog(internal::ConnectionImpl& impl, std::u16string_view what, const CatalogCall& call) {
    internal::StatementHandle statement(impl.OpenHandle(SchemaSource), *impl.errors, impl.encoding);
    statement.Check(call(statement.Get()), what);
    std::vector<internal::ColumnDescription> columns = internal::DescribeColumns(statement);
    std::vector<Variant> values;
    internal::FetchAll(statement, columns, values);
    return CatalogResult(columns.size(), std::move(values));
}

bool IsWide(const internal::ConnectionImpl& impl) {
    return impl.encoding == internal::TextEncoding::Utf16;
}

std::optional<std::u16string> CatalogOrCurrent(const internal::ConnectionImpl& impl,
                                               const std::optional<std::u16string>& catalog) {
    if (catalog || impl.currentCatalog.empty()) {
        return catalog;
    }
    return impl.currentCatalog;
}

Variant TextOrNull(const std::u16string& text) {
    return text.empty() ? Variant::Null() : Variant(text);
}

std::optional<std::u16string> NonEmpty(const std::u16string& text) {
    return text.empty() ? std::nullopt : std::optional<std::u16string>(text);
}

std::optional<std::u16string> Restriction(std::span<const Variant> restrictions, std::size_t index) {
    if (index >= restrictions.size()) {
        return std::nullopt;
    }
    const Variant& value = restrictions[index].Deref();
    if (value.IsEmpty() || value.IsNull() || value.IsMissing()) {
        return std::nullopt;
    }
    return automation::ToString(value);
}

void FilterByName(std::vector<std::size_t>& rows, const CatalogResult& result, std::size_t column,
                  const std::optional<std::u16string>& restriction) {
    if (!restriction) {
        return;
    }
    bool anyExact = std::any_of(rows.begin(), rows.end(),
                                [&](std::size_t row) { return result.Text(row, column) == *restriction; });
    std::erase_if(rows, [&](std::size_t row) {
        std::u16string value = result.Text(row, column);
        return anyExact ? value != *restriction : !EqualsNoCase(value, *restriction);
    });
}

std::vector<std::size_t> AllRows(const CatalogResult& result) {
    std::vector<std::size_t> rows(result.RowCount());
    for (std::size_t row = 0; row < rows.size(); ++row) {
        rows[row] = row;
    }
    return rows;
}

std::optional<std::u16string> Pattern(const internal::ConnectionImpl& impl,
                                      const std::optional<std::u16string>& name) {
    if (!name) {
        return std::nullopt;
    }
    return EscapeSearchPattern(*name, impl.searchPatternEscape);
}

bool InSnapshot(const internal::ConnectionImpl& impl) {
    return impl.snapshot.depth > 0;
}

std::optional<std::vector<std::size_t>> SnapshotRows(const CatalogListing& listing,
                                                     std::initializer_list<NameFilter> filters) {
    const CatalogResult& result = listing.Result();
    bool restricted = false;
    const std::u16string* table = nullptr;
    for (const NameFilter& filter : filters) {
        restricted = restricted || (filter.column != 1 && filter.value);
        if (filter.column == 3 && filter.value) {
            table = &*filter.value;
        }
    }
    std::vector<std::size_t> rows;
    if (table != nullptr) {
        std::span<const std::size_t> named = listing.RowsNamed(*table);
        rows.assign(named.begin(), named.end());
    } else {
        rows = AllRows(result);
    }
    auto bearsEveryName = [&](std::size_t row) {
        return std::all_of(filters.begin(), filters.end(), [&](const NameFilter& filter) {
            return !filter.value || result.Text(row, filter.column) == *filter.value;
        });
    };
    if (restricted && std::none_of(rows.begin(), rows.end(), bearsEveryName)) {
        return std::nullopt;
    }
    for (const NameFilter& filter : filters) {
        FilterByName(rows, result, filter.column, filter.value);
    }
    return rows;
}

} // namespace qv::ado::internal
