#include "platform/ado/SchemaRowset.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Constants.h"
#include "platform/ado/SqlText.h"
#include "platform/ado/internal/CatalogCache.h"
#include "platform/ado/internal/ConnectionImpl.h"
#include "platform/ado/internal/ResultSet.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <functional>

namespace qv::ado {

using automation::EqualsNoCase;
using automation::Variant;
using internal::CatalogListing;
using internal::CatalogResult;

namespace {

constexpr std::u16string_view Source = u"Connection";

// ---------------------------------------------------------------------------------------------
// The rowsets' columns, as ADO names and types them.

struct RowsetColumn {
    std::u16string_view name;
    std::int32_t type;
};

constexpr RowsetColumn TablesColumns[] = {
    {u"TABLE_CATALOG", DataType::VarWChar},   {u"TABLE_SCHEMA", DataType::VarWChar},
    {u"TABLE_NAME", DataType::VarWChar},      {u"TABLE_TYPE", DataType::VarWChar},
    {u"TABLE_GUID", DataType::GUID},          {u"DESCRIPTION", DataType::VarWChar},
    {u"TABLE_PROPID", DataType::UnsignedInt}, {u"DATE_CREATED", DataType::Date},
    {u"DATE_MODIFIED", DataType::Date},
};

constexpr RowsetColumn ColumnsColumns[] = {
    {u"TABLE_CATALOG", DataType::VarWChar},
    {u"TABLE_SCHEMA", DataType::VarWChar},
    {u"TABLE_NAME", DataType::VarWChar},
    {u"COLUMN_NAME", DataType::VarWChar},
    {u"COLUMN_GUID", DataType::GUID},
    {u"COLUMN_PROPID", DataType::UnsignedInt},
    {u"ORDINAL_POSITION", DataType::UnsignedInt},
    {u"COLUMN_HASDEFAULT", DataType::Boolean},
    {u"COLUMN_DEFAULT", DataType::VarWChar},
    {u"COLUMN_FLAGS", DataType::UnsignedInt},
    {u"IS_NULLABLE", DataType::Boolean},
    {u"DATA_TYPE", DataType::UnsignedSmallInt},
    {u"TYPE_GUID", DataType::GUID},
    {u"CHARACTER_MAXIMUM_LENGTH", DataType::UnsignedInt},
    {u"CHARACTER_OCTET_LENGTH", DataType::UnsignedInt},
    {u"NUMERIC_PRECISION", DataType::UnsignedSmallInt},
    {u"NUMERIC_SCALE", DataType::SmallInt},
    {u"DATETIME_PRECISION", DataType::UnsignedInt},
    {u"CHARACTER_SET_CATALOG", DataType::VarWChar},
    {u"CHARACTER_SET_SCHEMA", DataType::VarWChar},
    {u"CHARACTER_SET_NAME", DataType::VarWChar},
    {u"COLLATION_CATALOG", DataType::VarWChar},
    {u"COLLATION_SCHEMA", DataType::VarWChar},
    {u"COLLATION_NAME", DataType::VarWChar},
    {u"DOMAIN_CATALOG", DataType::VarWChar},
    {u"DOMAIN_SCHEMA", DataType::VarWChar},
    {u"DOMAIN_NAME", DataType::VarWChar},
    {u"DESCRIPTION", DataType::VarWChar},
};
enum ColumnsColumn : std::size_t {
    ColumnsOrdinal = 6,
    ColumnsHasDefault,
    ColumnsDefault,
    ColumnsFlags,
    ColumnsIsNullable,
    ColumnsDataType,
    ColumnsMaximumLength = 13,
    ColumnsOctetLength,
    ColumnsPrecision,
    ColumnsScale,
    ColumnsDatetimePrecision,
    ColumnsDescription = 27,
};

constexpr RowsetColumn PrimaryKeysColumns[] = {
    {u"TABLE_CATALOG", DataType::VarWChar}, {u"TABLE_SCHEMA", DataType::VarWChar},
    {u"TABLE_NAME", DataType::VarWChar},    {u"COLUMN_NAME", DataType::VarWChar},
    {u"COLUMN_GUID", DataType::GUID},       {u"COLUMN_PROPID", DataType::UnsignedInt},
    {u"ORDINAL", DataType::UnsignedInt},    {u"PK_NAME", DataType::VarWChar},
};

constexpr RowsetColumn IndexesColumns[] = {
    {u"TABLE_CATALOG", DataType::VarWChar},
    {u"TABLE_SCHEMA", DataType::VarWChar},
    {u"TABLE_NAME", DataType::VarWChar},
    {u"INDEX_CATALOG", DataType::VarWChar},
    {u"INDEX_SCHEMA", DataType::VarWChar},
    {u"INDEX_NAME", DataType::VarWChar},
    {u"PRIMARY_KEY", DataType::Boolean},
    {u"UNIQUE", DataType::Boolean},
    {u"CLUSTERED", DataType::Boolean},
    {u"TYPE", DataType::UnsignedSmallInt},
    {u"FILL_FACTOR", DataType::Integer},
    {u"INITIAL_SIZE", DataType::Integer},
    {u"NULLS", DataType::Integer},
    {u"SORT_BOOKMARKS", DataType::Boolean},
    {u"AUTO_UPDATE", DataType::Boolean},
    {u"NULL_COLLATION", DataType::Integer},
    {u"ORDINAL_POSITION", DataType::UnsignedInt},
    {u"COLUMN_NAME", DataType::VarWChar},
    {u"COLUMN_GUID", DataType::GUID},
    {u"COLUMN_PROPID", DataType::UnsignedInt},
    {u"COLLATION", DataType::SmallInt},
    {u"CARDINALITY", DataType::UnsignedBigInt},
    {u"PAGES", DataType::Integer},
    {u"FILTER_CONDITION", DataType::VarWChar},
    {u"INTEGRATED", DataType::Boolean},
};

// OLE DB's index types and collations.
constexpr std::int16_t IndexTypeBTree = 1;
constexpr std::int16_t IndexTypeHash = 2;
constexpr std::int16_t CollationAscending = 1;
constexpr std::int16_t CollationDescending = 2;

ado::Fields MakeFields(std::span<const RowsetColumn> columns) {
    std::vector<Field> fields;
    for (const RowsetColumn& column : columns) {
        FieldDescription description;
        description.name = column.name;
        description.type = column.type;
        description.definedSize = internal::DefinedSize(column.type, 128);
        description.attributes = FieldAttribute::IsNullable | FieldAttribute::MayBeNull;
        if (internal::IsFixedLengthType(column.type)) {
            description.attributes |= FieldAttribute::Fixed;
        }
        fields.emplace_back(std::move(description));
    }
    return ado::Fields(std::move(fields));
}

/// Rows under construction: each Add starts a row of Null values, filled by Set.
class RowBuilder {
public:
    explicit RowBuilder(std::span<const RowsetColumn> columns) : mColumns(columns) {}
    void Add() { mValues.resize(mValues.size() + mColumns.size(), Variant::Null()); }
    void Set(std::size_t column, Variant value) {
        mValues[mValues.size() - mColumns.size() + column] = std::move(value);
    }
    Recordset Finish() { return Recordset(MakeFields(mColumns), std::move(mValues)); }

private:
    std::span<const RowsetColumn> mColumns;
    std::vector<Variant> mValues;
};

// ---------------------------------------------------------------------------------------------
// Catalog calls.

using CatalogCall = std::function<SQLRETURN(SQLHSTMT)>;

CatalogResult RunCatalog(internal::ConnectionImpl& impl, std::u16string_view what, const CatalogCall& call) {
    internal::StatementHandle statement(impl.OpenHandle(Source), *impl.errors, impl.encoding);
    statement.Check(call(statement.Get()), what);
    std::vector<internal::ColumnDescription> columns = internal::DescribeColumns(statement);
    std::vector<Variant> values;
    internal::FetchAll(statement, columns, values);
    return CatalogResult(columns.size(), std::move(values));
}

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

bool IsWide(const internal::ConnectionImpl& impl) {
    return impl.encoding == internal::TextEncoding::Utf16;
}

/// The catalog restriction to use: the caller's, or else the connection's current catalog, so
/// that a server's other databases stay out of the rowsets (some drivers list every database
/// when no catalog is given).
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

// ---------------------------------------------------------------------------------------------
// Restrictions.

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

/// Keeps the rows whose `column` matches the restriction: exactly when some row matches
/// exactly (a database may hold "Orders" and "orders" side by side, and its search may ignore
/// case), otherwise without regard to case (a database that folds names).
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

/// A name as a search-pattern argument, escaped so that it matches only itself.
std::optional<std::u16string> Pattern(const internal::ConnectionImpl& impl,
                                      const std::optional<std::u16string>& name) {
    if (!name) {
        return std::nullopt;
    }
    return EscapeSearchPattern(*name, impl.searchPatternEscape);
}

// ---------------------------------------------------------------------------------------------
// Tables.

struct TableName {
    std::u16string catalog;
    std::u16string schema;
    std::u16string name;
    std::u16string type;
    std::u16string remarks;
};

/// TABLE_TYPE in ADO's words. Some drivers say "BASE TABLE"; SQLite's own bookkeeping tables
/// (sqlite_sequence, sqlite_stat1) are system tables, whatever the driver calls them.
std::u16string NormalTableType(const internal::ConnectionImpl& impl, std::u16string type,
                               const std::u16string& name) {
    if (EqualsNoCase(type, u"BASE TABLE")) {
        type = u"TABLE";
    }
    if (type == u"TABLE" && EqualsNoCase(impl.dbmsName, u"SQLite") && name.size() > 7 &&
        EqualsNoCase(std::u16string_view(name).substr(0, 7), u"sqlite_")) {
        type = u"SYSTEM TABLE";
    }
    return type;
}

bool InSnapshot(const internal::ConnectionImpl& impl) {
    return impl.snapshot.depth > 0;
}

/// Every table of a catalog, read once per snapshot.
const CatalogListing& SnapshotTables(internal::ConnectionImpl& impl,
                                     const std::optional<std::u16string>& catalog) {
    const std::u16string key = catalog.value_or(u"");
    if (auto found = impl.snapshot.tables.find(key); found != impl.snapshot.tables.end()) {
        return found->second;
    }
    Argument catalogArgument(impl, catalog);
    CatalogResult result = RunCatalog(impl, u"Reading the tables", [&](SQLHSTMT statement) {
        if (IsWide(impl)) {
            return SQLTablesW(statement, catalogArgument.Wide(), catalogArgument.Length(), nullptr, 0,
                              nullptr, 0, nullptr, 0);
        }
        return SQLTables(statement, catalogArgument.Narrow(), catalogArgument.Length(), nullptr, 0, nullptr,
                         0, nullptr, 0);
    });
    return impl.snapshot.tables.emplace(key, CatalogListing(std::move(result), 3)).first->second;
}

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

std::vector<TableName> ListTables(internal::ConnectionImpl& impl,
                                  const std::optional<std::u16string>& givenCatalog,
                                  const std::optional<std::u16string>& schema,
                                  const std::optional<std::u16string>& table,
                                  const std::optional<std::u16string>& type) {
    std::optional<std::u16string> catalog = CatalogOrCurrent(impl, givenCatalog);
    CatalogResult own;
    const CatalogResult* result = &own;
    std::optional<std::vector<std::size_t>> rows;
    if (InSnapshot(impl)) {
        const CatalogListing& listing = SnapshotTables(impl, catalog);
        result = &listing.Result();
        rows = SnapshotRows(listing, {{1, catalog}, {2, schema}, {3, table}});
    }
    if (!rows) {
        Argument catalogArgument(impl, catalog);
        Argument schemaArgument(impl, Pattern(impl, schema));
        Argument tableArgument(impl, Pattern(impl, table));
        own = RunCatalog(impl, u"Reading the tables", [&](SQLHSTMT statement) {
            if (IsWide(impl)) {
                return SQLTablesW(statement, catalogArgument.Wide(), catalogArgument.Length(),
                                  schemaArgument.Wide(), schemaArgument.Length(), tableArgument.Wide(),
                                  tableArgument.Length(), nullptr, 0);
            }
            return SQLTables(statement, catalogArgument.Narrow(), catalogArgument.Length(),
                             schemaArgument.Narrow(), schemaArgument.Length(), tableArgument.Narrow(),
                             tableArgument.Length(), nullptr, 0);
        });
        result = &own;
        rows = AllRows(own);
        FilterByName(*rows, own, 1, catalog);
        FilterByName(*rows, own, 2, schema);
        FilterByName(*rows, own, 3, table);
    }
    std::vector<TableName> tables;
    for (std::size_t row : *rows) {
        TableName name{result->Text(row, 1), result->Text(row, 2), result->Text(row, 3), u"",
                       result->Text(row, 5)};
        name.type = NormalTableType(impl, result->Text(row, 4), name.name);
        if (type && name.type != *type) {
            continue;
        }
        tables.push_back(std::move(name));
    }
    return tables;
}

Recordset TablesRowset(internal::ConnectionImpl& impl, std::span<const Variant> restrictions) {
    std::vector<TableName> tables =
        ListTables(impl, Restriction(restrictions, 0), Restriction(restrictions, 1),
                   Restriction(restrictions, 2), Restriction(restrictions, 3));
    RowBuilder builder(TablesColumns);
    for (const TableName& table : tables) {
        builder.Add();
        builder.Set(0, TextOrNull(table.catalog));
        builder.Set(1, TextOrNull(table.schema));
        builder.Set(2, Variant(table.name));
        builder.Set(3, Variant(table.type));
        builder.Set(5, TextOrNull(table.remarks));
    }
    return builder.Finish();
}

// ---------------------------------------------------------------------------------------------
// Columns.

bool TypeNameSays(const std::u16string& typeName, std::u16string_view word) {
    return automation::ToLower(typeName).find(word) != std::u16string::npos;
}

bool IsNumericType(std::int32_t adoType) {
    switch (adoType) {
    case DataType::TinyInt:
    case DataType::UnsignedTinyInt:
    case DataType::SmallInt:
    case DataType::UnsignedSmallInt:
    case DataType::Integer:
    case DataType::UnsignedInt:
    case DataType::BigInt:
    case DataType::UnsignedBigInt:
    case DataType::Single:
    case DataType::Double:
    case DataType::Currency:
    case DataType::Decimal:
    case DataType::Numeric:
        return true;
    default:
        return false;
    }
}

bool IsBinaryType(std::int32_t adoType) {
    return adoType == DataType::Binary || adoType == DataType::VarBinary ||
           adoType == DataType::LongVarBinary;
}

CatalogResult ReadColumns(internal::ConnectionImpl& impl, const std::optional<std::u16string>& catalog,
                          const std::optional<std::u16string>& schemaPattern,
                          const std::optional<std::u16string>& tablePattern,
                          const std::optional<std::u16string>& columnPattern) {
    Argument catalogArgument(impl, catalog);
    Argument schemaArgument(impl, schemaPattern);
    Argument tableArgument(impl, tablePattern);
    Argument columnArgument(impl, columnPattern);
    return RunCatalog(impl, u"Reading the columns", [&](SQLHSTMT statement) {
        if (IsWide(impl)) {
            return SQLColumnsW(statement, catalogArgument.Wide(), catalogArgument.Length(),
                               schemaArgument.Wide(), schemaArgument.Length(), tableArgument.Wide(),
                               tableArgument.Length(), columnArgument.Wide(), columnArgument.Length());
        }
        return SQLColumns(statement, catalogArgument.Narrow(), catalogArgument.Length(),
                          schemaArgument.Narrow(), schemaArgument.Length(), tableArgument.Narrow(),
                          tableArgument.Length(), columnArgument.Narrow(), columnArgument.Length());
    });
}

/// Whether the driver's column listing of one table costs a scan of its whole catalogue, and its
/// listing of all columns gives every table's rows as the one-table listing does. SQLite's does
/// both; PostgreSQL's numbers ORDINAL_POSITION across the whole answer, and a server's catalogue
/// is indexed anyway, so there a table's columns are asked for one table at a time.
bool ListsAllColumnsAlike(const internal::ConnectionImpl& impl) {
    return EqualsNoCase(impl.dbmsName, u"SQLite");
}

/// Every column of a catalog, read once per snapshot where the driver lists them alike
/// (ListsAllColumnsAlike); nullptr where it does not, outside a snapshot, and when the driver
/// refuses to list them all at once (one broken view can make it fail): the tables are then
/// asked one by one, each failing or not on its own as it would without a snapshot.
const CatalogListing* SnapshotColumns(internal::ConnectionImpl& impl,
                                      const std::optional<std::u16string>& catalog) {
    if (!InSnapshot(impl) || !ListsAllColumnsAlike(impl)) {
        return nullptr;
    }
    const std::u16string key = catalog.value_or(u"");
    if (auto found = impl.snapshot.columns.find(key); found != impl.snapshot.columns.end()) {
        return &found->second;
    }
    if (impl.snapshot.columnsRefused.contains(key)) {
        return nullptr;
    }
    try {
        CatalogResult result = ReadColumns(impl, catalog, std::nullopt, std::nullopt, std::nullopt);
        return &impl.snapshot.columns.emplace(key, CatalogListing(std::move(result), 3)).first->second;
    } catch (const automation::Error&) {
        // Not this rowset's failure: the call for its own table decides.
        impl.snapshot.columnsRefused.insert(key);
        impl.errors->Clear();
        return nullptr;
    }
}

Recordset ColumnsRowset(internal::ConnectionImpl& impl, std::span<const Variant> restrictions) {
    std::optional<std::u16string> catalog = CatalogOrCurrent(impl, Restriction(restrictions, 0));
    std::optional<std::u16string> schema = Restriction(restrictions, 1);
    std::optional<std::u16string> table = Restriction(restrictions, 2);
    std::optional<std::u16string> column = Restriction(restrictions, 3);
    CatalogResult own;
    const CatalogResult* found = nullptr;
    std::optional<std::vector<std::size_t>> kept;
    if (const CatalogListing* listing = SnapshotColumns(impl, catalog)) {
        found = &listing->Result();
        kept = SnapshotRows(*listing, {{1, catalog}, {2, schema}, {3, table}, {4, column}});
    }
    if (!kept) {
        own = ReadColumns(impl, catalog, Pattern(impl, schema), Pattern(impl, table), Pattern(impl, column));
        found = &own;
        kept = AllRows(own);
        FilterByName(*kept, own, 1, catalog);
        FilterByName(*kept, own, 2, schema);
        FilterByName(*kept, own, 3, table);
        FilterByName(*kept, own, 4, column);
    }
    const CatalogResult& result = *found;
    const std::vector<std::size_t>& rows = *kept;

    RowBuilder builder(ColumnsColumns);
    for (std::size_t row : rows) {
        // SQLColumns: 5 DATA_TYPE, 6 TYPE_NAME, 7 COLUMN_SIZE, 9 DECIMAL_DIGITS, 11 NULLABLE,
        // 12 REMARKS, 13 COLUMN_DEF, 16 CHAR_OCTET_LENGTH, 17 ORDINAL_POSITION.
        std::u16string typeName = result.Text(row, 6);
        std::int16_t sqlType = static_cast<std::int16_t>(result.Number(row, 5).value_or(0));
        std::int32_t adoType =
            internal::AdoType(sqlType, TypeNameSays(typeName, u"unsigned"), TypeNameSays(typeName, u"money"));
        std::optional<std::int32_t> size = result.Number(row, 7);
        std::optional<std::int32_t> digits = result.Number(row, 9);
        std::int32_t nullable = result.Number(row, 11).value_or(SQL_NULLABLE_UNKNOWN);

        std::int32_t flags = 0;
        if (nullable != SQL_NO_NULLS) {
            flags |= FieldAttribute::MayBeNull;
        }
        if (nullable == SQL_NULLABLE) {
            flags |= FieldAttribute::IsNullable;
        }
        if (internal::IsFixedLengthType(adoType)) {
            flags |= FieldAttribute::Fixed;
        }
        if (internal::IsLongType(adoType)) {
            flags |= FieldAttribute::Long;
        }

        builder.Add();
        builder.Set(0, result.TextOrNull(row, 1));
        builder.Set(1, result.TextOrNull(row, 2));
        builder.Set(2, result.TextOrNull(row, 3));
        builder.Set(3, result.TextOrNull(row, 4));
        if (std::optional<std::int32_t> ordinal = result.Number(row, 17)) {
            builder.Set(ColumnsOrdinal, Variant(*ordinal));
        }
        const Variant& columnDefault = result.At(row, 13);
        builder.Set(ColumnsHasDefault, Variant(!columnDefault.IsNull() && !columnDefault.IsEmpty()));
        builder.Set(ColumnsDefault, result.TextOrNull(row, 13));
        builder.Set(ColumnsFlags, Variant(flags));
        // A column that may hold Null, or whose nullability the driver does not know, is
        // nullable: only a column known to refuse Null is required.
        builder.Set(ColumnsIsNullable, Variant(nullable != SQL_NO_NULLS));
        builder.Set(ColumnsDataType, Variant(static_cast<std::int16_t>(adoType)));
        if (internal::IsTextType(adoType) || IsBinaryType(adoType)) {
            // Long types without a limit come as 0 or a negative "no total": the largest size.
            std::int32_t maximum = internal::DefinedSize(adoType, size.value_or(0));
            builder.Set(ColumnsMaximumLength, Variant(maximum));
            builder.Set(ColumnsOctetLength,
                        Variant(internal::DefinedSize(adoType, result.Number(row, 16).value_or(0))));
        }
        if (IsNumericType(adoType)) {
            bool exact = adoType == DataType::Numeric || adoType == DataType::Decimal;
            std::uint8_t precision = internal::Precision(adoType, size.value_or(0), 0);
            builder.Set(ColumnsPrecision, Variant(static_cast<std::int16_t>(precision)));
            if (exact && digits) {
                builder.Set(ColumnsScale, Variant(static_cast<std::int16_t>(*digits)));
            }
        }
        if ((adoType == DataType::DBTimeStamp || adoType == DataType::DBTime) && digits) {
            builder.Set(ColumnsDatetimePrecision, Variant(*digits));
        }
        builder.Set(ColumnsDescription, result.TextOrNull(row, 12));
    }
    return builder.Finish();
}

// ---------------------------------------------------------------------------------------------
// Primary keys and indexes: the catalog calls take one exact table each, so the restricted
// tables are listed first (which also finds a table of the name in every schema).

bool HasKeys(const TableName& table) {
    return automation::ToUpper(table.type).find(u"VIEW") == std::u16string::npos;
}

struct PrimaryKey {
    std::u16string name;
    std::vector<std::u16string> columns;
};

CatalogResult ReadPrimaryKeys(internal::ConnectionImpl& impl, const TableName& table) {
    // A snapshot reads each table's key once: the key rowset and the index rowset of a table
    // both need it.
    std::u16string key;
    if (InSnapshot(impl)) {
        key = table.catalog + u'\0' + table.schema + u'\0' + table.name;
        if (auto found = impl.snapshot.primaryKeys.find(key); found != impl.snapshot.primaryKeys.end()) {
            return found->second;
        }
    }
    Argument catalogArgument(impl, NonEmpty(table.catalog));
    Argument schemaArgument(impl, NonEmpty(table.schema));
    Argument tableArgument(impl, table.name);
    CatalogResult result = RunCatalog(impl, u"Reading the primary key", [&](SQLHSTMT statement) {
        if (IsWide(impl)) {
            return SQLPrimaryKeysW(statement, catalogArgument.Wide(), catalogArgument.Length(),
                                   schemaArgument.Wide(), schemaArgument.Length(), tableArgument.Wide(),
                                   tableArgument.Length());
        }
        return SQLPrimaryKeys(statement, catalogArgument.Narrow(), catalogArgument.Length(),
                              schemaArgument.Narrow(), schemaArgument.Length(), tableArgument.Narrow(),
                              tableArgument.Length());
    });
    if (InSnapshot(impl)) {
        impl.snapshot.primaryKeys.emplace(std::move(key), result);
    }
    return result;
}

Recordset PrimaryKeysRowset(internal::ConnectionImpl& impl, std::span<const Variant> restrictions) {
    std::vector<TableName> tables =
        ListTables(impl, Restriction(restrictions, 0), Restriction(restrictions, 1),
                   Restriction(restrictions, 2), std::nullopt);
    RowBuilder builder(PrimaryKeysColumns);
    for (const TableName& table : tables) {
        if (!HasKeys(table)) {
            continue;
        }
        CatalogResult result = ReadPrimaryKeys(impl, table);
        // SQLPrimaryKeys: 4 COLUMN_NAME, 5 KEY_SEQ, 6 PK_NAME.
        for (std::size_t row = 0; row < result.RowCount(); ++row) {
            builder.Add();
            builder.Set(0, TextOrNull(table.catalog));
            builder.Set(1, TextOrNull(table.schema));
            builder.Set(2, Variant(table.name));
            builder.Set(3, result.TextOrNull(row, 4));
            if (std::optional<std::int32_t> ordinal = result.Number(row, 5)) {
                builder.Set(6, Variant(*ordinal));
            }
            builder.Set(7, result.TextOrNull(row, 6));
        }
    }
    return builder.Finish();
}

PrimaryKey PrimaryKeyOf(internal::ConnectionImpl& impl, const TableName& table) {
    CatalogResult result = ReadPrimaryKeys(impl, table);
    PrimaryKey key;
    for (std::size_t row = 0; row < result.RowCount(); ++row) {
        key.columns.push_back(result.Text(row, 4));
        key.name = result.Text(row, 6);
    }
    std::sort(key.columns.begin(), key.columns.end());
    return key;
}

Recordset IndexesRowset(internal::ConnectionImpl& impl, std::span<const Variant> restrictions) {
    std::optional<std::u16string> indexName = Restriction(restrictions, 2);
    std::optional<std::u16string> indexType = Restriction(restrictions, 3);
    std::vector<TableName> tables =
        ListTables(impl, Restriction(restrictions, 0), Restriction(restrictions, 1),
                   Restriction(restrictions, 4), std::nullopt);
    RowBuilder builder(IndexesColumns);
    for (const TableName& table : tables) {
        if (!HasKeys(table)) {
            continue;
        }
        Argument catalogArgument(impl, NonEmpty(table.catalog));
        Argument schemaArgument(impl, NonEmpty(table.schema));
        Argument tableArgument(impl, table.name);
        CatalogResult result = RunCatalog(impl, u"Reading the indexes", [&](SQLHSTMT statement) {
            if (IsWide(impl)) {
                return SQLStatisticsW(statement, catalogArgument.Wide(), catalogArgument.Length(),
                                      schemaArgument.Wide(), schemaArgument.Length(), tableArgument.Wide(),
                                      tableArgument.Length(), SQL_INDEX_ALL, SQL_QUICK);
            }
            return SQLStatistics(statement, catalogArgument.Narrow(), catalogArgument.Length(),
                                 schemaArgument.Narrow(), schemaArgument.Length(), tableArgument.Narrow(),
                                 tableArgument.Length(), SQL_INDEX_ALL, SQL_QUICK);
        });
        // SQLStatistics: 4 NON_UNIQUE, 5 INDEX_QUALIFIER, 6 INDEX_NAME, 7 TYPE, 8 ORDINAL_POSITION,
        // 9 COLUMN_NAME, 10 ASC_OR_DESC, 11 CARDINALITY, 12 PAGES, 13 FILTER_CONDITION. The row
        // of the table's own statistics names no index and has no place in the rowset.
        std::vector<std::size_t> rows;
        for (std::size_t row = 0; row < result.RowCount(); ++row) {
            if (result.Number(row, 7).value_or(SQL_TABLE_STAT) != SQL_TABLE_STAT &&
                !result.Text(row, 6).empty()) {
                rows.push_back(row);
            }
        }
        FilterByName(rows, result, 6, indexName);
        if (rows.empty()) {
            continue;
        }
        // The primary key's index: the one the key names, or else a unique index over exactly
        // the key's columns (drivers name the key and its index differently).
        PrimaryKey key = PrimaryKeyOf(impl, table);
        std::u16string keyIndex;
        for (std::size_t row : rows) {
            if (!key.name.empty() && result.Text(row, 6) == key.name) {
                keyIndex = key.name;
            }
        }
        if (keyIndex.empty() && !key.columns.empty()) {
            for (std::size_t first : rows) {
                std::u16string name = result.Text(first, 6);
                if (result.Number(first, 4).value_or(1) != 0) {
                    continue;
                }
                std::vector<std::u16string> columns;
                for (std::size_t row : rows) {
                    if (result.Text(row, 6) == name) {
                        columns.push_back(result.Text(row, 9));
                    }
                }
                std::sort(columns.begin(), columns.end());
                if (columns == key.columns) {
                    keyIndex = name;
                    break;
                }
            }
        }
        // Keep each index's rows together, in column order, whatever order the driver used.
        std::stable_sort(rows.begin(), rows.end(), [&](std::size_t left, std::size_t right) {
            std::u16string leftName = result.Text(left, 6);
            std::u16string rightName = result.Text(right, 6);
            if (leftName != rightName) {
                auto firstOf = [&](const std::u16string& name) {
                    return *std::find_if(rows.begin(), rows.end(),
                                         [&](std::size_t row) { return result.Text(row, 6) == name; });
                };
                return firstOf(leftName) < firstOf(rightName);
            }
            return result.Number(left, 8).value_or(0) < result.Number(right, 8).value_or(0);
        });
        for (std::size_t row : rows) {
            std::int32_t odbcType = result.Number(row, 7).value_or(SQL_INDEX_OTHER);
            std::int16_t type = odbcType == SQL_INDEX_HASHED ? IndexTypeHash : IndexTypeBTree;
            if (indexType && automation::ToLong(Variant(*indexType)) != type) {
                continue;
            }
            std::u16string name = result.Text(row, 6);
            builder.Add();
            builder.Set(0, TextOrNull(table.catalog));
            builder.Set(1, TextOrNull(table.schema));
            builder.Set(2, Variant(table.name));
            builder.Set(3, TextOrNull(table.catalog));
            builder.Set(4, result.TextOrNull(row, 5));
            builder.Set(5, Variant(name));
            builder.Set(6, Variant(!keyIndex.empty() && name == keyIndex));
            builder.Set(7, Variant(result.Number(row, 4).value_or(1) == 0));
            builder.Set(8, Variant(odbcType == SQL_INDEX_CLUSTERED));
            builder.Set(9, Variant(type));
            if (std::optional<std::int32_t> ordinal = result.Number(row, 8)) {
                builder.Set(16, Variant(*ordinal));
            }
            builder.Set(17, result.TextOrNull(row, 9));
            std::u16string order = result.Text(row, 10);
            if (order == u"A") {
                builder.Set(20, Variant(CollationAscending));
            } else if (order == u"D") {
                builder.Set(20, Variant(CollationDescending));
            }
            if (!result.At(row, 11).IsNull()) {
                builder.Set(21, Variant(automation::ToDouble(result.At(row, 11))));
            }
            if (std::optional<std::int32_t> pages = result.Number(row, 12)) {
                builder.Set(22, Variant(*pages));
            }
            builder.Set(23, result.TextOrNull(row, 13));
        }
    }
    return builder.Finish();
}

} // namespace

Recordset OpenSchemaRowset(Connection& connection, std::int32_t schema,
                           std::span<const Variant> restrictions) {
    internal::ConnectionImpl& impl = connection.Impl();
    impl.OpenHandle(Source);
    impl.errors->Clear();
    switch (schema) {
    case Schema::Tables:
        return TablesRowset(impl, restrictions);
    case Schema::Columns:
        return ColumnsRowset(impl, restrictions);
    case Schema::PrimaryKeys:
        return PrimaryKeysRowset(impl, restrictions);
    case Schema::Indexes:
        return IndexesRowset(impl, restrictions);
    default:
        automation::Raise(ErrorNumber::FeatureNotAvailable, std::u16string(Source),
                          u"Object or provider is not capable of performing requested operation. (Schema " +
                              automation::FromUtf8(std::to_string(schema)) + u" is not offered.)");
    }
}

} // namespace qv::ado
