// The Columns rowset, from SQLColumns.

#include "platform/ado/Constants.h"
#include "platform/ado/internal/RowsetSupport.h"
#include "platform/ado/internal/SchemaRowsets.h"

#include "platform/ado/internal/ResultSet.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <sqlext.h>

#include <set>
#include <utility>

namespace qv::ado::internal {

using automation::EqualsNoCase;
using automation::Variant;

namespace {

constexpr RowsetColumns<28> ColumnsColumns{{{
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
}}};

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

/// Whether the server is MariaDB or MySQL, whose drivers report BOOLEAN (kept as TINYINT(1))
/// as a plain TINYINT: neither the column listing nor a result's description tells them apart.
bool KeepsBooleansAsTinyInt(const internal::ConnectionImpl& impl) {
    const std::u16string name = automation::ToLower(impl.dbmsName);
    return name.find(u"mariadb") != std::u16string::npos || name.find(u"mysql") != std::u16string::npos;
}

/// A name as an SQL literal of its UTF-8 bytes in hexadecimal, which no SQL mode reads
/// differently and no quote in the name can end.
std::u16string HexLiteral(const std::u16string& text) {
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    std::u16string literal = u"CAST(X'";
    for (const char byte : automation::ToUtf8(text)) {
        const auto value = static_cast<unsigned char>(byte);
        literal += Digits[value >> 4U];
        literal += Digits[value & 0x0FU];
    }
    return literal + u"' AS CHAR CHARACTER SET utf8mb4)";
}

/// The "table.column" names of the BOOLEAN columns of a MariaDB or MySQL catalog (of one table
/// when `table` names it), from the server's own catalogue; none where it cannot be read.
std::set<std::pair<std::u16string, std::u16string>>
BooleanColumns(internal::ConnectionImpl& impl, const std::optional<std::u16string>& catalog,
               const std::optional<std::u16string>& table) {
    std::u16string sql = u"SELECT TABLE_NAME, COLUMN_NAME FROM information_schema.COLUMNS WHERE "
                         u"LOWER(COLUMN_TYPE) = 'tinyint(1)' AND TABLE_SCHEMA = ";
    sql += catalog ? HexLiteral(*catalog) : u"DATABASE()";
    if (table) {
        sql += u" AND TABLE_NAME = " + HexLiteral(*table);
    }
    std::set<std::pair<std::u16string, std::u16string>> found;
    try {
        Argument text(impl, sql);
        const CatalogResult result =
            RunCatalog(impl, u"Reading the Boolean columns", [&](SQLHSTMT statement) {
                return IsWide(impl) ? SQLExecDirectW(statement, text.Wide(), text.Length())
                                    : SQLExecDirect(statement, text.Narrow(), text.Length());
            });
        for (std::size_t row = 0; row < result.RowCount(); ++row) {
            found.emplace(result.Text(row, 1), result.Text(row, 2));
        }
    } catch (const automation::Error&) {
        // Without the catalogue the columns keep the driver's type, as before.
        impl.errors->Clear();
    }
    return found;
}

} // namespace

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

    std::set<std::pair<std::u16string, std::u16string>> booleans;
    if (KeepsBooleansAsTinyInt(impl) && !rows.empty()) {
        booleans = BooleanColumns(impl, catalog, table);
    }

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
        if (internal::IsTextType(adoType) && !internal::IsLongType(adoType)) {
            if (std::optional<internal::ExactNumber> declared = internal::DeclaredExactNumber(typeName)) {
                adoType = DataType::Numeric;
                size = declared->precision;
                digits = declared->scale;
            }
        }
        if (adoType == DataType::TinyInt && booleans.contains({result.Text(row, 3), result.Text(row, 4)})) {
            adoType = DataType::Boolean;
        }
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
        builder.Set(ColumnsColumns[u"TABLE_CATALOG"], result.TextOrNull(row, 1));
        builder.Set(ColumnsColumns[u"TABLE_SCHEMA"], result.TextOrNull(row, 2));
        builder.Set(ColumnsColumns[u"TABLE_NAME"], result.TextOrNull(row, 3));
        builder.Set(ColumnsColumns[u"COLUMN_NAME"], result.TextOrNull(row, 4));
        if (std::optional<std::int32_t> ordinal = result.Number(row, 17)) {
            builder.Set(ColumnsColumns[u"ORDINAL_POSITION"], Variant(*ordinal));
        }
        const Variant& columnDefault = result.At(row, 13);
        builder.Set(ColumnsColumns[u"COLUMN_HASDEFAULT"],
                    Variant(!columnDefault.IsNull() && !columnDefault.IsEmpty()));
        builder.Set(ColumnsColumns[u"COLUMN_DEFAULT"], result.TextOrNull(row, 13));
        builder.Set(ColumnsColumns[u"COLUMN_FLAGS"], Variant(flags));
        // A column that may hold Null, or whose nullability the driver does not know, is
        // nullable: only a column known to refuse Null is required.
        builder.Set(ColumnsColumns[u"IS_NULLABLE"], Variant(nullable != SQL_NO_NULLS));
        builder.Set(ColumnsColumns[u"DATA_TYPE"], Variant(static_cast<std::int16_t>(adoType)));
        if (internal::IsTextType(adoType) || IsBinaryType(adoType)) {
            // Long types without a limit come as 0 or a negative "no total": the largest size.
            std::int32_t maximum = internal::DefinedSize(adoType, size.value_or(0));
            builder.Set(ColumnsColumns[u"CHARACTER_MAXIMUM_LENGTH"], Variant(maximum));
            builder.Set(ColumnsColumns[u"CHARACTER_OCTET_LENGTH"],
                        Variant(internal::DefinedSize(adoType, result.Number(row, 16).value_or(0))));
        }
        if (IsNumericType(adoType)) {
            bool exact = adoType == DataType::Numeric || adoType == DataType::Decimal;
            std::uint8_t precision = internal::Precision(adoType, size.value_or(0), 0);
            builder.Set(ColumnsColumns[u"NUMERIC_PRECISION"], Variant(static_cast<std::int16_t>(precision)));
            if (exact && digits) {
                builder.Set(ColumnsColumns[u"NUMERIC_SCALE"], Variant(static_cast<std::int16_t>(*digits)));
            }
        }
        if ((adoType == DataType::DBTimeStamp || adoType == DataType::DBTime) && digits) {
            builder.Set(ColumnsColumns[u"DATETIME_PRECISION"], Variant(*digits));
        }
        builder.Set(ColumnsColumns[u"DESCRIPTION"], result.TextOrNull(row, 12));
    }
    return builder.Finish();
}

} // namespace qv::ado::internal
