#include "platform/system/SafeJoin.h"

#include "platform/system/Paths.h"

#include "platform/automation/Error.h"

namespace qv::system {

namespace {

constexpr std::int32_t BadFileName = automation::ErrorNumber::BadFileNameOrNumber;

bool IsAsciiLetter(char16_t c) noexcept {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool HasParentComponent(std::u16string_view name) noexcept {
    while (!name.empty()) {
        const std::size_t separator = name.find_first_of(u"\\/");
        if (name.substr(0, separator) == u"..") {
            return true;
        }
        if (separator == std::u16string_view::npos) {
            break;
        }
        name.remove_prefix(separator + 1);
    }
    return false;
}

std::u16string Quoted(std::u16string_view text) {
    std::u16string quoted(u"\"");
    quoted += text;
    quoted += u'"';
    return quoted;
}

} // namespace

std::u16string_view EscapeReason(std::u16string_view name) noexcept {
    if (name.find(u'\0') != std::u16string_view::npos) {
        return u"it holds a NUL character";
    }
    if (!name.empty() && IsPathSeparator(name.front())) {
        return u"it starts at the root of the file system";
    }
    // "C:\x" and the drive-relative "C:x" both name another drive on the system that wrote it.
    if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == u':') {
        return u"it names a drive";
    }
    if (HasParentComponent(name)) {
        return u"it climbs out with \"..\"";
    }
    return {};
}

std::u16string JoinInside(std::u16string_view root, std::u16string_view name) {
    if (root.find_first_not_of(u' ') == std::u16string_view::npos) {
        automation::Raise(BadFileName, u"",
                          u"The name " + Quoted(name) +
                              u" has no folder to stay in: the folder it belongs to is empty.");
    }
    if (const std::u16string_view reason = EscapeReason(name); !reason.empty()) {
        std::u16string description =
            u"The name " + Quoted(name) + u" is refused in the folder " + Quoted(root);
        description += u": ";
        description += reason;
        description += u'.';
        automation::Raise(BadFileName, u"", std::move(description));
    }
    return JoinPath(root, name);
}

} // namespace qv::system
