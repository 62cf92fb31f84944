#pragma once

// The ODBC handles of this layer, one RAII class per kind, and the translation of ODBC return
// codes into the Errors collection and a raised error. The types stand in for the ODBC header's
// (checked against it in Odbc.cpp) so that no header of ours includes <sql.h>.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ado {
class Errors;
}

namespace qv::ado::internal {

using OdbcHandle = void*;        // SQLHANDLE
using OdbcReturn = std::int16_t; // SQLRETURN
using OdbcChar = unsigned short; // SQLWCHAR on unixODBC: 16-bit, UTF-16

/// NUL-terminated UTF-16 text in the unit type the wide ODBC functions take.
std::vector<OdbcChar> ToOdbcText(std::u16string_view text);
std::u16string FromOdbcText(const OdbcChar* text, std::size_t length);

/// How a connection hands text to its driver. Most drivers read UTF-16 through the wide
/// functions; SQLite's cuts every UTF-16 unit to its low byte there (a name or literal beyond
/// Latin-1 arrives mangled, and silently), but reads UTF-8 correctly through the narrow ones.
enum class TextEncoding { Utf16, Utf8 };

/// Text for one driver call, in the connection's encoding, NUL-terminated.
class DriverText {
public:
    DriverText(std::u16string_view text, TextEncoding encoding);
    TextEncoding Encoding() const noexcept { return mEncoding; }
    OdbcChar* Wide() noexcept { return mWide.data(); }
    unsigned char* Narrow() noexcept { return reinterpret_cast<unsigned char*>(mNarrow.data()); }

private:
    TextEncoding mEncoding;
    std::vector<OdbcChar> mWide;
    std::string mNarrow;
};

enum class HandleKind { Environment, Connection, Statement };

/// Raises unless `rc` is a success (with or without information). Before raising, the
/// handle's diagnostic records replace the contents of `errors`; the raised error carries the
/// first record's number and message. `what` names the failed operation for a driver that
/// leaves no record. `databaseFile`, where given, is the SQLite file of the connection: a record
/// saying that it is locked names it, since the driver's message does not say which file.
void Check(OdbcReturn rc, HandleKind kind, OdbcHandle handle, Errors& errors, std::u16string_view what,
           TextEncoding encoding = TextEncoding::Utf16, std::u16string_view databaseFile = {});

/// An ODBC environment set to ODBC 3 behaviour.
class EnvironmentHandle {
public:
    EnvironmentHandle();
    ~EnvironmentHandle();
    EnvironmentHandle(EnvironmentHandle&& other) noexcept;
    EnvironmentHandle& operator=(EnvironmentHandle&&) = delete;
    EnvironmentHandle(const EnvironmentHandle&) = delete;
    EnvironmentHandle& operator=(const EnvironmentHandle&) = delete;

    OdbcHandle Get() const noexcept { return mHandle; }

private:
    OdbcHandle mHandle = nullptr;
};

/// An ODBC connection of an environment that outlives it. Disconnects (rolling back anything
/// open) before it is freed; neither step may throw, also on a connection the server has
/// dropped.
class ConnectionHandle {
public:
    ConnectionHandle(const EnvironmentHandle& environment, Errors& errors);
    ~ConnectionHandle();
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;

    OdbcHandle Get() const noexcept { return mHandle; }
    /// SQLDriverConnect without prompting; raises with the driver's diagnostics.
    void Connect(std::u16string_view connectionString, TextEncoding encoding, Errors& errors);
    bool IsConnected() const noexcept { return mConnected; }
    void Disconnect() noexcept;

    /// The SQLite database file the connection reaches, for messages; "" for any other.
    void SetDatabaseFile(std::u16string file) { mDatabaseFile = std::move(file); }
    const std::u16string& DatabaseFile() const noexcept { return mDatabaseFile; }

private:
    OdbcHandle mHandle = nullptr;
    bool mConnected = false;
    std::u16string mDatabaseFile;
};

/// A statement of a connection, scoped to the call that uses it; freeing it closes its cursor.
class StatementHandle {
public:
    StatementHandle(const ConnectionHandle& connection, Errors& errors, TextEncoding encoding);
    ~StatementHandle();
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;

    OdbcHandle Get() const noexcept { return mHandle; }
    /// Raises through the statement's diagnostics unless `rc` succeeded.
    void Check(OdbcReturn rc, std::u16string_view what);
    /// How the driver reads and writes text: names and messages come back the same way.
    TextEncoding Encoding() const noexcept { return mEncoding; }

private:
    OdbcHandle mHandle = nullptr;
    Errors& mErrors;
    TextEncoding mEncoding;
    std::u16string_view mDatabaseFile; // the connection's, which outlives the statement
};

} // namespace qv::ado::internal
