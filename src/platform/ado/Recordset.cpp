#include "platform/ado/Recordset.h"

#include "platform/ado/Command.h"
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

#include <algorithm>
#include <cassert>
#include <optional>
#include <string>
#include <vector>

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

/// True when `described` may be what SQLite's driver makes of `whole` in a column description: a
/// part of it after a "." (the driver takes what stands before the first one, or before the
/// second when there are more, for the names of a database and a table).
bool IsShortenedName(std::u16string_view whole, std::u16string_view described) {
    return whole.size() > described.size() && whole.ends_with(described) &&
           whole[whole.size() - described.size() - 1] == u'.';
}

/// `name` without the ":N" that SQLite puts after the second and later columns of one name in a
/// view.
std::u16string_view WithoutDuplicateMark(std::u16string_view name) {
    const std::size_t colon = name.rfind(u':');
    if (colon == std::u16string_view::npos || colon + 1 == name.size()) {
        return name;
    }
    const bool digits = std::all_of(name.begin() + static_cast<std::ptrdiff_t>(colon) + 1, name.end(),
                                    [](char16_t unit) { return unit >= u'0' && unit <= u'9'; });
    return digits ? name.substr(0, colon) : name;
}

/// The names SQLite gives the columns of `object`, a table or view (of `schema`, "" for the one
/// SQLite finds), in the order of "SELECT *": rows of its table_xinfo pragma, values that the
/// driver passes whole, without the hidden columns of a virtual table (a generated column is
/// there, which the Columns rowset leaves out). nullopt when the pragma cannot be read.
std::optional<std::vector<std::u16string>>
SqliteColumnNames(Connection& connection, std::u16string_view object, std::u16string_view schema) {
    std::vector<ParameterValue> parameters{{DataType::VarWChar, 0, 0, 0, Variant(object)}};
    if (!schema.empty()) {
        parameters.push_back({DataType::VarWChar, 0, 0, 0, Variant(schema)});
    }
    std::optional<CommandResult> listing;
    try {
        listing =
            ExecuteCommand(connection,
                           schema.empty() ? u"SELECT name FROM pragma_table_xinfo(?) WHERE hidden <> 1"
                                          : u"SELECT name FROM pragma_table_xinfo(?, ?) WHERE hidden <> 1",
                           parameters);
    } catch (const automation::Error&) {
        return std::nullopt;
    }
    std::vector<std::u16string> names;
    for (Recordset& rows = listing->rows; !rows.Eof(); rows.MoveNext()) {
        names.push_back(automation::ToString(rows.Value(0)));
    }
    if (names.empty()) {
        return std::nullopt;
    }
    return names;
}

/// Whether a described `name` may be a part of its column's, where `listed` is SQLite's own name
/// of the column (nullptr when unknown) and `whole` its names of every column (nullopt when
/// unknown). A name that holds a "." always is: the driver keeps one only of a name with three or
/// more. One without is when SQLite names the column otherwise, or, with no name of its own for
/// the column, has another column of that end and none of that name.
bool MayBeShortened(std::u16string_view name, const std::u16string* listed,
                    const std::optional<std::vector<std::u16string>>& whole) {
    if (listed != nullptr && (*listed == name || WithoutDuplicateMark(*listed) == name)) {
        return false;
    }
    if (name.find(u'.') != std::u16string_view::npos) {
        return true;
    }
    if (listed != nullptr || !whole) {
        return false;
    }
    return std::none_of(whole->begin(), whole->end(),
                        [&](const std::u16string& other) { return other == name; }) &&
           std::any_of(whole->begin(), whole->end(),
                       [&](const std::u16string& other) { return IsShortenedName(other, name); });
}

/// The described fields, each named whole: where SQLite's driver shortened a name, the name from
/// `whole` (SQLite's own names of the columns, in order; nullopt when there are none), matched
/// by position when it names as many columns. A field whose name may be shortened and whose
/// whole name `whole` does not give raises, so that no reader takes a part of a name for a
/// column's.
ado::Fields WithWholeNames(const ado::Fields& described,
                           const std::optional<std::vector<std::u16string>>& whole) {
    const std::size_t count = static_cast<std::size_t>(described.Count());
    const bool aligned = whole && whole->size() == count;
    std::vector<Field> fields;
    fields.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        FieldDescription description = described.Item(static_cast<std::int32_t>(index)).Description();
        const std::u16string* listed = aligned ? &(*whole)[index] : nullptr;
        std::optional<std::u16string> wholeName;
        if (listed != nullptr && IsShortenedName(*listed, description.name)) {
            wholeName = *listed;
        } else if (listed != nullptr && IsShortenedName(WithoutDuplicateMark(*listed), description.name)) {
            wholeName = std::u16string(WithoutDuplicateMark(*listed));
        } else if (MayBeShortened(description.name, listed, whole)) {
            automation::Raise(ErrorNumber::Fail, std::u16string(Source),
                              u"The driver gives column " + automation::FromUtf8(std::to_string(index + 1)) +
                                  u" only a part of its name, \"" + description.name +
                                  u"\", and its whole name cannot be read.");
        }
        if (wholeName) {
            if (description.baseColumnName == description.name) {
                description.baseColumnName = *wholeName;
            }
            description.name = std::move(*wholeName);
        }
        fields.emplace_back(std::move(description));
    }
    return ado::Fields(std::move(fields));
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
    return DescribeChecked(connection, CheckedQuery(connection.Impl(), sql));
}

Recordset Recordset::DescribeChecked(Connection& connection, const std::u16string& statementText) {
    internal::ConnectionImpl& impl = connection.Impl();
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

Recordset Recordset::DescribeQuery(Connection& connection, std::u16string_view sql) {
    const std::u16string statementText = CheckedQuery(connection.Impl(), sql);
    Recordset described = DescribeChecked(connection, statementText);
    if (!automation::EqualsNoCase(connection.Impl().dbmsName, u"SQLite")) {
        return described;
    }
    // SQLite names the columns of a view as those of its query, and lists them whole: a view of
    // the query is made for it, in the connection's own temporary schema, and dropped again.
    // Preparing it runs nothing, and the text is the single query just described.
    constexpr std::u16string_view View = u"qv_described_query";
    std::optional<std::vector<std::u16string>> whole;
    try {
        ExecuteCommand(connection, u"DROP VIEW IF EXISTS temp." + std::u16string(View), {});
        ExecuteCommand(connection, u"CREATE TEMP VIEW " + std::u16string(View) + u" AS " + statementText, {});
        whole = SqliteColumnNames(connection, View, u"temp");
        ExecuteCommand(connection, u"DROP VIEW temp." + std::u16string(View), {});
    } catch (const automation::Error&) {
        // A query SQLite takes in no view (one with parameters) keeps the names it was described
        // with, unless one of them cannot be whole.
    }
    return Recordset(WithWholeNames(described.mFields, whole), {});
}

Recordset Recordset::DescribeTable(Connection& connection, std::u16string_view sql,
                                   std::span<const Variant> restrictions) {
    Recordset described = Describe(connection, sql);
    if (!automation::EqualsNoCase(connection.Impl().dbmsName, u"SQLite")) {
        return described;
    }
    const auto restriction = [&](std::size_t index) {
        return index < restrictions.size() && restrictions[index].IsString()
                   ? automation::ToString(restrictions[index])
                   : std::u16string();
    };
    std::optional<std::vector<std::u16string>> whole =
        SqliteColumnNames(connection, restriction(2), restriction(1));
    if (!whole) {
        // A library without the pragma: the Columns rowset, which lists the same columns of a
        // table that can have no generated one.
        const std::size_t count = static_cast<std::size_t>(described.mFields.Count());
        whole.emplace();
        for (Recordset columns = connection.OpenSchema(Schema::Columns, restrictions); !columns.Eof();
             columns.MoveNext()) {
            const Variant& ordinal = columns.Value(u"ORDINAL_POSITION");
            const Variant& name = columns.Value(u"COLUMN_NAME");
            if (ordinal.IsNull() || ordinal.IsEmpty() || name.IsNull()) {
                continue;
            }
            const std::int32_t position = automation::ToLong(ordinal);
            if (position >= 1 && static_cast<std::size_t>(position) <= count) {
                whole->resize(std::max(whole->size(), static_cast<std::size_t>(position)));
                (*whole)[static_cast<std::size_t>(position) - 1] = automation::ToString(name);
            }
        }
    }
    return Recordset(WithWholeNames(described.mFields, whole), {});
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
