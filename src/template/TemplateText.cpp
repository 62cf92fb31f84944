#include "template/TemplateText.h"

#include "core/Apartment.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/TextCodec.h"
#include "platform/system/TextFile.h"

#include "platform/automation/Text.h"

#include <optional>
#include <string>

namespace qv {

std::u16string_view TrimBlanks(std::u16string_view text) noexcept {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(u' ');
    return text.substr(first, last - first + 1);
}

std::size_t FindTextNoCase(std::u16string_view text, std::u16string_view what, std::size_t from) {
    if (what.empty()) {
        return from <= text.size() ? from : std::u16string_view::npos;
    }
    const char16_t firstLower = automation::LowerChar(what.front());
    for (std::size_t position = from; position + what.size() <= text.size(); ++position) {
        if (automation::LowerChar(text[position]) != firstLower) {
            continue;
        }
        if (automation::EqualsNoCase(text.substr(position, what.size()), what)) {
            return position;
        }
    }
    return std::u16string_view::npos;
}

std::vector<std::u16string_view> SplitText(std::u16string_view text, std::u16string_view separator) {
    std::vector<std::u16string_view> parts;
    if (text.empty()) {
        return parts;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t found = text.find(separator, start);
        if (found == std::u16string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, found - start));
        start = found + separator.size();
    }
}

std::u16string NumberText(std::int64_t number) {
    return automation::FromUtf8(std::to_string(number));
}

std::u16string DoubleQuotes(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (char16_t c : text) {
        result.push_back(c);
        if (c == u'"') {
            result.push_back(u'"');
        }
    }
    return result;
}

std::u16string ReadSingleByteFile(std::u16string_view path) {
    // No byte-order mark is looked for: templates pass through byte for byte, whatever they hold.
    return system::TextCodec::ForCodePage(AnsiCodePage()).Decode(system::ReadFileBytes(path));
}

void WriteSingleByteFile(std::u16string_view path, std::u16string_view text) {
    system::WriteTextFile(path, text, system::TextEncodingKind::CodePage, AnsiCodePage());
}

std::u16string LocateFileNoCase(std::u16string_view folder, std::u16string_view name) {
    std::u16string exact = system::JoinPath(folder, name);
    if (system::FileExists(exact)) {
        return exact;
    }
    if (folder.empty() || name.empty()) {
        return {};
    }
    std::optional<std::u16string> found = system::FindNoCase(folder, name);
    if (found && system::FileExists(*found)) {
        return *found;
    }
    return {};
}

} // namespace qv
