#pragma once

#include "platform/automation/Object.h"
#include "platform/automation/Ref.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {
class EntityList;
class Qel;
} // namespace qv

namespace qv::cli {

/// The entity whose settings a command shows or sets, with what the messages call it.
struct SettingTarget {
    automation::Ref<automation::Object> entity;
    std::string description; ///< "the project", "table Orders", "field Orders.Id"
    /// For the project: its database, whose settings (connection, user, password, schema, ...)
    /// are reached as if they were the project's own; null for a table or a field.
    automation::Ref<automation::Object> database;
    /// For a table or a field: the list that knows it by its name (the database's tables, the
    /// table's fields), borrowed from the project, the setting that holds that name, and what the
    /// messages put before the name of an item of that list ("table ", "field Orders.").
    EntityList* list = nullptr;
    std::u16string nameSetting;
    std::string itemPrefix;
};

/// The project itself (with its database) for "", else the table of that name, else
/// TABLE.FIELD. Names match exactly first, then without regard to letter case when that finds
/// exactly one. An unknown table or field raises a CommandError.
SettingTarget FindTarget(Qel& project, std::string_view target);

/// Every setting of the target in its bag's order, read by name: name and value as text; for
/// the project, its database's settings follow. A password that is set reads "********", and so
/// does the password in a connection string, whose other attributes read as stored.
std::vector<std::pair<std::u16string, std::u16string>> ListSettings(const SettingTarget& target);

/// A setting's value as one line: Empty is "", and a backslash, carriage return, line feed and
/// tab are written \\, \r, \n and \t.
std::u16string EscapeValue(std::u16string_view text);
/// The reverse of EscapeValue; a backslash before any other character stays as it is.
std::u16string UnescapeValue(std::u16string_view text);

/// One NAME=VALUE of `set`, checked against the target before anything is changed.
struct SettingAssignment {
    std::u16string name; ///< as the entity spells it
    automation::Variant value;
    automation::Ref<automation::Object> owner; ///< the entity that holds the setting
    /// The list that renames the owner when the setting is its name (so that the list's key
    /// follows); null for every other setting.
    EntityList* renamedIn = nullptr;
};

/// Checks NAME=VALUE against the target's settings and converts VALUE to the setting's type
/// (True/False for Boolean settings, whole numbers in range for Integer and Long ones). An
/// unknown setting, one that cannot be set, one the project file does not keep (the library
/// works it out) or a value that does not convert raises a CommandError; so does a table's or
/// field's new name that is empty or blanks alone, or that another table or field of the list
/// bears in any letter case (the project knows them by name without regard to case: of two that
/// share a name, a load keeps only the first).
SettingAssignment PrepareAssignment(const SettingTarget& target, std::string_view assignment);
/// Stores the value through the owner's own member of that name where it has one (so that a
/// setter that does more, such as the project name's, runs), else through its settings bag. A
/// new name of a table or field is given through its list, which keys it by that name.
void ApplyAssignment(const SettingAssignment& assignment);

} // namespace qv::cli
