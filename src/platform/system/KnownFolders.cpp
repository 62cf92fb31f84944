#include "platform/system/KnownFolders.h"

#include "platform/system/Environment.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "platform/automation/Text.h"

#include <fstream>
#include <optional>
#include <pwd.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace qv::system {

namespace {

std::optional<std::u16string> NonEmptyVariable(std::u16string_view name) {
    std::optional<std::u16string> value = GetEnvironmentVariable(name);
    if (!value || value->empty()) {
        return std::nullopt;
    }
    return value;
}

std::u16string WithoutTrailingSeparators(std::u16string path) {
    while (path.size() > 1 && IsPathSeparator(path.back())) {
        path.pop_back();
    }
    return path;
}

// A value of user-dirs.dirs: "$HOME/Documents" or an absolute path, in double quotes, with
// backslash escapes. Anything else is not valid there and is ignored.
std::optional<std::u16string> ParseUserDirValue(std::string_view value) {
    if (value.size() < 2 || value.front() != '"') {
        return std::nullopt;
    }
    std::string unquoted;
    for (std::size_t index = 1; index < value.size(); ++index) {
        char c = value[index];
        if (c == '"') {
            break;
        }
        if (c == '\\' && index + 1 < value.size()) {
            c = value[++index];
        }
        unquoted += c;
    }
    constexpr std::string_view homePrefix = "$HOME";
    if (unquoted.starts_with(homePrefix)) {
        std::string_view rest = std::string_view(unquoted).substr(homePrefix.size());
        if (!rest.empty() && rest.front() != '/') {
            return std::nullopt;
        }
        return JoinPath(HomeFolder(), automation::FromUtf8(rest));
    }
    if (!unquoted.starts_with('/')) {
        return std::nullopt;
    }
    return automation::FromUtf8(unquoted);
}

// XDG_DOCUMENTS_DIR from xdg-user-dirs' file in the configuration folder.
std::optional<std::u16string> UserDirsDocuments() {
    const std::u16string path = JoinPath(ConfigFolder(), u"user-dirs.dirs");
    // A pipe in its place would hold up every start: only a file is read.
    if (!FileExists(path)) {
        return std::nullopt;
    }
    std::ifstream file(ToNativePath(path));
    std::string line;
    std::optional<std::u16string> documents;
    while (std::getline(file, line)) {
        constexpr std::string_view key = "XDG_DOCUMENTS_DIR=";
        std::string_view text(line);
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
            text.remove_prefix(1);
        }
        if (!text.starts_with(key)) {
            continue;
        }
        // The shell reads the file: a later line wins.
        if (std::optional<std::u16string> value = ParseUserDirValue(text.substr(key.size()))) {
            documents = std::move(value);
        }
    }
    return documents;
}

} // namespace

std::u16string HomeFolder() {
    if (std::optional<std::u16string> home = NonEmptyVariable(u"HOME")) {
        return WithoutTrailingSeparators(std::move(*home));
    }
    passwd entry{};
    passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr && result->pw_dir[0] != '\0') {
        return WithoutTrailingSeparators(automation::FromUtf8(result->pw_dir));
    }
    return u"/";
}

std::u16string DocumentsFolder() {
    if (std::optional<std::u16string> configured = NonEmptyVariable(u"QUORVANE_DOCUMENTS")) {
        return WithoutTrailingSeparators(std::move(*configured));
    }
    std::u16string home = HomeFolder();
    std::optional<std::u16string> xdg = NonEmptyVariable(u"XDG_DOCUMENTS_DIR");
    if (!xdg) {
        xdg = UserDirsDocuments();
    }
    // xdg-user-dirs marks a folder it has switched off by pointing it at the home folder; the
    // work folders must not be spread over the home folder itself.
    if (xdg) {
        std::u16string documents = WithoutTrailingSeparators(std::move(*xdg));
        if (documents != home) {
            return documents;
        }
    }
    return JoinPath(home, u"Documents");
}

std::u16string ConfigFolder() {
    std::optional<std::u16string> configured = NonEmptyVariable(u"XDG_CONFIG_HOME");
    if (configured && IsAbsolutePath(*configured)) {
        return WithoutTrailingSeparators(std::move(*configured));
    }
    return JoinPath(HomeFolder(), u".config");
}

std::u16string TempFolder() {
    if (std::optional<std::u16string> configured = NonEmptyVariable(u"TMPDIR")) {
        return WithoutTrailingSeparators(std::move(*configured));
    }
    return u"/tmp";
}

std::u16string ProgramFolder() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return FromNativePath(program.parent_path());
}

} // namespace qv::system
