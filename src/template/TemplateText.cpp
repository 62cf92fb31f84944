#include "template/TemplateText.h"

#include "core/Apartment.h"

#include "platform/system/FileSystem.h"
#include "platform/system/TextCodec.h"
#include "platform/system/TextFile.h"

#include "platform/automation/Text.h"

#include <string>

namespace qv {

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

namespace {

bool IsWordCharacter(char16_t c) noexcept {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c > 0x7F;
}

/// Whether a word is an operator that binds more loosely than "&".
bool IsLooseOperatorWord(std::u16string_view word) noexcept {
    static constexpr std::u16string_view words[] = {u"is", u"not", u"and", u"or", u"xor", u"eqv", u"imp"};
    for (std::u16string_view loose : words) {
        if (automation::EqualsNoCase(word, loose)) {
            return true;
        }
    }
    return false;
}

/// Whether the expression has, outside parentheses, brackets, string and date literals, an
/// operator of lower precedence than "&".
bool HasLooseOperator(std::u16string_view expression) noexcept {
    int depth = 0;
    std::size_t position = 0;
    while (position < expression.size()) {
        const char16_t c = expression[position];
        if (c == u'"' || c == u'[' || c == u'#') {
            // A doubled quote inside a literal closes it and opens the next at once, which
            // skips the same text.
            const char16_t closer = c == u'[' ? u']' : c;
            const std::size_t close = expression.find(closer, position + 1);
            if (close == std::u16string_view::npos) {
                return false;
            }
            position = close + 1;
            continue;
        }
        if (IsWordCharacter(c)) {
            std::size_t end = position;
            while (end < expression.size() && IsWordCharacter(expression[end])) {
                ++end;
            }
            // A member name after "." is no operator, whatever it is called.
            const bool isMember = position > 0 && expression[position - 1] == u'.';
            if (depth == 0 && !isMember && IsLooseOperatorWord(expression.substr(position, end - position))) {
                return true;
            }
            position = end;
            continue;
        }
        if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (depth == 0 && (c == u'=' || c == u'<' || c == u'>')) {
            return true;
        }
        ++position;
    }
    return false;
}

} // namespace

std::u16string ConcatenationOperand(std::u16string_view expression) {
    // Appended bare, "a = b" would compare the whole output built so far with b and put the
    // Boolean in its place: the page would lose everything before it.
    if (HasLooseOperator(expression)) {
        return u"(" + std::u16string(expression) + u")";
    }
    return std::u16string(expression);
}

std::u16string ReadSingleByteFile(std::u16string_view path) {
    // No byte-order mark is looked for: templates pass through byte for byte, whatever they hold.
    return system::TextCodec::ForCodePage(AnsiCodePage()).Decode(system::ReadFileBytes(path));
}

void WriteSingleByteFile(std::u16string_view path, std::u16string_view text) {
    system::WriteTextFile(path, text, system::TextEncodingKind::CodePage, AnsiCodePage());
}

} // namespace qv
