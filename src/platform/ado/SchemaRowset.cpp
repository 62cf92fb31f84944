#include "platform/ado/SchemaRowset.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Constants.h"
#include "platform/ado/internal/ConnectionImpl.h"
#include "platform/ado/internal/RowsetSupport.h"
#include "platform/ado/internal/SchemaRowsets.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <string>

namespace qv::ado {

using automation::Variant;

// One source file per rowset: TablesRowset.cpp, ColumnsRowset.cpp, PrimaryKeysRowset.cpp and
// IndexesRowset.cpp.
Recordset OpenSchemaRowset(Connection& connection, std::int32_t schema,
                           std::span<const Variant> restrictions) {
    internal::ConnectionImpl& impl = connection.Impl();
    impl.OpenHandle(internal::SchemaSource);
    impl.errors->Clear();
    switch (schema) {
    case Schema::Tables:
        return internal::TablesRowset(impl, restrictions);
    case Schema::Columns:
        return internal::ColumnsRowset(impl, restrictions);
    case Schema::PrimaryKeys:
        return internal::PrimaryKeysRowset(impl, restrictions);
    case Schema::Indexes:
        return internal::IndexesRowset(impl, restrictions);
    default:
        automation::Raise(ErrorNumber::FeatureNotAvailable, std::u16string(internal::SchemaSource),
                          u"Object or provider is not capable of performing requested operation. (Schema " +
                              automation::FromUtf8(std::to_string(schema)) + u" is not offered.)");
    }
}

} // namespace qv::ado
