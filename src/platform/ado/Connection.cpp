#include "platform/ado/Connection.h"

#include "platform/ado/ConnectionString.h"
#include "platform/ado/Constants.h"
#include "platform/ado/DataSources.h"
#include "platform/ado/Recordset.h"
#include "platform/ado/SchemaRowset.h"
#include "platform/ado/SqlText.h"
#include "platform/ado/internal/ConnectionImpl.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <system_error>

namespace qv::ado {

using automation::EqualsNoCase;

namespace internal {

ConnectionHandle& ConnectionImpl::OpenHandle(std::u16string_view who) {
    if (!connection) {
        automation::Raise(ErrorNumber::ObjectClosed, std::u16string(who),
                          u"Operation is not allowed when the object is closed.");
    }
    return *connection;
}

} // namespace internal

namespace {

std::u16string Info(SQLHDBC connection, SQLUSMALLINT type) {
    SQLWCHAR buffer[512] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(connection, type, buffer, sizeof(buffer), &length))) {
        return u"";
    }
    return internal::FromOdbcText(buffer, 512);
}

std::u16string CurrentCatalog(SQLHDBC connection) {
    if (Info(connection, SQL_CATALOG_NAME) != u"Y") {
        return u"";
    }
    SQLWCHAR buffer[512] = {};
    SQLINTEGER length = 0;
    if (!SQL_SUCCEEDED(
            SQLGetConnectAttrW(connection, SQL_ATTR_CURRENT_CATALOG, buffer, sizeof(buffer), &length))) {
        return u"";
    }
    return internal::FromOdbcText(buffer, 512);
}

bool Mentions(std::u16string_view text, std::u16string_view word) {
    return automation::ToLower(text).find(word) != std::u16string::npos;
}

/// An attribute of an ODBC string, or where the string leaves it out, of its file data source
/// or its data source.
std::optional<std::u16string> ResolvedAttribute(const ado::ConnectionString& odbc, std::u16string_view name) {
    if (std::optional<std::u16string> value = odbc.Get(name)) {
        return value;
    }
    if (std::optional<std::u16string> file = odbc.Get(u"FileDSN")) {
        if (std::optional<std::u16string> value = FileDataSourceValue(*file, name)) {
            return value;
        }
    }
    if (std::optional<std::u16string> dataSource = odbc.Get(u"DSN")) {
        return DataSourceValue(*dataSource, name);
    }
    return std::nullopt;
}

/// The driver an ODBC string leads to, as far as the string and the data-source files tell:
/// its "Driver" attribute, or the driver of its file data source or its data source. A driver
/// named as installed is followed by the library odbcinst.ini gives it, after a ";": an
/// installed driver may bear any name.
std::u16string DriverOf(const ado::ConnectionString& odbc) {
    const std::optional<std::u16string> driver = ResolvedAttribute(odbc, u"Driver");
    if (!driver) {
        return u"";
    }
    if (std::optional<std::u16string> library = DriverValue(*driver, u"Driver")) {
        return *driver + u";" + *library;
    }
    return *driver;
}

/// SQLite's driver takes every value up to the next ";" and knows no braces.
ValueQuoting QuotingOf(std::u16string_view driver) {
    return Mentions(driver, u"sqlite") ? ValueQuoting::None : ValueQuoting::Braces;
}

/// The database file an SQLite connection string names, directly or through its data source;
/// nullopt when it names none or one that is no plain path (an in-memory database, a URI).
std::optional<std::u16string> SqliteFileOf(const ado::ConnectionString& odbc) {
    std::optional<std::u16string> database = ResolvedAttribute(odbc, u"Database");
    if (!database || database->empty() || *database == u":memory:" ||
        automation::ToLower(database->substr(0, 5)) == u"file:") {
        return std::nullopt;
    }
    return database;
}

/// SQLite's driver creates a missing database file, empty, and a load from it then finds no
/// tables: a synchronisation would take that for every table dropped. The driver is told not
/// to create one (unless the caller says otherwise), and a missing file is named here, since
/// the driver itself only says that the connection failed. An empty file is what the driver
/// would have made in its place, and something that is no plain file (a device, a pipe) reads
/// as empty or never ends: both are refused as the driver refuses a file that is no database.
void PreventSqliteCreation(ado::ConnectionString& odbc, Errors& errors) {
    if (std::optional<std::u16string> noCreate = odbc.Get(u"NoCreat")) {
        // The driver reads a Boolean by its first letter or digit.
        if (noCreate->empty() ||
            std::u16string_view(u"Yy123456789Tt").find(noCreate->front()) == std::u16string_view::npos) {
            return;
        }
    } else {
        odbc.Set(u"NoCreat", u"1");
    }
    const std::optional<std::u16string> file = SqliteFileOf(odbc);
    if (!file) {
        return;
    }
    std::error_code error;
    const std::filesystem::path path(automation::ToUtf8(*file));
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    const std::u16string named = u"The SQLite database file \"" + *file + u"\"";
    std::u16string description;
    switch (status.type()) {
    case std::filesystem::file_type::not_found:
        description = named + u" does not exist.";
        break;
    case std::filesystem::file_type::directory:
        description = named + u" is a folder, not a database.";
        break;
    case std::filesystem::file_type::regular:
        if (std::filesystem::file_size(path, error) == 0 && !error) {
            description = named + u" is empty: file is not a database.";
        }
        break;
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::fifo:
    case std::filesystem::file_type::socket:
        description = named + u" is no regular file: file is not a database.";
        break;
    default:
        // Unknown (unreadable, say): the driver tells what it finds.
        break;
    }
    if (description.empty()) {
        return;
    }
    errors.Add(automation::MakeRef<ErrorRecord>(ErrorNumber::Fail, description, u"ODBC", u"HY000", 0));
    automation::Raise(ErrorNumber::Fail, u"ODBC", description);
}

/// How long, in milliseconds, SQLite's driver waits at each step for a database another
/// program holds locked before it gives up with "database is locked". Left to itself it waits
/// 100 seconds a step, and a command looks hung. A few seconds outlast a writer's ordinary
/// transaction.
constexpr std::u16string_view SqliteLockWait = u"3000";

} // namespace

Connection::Connection() : mImpl(std::make_unique<internal::ConnectionImpl>()) {}

Connection::~Connection() = default;

Connection::Connection(Connection&& other) noexcept
    : mImpl(std::exchange(other.mImpl, std::make_unique<internal::ConnectionImpl>())) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    std::swap(mImpl, other.mImpl);
    return *this;
}

void Connection::Open(std::u16string_view connectionString, std::u16string_view userId,
                      std::u16string_view password) {
    internal::ConnectionImpl& impl = *mImpl;
    if (impl.connection) {
        automation::Raise(ErrorNumber::ObjectOpen, u"Connection",
                          u"Operation is not allowed when the object is open.");
    }
    impl.errors->Clear();

    std::vector<std::u16string> drivers;
    if (ado::ConnectionString::Parse(connectionString).Get(u"Provider")) {
        drivers = InstalledDrivers();
    }
    std::u16string odbcText = TranslateToOdbc(connectionString, drivers);
    ado::ConnectionString odbc = ado::ConnectionString::Parse(odbcText);
    bool changed = false;
    if (!userId.empty()) {
        odbc.Set(u"UID", userId);
        changed = true;
    }
    if (!password.empty()) {
        odbc.Set(u"PWD", password);
        changed = true;
    }
    std::u16string driver = DriverOf(odbc);
    if ((Mentions(driver, u"postgres") || Mentions(driver, u"psqlodbc")) && !odbc.Get(u"BoolsAsChar")) {
        // PostgreSQL's driver reports Boolean columns as text unless told otherwise.
        odbc.Set(u"BoolsAsChar", u"0");
        changed = true;
    }
    if (QuotingOf(driver) == ValueQuoting::None) {
        // Rebuilt even when nothing was set: a value the caller brace-quoted would reach such a
        // driver braces and all, and one holding ";" would add attributes of its own. A value
        // it cannot take is refused before the file it names is looked for.
        odbcText = odbc.ToString(ValueQuoting::None);
        PreventSqliteCreation(odbc, *impl.errors);
        if (!ResolvedAttribute(odbc, u"Timeout")) {
            odbc.Set(u"Timeout", SqliteLockWait);
        }
        odbcText = odbc.ToString(ValueQuoting::None);
    } else if (changed) {
        odbcText = odbc.ToString();
    }
    internal::TextEncoding encoding =
        Mentions(driver, u"sqlite") ? internal::TextEncoding::Utf8 : internal::TextEncoding::Utf16;

    auto environment = std::make_unique<internal::EnvironmentHandle>();
    auto connection = std::make_unique<internal::ConnectionHandle>(*environment, *impl.errors);
    if (encoding == internal::TextEncoding::Utf8) {
        connection->SetDatabaseFile(SqliteFileOf(odbc).value_or(u""));
    }
    connection->Connect(odbcText, encoding, *impl.errors);

    SQLHDBC handle = connection->Get();
    impl.dbmsName = Info(handle, SQL_DBMS_NAME);
    impl.dbmsVersion = Info(handle, SQL_DBMS_VER);
    impl.driverName = Info(handle, SQL_DRIVER_NAME);
    impl.driverVersion = Info(handle, SQL_DRIVER_VER);
    impl.identifierQuote = Info(handle, SQL_IDENTIFIER_QUOTE_CHAR);
    if (impl.identifierQuote == u" ") {
        // A blank is how drivers say that they cannot quote identifiers.
        impl.identifierQuote.clear();
    }
    impl.searchPatternEscape = Info(handle, SQL_SEARCH_PATTERN_ESCAPE);
    impl.currentCatalog = CurrentCatalog(handle);
    impl.encoding = Mentions(impl.driverName, u"sqlite") ? internal::TextEncoding::Utf8 : encoding;
    impl.connectionString = std::u16string(connectionString);
    impl.environment = std::move(environment);
    impl.connection = std::move(connection);
    if (EqualsNoCase(impl.dbmsName, u"SQLite")) {
        RequireSqliteDatabase();
    }
}

void Connection::RequireSqliteDatabase() {
    // SQLite opens any file and lists no tables in one that is no database, so a load would
    // succeed with nothing in it. Preparing a read of the catalogue makes the library read the
    // file's header, and the driver's own reason ("file is not a database") goes to the caller.
    try {
        Recordset::Describe(*this, u"SELECT name FROM sqlite_master");
    } catch (const automation::Error&) {
        // Errors keeps the driver's records; the handles go.
        mImpl->connection.reset();
        mImpl->environment.reset();
        throw;
    }
}

void Connection::Close() noexcept {
    // The connection goes before its environment.
    mImpl->connection.reset();
    mImpl->environment.reset();
    // A connection opened next may reach another database.
    mImpl->snapshot.Forget();
}

std::int32_t Connection::State() const noexcept {
    return mImpl->connection ? ObjectState::Open : ObjectState::Closed;
}

bool Connection::Lost() const noexcept {
    if (!mImpl->connection) {
        return false;
    }
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc = SQLGetConnectAttrW(static_cast<SQLHDBC>(mImpl->connection->Get()),
                                            SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return SQL_SUCCEEDED(rc) && dead == SQL_CD_TRUE;
}

const std::u16string& Connection::ConnectionString() const noexcept {
    return mImpl->connectionString;
}

std::optional<std::u16string> Connection::Property(std::u16string_view name) const {
    internal::ConnectionImpl& impl = *mImpl;
    impl.OpenHandle(u"Connection");
    const std::u16string* value = nullptr;
    if (EqualsNoCase(name, u"DBMS Name")) {
        value = &impl.dbmsName;
    } else if (EqualsNoCase(name, u"DBMS Version")) {
        value = &impl.dbmsVersion;
    } else if (EqualsNoCase(name, u"Provider Name")) {
        value = &impl.driverName;
    } else if (EqualsNoCase(name, u"Provider Version")) {
        value = &impl.driverVersion;
    }
    if (value == nullptr || value->empty()) {
        return std::nullopt;
    }
    return *value;
}

const automation::Ref<ado::Errors>& Connection::Errors() const noexcept {
    return mImpl->errors;
}

const std::u16string& Connection::IdentifierQuote() const {
    mImpl->OpenHandle(u"Connection");
    return mImpl->identifierQuote;
}

std::u16string Connection::QuoteIdentifier(std::u16string_view name) const {
    return ado::QuoteIdentifier(name, IdentifierQuote());
}

Recordset Connection::OpenSchema(std::int32_t schema, std::span<const automation::Variant> restrictions) {
    return OpenSchemaRowset(*this, schema, restrictions);
}

CatalogSnapshot::CatalogSnapshot(Connection& connection) : mImpl(connection.Impl()) {
    ++mImpl.snapshot.depth;
}

CatalogSnapshot::~CatalogSnapshot() {
    if (--mImpl.snapshot.depth == 0) {
        mImpl.snapshot.Forget();
    }
}

} // namespace qv::ado
