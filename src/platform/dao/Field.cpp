#include "platform/dao/Field.h"

#include "platform/dao/internal/FindByName.h"

namespace qv::dao {

std::optional<std::u16string> FindProperty(const std::vector<Property>& properties,
                                           std::u16string_view name) {
    if (const Property* property = internal::FindByName(properties, name)) {
        return property->value;
    }
    return std::nullopt;
}

} // namespace qv::dao
