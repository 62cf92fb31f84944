#include "platform/system/Environment.h"

#include "platform/automation/Text.h"

#include <cstdlib>
#include <sys/utsname.h>

namespace qv::system {

std::optional<std::u16string> GetEnvironmentVariable(std::u16string_view name) {
    std::string nativeName = automation::ToUtf8(name);
    const char* value = std::getenv(nativeName.c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    return automation::FromUtf8(value);
}

std::u16string ExpandEnvironmentStrings(std::u16string_view text) {
    std::u16string expanded;
    expanded.reserve(text.size());
    while (!text.empty()) {
        std::size_t open = text.find(u'%');
        std::size_t close = open == std::u16string_view::npos ? open : text.find(u'%', open + 1);
        if (close == std::u16string_view::npos) {
            break;
        }
        expanded += text.substr(0, open);
        std::u16string_view name = text.substr(open + 1, close - open - 1);
        std::optional<std::u16string> value = name.empty() ? std::nullopt : GetEnvironmentVariable(name);
        if (!value) {
            // Not a reference: keep the first "%" and look for one again from the second.
            expanded += u'%';
            text.remove_prefix(open + 1);
            continue;
        }
        expanded += *value;
        text.remove_prefix(close + 1);
    }
    expanded += text;
    return expanded;
}

std::u16string MachineName() {
    utsname names{};
    if (uname(&names) != 0 || names.nodename[0] == '\0') {
        return u"localhost";
    }
    return automation::FromUtf8(names.nodename);
}

std::u16string OsVersionName() {
    utsname names{};
    if (uname(&names) != 0) {
        return u"Linux";
    }
    return automation::FromUtf8(std::string(names.sysname) + " " + names.release);
}

} // namespace qv::system
