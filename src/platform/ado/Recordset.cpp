#include "platform/ado/Recordset.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Constants.h"
#include "platform/ado/SqlText.h"
#include "platform/ado/internal/ConnectionImpl.h"
#include "platform/ado/internal/ResultSet.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <sql.h>
#include <sqlext.h>

#include <cassert>

namespace qv::ado {

using automation::Variant;

namespace {

constexpr std::u16string_view Source = u"Recordset";

/// The statement to hand to the driver, after refusing anything but one query: some drivers
/// run a statement as soon as it is prepared, so a stored DELETE must never get that far.
std::u16string CheckedQuery(const internal::ConnectionImpl& impl, std::u16string_view sql) {
    const std::u16string name = automation::ToLower(impl.dbmsName);
    QueryServer server = QueryServer::Other;
    if (name == u"sqlite") {
        server = QueryServer::SQLite;
    } else if (name == u"postgresql") {
        server = QueryServer::PostgreSQL;
    } else if (name.find(u"mariadb") != std::u16string::npos || name.find(u"mysql") != std::u16string::npos) {
        server = QueryServer::MySql;
    }
    QueryCheck check = CheckSingleQuery(sql, server);
    if (!check.IsQuery()) {
        automation::Raise(ErrorNumber::InvalidArgument, std::u16string(Source),
                          u"Only a single SELECT statement can be read here, and this text is refused: " +
                              check.refusal + u".");
    }
    return std::move(check.statement);
}

ado::Fields FieldsOf(const std::vector<internal::ColumnDescription>& columns) {
    std::vector<Field> fields;
    fields.reserve(columns.size());
    for (const internal::ColumnDescription& column : columns) {
        fields.emplace_back(internal::ToFieldDescription(column));
    }
    return ado::Fields(std::move(fields));
}

/// True when `described` is what SQLite's driver makes of `whole` in a column description: the
/// part after its last ".".
bool IsShortenedName(std::u16string_view whole, std::u16string_view described) {
    const std::size_t dot = whole.rfind(u'.');
    return dot != std::u16string_view::npos && whole.substr(dot + 1) == described;
}

} // namespace

Recordset::Recordset(ado::Fields fields, std::vector<Variant> values)
    : mFields(std::move(fields)), mValues(std::move(values)), mIsOpen(true) {
    std::size_t width = static_cast<std::size_t>(mFields.Count());
    assert((width == 0 ? mValues.empty() : mValues.size() % width == 0) && "values must fill whole rows");
    mRowCount = width == 0 ? 0 : mValues.size() / width;
}

Recordset Recordset::Open(Connection& connection, std::u16string_view sql) {
    internal::ConnectionImpl& impl = connection.Impl();
    std::u16string statementText = CheckedQuery(impl, sql);
    internal::ConnectionHandle& handle = impl.OpenHandle(Source);
    impl.errors->Clear();
    internal::StatementHandle statement(handle, *impl.errors, impl.encoding);
    internal::DriverText text(statementText, impl.encoding);
    SQLRETURN rc = text.Encoding() == internal::TextEncoding::Utf16
                       ? SQLExecDirectW(statement.Get(), text.Wide(), SQL_NTS)
                       : SQLExecDirect(statement.Get(), text.Narrow(), SQL_NTS);
    statement.Check(rc, u"Running the query");
    std::vector<internal::ColumnDescription> columns = internal::DescribeColumns(statement);
    std::vector<Variant> values;
    internal::FetchAll(statement, columns, values);
    return Recordset(FieldsOf(columns), std::move(values));
}

Recordset Recordset::Describe(Connection& connection, std::u16string_view sql) {
    internal::ConnectionImpl& impl = connection.Impl();
    std::u16string statementText = CheckedQuery(impl, sql);
    internal::ConnectionHandle& handle = impl.OpenHandle(Source);
    impl.errors->Clear();
    internal::StatementHandle statement(handle, *impl.errors, impl.encoding);
    internal::DriverText text(statementText, impl.encoding);
    SQLRETURN rc = text.Encoding() == internal::TextEncoding::Utf16
                       ? SQLPrepareW(statement.Get(), text.Wide(), SQL_NTS)
                       : SQLPrepare(statement.Get(), text.Narrow(), SQL_NTS);
    statement.Check(rc, u"Preparing the query");
    return Recordset(FieldsOf(internal::DescribeColumns(statement)), {});
}

Recordset Recordset::DescribeTable(Connection& connection, std::u16string_view sql,
                                   std::span<const Variant> restrictions) {
    Recordset described = Describe(connection, sql);
    if (!automation::EqualsNoCase(connection.Impl().dbmsName, u"SQLite")) {
        return described;
    }
    const std::size_t count = static_cast<std::size_t>(described.mFields.Count());
    std::vector<std::u16string> catalogNames(count);
    for (Recordset columns = connection.OpenSchema(Schema::Columns, restrictions); !columns.Eof();
         columns.MoveNext()) {
        const Variant& ordinal = columns.Value(u"ORDINAL_POSITION");
        const Variant& name = columns.Value(u"COLUMN_NAME");
        if (ordinal.IsNull() || ordinal.IsEmpty() || name.IsNull()) {
            continue;
        }
        const std::int32_t position = automation::ToLong(ordinal);
        if (position >= 1 && static_cast<std::size_t>(position) <= count) {
            catalogNames[static_cast<std::size_t>(position) - 1] = automation::ToString(name);
        }
    }
    std::vector<Field> fields;
    fields.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        FieldDescription description = described.mFields.Item(static_cast<std::int32_t>(index)).Description();
        // Only a name the driver shortened is replaced: the catalog and the description agree on
        // the order of a whole table's columns, and a mismatch leaves the description alone.
        const std::u16string& whole = catalogNames[index];
        if (IsShortenedName(whole, description.name)) {
            if (description.baseColumnName == description.name) {
                description.baseColumnName = whole;
            }
            description.name = whole;
        }
        fields.emplace_back(std::move(description));
    }
    return Recordset(ado::Fields(std::move(fields)), {});
}

void Recordset::Close() noexcept {
    mFields = ado::Fields();
    mValues.clear();
    mRowCount = 0;
    mRow = 0;
    mIsOpen = false;
}

void Recordset::RequireOpen() const {
    if (!mIsOpen) {
        automation::Raise(ErrorNumber::ObjectClosed, std::u16string(Source),
                          u"Operation is not allowed when the object is closed.");
    }
}

const ado::Fields& Recordset::Fields() const {
    RequireOpen();
    return mFields;
}

bool Recordset::Eof() const {
    RequireOpen();
    return mRow >= mRowCount;
}

std::int32_t Recordset::RecordCount() const {
    RequireOpen();
    return static_cast<std::int32_t>(mRowCount);
}

void Recordset::MoveNext() {
    if (Eof()) {
        automation::Raise(ErrorNumber::NoCurrentRecord, std::u16string(Source),
                          u"Either BOF or EOF is True, or the current record has been deleted. Requested "
                          u"operation requires a current record.");
    }
    ++mRow;
}

void Recordset::MoveFirst() {
    RequireOpen();
    mRow = 0;
}

const Variant& Recordset::ValueAt(std::size_t column) const {
    if (Eof()) {
        automation::Raise(ErrorNumber::NoCurrentRecord, std::u16string(Source),
                          u"Either BOF or EOF is True, or the current record has been deleted. Requested "
                          u"operation requires a current record.");
    }
    return mValues[mRow * static_cast<std::size_t>(mFields.Count()) + column];
}

const Variant& Recordset::Value(std::int32_t index) const {
    RequireOpen();
    mFields.Item(index);
    return ValueAt(static_cast<std::size_t>(index));
}

const Variant& Recordset::Value(std::u16string_view name) const {
    RequireOpen();
    return ValueAt(mFields.IndexOf(name));
}

} // namespace qv::ado
