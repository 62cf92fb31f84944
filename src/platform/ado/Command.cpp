#include "platform/ado/Command.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Constants.h"
#include "platform/ado/internal/ConnectionImpl.h"
#include "platform/ado/internal/ResultSet.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace qv::ado {

using automation::Variant;

namespace {

constexpr std::u16string_view Source = u"Command";

/// One bound value: the bytes the driver reads at execution, and its length or NULL marker.
/// Both must stay where they are until the statement has run.
struct BoundValue {
    std::vector<unsigned char> bytes;
    SQLLEN indicator = 0;
    SQLSMALLINT cType = SQL_C_CHAR;
    SQLSMALLINT sqlType = SQL_VARCHAR;
    SQLULEN columnSize = 0;
    SQLSMALLINT decimalDigits = 0;
};

template <class T> void Store(BoundValue& bound, const T& value) {
    bound.bytes.resize(sizeof(T));
    std::memcpy(bound.bytes.data(), &value, sizeof(T));
    bound.indicator = static_cast<SQLLEN>(sizeof(T));
}

void StoreText(BoundValue& bound, const std::string& text) {
    bound.bytes.assign(text.begin(), text.end());
    bound.bytes.push_back(0);
    bound.indicator = static_cast<SQLLEN>(text.size());
}

[[noreturn]] void RaiseWrongType(std::int32_t type) {
    automation::Raise(ErrorNumber::InvalidArgument, std::u16string(Source),
                      u"Arguments are of the wrong type, are out of acceptable range, or are in conflict "
                      u"with one another. (parameter type " +
                          automation::FromUtf8(std::to_string(type)) + u")");
}

std::int64_t WholeNumber(const Variant& value) {
    // Rounded half to even, as the runtime converts to whole numbers.
    const double number = std::nearbyint(automation::ToDouble(value));
    if (!(number >= -9.2233720368547758e18 && number < 9.2233720368547758e18)) {
        automation::Raise(automation::ErrorNumber::Overflow);
    }
    return static_cast<std::int64_t>(number);
}

/// An exact number as the text the driver converts, with a point whatever the locale: the
/// Currency value's own digits, or a Double with the parameter's scale.
std::string ExactText(const Variant& value, const ParameterValue& parameter) {
    if (value.Type() == automation::VarType::Currency || parameter.type == DataType::Currency) {
        const std::int64_t scaled = automation::ToCurrency(value).Scaled();
        const std::uint64_t magnitude =
            scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
        std::string digits =
            std::to_string(magnitude / 10000) + "." + std::to_string(10000 + magnitude % 10000).substr(1);
        return scaled < 0 ? "-" + digits : digits;
    }
    const double number = automation::ToDouble(value);
    if (!std::isfinite(number)) {
        automation::Raise(automation::ErrorNumber::Overflow);
    }
    char buffer[400];
    std::to_chars_result written{};
    if (parameter.numericScale > 0 || parameter.precision > 0) {
        written = std::to_chars(buffer, buffer + sizeof(buffer), number, std::chars_format::fixed,
                                static_cast<int>(parameter.numericScale));
    } else {
        written = std::to_chars(buffer, buffer + sizeof(buffer), number, std::chars_format::fixed);
    }
    return std::string(buffer, written.ptr);
}

std::vector<unsigned char> BinaryBytes(const Variant& value) {
    const Variant& plain = value.Deref();
    std::vector<unsigned char> bytes;
    if (plain.IsArray()) {
        for (const Variant& element : plain.ArrayValue()->Elements()) {
            bytes.push_back(automation::ToByte(element));
        }
        return bytes;
    }
    // Text taken as binary is its UTF-16 units, low byte first, as the runtime stores strings.
    for (char16_t unit : automation::ToString(plain)) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

// One family of parameter types each: the C and SQL types the driver is told, and the value in
// the C type's layout unless it is NULL (Bind then marks it so).

void BindWholeNumber(BoundValue& bound, std::int32_t type, const Variant& value, bool isNull) {
    bound.cType = SQL_C_SBIGINT;
    bound.sqlType = SQL_SMALLINT;
    if (type == DataType::BigInt || type == DataType::UnsignedBigInt || type == DataType::UnsignedInt) {
        bound.sqlType = SQL_BIGINT;
    } else if (type == DataType::Integer) {
        bound.sqlType = SQL_INTEGER;
    }
    if (!isNull) {
        Store(bound, static_cast<SQLBIGINT>(WholeNumber(value)));
    }
}

void BindFloatingPoint(BoundValue& bound, const Variant& value, bool isNull) {
    bound.cType = SQL_C_DOUBLE;
    bound.sqlType = SQL_DOUBLE;
    bound.columnSize = 15;
    if (!isNull) {
        Store(bound, static_cast<SQLDOUBLE>(automation::ToDouble(value)));
    }
}

void BindExactNumber(BoundValue& bound, const ParameterValue& parameter, const Variant& value, bool isNull) {
    const std::int32_t type = parameter.type;
    bound.cType = SQL_C_CHAR;
    bound.sqlType = SQL_NUMERIC;
    if (type == DataType::Decimal) {
        bound.sqlType = SQL_DECIMAL;
    }
    bound.columnSize = parameter.precision > 0 ? parameter.precision : 19;
    bound.decimalDigits = static_cast<SQLSMALLINT>(type == DataType::Currency ? 4 : parameter.numericScale);
    if (!isNull) {
        const std::string text = ExactText(value, parameter);
        if (parameter.precision == 0) {
            bound.columnSize = std::max<SQLULEN>(bound.columnSize, text.size());
        }
        StoreText(bound, text);
    }
}

void BindBoolean(BoundValue& bound, const Variant& value, bool isNull) {
    bound.cType = SQL_C_BIT;
    bound.sqlType = SQL_BIT;
    bound.columnSize = 1;
    if (!isNull) {
        Store(bound, static_cast<unsigned char>(automation::ToBoolean(value) ? 1 : 0));
    }
}

void BindDateTime(BoundValue& bound, std::int32_t type, const Variant& value, bool isNull) {
    bound.cType = SQL_C_TYPE_TIMESTAMP;
    bound.sqlType = SQL_TYPE_TIMESTAMP;
    if (type == DataType::DBDate) {
        bound.cType = SQL_C_TYPE_DATE;
        bound.sqlType = SQL_TYPE_DATE;
    } else if (type == DataType::DBTime) {
        bound.cType = SQL_C_TYPE_TIME;
        bound.sqlType = SQL_TYPE_TIME;
    }
    bound.columnSize = type == DataType::DBDate ? 10 : (type == DataType::DBTime ? 8 : 19);
    if (isNull) {
        return;
    }
    const automation::DateParts parts = automation::SplitDate(automation::ToDate(value));
    if (type == DataType::DBDate) {
        SQL_DATE_STRUCT date{static_cast<SQLSMALLINT>(parts.year), static_cast<SQLUSMALLINT>(parts.month),
                             static_cast<SQLUSMALLINT>(parts.day)};
        Store(bound, date);
    } else if (type == DataType::DBTime) {
        SQL_TIME_STRUCT time{static_cast<SQLUSMALLINT>(parts.hour), static_cast<SQLUSMALLINT>(parts.minute),
                             static_cast<SQLUSMALLINT>(parts.second)};
        Store(bound, time);
    } else {
        SQL_TIMESTAMP_STRUCT stamp{static_cast<SQLSMALLINT>(parts.year),
                                   static_cast<SQLUSMALLINT>(parts.month),
                                   static_cast<SQLUSMALLINT>(parts.day),
                                   static_cast<SQLUSMALLINT>(parts.hour),
                                   static_cast<SQLUSMALLINT>(parts.minute),
                                   static_cast<SQLUSMALLINT>(parts.second),
                                   0};
        Store(bound, stamp);
    }
}

void BindBinary(BoundValue& bound, const ParameterValue& parameter, const Variant& value, bool isNull) {
    bound.cType = SQL_C_BINARY;
    bound.sqlType = static_cast<SQLSMALLINT>(parameter.type == DataType::LongVarBinary ? SQL_LONGVARBINARY
                                                                                       : SQL_VARBINARY);
    bound.columnSize = static_cast<SQLULEN>(std::max(parameter.size, 1));
    if (!isNull) {
        bound.bytes = BinaryBytes(value);
        bound.indicator = static_cast<SQLLEN>(bound.bytes.size());
        bound.columnSize = std::max<SQLULEN>(bound.columnSize, bound.bytes.size());
    }
}

void BindText(BoundValue& bound, const ParameterValue& parameter, const Variant& value, bool isNull,
              internal::TextEncoding encoding) {
    const bool isLong = parameter.type == DataType::LongVarChar || parameter.type == DataType::LongVarWChar;
    // Text goes in the encoding the driver reads correctly (see TextEncoding).
    const bool narrow = encoding == internal::TextEncoding::Utf8;
    if (narrow) {
        bound.cType = SQL_C_CHAR;
        bound.sqlType = isLong ? SQLSMALLINT{SQL_LONGVARCHAR} : SQLSMALLINT{SQL_VARCHAR};
    } else {
        bound.cType = SQL_C_WCHAR;
        bound.sqlType = isLong ? SQLSMALLINT{SQL_WLONGVARCHAR} : SQLSMALLINT{SQL_WVARCHAR};
    }
    bound.columnSize = static_cast<SQLULEN>(std::max(parameter.size, 1));
    if (isNull) {
        return;
    }
    const std::u16string text = automation::ToString(value);
    bound.columnSize = std::max<SQLULEN>(bound.columnSize, text.size());
    if (narrow) {
        StoreText(bound, automation::ToUtf8(text));
    } else {
        std::vector<internal::OdbcChar> units = internal::ToOdbcText(text);
        bound.bytes.resize(units.size() * sizeof(internal::OdbcChar));
        std::memcpy(bound.bytes.data(), units.data(), bound.bytes.size());
        bound.indicator = static_cast<SQLLEN>(text.size() * sizeof(internal::OdbcChar));
    }
}

BoundValue Bind(const ParameterValue& parameter, internal::TextEncoding encoding) {
    BoundValue bound;
    const Variant& value = parameter.value.Deref();
    const bool isNull = value.IsNull() || value.IsEmpty();
    const std::int32_t type = parameter.type;
    switch (type) {
    case DataType::TinyInt:
    case DataType::UnsignedTinyInt:
    case DataType::SmallInt:
    case DataType::UnsignedSmallInt:
    case DataType::Integer:
    case DataType::UnsignedInt:
    case DataType::BigInt:
    case DataType::UnsignedBigInt:
        BindWholeNumber(bound, type, value, isNull);
        break;
    case DataType::Single:
    case DataType::Double:
        BindFloatingPoint(bound, value, isNull);
        break;
    case DataType::Currency:
    case DataType::Decimal:
    case DataType::Numeric:
    case 139: // VarNumeric
        BindExactNumber(bound, parameter, value, isNull);
        break;
    case DataType::Boolean:
        BindBoolean(bound, value, isNull);
        break;
    case DataType::Date:
    case DataType::DBTimeStamp:
    case DataType::DBDate:
    case DataType::DBTime:
        BindDateTime(bound, type, value, isNull);
        break;
    case DataType::Binary:
    case DataType::VarBinary:
    case DataType::LongVarBinary:
        BindBinary(bound, parameter, value, isNull);
        break;
    case DataType::BSTR:
    case DataType::Char:
    case DataType::WChar:
    case DataType::VarChar:
    case DataType::VarWChar:
    case DataType::LongVarChar:
    case DataType::LongVarWChar:
    case DataType::GUID:
    case DataType::Variant:
        BindText(bound, parameter, value, isNull, encoding);
        break;
    default:
        RaiseWrongType(type);
    }
    if (isNull) {
        bound.bytes.assign(16, 0);
        bound.indicator = SQL_NULL_DATA;
    }
    return bound;
}

} // namespace

CommandResult ExecuteCommand(Connection& connection, std::u16string_view sql,
                             std::span<const ParameterValue> parameters) {
    internal::ConnectionImpl& impl = connection.Impl();
    internal::ConnectionHandle& handle = impl.OpenHandle(Source);
    impl.errors->Clear();

    // Every value is converted before the driver sees anything, so a bad one changes nothing.
    std::vector<BoundValue> bound;
    bound.reserve(parameters.size());
    for (const ParameterValue& parameter : parameters) {
        bound.push_back(Bind(parameter, impl.encoding));
    }

    internal::StatementHandle statement(handle, *impl.errors, impl.encoding);
    internal::DriverText text(sql, impl.encoding);
    SQLRETURN rc = text.Encoding() == internal::TextEncoding::Utf16
                       ? SQLPrepareW(statement.Get(), text.Wide(), SQL_NTS)
                       : SQLPrepare(statement.Get(), text.Narrow(), SQL_NTS);
    statement.Check(rc, u"Preparing the statement");
    for (std::size_t index = 0; index < bound.size(); ++index) {
        BoundValue& value = bound[index];
        statement.Check(SQLBindParameter(statement.Get(), static_cast<SQLUSMALLINT>(index + 1),
                                         SQL_PARAM_INPUT, value.cType, value.sqlType, value.columnSize,
                                         value.decimalDigits, value.bytes.data(),
                                         static_cast<SQLLEN>(value.bytes.size()), &value.indicator),
                        u"Binding a parameter");
    }
    rc = SQLExecute(statement.Get());
    CommandResult result;
    if (rc == SQL_NO_DATA) {
        // A searched UPDATE or DELETE that found no row.
        result.recordsAffected = 0;
        return result;
    }
    statement.Check(rc, u"Running the statement");
    std::vector<internal::ColumnDescription> columns = internal::DescribeColumns(statement);
    if (!columns.empty()) {
        std::vector<Variant> values;
        internal::FetchAll(statement, columns, values);
        std::vector<Field> fields;
        fields.reserve(columns.size());
        for (const internal::ColumnDescription& column : columns) {
            fields.emplace_back(internal::ToFieldDescription(column));
        }
        result.rows = Recordset(ado::Fields(std::move(fields)), std::move(values));
        return result;
    }
    SQLLEN count = -1;
    if (SQL_SUCCEEDED(SQLRowCount(statement.Get(), &count))) {
        result.recordsAffected = count;
    }
    return result;
}

} // namespace qv::ado
