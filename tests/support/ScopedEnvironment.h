#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {

/// Sets or unsets environment variables for one test and puts back what was there before when
/// it goes out of scope, so that tests never leak settings (hive paths, code pages, folders)
/// into each other.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    ScopedEnvironment& Set(const std::string& name, const std::string& value);
    ScopedEnvironment& Unset(const std::string& name);

private:
    void Remember(const std::string& name);

    std::vector<std::pair<std::string, std::optional<std::string>>> mSaved;
};

} // namespace qv::test
