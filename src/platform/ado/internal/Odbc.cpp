#include "platform/ado/internal/Odbc.h"

#include "platform/ado/Constants.h"
#include "platform/ado/Errors.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <type_traits>
#include <utility>

namespace qv::ado::internal {

static_assert(std::is_same_v<OdbcHandle, SQLHANDLE>);
static_assert(std::is_same_v<OdbcReturn, SQLRETURN>);
static_assert(std::is_same_v<OdbcChar, SQLWCHAR>);

namespace {

constexpr std::u16string_view DiagnosticSource = u"ODBC";

SQLSMALLINT HandleType(HandleKind kind) {
    switch (kind) {
    case HandleKind::Environment:
        return SQL_HANDLE_ENV;
    case HandleKind::Connection:
        return SQL_HANDLE_DBC;
    case HandleKind::Statement:
        return SQL_HANDLE_STMT;
    }
    return SQL_HANDLE_STMT;
}

bool Contains(std::u16string_view text, std::u16string_view part) {
    return automation::ToLower(text).find(part) != std::u16string::npos;
}

/// The number a caller sees for a diagnostic. Callers test for a failed login by number, so a
/// login refused by the server must carry the authentication number; PostgreSQL's driver
/// reports it as a plain connection failure, which only its message tells apart.
std::int32_t NumberFor(std::u16string_view sqlState, std::u16string_view message) {
    std::u16string_view stateClass = sqlState.substr(0, 2);
    if (stateClass == u"28" || (sqlState == u"08001" && (Contains(message, u"authentication failed") ||
                                                         Contains(message, u"access denied")))) {
        return ErrorNumber::AuthenticationFailed;
    }
    if (sqlState == u"42501") {
        return ErrorNumber::PermissionDenied;
    }
    if (stateClass == u"42" || stateClass == u"37") {
        return ErrorNumber::ErrorsInCommand;
    }
    if (stateClass == u"23") {
        return ErrorNumber::IntegrityViolation;
    }
    if (sqlState == u"HYT00" || sqlState == u"HYT01") {
        return ErrorNumber::Timeout;
    }
    return ErrorNumber::Fail;
}

/// One diagnostic record as text, read through the wide or the narrow function as the driver
/// needs; false after the last record.
bool ReadRecord(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record, TextEncoding encoding,
                std::u16string& sqlState, SQLINTEGER& native, std::u16string& text) {
    SQLSMALLINT length = 0;
    if (encoding == TextEncoding::Utf8) {
        SQLCHAR state[6] = {};
        std::vector<SQLCHAR> message(1024);
        SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &native, message.data(),
                                     static_cast<SQLSMALLINT>(message.size()), &length);
        if (!SQL_SUCCEEDED(rc)) {
            return false;
        }
        std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(length), message.size() - 1);
        sqlState = automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(state), 5));
        text = automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(message.data()), size));
        return true;
    }
    SQLWCHAR state[6] = {};
    std::vector<SQLWCHAR> message(512);
    SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
        message.resize(static_cast<std::size_t>(length) + 1);
        rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                            static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) {
        return false;
    }
    sqlState = FromOdbcText(state, 5);
    text = FromOdbcText(message.data(),
                        std::min<std::size_t>(static_cast<std::size_t>(length), message.size() - 1));
    return true;
}

/// SQLite's codes for a database another connection holds locked: SQLITE_BUSY and
/// SQLITE_LOCKED, which its driver reports as the native error.
bool IsSqliteLock(SQLINTEGER native) {
    return native == 5 || native == 6;
}

void ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, TextEncoding encoding, Errors& errors,
                     std::u16string_view databaseFile) {
    std::u16string sqlState;
    SQLINTEGER native = 0;
    std::u16string text;
    for (SQLSMALLINT record = 1; ReadRecord(handleType, handle, record, encoding, sqlState, native, text);
         ++record) {
        while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) {
            text.pop_back();
        }
        if (!databaseFile.empty() && IsSqliteLock(native)) {
            // The driver gave up after its busy timeout; which file stayed locked it does not say.
            text += u": the SQLite database file \"" + std::u16string(databaseFile) +
                    u"\" is held by another program";
        }
        std::int32_t number = NumberFor(sqlState, text);
        errors.Add(automation::MakeRef<ErrorRecord>(number, text, std::u16string(DiagnosticSource), sqlState,
                                                    static_cast<std::int32_t>(native)));
    }
}

} // namespace

std::vector<OdbcChar> ToOdbcText(std::u16string_view text) {
    std::vector<OdbcChar> units(text.begin(), text.end());
    units.push_back(0);
    return units;
}

std::u16string FromOdbcText(const OdbcChar* text, std::size_t length) {
    std::u16string result;
    result.reserve(length);
    for (std::size_t index = 0; index < length && text[index] != 0; ++index) {
        result.push_back(static_cast<char16_t>(text[index]));
    }
    return result;
}

DriverText::DriverText(std::u16string_view text, TextEncoding encoding) : mEncoding(encoding) {
    if (encoding == TextEncoding::Utf16) {
        mWide = ToOdbcText(text);
    } else {
        mNarrow = automation::ToUtf8(text);
    }
}

void Check(OdbcReturn rc, HandleKind kind, OdbcHandle handle, Errors& errors, std::u16string_view what,
           TextEncoding encoding, std::u16string_view databaseFile) {
    if (SQL_SUCCEEDED(rc)) {
        return;
    }
    errors.Clear();
    if (handle != nullptr && rc != SQL_INVALID_HANDLE) {
        ReadDiagnostics(HandleType(kind), handle, encoding, errors, databaseFile);
    }
    if (errors.Count() == 0) {
        errors.Add(automation::MakeRef<ErrorRecord>(ErrorNumber::Fail,
                                                    std::u16string(what) + u" failed without a diagnostic.",
                                                    std::u16string(DiagnosticSource), u"HY000", 0));
    }
    const ErrorRecord& first = *errors.Records().front();
    automation::Raise(first.Number(), first.Source(), first.Description());
}

EnvironmentHandle::EnvironmentHandle() {
    SQLHANDLE handle = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) {
        automation::Raise(ErrorNumber::Fail, std::u16string(DiagnosticSource),
                          u"The ODBC driver manager could not allocate an environment.");
    }
    mHandle = handle;
    SQLSetEnvAttr(mHandle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
}

EnvironmentHandle::EnvironmentHandle(EnvironmentHandle&& other) noexcept
    : mHandle(std::exchange(other.mHandle, nullptr)) {}

EnvironmentHandle::~EnvironmentHandle() {
    if (mHandle != nullptr) {
        SQLFreeHandle(SQL_HANDLE_ENV, mHandle);
    }
}

ConnectionHandle::ConnectionHandle(const EnvironmentHandle& environment, Errors& errors) {
    SQLHANDLE handle = nullptr;
    Check(SQLAllocHandle(SQL_HANDLE_DBC, environment.Get(), &handle), HandleKind::Environment,
          environment.Get(), errors, u"Allocating a connection");
    mHandle = handle;
    // As long as a login may take before it counts as failed: the usual 15 seconds.
    // ODBC passes integer attributes in the pointer argument.
    SQLSetConnectAttrW(mHandle, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(SQLULEN{15}), // NOLINT(performance-no-int-to-ptr)
                       0);
}

ConnectionHandle::~ConnectionHandle() {
    Disconnect();
    if (mHandle != nullptr) {
        SQLFreeHandle(SQL_HANDLE_DBC, mHandle);
    }
}

void ConnectionHandle::Connect(std::u16string_view connectionString, TextEncoding encoding, Errors& errors) {
    DriverText text(connectionString, encoding);
    SQLRETURN rc = encoding == TextEncoding::Utf16
                       ? SQLDriverConnectW(mHandle, nullptr, text.Wide(), SQL_NTS, nullptr, 0, nullptr,
                                           SQL_DRIVER_NOPROMPT)
                       : SQLDriverConnect(mHandle, nullptr, text.Narrow(), SQL_NTS, nullptr, 0, nullptr,
                                          SQL_DRIVER_NOPROMPT);
    Check(rc, HandleKind::Connection, mHandle, errors, u"Connecting", encoding, mDatabaseFile);
    mConnected = true;
}

void ConnectionHandle::Disconnect() noexcept {
    if (!mConnected) {
        return;
    }
    mConnected = false;
    if (!SQL_SUCCEEDED(SQLDisconnect(mHandle))) {
        // An open transaction makes the driver refuse; nothing of ours is meant to be kept.
        SQLEndTran(SQL_HANDLE_DBC, mHandle, SQL_ROLLBACK);
        SQLDisconnect(mHandle);
    }
}

StatementHandle::StatementHandle(const ConnectionHandle& connection, Errors& errors, TextEncoding encoding)
    : mErrors(errors), mEncoding(encoding), mDatabaseFile(connection.DatabaseFile()) {
    SQLHANDLE handle = nullptr;
    internal::Check(SQLAllocHandle(SQL_HANDLE_STMT, connection.Get(), &handle), HandleKind::Connection,
                    connection.Get(), errors, u"Allocating a statement");
    mHandle = handle;
}

StatementHandle::~StatementHandle() {
    if (mHandle != nullptr) {
        // Closed first: freeing alone leaks what PostgreSQL's driver keeps of a statement that
        // was prepared but never run.
        SQLFreeStmt(mHandle, SQL_CLOSE);
        SQLFreeHandle(SQL_HANDLE_STMT, mHandle);
    }
}

void StatementHandle::Check(OdbcReturn rc, std::u16string_view what) {
    internal::Check(rc, HandleKind::Statement, mHandle, mErrors, what, mEncoding, mDatabaseFile);
}

} // namespace qv::ado::internal
