#pragma once

#include "platform/automation/Variant.h"

// Stored setting values converted by the name of their data type.

namespace qv {

/// A stored value converted by a type name compared after lower-casing: "boolean", "integer",
/// "long", "string" (text, unquoted); any other name leaves the value as it is. A value that
/// does not convert gives Empty. Never raises.
automation::Variant ConvertToDataType(const automation::Variant& value, const automation::Variant& typeName);

/// The same for the exact names "Boolean", "Integer" and "Long"; every other name (also
/// "String") leaves the value as it is. Never raises.
automation::Variant ConvertByTypeName(const automation::Variant& value, const automation::Variant& typeName);

} // namespace qv
