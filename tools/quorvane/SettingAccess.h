#pragma once

#include "platform/automation/Object.h"
#include "platform/automation/Ref.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {
class Qel;
}

namespace qv::cli {

/// The entity whose settings a command shows or sets, with what the messages call it.
struct SettingTarget {
    automation::Ref<automation::Object> entity;
    std::string description; ///< "the project", "table Orders", "field Orders.Id"
};

/// The project itself for "", else the table of that name, else TABLE.FIELD. Names match
/// exactly first, then without regard to letter case when that finds exactly one. An unknown
/// table or field raises a CommandError.
SettingTarget FindTarget(Qel& project, std::string_view target);

/// Every setting of the entity in its bag's order, read by name: name and value as text.
std::vector<std::pair<std::u16string, std::u16string>> ListSettings(automation::Object& entity);

/// A setting's value as one line: Empty is "", and a backslash, carriage return, line feed and
/// tab are written \\, \r, \n and \t.
std::u16string EscapeValue(std::u16string_view text);
/// The reverse of EscapeValue; a backslash before any other character stays as it is.
std::u16string UnescapeValue(std::u16string_view text);

/// One NAME=VALUE of `set`, checked against the entity before anything is changed.
struct SettingAssignment {
    std::u16string name; ///< as the entity spells it
    automation::Variant value;
};

/// Checks NAME=VALUE against the entity's settings and converts VALUE to the setting's type
/// (True/False for Boolean settings, whole numbers in range for Integer and Long ones). An
/// unknown setting, one that cannot be set, one the project file does not keep (the library
/// works it out) or a value that does not convert raises a CommandError.
SettingAssignment PrepareAssignment(automation::Object& entity, std::string_view description,
                                    std::string_view assignment);
/// Stores the value through the entity's own member of that name where it has one (so that a
/// setter that does more, such as the project name's, runs), else through its settings bag.
void ApplyAssignment(automation::Object& entity, const SettingAssignment& assignment);

} // namespace qv::cli
