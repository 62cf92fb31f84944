#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::system {

/// An environment variable as text; nullopt when it is not set (an empty value is set).
std::optional<std::u16string> GetEnvironmentVariable(std::u16string_view name);

/// Expands %NAME% references with the environment's values, as the system's environment-string
/// expansion does: a reference to an unset variable, a lone "%" and "%%" stay as written.
std::u16string ExpandEnvironmentStrings(std::u16string_view text);

/// The host name of this machine (uname's node name); "localhost" when it has none.
std::u16string MachineName();

/// The operating system's name and release, e.g. "Linux 6.1.0-18-amd64".
std::u16string OsVersionName();

} // namespace qv::system
