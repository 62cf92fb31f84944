#include "platform/system/Paths.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <system_error>
#include <vector>

namespace qv::system {

namespace {

std::size_t LastSeparator(std::u16string_view path) noexcept {
    return path.find_last_of(u"\\/");
}

bool Exists(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

} // namespace

std::vector<std::u16string_view> PathComponents(std::u16string_view name) {
    std::vector<std::u16string_view> components;
    while (!name.empty()) {
        std::size_t separator = name.find_first_of(u"\\/");
        std::u16string_view component = name.substr(0, separator);
        if (!component.empty() && component != u".") {
            components.push_back(component);
        }
        if (separator == std::u16string_view::npos) {
            break;
        }
        name.remove_prefix(separator + 1);
    }
    return components;
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
    // A folder that is only separators is the root: keep one.
    bool isRoot = !folder.empty() && folder.find_first_not_of(u"\\/") == std::u16string_view::npos;
    while (!folder.empty() && IsPathSeparator(folder.back())) {
        folder.remove_suffix(1);
    }
    while (!name.empty() && IsPathSeparator(name.front())) {
        name.remove_prefix(1);
    }
    if (isRoot) {
        // Appended rather than `u"/" + std::u16string(name)`: GCC 12 at -O3 reports a false
        // overlap (-Wrestrict) in the inlined insert at the front of a temporary.
        std::u16string rooted(u"/");
        rooted += name;
        return rooted;
    }
    if (folder.empty()) {
        return std::u16string(name);
    }
    std::u16string joined(folder);
    if (!name.empty()) {
        joined += u'/';
        joined += name;
    }
    return joined;
}

std::u16string_view BaseName(std::u16string_view path) noexcept {
    std::size_t separator = LastSeparator(path);
    return separator == std::u16string_view::npos ? path : path.substr(separator + 1);
}

std::u16string_view FolderOf(std::u16string_view path) noexcept {
    std::size_t separator = LastSeparator(path);
    if (separator == std::u16string_view::npos) {
        return {};
    }
    return separator == 0 ? path.substr(0, 1) : path.substr(0, separator);
}

std::u16string_view ExtensionOf(std::u16string_view path) noexcept {
    std::u16string_view base = BaseName(path);
    std::size_t dot = base.rfind(u'.');
    if (dot == std::u16string_view::npos || dot == 0) {
        return {};
    }
    return base.substr(dot);
}

std::u16string_view WithoutExtension(std::u16string_view path) noexcept {
    return path.substr(0, path.size() - ExtensionOf(path).size());
}

bool IsAbsolutePath(std::u16string_view path) noexcept {
    return !path.empty() && IsPathSeparator(path[0]);
}

std::filesystem::path ToNativePath(std::u16string_view path) {
    std::string native = automation::ToUtf8(path);
    for (char& c : native) {
        if (c == '\\') {
            c = '/';
        }
    }
    return std::filesystem::path(std::move(native));
}

std::string FitFileName(std::string_view prefix, std::string_view name, std::string_view suffix) {
    std::string whole;
    whole.reserve(prefix.size() + name.size() + suffix.size());
    whole.append(prefix).append(name).append(suffix);
    if (whole.size() <= MaxFileNameBytes) {
        return whole;
    }
    // FNV-1a over the whole name: stable across runs and builds, unlike std::hash.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : whole) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    char tag[24];
    std::snprintf(tag, sizeof tag, "~%016llx", static_cast<unsigned long long>(hash));
    const std::string_view tagText(tag);
    // A cut never splits a UTF-8 sequence.
    const auto cut = [](std::string_view text, std::size_t bytes) {
        bytes = std::min(bytes, text.size());
        while (bytes > 0 && bytes < text.size() && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) {
            --bytes;
        }
        return text.substr(0, bytes);
    };
    const std::size_t fixed = prefix.size() + tagText.size() + suffix.size();
    std::string fitted;
    if (fixed + 1 <= MaxFileNameBytes) {
        fitted.append(prefix).append(cut(name, MaxFileNameBytes - fixed)).append(tagText).append(suffix);
    } else {
        fitted.append(cut(whole, MaxFileNameBytes - tagText.size())).append(tagText);
    }
    return fitted;
}

std::u16string FitFileName(std::u16string_view prefix, std::u16string_view name, std::u16string_view suffix) {
    return automation::FromUtf8(
        FitFileName(automation::ToUtf8(prefix), automation::ToUtf8(name), automation::ToUtf8(suffix)));
}

std::u16string FromNativePath(const std::filesystem::path& path) {
    return automation::FromUtf8(path.native());
}

std::optional<std::u16string> FindNoCase(std::u16string_view folder, std::u16string_view relativeName) {
    std::filesystem::path current = ToNativePath(folder.empty() ? u"." : folder);
    std::u16string found(folder);
    for (std::u16string_view component : PathComponents(relativeName)) {
        std::filesystem::path exact = current / ToNativePath(component);
        if (Exists(exact)) {
            current = std::move(exact);
            found = JoinPath(found, component);
            continue;
        }
        std::optional<std::filesystem::path> match;
        std::error_code error;
        for (std::filesystem::directory_iterator entries(current, error), end; !error && entries != end;
             entries.increment(error)) {
            std::u16string entryName = FromNativePath(entries->path().filename());
            if (!automation::EqualsNoCase(entryName, component)) {
                continue;
            }
            if (match) {
                return std::nullopt; // two entries differ only in case: no safe choice
            }
            match = entries->path();
        }
        if (error || !match) {
            return std::nullopt;
        }
        found = JoinPath(found, FromNativePath(match->filename()));
        current = std::move(*match);
    }
    return found;
}

} // namespace qv::system
