#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

/// The project's and the database's settings that the loaders and the defaults of new tables and
/// fields read, one copy per apartment. The project copies them in before a load or after reading
/// a project file; the loaders record what they learn of the database here.
struct LoadSettings {
    /// gDbmsName: the DBMS name the provider reports, which picks the SQL dialect
    std::u16string dbmsName;
    /// gDefaultDateFormat: the project's date format, given to new date fields
    std::int16_t defaultDateFormat = 0;
    /// gSecDefault: the security given to newly loaded tables
    std::u16string secDefault;
    /// gDynamicLoadDB: a full load takes the names only and each table when it is asked for
    bool dynamicLoadDB = false;
    /// gRepeatColumns: the project's repeat count, given to new fields
    std::int16_t repeatColumns = 0;
    /// gCurrentSchema: the schema of the table being described
    std::u16string currentSchema;
    /// gOracleConnStr: the native connection text of an Oracle database
    std::u16string oracleConnStr;
    /// The tables and views a whole-database load must read, by name in any letter case; unset,
    /// every one. One outside them that cannot be read is left unloaded and named to the user
    /// instead of ending the load. Set by a caller that wants only some tables loaded (a new
    /// project of chosen tables) before the project's LoadDB, whose arguments the system fixes.
    std::optional<std::vector<std::u16string>> neededTables;
};

/// The calling apartment's load settings (reset with the apartment).
LoadSettings& CurrentLoadSettings();

} // namespace qv
