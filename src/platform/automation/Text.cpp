#include "platform/automation/Text.h"

#include "platform/automation/internal/CaseTables.h"

#include <algorithm>
#include <cstdint>
#include <span>

namespace qv::automation {

namespace {

constexpr char16_t ReplacementChar = 0xFFFD;

char16_t MapCase(char16_t c, std::span<const internal::CaseRange> ranges) noexcept {
    // The ranges are sorted by `first` and do not overlap.
    auto it =
        std::upper_bound(ranges.begin(), ranges.end(), c,
                         [](char16_t unit, const internal::CaseRange& range) { return unit < range.first; });
    if (it == ranges.begin()) {
        return c;
    }
    const internal::CaseRange& range = *(it - 1);
    if (c > range.last || (c - range.first) % range.step != 0) {
        return c;
    }
    return static_cast<char16_t>(c + range.delta);
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

} // namespace

std::u16string FromUtf8(std::string_view text) {
    // Never more units than bytes: the text is written in place and cut to its length at the end,
    // without a test of the room left at every unit (a script file may be a hundred megabytes).
    std::u16string out(text.size(), u'\0');
    char16_t* write = out.data();
    std::size_t index = 0;
    const std::size_t size = text.size();
    while (index < size) {
        const auto lead = static_cast<unsigned char>(text[index]);
        if (lead < 0x80) {
            *write++ = lead;
            ++index;
            continue;
        }
        // The length and the range of the second byte rule out overlong forms, surrogates and
        // code points above U+10FFFF. A malformed sequence yields one U+FFFD for its longest
        // valid prefix (at least one byte), the usual "maximal subpart" rule.
        int length = 0;
        unsigned char secondLow = 0x80;
        unsigned char secondHigh = 0xBF;
        char32_t code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            secondLow = lead == 0xE0 ? 0xA0 : 0x80;
            secondHigh = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            secondLow = lead == 0xF0 ? 0x90 : 0x80;
            secondHigh = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            *write++ = ReplacementChar;
            ++index;
            continue;
        }
        std::size_t next = index + 1;
        bool valid = true;
        for (int position = 1; position < length; ++position, ++next) {
            if (next >= size) {
                valid = false;
                break;
            }
            const auto byte = static_cast<unsigned char>(text[next]);
            const unsigned char low = position == 1 ? secondLow : 0x80;
            const unsigned char high = position == 1 ? secondHigh : 0xBF;
            if (byte < low || byte > high) {
                valid = false;
                break;
            }
            code = (code << 6) | (byte & 0x3F);
        }
        index = next;
        if (!valid) {
            *write++ = ReplacementChar;
            continue;
        }
        if (code < 0x10000) {
            *write++ = static_cast<char16_t>(code);
        } else {
            code -= 0x10000;
            *write++ = static_cast<char16_t>(0xD800 + (code >> 10));
            *write++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        }
    }
    out.resize(static_cast<std::size_t>(write - out.data()));
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (unit < 0xD800 || unit > 0xDFFF) {
            AppendUtf8(out, unit);
            continue;
        }
        const bool isHigh = unit <= 0xDBFF;
        if (isHigh && index + 1 < text.size() && text[index + 1] >= 0xDC00 && text[index + 1] <= 0xDFFF) {
            AppendUtf8(out,
                       0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[index + 1] - 0xDC00));
            ++index;
            continue;
        }
        // An unpaired surrogate has no UTF-8 form.
        AppendUtf8(out, ReplacementChar);
    }
    return out;
}

char16_t UpperChar(char16_t c) noexcept {
    if (c < 0x80) {
        return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    }
    return MapCase(c, internal::UpperRanges);
}

char16_t LowerChar(char16_t c) noexcept {
    if (c < 0x80) {
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    }
    return MapCase(c, internal::LowerRanges);
}

// ASCII letters are mapped inline; only other units search the tables.

void MakeUpper(std::u16string& text) noexcept {
    for (char16_t& unit : text) {
        if (unit < 0x80) {
            if (unit >= u'a' && unit <= u'z') {
                unit = static_cast<char16_t>(unit - 32);
            }
            continue;
        }
        unit = MapCase(unit, internal::UpperRanges);
    }
}

void MakeLower(std::u16string& text) noexcept {
    for (char16_t& unit : text) {
        if (unit < 0x80) {
            if (unit >= u'A' && unit <= u'Z') {
                unit = static_cast<char16_t>(unit + 32);
            }
            continue;
        }
        unit = MapCase(unit, internal::LowerRanges);
    }
}

std::u16string ToUpper(std::u16string_view text) {
    std::u16string out(text);
    MakeUpper(out);
    return out;
}

std::u16string ToLower(std::u16string_view text) {
    std::u16string out(text);
    MakeLower(out);
    return out;
}

// Equality, ordering and hashing all fold to upper case, so that names equal to EqualsNoCase
// hash alike and compare as equal.

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t index = 0; index < a.size(); ++index) {
        if (a[index] != b[index] && UpperChar(a[index]) != UpperChar(b[index])) {
            return false;
        }
    }
    return true;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) noexcept {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t index = 0; index < common; ++index) {
        if (a[index] == b[index]) {
            continue;
        }
        const char16_t upperA = UpperChar(a[index]);
        const char16_t upperB = UpperChar(b[index]);
        if (upperA != upperB) {
            return upperA < upperB ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::size_t HashNoCase(std::u16string_view text) noexcept {
    // FNV-1a over the folded units.
    std::uint64_t hash = 14695981039346656037ull;
    for (char16_t unit : text) {
        hash = (hash ^ UpperChar(unit)) * 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

std::size_t HashText(std::u16string_view text) noexcept {
    // FNV-1a over the units: keys are short, and this is cheaper than a general byte hash.
    std::uint64_t hash = 14695981039346656037ull;
    for (char16_t unit : text) {
        hash = (hash ^ unit) * 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

std::u16string WithFullStop(std::u16string_view text) {
    std::u16string sentence(text);
    if (!sentence.empty() && sentence.back() != u'.' && sentence.back() != u'!' && sentence.back() != u'?') {
        sentence += u'.';
    }
    return sentence;
}

} // namespace qv::automation
