#include "project/internal/VersionCompare.h"

#include "core/VbText.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace qv {

namespace {

constexpr std::size_t ComparedParts = 3;

std::optional<std::int64_t> PartNumber(std::u16string_view part) {
    part = TrimBlanks(part);
    if (part.empty() || part.size() > 9) {
        return std::nullopt;
    }
    std::int64_t number = 0;
    for (const char16_t unit : part) {
        if (unit < u'0' || unit > u'9') {
            return std::nullopt;
        }
        number = number * 10 + (unit - u'0');
    }
    return number;
}

} // namespace

bool IsNewerVersion(std::u16string_view a, std::u16string_view b) {
    const std::vector<std::u16string_view> left = SplitText(a, u".");
    const std::vector<std::u16string_view> right = SplitText(b, u".");
    const std::size_t count = std::min({left.size(), right.size(), ComparedParts});
    for (std::size_t index = 0; index < count; ++index) {
        const std::optional<std::int64_t> leftNumber = PartNumber(left[index]);
        const std::optional<std::int64_t> rightNumber = PartNumber(right[index]);
        if (!leftNumber || !rightNumber) {
            return false;
        }
        if (*leftNumber != *rightNumber) {
            return *leftNumber > *rightNumber;
        }
    }
    return false;
}

} // namespace qv
