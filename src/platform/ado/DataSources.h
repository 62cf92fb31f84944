#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ado {

/// A data source the ODBC driver manager knows, with the description of its driver.
struct DataSource {
    std::u16string name;
    std::u16string driver;
};

/// The names of the ODBC drivers installed on this machine (odbcinst.ini).
std::vector<std::u16string> InstalledDrivers();

/// The user's and the system's data sources (odbc.ini), as the driver manager lists them.
std::vector<DataSource> DataSources();

/// A value of a data source's definition ("Database", "Server", "Trusted_Connection", ...),
/// looked up through the driver manager in the user's and then the system's odbc.ini; nullopt
/// when the data source or its value does not exist.
std::optional<std::u16string> DataSourceValue(std::u16string_view dataSource, std::u16string_view key);

/// A value of an installed driver's definition in odbcinst.ini ("Driver" is its library);
/// nullopt when the driver or its value does not exist.
std::optional<std::u16string> DriverValue(std::u16string_view driver, std::u16string_view key);

/// A value of the [ODBC] section of a file data source; nullopt when the file or its value does
/// not exist.
std::optional<std::u16string> FileDataSourceValue(std::u16string_view file, std::u16string_view key);

} // namespace qv::ado
