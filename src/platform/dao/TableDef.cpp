#include "platform/dao/TableDef.h"

#include "platform/dao/internal/FindByName.h"

namespace qv::dao {

const Field* TableDef::FindField(std::u16string_view name) const noexcept {
    return internal::FindByName(fields, name);
}

const Index* TableDef::FindIndex(std::u16string_view name) const noexcept {
    return internal::FindByName(indexes, name);
}

} // namespace qv::dao
