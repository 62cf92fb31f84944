#pragma once

#include "platform/ado/Errors.h"
#include "platform/ado/internal/CatalogCache.h"
#include "platform/ado/internal/Odbc.h"

#include "platform/automation/Ref.h"

#include <memory>
#include <string>
#include <string_view>

namespace qv::ado::internal {

/// What a Connection holds: its handles while open, its Errors collection, the text it was
/// opened with, the driver facts read once at open and what an open catalog snapshot has read.
struct ConnectionImpl {
    automation::Ref<Errors> errors = automation::MakeRef<Errors>();
    std::unique_ptr<EnvironmentHandle> environment;
    std::unique_ptr<ConnectionHandle> connection; // null while closed
    std::u16string connectionString;

    std::u16string dbmsName;
    std::u16string dbmsVersion;
    std::u16string driverName;
    std::u16string driverVersion;
    std::u16string identifierQuote;     // "" when the driver cannot quote
    std::u16string searchPatternEscape; // "" when catalog patterns cannot be escaped
    std::u16string currentCatalog;      // "" for a driver without catalogs
    TextEncoding encoding = TextEncoding::Utf16;
    CatalogSnapshotState snapshot;

    /// The open connection; raises ObjectClosed naming `who` when closed.
    ConnectionHandle& OpenHandle(std::u16string_view who);
};

} // namespace qv::ado::internal
