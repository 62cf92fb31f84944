#pragma once

#include "platform/automation/Text.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace qv::dao::internal {

/// The first item whose `name` equals `name` ignoring case, as DAO's collections look names
/// up; null when there is none.
template <typename Item>
const Item* FindByName(const std::vector<Item>& items, std::u16string_view name) noexcept {
    const auto found = std::find_if(items.begin(), items.end(), [&](const Item& item) {
        return automation::EqualsNoCase(item.name, name);
    });
    return found == items.end() ? nullptr : &*found;
}

} // namespace qv::dao::internal
