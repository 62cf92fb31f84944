#pragma once

#include <string>
#include <string_view>

// Captions and file-name words made from database and product names.

namespace qv {

/// The caption of a database name: words split at " ", "-", "_" and where a lower-case
/// character is followed by an upper-case one, joined by one space ("OrderID" gives
/// "Order ID", "customer_name" "customer name"). Letter case is kept.
std::u16string NameToCaption(std::u16string_view name);

/// The text without any "/" or " ": the product word of work-folder names and file roots.
std::u16string RemoveSlashesAndSpaces(std::u16string_view text);

} // namespace qv
