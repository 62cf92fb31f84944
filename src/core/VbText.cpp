#include "core/VbText.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace qv {

using automation::Variant;

std::u16string_view TrimBlanks(std::u16string_view text) noexcept {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(u' ');
    return text.substr(first, last - first + 1);
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

std::optional<std::u16string> TextOf(const Variant& value) {
    if (value.IsNull() || value.IsArray()) {
        return std::nullopt;
    }
    try {
        return automation::ToString(value);
    } catch (const automation::Error&) {
        return std::nullopt;
    }
}

std::u16string Unquote(std::u16string_view text) {
    std::u16string_view result = TrimBlanks(text);
    while (result.size() >= 2 && (result.front() == u'"' || result.front() == u'\'') &&
           result.back() == result.front()) {
        result = TrimBlanks(result.substr(1, result.size() - 2));
    }
    return std::u16string(result);
}

std::u16string SortLines(std::u16string_view text) {
    if (TrimBlanks(text).empty()) {
        return {};
    }
    std::vector<std::u16string> lines;
    for (std::u16string_view line : SplitText(text, u"\r\n")) {
        // Every line is trimmed, so that two lists holding the same names compare equal
        // whatever order they came in.
        lines.emplace_back(TrimBlanks(line));
    }
    std::stable_sort(lines.begin(), lines.end());
    std::u16string joined;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (index > 0) {
            joined += u"\r\n";
        }
        joined += lines[index];
    }
    return joined;
}

} // namespace qv
