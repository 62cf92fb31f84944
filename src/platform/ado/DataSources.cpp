#include "platform/ado/DataSources.h"

#include "platform/ado/internal/Odbc.h"

#include "platform/automation/Text.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace qv::ado {

using internal::FromOdbcText;

namespace {

/// Walks one of the driver manager's lists (drivers or data sources) from its first entry.
template <class Visit>
void Walk(SQLRETURN (*next)(SQLHENV, SQLUSMALLINT, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*, SQLWCHAR*,
                            SQLSMALLINT, SQLSMALLINT*),
          Visit visit) {
    internal::EnvironmentHandle environment;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (true) {
        SQLWCHAR first[512] = {};
        SQLWCHAR second[1024] = {};
        SQLSMALLINT firstLength = 0;
        SQLSMALLINT secondLength = 0;
        SQLRETURN rc =
            next(environment.Get(), direction, first, 512, &firstLength, second, 1024, &secondLength);
        if (!SQL_SUCCEEDED(rc)) {
            return;
        }
        visit(FromOdbcText(first, 512), FromOdbcText(second, 1024));
        direction = SQL_FETCH_NEXT;
    }
}

} // namespace

std::vector<std::u16string> InstalledDrivers() {
    std::vector<std::u16string> drivers;
    Walk(&SQLDriversW,
         [&](std::u16string name, const std::u16string&) { drivers.push_back(std::move(name)); });
    return drivers;
}

std::vector<DataSource> DataSources() {
    std::vector<DataSource> sources;
    Walk(&SQLDataSourcesW, [&](std::u16string name, std::u16string driver) {
        sources.push_back({std::move(name), std::move(driver)});
    });
    return sources;
}

namespace {

/// A value of one of the driver manager's files, read as bytes (UTF-8 on this system). A
/// default no file can hold tells a missing value from an empty one.
std::optional<std::u16string> ProfileValue(std::u16string_view section, std::u16string_view key,
                                           const char* file) {
    std::string sectionText = automation::ToUtf8(section);
    std::string entry = automation::ToUtf8(key);
    if (sectionText.empty() || entry.empty()) {
        return std::nullopt;
    }
    constexpr char Missing[] = "\x1f\x1e";
    std::string value(4096, '\0');
    int length = SQLGetPrivateProfileString(sectionText.c_str(), entry.c_str(), Missing, value.data(),
                                            static_cast<int>(value.size()), file);
    if (length < 0) {
        return std::nullopt;
    }
    value.resize(std::min(static_cast<std::size_t>(length), value.size()));
    if (value == Missing) {
        return std::nullopt;
    }
    return automation::FromUtf8(value);
}

} // namespace

std::optional<std::u16string> DataSourceValue(std::u16string_view dataSource, std::u16string_view key) {
    return ProfileValue(dataSource, key, "odbc.ini");
}

std::optional<std::u16string> DriverValue(std::u16string_view driver, std::u16string_view key) {
    return ProfileValue(driver, key, "odbcinst.ini");
}

std::optional<std::u16string> FileDataSourceValue(std::u16string_view file, std::u16string_view key) {
    std::string path = automation::ToUtf8(file);
    std::string entry = automation::ToUtf8(key);
    if (path.empty() || entry.empty()) {
        return std::nullopt;
    }
    std::string value(4096, '\0');
    WORD length = 0;
    if (!SQLReadFileDSN(path.c_str(), "ODBC", entry.c_str(), value.data(), static_cast<WORD>(value.size()),
                        &length)) {
        return std::nullopt;
    }
    value.resize(std::min(static_cast<std::size_t>(length), std::strlen(value.c_str())));
    if (value.empty()) {
        return std::nullopt;
    }
    return automation::FromUtf8(value);
}

} // namespace qv::ado
