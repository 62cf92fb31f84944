#pragma once

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace qv {

/// How a name a user gives is compared with a table's.
enum class NameMatch { Exact, IgnoringCase };

/// One way to read a name a user gives for a table, or for a field of one as TABLE.FIELD: the
/// table's name, and the field's (empty when the whole name is read as the table's). Both are
/// views into the name given.
struct TableNameReading {
    std::u16string_view table;
    std::u16string_view field;
};

/// The readings of `given`, in the order they are tried: the whole name as a table's, then
/// TABLE.FIELD split at each dot from the right (a table's name may itself hold dots), each part
/// non-empty.
std::vector<TableNameReading> TableNameReadings(std::u16string_view given);

/// The reading of `given` whose table `isTable` finds, every reading being tried for a table of
/// that exact name before any for one that differs only in letter case: where a database holds
/// both "users" and "USERS", the one typed is meant, also when a field of it is named. nullopt
/// when no reading names a table.
std::optional<TableNameReading>
ChooseTableNameReading(std::u16string_view given,
                       const std::function<bool(std::u16string_view table, NameMatch match)>& isTable);

} // namespace qv
