#pragma once

#include "platform/ado/Errors.h"
#include "platform/ado/Recordset.h"

#include "platform/automation/Ref.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv::ado {

namespace internal {
struct ConnectionImpl;
}

/// A connection to a database through an ODBC driver, opened from an ODBC connection string, a
/// data-source name or a provider string that has an ODBC equivalent here. Not copyable; the
/// ODBC handles it holds are released when it closes or is destroyed. Statements live only
/// during the call that uses them.
///
/// Every call that can fail first clears Errors; when the driver reports a failure, its
/// diagnostic records fill Errors and an automation::Error is raised with the first record's
/// number and the driver's message. A dropped server connection fails the same way and never
/// takes the process down.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// Connects. A user or password given here replaces the string's own, brace-quoted. Raises
    /// ObjectOpen when already open, ProviderNotFound for a provider without an ODBC equivalent,
    /// and the driver's error when it refuses (for SQLite also when the file is no database).
    /// An SQLite database is never created by opening it: a missing file (or a folder in its
    /// place) raises an error naming it, unless the string itself allows creation ("NoCreat=0").
    void Open(std::u16string_view connectionString, std::u16string_view userId = {},
              std::u16string_view password = {});
    /// Disconnects; closing a closed connection does nothing.
    void Close() noexcept;
    /// ObjectState::Open or ObjectState::Closed.
    std::int32_t State() const noexcept;
    /// Whether the driver says the open connection's link to the server is gone (the server ended
    /// the session, the network dropped it), so that every later call fails alike. False while
    /// closed and where the driver cannot tell.
    bool Lost() const noexcept;

    /// The connection string exactly as the caller gave it to Open.
    const std::u16string& ConnectionString() const noexcept;
    /// The version of this layer's object model, as the Version property reports it.
    static std::u16string_view Version() noexcept { return u"2.8"; }
    /// A provider property of the open connection: "DBMS Name", "DBMS Version", "Provider Name"
    /// (the driver) and "Provider Version". nullopt for a property the driver does not offer or
    /// an unknown name; raises ObjectClosed when closed.
    std::optional<std::u16string> Property(std::u16string_view name) const;

    /// The diagnostics of the last call that failed.
    const automation::Ref<ado::Errors>& Errors() const noexcept;

    /// The character the driver quotes identifiers with ("" when it has none); raises
    /// ObjectClosed when closed.
    const std::u16string& IdentifierQuote() const;
    /// A name quoted with the driver's identifier quote, the quote doubled inside.
    std::u16string QuoteIdentifier(std::u16string_view name) const;

    /// A schema rowset (Schema::Tables, PrimaryKeys, Columns or Indexes) read whole into
    /// memory, with ADO's column names. Restrictions come in ADO's order for the schema; an
    /// Empty (or missing) restriction does not restrict. Raises FeatureNotAvailable for another
    /// schema.
    Recordset OpenSchema(std::int32_t schema, std::span<const automation::Variant> restrictions = {});

    /// The layer's own state behind the connection, for the layer's sources.
    internal::ConnectionImpl& Impl() const noexcept { return *mImpl; }

private:
    /// Raises the driver's error, and leaves the connection closed, when the SQLite file just
    /// opened is no database.
    void RequireSqliteDatabase();

    std::unique_ptr<internal::ConnectionImpl> mImpl;
};

/// While it lives, the schema rowsets of its connection treat the catalogue as unchanging, for
/// a caller that reads a whole schema in one go: the tables are listed once, each table's
/// primary key is read once, and where the driver lists all columns as it lists one table's
/// (SQLite's), all columns are read in one call when the first column rowset is asked for. The
/// rowsets restricted to one table are answered from those.
/// Without it, every rowset asks the driver again, which some drivers (SQLite's) answer by
/// scanning their whole catalogue: reading N tables one by one then costs N times N.
///
/// Every rowset is the one the driver would give: a restriction that no listed name matches
/// exactly is still asked of the driver, whose letter-case rules decide. A table created
/// meanwhile is therefore found by its name, but the unrestricted table rowset and what was
/// already read stay as they were until the snapshot is gone; closing the connection forgets
/// what it read. Snapshots may nest (the outermost one decides). One must not outlive its
/// connection; it follows the connection's state when the Connection is moved.
class CatalogSnapshot {
public:
    explicit CatalogSnapshot(Connection& connection);
    ~CatalogSnapshot();
    CatalogSnapshot(const CatalogSnapshot&) = delete;
    CatalogSnapshot& operator=(const CatalogSnapshot&) = delete;

private:
    internal::ConnectionImpl& mImpl;
};

} // namespace qv::ado
