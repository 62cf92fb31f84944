#include "core/SettingConversion.h"

#include "core/VbText.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <optional>
#include <string>

namespace qv {

using automation::Variant;

namespace {

/// Converts by one of the names "boolean", "integer", "long" and "string" (lower case); any
/// other name leaves the value as it is. A value that does not convert gives Empty.
Variant ConvertByLowerName(const Variant& value, std::u16string_view lowerName, bool unquoteText) {
    try {
        if (lowerName == u"boolean") {
            return Variant(automation::ToBoolean(value));
        }
        if (lowerName == u"integer") {
            return Variant(automation::ToInteger(value));
        }
        if (lowerName == u"long") {
            return Variant(automation::ToLong(value));
        }
        if (unquoteText && lowerName == u"string") {
            return Variant(Unquote(automation::ToString(value)));
        }
    } catch (const automation::Error&) {
        return Variant();
    }
    return value;
}

} // namespace

Variant ConvertToDataType(const Variant& value, const Variant& typeName) {
    std::optional<std::u16string> name = TextOf(typeName);
    if (!name) {
        return value;
    }
    return ConvertByLowerName(value, automation::ToLower(*name), /*unquoteText=*/true);
}

Variant ConvertByTypeName(const Variant& value, const Variant& typeName) {
    std::optional<std::u16string> name = TextOf(typeName);
    if (!name) {
        return value;
    }
    if (*name == u"Boolean") {
        return ConvertByLowerName(value, u"boolean", false);
    }
    if (*name == u"Integer") {
        return ConvertByLowerName(value, u"integer", false);
    }
    if (*name == u"Long") {
        return ConvertByLowerName(value, u"long", false);
    }
    return value;
}

} // namespace qv
