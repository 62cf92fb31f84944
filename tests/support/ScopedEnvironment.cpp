#include "support/ScopedEnvironment.h"

#include <algorithm>
#include <cstdlib>

namespace qv::test {

ScopedEnvironment::~ScopedEnvironment() {
    for (auto entry = mSaved.rbegin(); entry != mSaved.rend(); ++entry) {
        const auto& [name, value] = *entry;
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
}

void ScopedEnvironment::Remember(const std::string& name) {
    if (std::ranges::any_of(mSaved, [&name](const auto& saved) { return saved.first == name; })) {
        return;
    }
    const char* value = std::getenv(name.c_str());
    mSaved.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
}

ScopedEnvironment& ScopedEnvironment::Set(const std::string& name, const std::string& value) {
    Remember(name);
    setenv(name.c_str(), value.c_str(), 1);
    return *this;
}

ScopedEnvironment& ScopedEnvironment::Unset(const std::string& name) {
    Remember(name);
    unsetenv(name.c_str());
    return *this;
}

} // namespace qv::test
