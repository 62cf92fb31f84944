#include "project/OutputCleanup.h"

#include "platform/automation/Text.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace qv {

namespace {

constexpr std::u16string_view Crlf = u"\r\n";

bool IsBlank(char16_t c) noexcept {
    return c == u' ' || c == u'\t';
}

/// What the clean-up carries from one line to the next.
struct LineState {
    bool inScript = false;         ///< the lines so far have opened a "<%" block not yet closed
    std::int32_t codeLines = 0;    ///< ordinary code lines since the last comment or declaration
    std::int32_t commentLines = 0; ///< consecutive comment lines just seen
};

/// A line opening a procedure or class: one of these words and a blank, in any letter case.
bool IsDeclaration(std::u16string_view visible) {
    static constexpr std::array<std::u16string_view, 6> Keywords{u"Class",    u"Private",  u"Public",
                                                                 u"Property", u"Function", u"Sub"};
    for (std::u16string_view keyword : Keywords) {
        if (visible.size() > keyword.size() && visible[keyword.size()] == u' ' &&
            automation::EqualsNoCase(visible.substr(0, keyword.size()), keyword)) {
            return true;
        }
    }
    return false;
}

/// Inside a script block, the blank line that goes before a line starting with `visible`, and
/// the counts that line leaves.
void SpaceScriptLine(std::u16string& output, std::u16string_view visible, LineState& state) {
    if (visible.front() == u'\'') {
        // One blank line before a run of comments.
        if (state.commentLines == 0) {
            output += Crlf;
        }
        ++state.commentLines;
        state.codeLines = 0;
        return;
    }
    if (IsDeclaration(visible)) {
        // A declaration directly after its comments keeps them together.
        if (state.commentLines == 0) {
            output += Crlf;
        }
        state.commentLines = 0;
        state.codeLines = 0;
        return;
    }
    // Code after a comment run of two lines or more stands apart from it.
    if (state.codeLines == 0 && state.commentLines >= 2) {
        output += Crlf;
    }
    state.commentLines = 0;
    ++state.codeLines;
}

/// Appends one line (nothing for a blank one), with the blank line the script layout asks for before
/// it, and updates the state from it. The state a line sets applies from the next line on, so
/// the line that opens a block is still plain text.
void FormatOutputLine(std::u16string& output, std::u16string_view line, LineState& state) {
    std::size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) {
        ++first;
    }
    if (first < line.size()) {
        if (state.inScript) {
            SpaceScriptLine(output, line.substr(first), state);
        }
        output += line;
        output += Crlf;
    }
    const std::size_t open = line.find(u"<%");
    const std::size_t close = line.find(u"%>");
    if (open == close) {
        return; // neither
    }
    // A "%>" before the first "<%", or a "<%" without one, leaves a block open.
    if (close == std::u16string_view::npos || (open != std::u16string_view::npos && close < open)) {
        state.inScript = true;
        state.codeLines = 0;
        state.commentLines = 0;
        return;
    }
    state.inScript = false;
}

/// Every "</head>", in any letter case, as the tag and "</head>" in lower case.
std::u16string InsertBeforeHeadEnd(std::u16string_view text, std::u16string_view tag) {
    static constexpr std::u16string_view HeadEnd = u"</head>";
    std::u16string result;
    result.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t at = 0; at + HeadEnd.size() <= text.size();) {
        if (!automation::EqualsNoCase(text.substr(at, HeadEnd.size()), HeadEnd)) {
            ++at;
            continue;
        }
        result += text.substr(start, at - start);
        result += tag;
        result += HeadEnd;
        at += HeadEnd.size();
        start = at;
    }
    result += text.substr(start);
    return result;
}

} // namespace

std::u16string GeneratorMetaTag(std::u16string_view productName, std::u16string_view version) {
    std::u16string tag = u"<meta name=\"generator\" content=\"";
    tag += productName;
    tag += u" v";
    tag += version;
    tag += u"\" />";
    tag += Crlf;
    return tag;
}

std::u16string FormatOutputText(std::u16string_view text, std::u16string_view productName,
                                std::u16string_view version) {
    std::u16string output;
    output.reserve(text.size() + text.size() / 8);
    LineState state;
    // Only CR ends a line (an LF right after it belongs to the break); an LF alone is part of
    // the line, as the pages' own line breaks are CRLF.
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(u'\r', start);
        if (end == std::u16string_view::npos) {
            FormatOutputLine(output, text.substr(start), state);
            break;
        }
        if (end > start) {
            FormatOutputLine(output, text.substr(start, end - start), state);
        }
        start = end + 1;
        if (start < text.size() && text[start] == u'\n') {
            ++start;
        }
    }
    return InsertBeforeHeadEnd(output, GeneratorMetaTag(productName, version));
}

std::u16string TrimLeadingBlankLines(std::u16string_view text) {
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char16_t c = text[at];
        if (c == u'\r' || c == u'\n') {
            start = at + 1;
        } else if (!IsBlank(c)) {
            break;
        }
    }
    return std::u16string(text.substr(start));
}

} // namespace qv
