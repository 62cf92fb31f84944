#include "platform/ado/internal/ResultSet.h"

#include "platform/ado/Constants.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace qv::ado::internal {

using automation::Variant;

namespace {

constexpr std::int32_t MaxSize = std::numeric_limits<std::int32_t>::max();

/// A numeric attribute of a column, or `fallback` when the driver does not offer it.
SQLLEN NumericAttribute(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field, SQLLEN fallback) {
    SQLLEN value = fallback;
    if (!SQL_SUCCEEDED(SQLColAttributeW(statement, column, field, nullptr, 0, nullptr, &value))) {
        return fallback;
    }
    return value;
}

std::u16string TextAttribute(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field,
                             TextEncoding encoding) {
    SQLSMALLINT length = 0;
    if (encoding == TextEncoding::Utf8) {
        std::vector<SQLCHAR> buffer(1024);
        if (!SQL_SUCCEEDED(SQLColAttribute(statement, column, field, buffer.data(),
                                           static_cast<SQLSMALLINT>(buffer.size()), &length, nullptr))) {
            return u"";
        }
        std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                                 buffer.size() - 1);
        return automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(buffer.data()), size));
    }
    std::vector<SQLWCHAR> buffer(256);
    SQLRETURN rc =
        SQLColAttributeW(statement, column, field, buffer.data(),
                         static_cast<SQLSMALLINT>(buffer.size() * sizeof(SQLWCHAR)), &length, nullptr);
    if (rc == SQL_SUCCESS_WITH_INFO && static_cast<std::size_t>(length) >= buffer.size() * sizeof(SQLWCHAR)) {
        buffer.resize(static_cast<std::size_t>(length) / sizeof(SQLWCHAR) + 1);
        rc = SQLColAttributeW(statement, column, field, buffer.data(),
                              static_cast<SQLSMALLINT>(buffer.size() * sizeof(SQLWCHAR)), &length, nullptr);
    }
    if (!SQL_SUCCEEDED(rc)) {
        return u"";
    }
    return FromOdbcText(buffer.data(), buffer.size());
}

/// A column's name, type, size, digits and nullability (SQLDescribeCol), its name read the way
/// the driver writes text.
SQLRETURN DescribeColumn(StatementHandle& statement, SQLUSMALLINT number, ColumnDescription& column,
                         SQLULEN& size, SQLSMALLINT& digits) {
    SQLSMALLINT sqlType = 0;
    SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
    SQLSMALLINT nameLength = 0;
    SQLRETURN rc = SQL_ERROR;
    if (statement.Encoding() == TextEncoding::Utf8) {
        std::vector<SQLCHAR> name(1024);
        rc = SQLDescribeCol(statement.Get(), number, name.data(), static_cast<SQLSMALLINT>(name.size()),
                            &nameLength, &sqlType, &size, &digits, &nullable);
        std::size_t length = std::min<std::size_t>(
            static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0)), name.size() - 1);
        column.name =
            automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(name.data()), length));
    } else {
        std::vector<SQLWCHAR> name(256);
        rc = SQLDescribeColW(statement.Get(), number, name.data(), static_cast<SQLSMALLINT>(name.size()),
                             &nameLength, &sqlType, &size, &digits, &nullable);
        if (rc == SQL_SUCCESS_WITH_INFO && static_cast<std::size_t>(nameLength) >= name.size()) {
            name.resize(static_cast<std::size_t>(nameLength) + 1);
            rc = SQLDescribeColW(statement.Get(), number, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                 &nameLength, &sqlType, &size, &digits, &nullable);
        }
        column.name =
            FromOdbcText(name.data(), static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0)));
    }
    column.sqlType = sqlType;
    column.nullability = nullable;
    return rc;
}

bool IsCharacterSqlType(SQLSMALLINT sqlType) {
    return sqlType == SQL_CHAR || sqlType == SQL_VARCHAR || sqlType == SQL_WCHAR || sqlType == SQL_WVARCHAR;
}

} // namespace

std::vector<ColumnDescription> DescribeColumns(StatementHandle& statement) {
    SQLHSTMT handle = statement.Get();
    SQLSMALLINT count = 0;
    statement.Check(SQLNumResultCols(handle, &count), u"Counting the result columns");
    std::vector<ColumnDescription> columns;
    columns.reserve(static_cast<std::size_t>(std::max<SQLSMALLINT>(count, 0)));
    for (SQLUSMALLINT number = 1; number <= count; ++number) {
        ColumnDescription column;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        statement.Check(DescribeColumn(statement, number, column, size, digits),
                        u"Describing a result column");
        column.length = static_cast<std::int64_t>(
            NumericAttribute(handle, number, SQL_DESC_LENGTH, static_cast<SQLLEN>(size)));
        if (column.length <= 0) {
            column.length = static_cast<std::int64_t>(size);
        }
        column.precision = static_cast<std::int16_t>(
            NumericAttribute(handle, number, SQL_DESC_PRECISION, static_cast<SQLLEN>(size)));
        column.scale = static_cast<std::int16_t>(NumericAttribute(handle, number, SQL_DESC_SCALE, digits));
        if (IsCharacterSqlType(column.sqlType)) {
            const std::u16string typeName =
                TextAttribute(handle, number, SQL_DESC_TYPE_NAME, statement.Encoding());
            if (std::optional<ExactNumber> declared = DeclaredExactNumber(typeName)) {
                // A result column's type name comes without its digits: the driver gives the
                // declared digits as the size and the decimals as the precision.
                if (declared->precision == 0 && size > 0) {
                    declared->precision = static_cast<std::int32_t>(std::min<SQLULEN>(size, 1000));
                    declared->scale = column.precision >= 0 && column.precision < declared->precision
                                          ? column.precision
                                          : 0;
                }
                column.sqlType = SQL_DECIMAL;
                column.precision = static_cast<std::int16_t>(declared->precision);
                column.scale = static_cast<std::int16_t>(declared->scale);
            }
        }
        column.isUnsigned = NumericAttribute(handle, number, SQL_DESC_UNSIGNED, SQL_FALSE) == SQL_TRUE;
        column.isAutoIncrement =
            NumericAttribute(handle, number, SQL_DESC_AUTO_UNIQUE_VALUE, SQL_FALSE) == SQL_TRUE;
        column.isMoney = NumericAttribute(handle, number, SQL_DESC_FIXED_PREC_SCALE, SQL_FALSE) == SQL_TRUE;
        column.updatability = static_cast<std::int16_t>(
            NumericAttribute(handle, number, SQL_DESC_UPDATABLE, SQL_ATTR_READWRITE_UNKNOWN));
        column.baseCatalog = TextAttribute(handle, number, SQL_DESC_CATALOG_NAME, statement.Encoding());
        column.baseSchema = TextAttribute(handle, number, SQL_DESC_SCHEMA_NAME, statement.Encoding());
        column.baseTable = TextAttribute(handle, number, SQL_DESC_BASE_TABLE_NAME, statement.Encoding());
        column.baseColumn = TextAttribute(handle, number, SQL_DESC_BASE_COLUMN_NAME, statement.Encoding());
        columns.push_back(std::move(column));
    }
    return columns;
}

std::optional<ExactNumber> DeclaredExactNumber(std::u16string_view typeName) {
    const std::u16string lower = automation::ToLower(typeName);
    if (!lower.starts_with(u"decimal") && !lower.starts_with(u"numeric")) {
        return std::nullopt;
    }
    ExactNumber number;
    const std::size_t open = lower.find(u'(');
    if (open == std::u16string::npos) {
        return number;
    }
    std::int32_t values[2] = {0, 0};
    std::size_t count = 0;
    bool inNumber = false;
    for (std::size_t at = open + 1; at < lower.size() && lower[at] != u')' && count < 2; ++at) {
        const char16_t c = lower[at];
        if (c >= u'0' && c <= u'9') {
            values[count] = std::min(values[count] * 10 + (c - u'0'), 1000);
            inNumber = true;
        } else if (c == u',' && inNumber) {
            ++count;
            inNumber = false;
        }
    }
    number.precision = values[0];
    number.scale = values[1];
    return number;
}

std::int32_t AdoType(std::int16_t sqlType, bool isUnsigned, bool isMoney) {
    switch (sqlType) {
    case SQL_CHAR:
        return DataType::Char;
    case SQL_VARCHAR:
        return DataType::VarChar;
    case SQL_LONGVARCHAR:
        return DataType::LongVarChar;
    case SQL_WCHAR:
        return DataType::WChar;
    case SQL_WVARCHAR:
        return DataType::VarWChar;
    case SQL_WLONGVARCHAR:
        return DataType::LongVarWChar;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        // Money types are exact numbers of fixed scale, which is what Currency holds.
        return isMoney ? DataType::Currency : DataType::Numeric;
    case SQL_SMALLINT:
        return isUnsigned ? DataType::UnsignedSmallInt : DataType::SmallInt;
    case SQL_INTEGER:
        return isUnsigned ? DataType::UnsignedInt : DataType::Integer;
    case SQL_TINYINT:
        return isUnsigned ? DataType::UnsignedTinyInt : DataType::TinyInt;
    case SQL_BIGINT:
        return isUnsigned ? DataType::UnsignedBigInt : DataType::BigInt;
    case SQL_REAL:
        return DataType::Single;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return DataType::Double;
    case SQL_BIT:
        return DataType::Boolean;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return DataType::DBDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        return DataType::DBTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return DataType::DBTimeStamp;
    case SQL_BINARY:
        return DataType::Binary;
    case SQL_VARBINARY:
        return DataType::VarBinary;
    case SQL_LONGVARBINARY:
        return DataType::LongVarBinary;
    case SQL_GUID:
        return DataType::GUID;
    default:
        // Intervals and driver-specific types have no ADO equivalent.
        return DataType::Variant;
    }
}

bool IsTextType(std::int32_t adoType) {
    return adoType == DataType::Char || adoType == DataType::VarChar || adoType == DataType::LongVarChar ||
           adoType == DataType::WChar || adoType == DataType::VarWChar || adoType == DataType::LongVarWChar;
}

bool IsLongType(std::int32_t adoType) {
    return adoType == DataType::LongVarChar || adoType == DataType::LongVarWChar ||
           adoType == DataType::LongVarBinary;
}

bool IsFixedLengthType(std::int32_t adoType) {
    return !(adoType == DataType::VarChar || adoType == DataType::VarWChar ||
             adoType == DataType::VarBinary || IsLongType(adoType) || adoType == DataType::Variant);
}

std::int32_t DefinedSize(std::int32_t adoType, std::int64_t length) {
    switch (adoType) {
    case DataType::TinyInt:
    case DataType::UnsignedTinyInt:
        return 1;
    case DataType::SmallInt:
    case DataType::UnsignedSmallInt:
    case DataType::Boolean:
        return 2;
    case DataType::Integer:
    case DataType::UnsignedInt:
    case DataType::Single:
        return 4;
    case DataType::BigInt:
    case DataType::UnsignedBigInt:
    case DataType::Double:
    case DataType::Currency:
    case DataType::Date:
        return 8;
    case DataType::DBDate:
    case DataType::DBTime:
        return 6;
    case DataType::DBTimeStamp:
    case DataType::GUID:
    case DataType::Decimal:
        return 16;
    case DataType::Numeric:
        return 19;
    default:
        break;
    }
    // Variable and long types: what the driver says, with "no limit" (0, negative or beyond
    // 32 bits) read as the largest size.
    if (length <= 0 || length > MaxSize) {
        return MaxSize;
    }
    return static_cast<std::int32_t>(length);
}

std::uint8_t Precision(std::int32_t adoType, std::int64_t exactPrecision, std::int16_t fractionDigits) {
    switch (adoType) {
    case DataType::TinyInt:
    case DataType::UnsignedTinyInt:
        return 3;
    case DataType::SmallInt:
    case DataType::UnsignedSmallInt:
        return 5;
    case DataType::Integer:
    case DataType::UnsignedInt:
        return 10;
    case DataType::BigInt:
        return 19;
    case DataType::UnsignedBigInt:
        return 20;
    case DataType::Single:
        return 7;
    case DataType::Double:
        return 15;
    case DataType::Currency:
        return 19;
    case DataType::Numeric:
    case DataType::Decimal:
        return static_cast<std::uint8_t>(std::clamp<std::int64_t>(exactPrecision, 0, 255));
    case DataType::DBTimeStamp:
        return static_cast<std::uint8_t>(fractionDigits > 0 ? 20 + std::min<std::int16_t>(fractionDigits, 9)
                                                            : 19);
    default:
        return 255;
    }
}

namespace {

std::uint8_t ScaleOf(std::int32_t adoType, const ColumnDescription& column) {
    switch (adoType) {
    case DataType::Numeric:
    case DataType::Decimal:
    case DataType::DBTimeStamp:
        return static_cast<std::uint8_t>(std::clamp<std::int64_t>(column.scale, 0, 255));
    case DataType::Currency:
        return 4;
    default:
        return 255;
    }
}

} // namespace

FieldDescription ToFieldDescription(const ColumnDescription& column) {
    FieldDescription field;
    field.name = column.name;
    field.type = AdoType(column.sqlType, column.isUnsigned, column.isMoney);
    field.definedSize = DefinedSize(field.type, column.length);
    field.precision = Precision(field.type, column.precision, column.scale);
    field.numericScale = ScaleOf(field.type, column);
    field.isAutoIncrement = column.isAutoIncrement;

    std::int32_t attributes = 0;
    if (column.nullability == SQL_NULLABLE) {
        attributes |= FieldAttribute::IsNullable | FieldAttribute::MayBeNull;
    } else if (column.nullability == SQL_NULLABLE_UNKNOWN) {
        attributes |= FieldAttribute::MayBeNull;
    }
    if (column.updatability == SQL_ATTR_WRITE && !column.isAutoIncrement) {
        // The database fills an auto-increment column itself; nobody may write it.
        attributes |= FieldAttribute::Updatable;
    } else if (column.updatability == SQL_ATTR_READWRITE_UNKNOWN) {
        attributes |= FieldAttribute::UnknownUpdatable;
    }
    if (IsFixedLengthType(field.type)) {
        attributes |= FieldAttribute::Fixed;
    }
    if (IsLongType(field.type)) {
        attributes |= FieldAttribute::Long;
    }
    field.attributes = attributes;

    field.baseCatalogName = column.baseCatalog;
    field.baseSchemaName = column.baseSchema;
    field.baseTableName = column.baseTable;
    field.baseColumnName = column.baseColumn;
    return field;
}

namespace {

/// Reads a value in pieces until the driver has given all of it: long text and binary values
/// come in as many calls as they need.
template <class Unit>
std::optional<std::vector<Unit>> ReadPieces(StatementHandle& statement, SQLUSMALLINT column,
                                            SQLSMALLINT cType) {
    std::vector<Unit> value;
    std::vector<Unit> buffer(4096);
    // Text arrives NUL-terminated, so each piece holds one unit less than the buffer.
    const std::size_t terminator = cType == SQL_C_BINARY ? 0 : 1;
    while (true) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(statement.Get(), column, cType, buffer.data(),
                                  static_cast<SQLLEN>(buffer.size() * sizeof(Unit)), &indicator);
        if (rc == SQL_NO_DATA) {
            return value;
        }
        statement.Check(rc, u"Reading a value");
        if (indicator == SQL_NULL_DATA) {
            return std::nullopt;
        }
        std::size_t capacity = buffer.size() - terminator;
        std::size_t received = capacity;
        if (indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) / sizeof(Unit) < capacity) {
            received = static_cast<std::size_t>(indicator) / sizeof(Unit);
        }
        if (rc == SQL_SUCCESS && terminator == 1 && received < capacity) {
            // MariaDB's driver counts a wide value beyond Latin-1 short; the terminator it
            // writes after the whole value tells the truth.
            received = static_cast<std::size_t>(
                std::find(buffer.begin() + static_cast<std::ptrdiff_t>(received),
                          buffer.begin() + static_cast<std::ptrdiff_t>(capacity), Unit{0}) -
                buffer.begin());
        }
        value.insert(value.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(received));
        if (rc == SQL_SUCCESS) {
            return value;
        }
        // SQL_SUCCESS_WITH_INFO: the piece was cut short (01004); the rest follows.
        if (indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) / sizeof(Unit) <= capacity) {
            return value;
        }
    }
}

template <class T>
std::optional<T> ReadFixed(StatementHandle& statement, SQLUSMALLINT column, SQLSMALLINT cType) {
    T value{};
    SQLLEN indicator = 0;
    statement.Check(SQLGetData(statement.Get(), column, cType, &value, sizeof(value), &indicator),
                    u"Reading a value");
    if (indicator == SQL_NULL_DATA) {
        return std::nullopt;
    }
    return value;
}

Variant IntegerVariant(std::int64_t value) {
    // Our values have no 64-bit integer subtype: a value beyond Long becomes a Double.
    if (value >= std::numeric_limits<std::int32_t>::min() &&
        value <= std::numeric_limits<std::int32_t>::max()) {
        return Variant(static_cast<std::int32_t>(value));
    }
    return Variant(static_cast<double>(value));
}

/// Currency from decimal text, rounded half to even at the fourth decimal place.
std::optional<automation::Currency> ParseCurrency(std::string_view text) {
    bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    std::int64_t scaled = 0;
    int decimals = -1;
    int roundDigit = -1;
    bool sticky = false;
    for (char c : text) {
        if (c == '.') {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        if (decimals >= 4) {
            if (roundDigit < 0) {
                roundDigit = c - '0';
            } else if (c != '0') {
                sticky = true;
            }
            continue;
        }
        if (scaled > (std::numeric_limits<std::int64_t>::max() - 9) / 10) {
            return std::nullopt;
        }
        scaled = scaled * 10 + (c - '0');
        if (decimals >= 0) {
            ++decimals;
        }
    }
    for (int place = std::max(decimals, 0); place < 4; ++place) {
        if (scaled > std::numeric_limits<std::int64_t>::max() / 10) {
            return std::nullopt;
        }
        scaled *= 10;
    }
    if (roundDigit > 5 || (roundDigit == 5 && (sticky || scaled % 2 != 0))) {
        ++scaled;
    }
    return automation::Currency::FromScaled(negative ? -scaled : scaled);
}

Variant TextVariant(const std::vector<SQLWCHAR>& units) {
    return Variant(FromOdbcText(units.data(), units.size()));
}

/// The text of a date or time stamp that lies outside the runtime's dates (before year 100 or
/// after 9999), so that such a value still reads as what the database holds.
Variant DateText(int year, int month, int day, int hour = -1, int minute = 0, int second = 0) {
    char text[40];
    int length = hour < 0 ? std::snprintf(text, sizeof(text), "%04d-%02d-%02d", year, month, day)
                          : std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", year, month,
                                          day, hour, minute, second);
    return Variant(
        automation::FromUtf8(std::string_view(text, static_cast<std::size_t>(std::max(length, 0)))));
}

Variant ReadValue(StatementHandle& statement, SQLUSMALLINT number, std::int32_t adoType) {
    switch (adoType) {
    case DataType::Boolean: {
        auto value = ReadFixed<unsigned char>(statement, number, SQL_C_BIT);
        return value ? Variant(*value != 0) : Variant::Null();
    }
    case DataType::UnsignedTinyInt: {
        auto value = ReadFixed<unsigned char>(statement, number, SQL_C_UTINYINT);
        return value ? Variant(static_cast<std::uint8_t>(*value)) : Variant::Null();
    }
    case DataType::TinyInt:
    case DataType::SmallInt: {
        auto value = ReadFixed<SQLSMALLINT>(statement, number, SQL_C_SSHORT);
        return value ? Variant(static_cast<std::int16_t>(*value)) : Variant::Null();
    }
    case DataType::UnsignedSmallInt:
    case DataType::Integer: {
        auto value = ReadFixed<SQLINTEGER>(statement, number, SQL_C_SLONG);
        return value ? Variant(static_cast<std::int32_t>(*value)) : Variant::Null();
    }
    case DataType::UnsignedInt:
    case DataType::BigInt: {
        auto value = ReadFixed<SQLBIGINT>(statement, number, SQL_C_SBIGINT);
        return value ? IntegerVariant(*value) : Variant::Null();
    }
    case DataType::UnsignedBigInt: {
        auto value = ReadFixed<SQLUBIGINT>(statement, number, SQL_C_UBIGINT);
        if (!value) {
            return Variant::Null();
        }
        return *value <= static_cast<SQLUBIGINT>(std::numeric_limits<std::int32_t>::max())
                   ? Variant(static_cast<std::int32_t>(*value))
                   : Variant(static_cast<double>(*value));
    }
    case DataType::Single: {
        auto value = ReadFixed<SQLREAL>(statement, number, SQL_C_FLOAT);
        return value ? Variant(static_cast<float>(*value)) : Variant::Null();
    }
    case DataType::Double: {
        auto value = ReadFixed<SQLDOUBLE>(statement, number, SQL_C_DOUBLE);
        return value ? Variant(static_cast<double>(*value)) : Variant::Null();
    }
    case DataType::Numeric:
    case DataType::Currency: {
        // Read exact numbers as text, so that no driver rounds them on the way.
        auto text = ReadPieces<char>(statement, number, SQL_C_CHAR);
        if (!text) {
            return Variant::Null();
        }
        std::string_view digits(text->data(), text->size());
        if (adoType == DataType::Currency) {
            if (auto currency = ParseCurrency(digits)) {
                return Variant(*currency);
            }
        }
        double parsed = 0;
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
        if (error == std::errc() && end == digits.data() + digits.size()) {
            // Our values have no Decimal subtype: an exact number reads as a Double.
            return Variant(parsed);
        }
        return Variant(automation::FromUtf8(digits));
    }
    case DataType::DBDate: {
        auto value = ReadFixed<SQL_DATE_STRUCT>(statement, number, SQL_C_TYPE_DATE);
        if (!value) {
            return Variant::Null();
        }
        if (auto serial = automation::DateFromParts(value->year, value->month, value->day)) {
            return Variant::FromDate(*serial);
        }
        return DateText(value->year, value->month, value->day);
    }
    case DataType::DBTime: {
        auto value = ReadFixed<SQL_TIME_STRUCT>(statement, number, SQL_C_TYPE_TIME);
        if (!value) {
            return Variant::Null();
        }
        return Variant::FromDate(automation::TimeFromParts(value->hour, value->minute, value->second));
    }
    case DataType::DBTimeStamp: {
        auto value = ReadFixed<SQL_TIMESTAMP_STRUCT>(statement, number, SQL_C_TYPE_TIMESTAMP);
        if (!value) {
            return Variant::Null();
        }
        if (auto serial = automation::DateFromParts(value->year, value->month, value->day)) {
            // Dates before the epoch count their time backwards from the day, as in the runtime.
            double time = automation::TimeFromParts(value->hour, value->minute, value->second) +
                          static_cast<double>(value->fraction) / 1e9 / 86400.0;
            return Variant::FromDate(*serial >= 0 ? *serial + time : *serial - time);
        }
        return DateText(value->year, value->month, value->day, value->hour, value->minute, value->second);
    }
    case DataType::Binary:
    case DataType::VarBinary:
    case DataType::LongVarBinary: {
        auto bytes = ReadPieces<unsigned char>(statement, number, SQL_C_BINARY);
        if (!bytes) {
            return Variant::Null();
        }
        std::vector<automation::SafeArray::Bound> bounds{{0, static_cast<std::int32_t>(bytes->size())}};
        auto array = automation::MakeRef<automation::SafeArray>(automation::VarType::Byte, std::move(bounds));
        for (std::size_t index = 0; index < bytes->size(); ++index) {
            array->Elements()[index] = Variant(static_cast<std::uint8_t>((*bytes)[index]));
        }
        return Variant(std::move(array));
    }
    default:
        break;
    }
    // Text, GUIDs and anything without a better form: the driver's text of the value.
    auto units = ReadPieces<SQLWCHAR>(statement, number, SQL_C_WCHAR);
    if (!units) {
        return Variant::Null();
    }
    if (adoType == DataType::GUID && !units->empty() && units->front() != u'{') {
        return Variant(u"{" + automation::ToUpper(FromOdbcText(units->data(), units->size())) + u"}");
    }
    return TextVariant(*units);
}

} // namespace

void FetchAll(StatementHandle& statement, const std::vector<ColumnDescription>& columns,
              std::vector<Variant>& values) {
    std::vector<std::int32_t> types;
    types.reserve(columns.size());
    for (const ColumnDescription& column : columns) {
        types.push_back(AdoType(column.sqlType, column.isUnsigned, column.isMoney));
    }
    while (true) {
        SQLRETURN rc = SQLFetch(statement.Get());
        if (rc == SQL_NO_DATA) {
            return;
        }
        statement.Check(rc, u"Fetching a row");
        for (std::size_t index = 0; index < columns.size(); ++index) {
            values.push_back(ReadValue(statement, static_cast<SQLUSMALLINT>(index + 1), types[index]));
        }
    }
}

} // namespace qv::ado::internal
