#include "template/QoParser.h"

#include "template/TemplateState.h"
#include "template/TemplateText.h"

#include "core/Apartment.h"
#include "core/VbText.h"

#include "platform/system/FileSystem.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <cassert>
#include <string>

namespace qv {

namespace {

constexpr std::u16string_view Opener = u"<!--##";
constexpr std::u16string_view Closer = u"##-->";
/// The type characters of blocks 2 to 5, in the order of their numbers.
constexpr std::u16string_view TypeCharacters = u"=~@$";
constexpr std::u16string_view SessionStart = u"<!--##session";
constexpr std::u16string_view SessionEnd = u"<!--##/session##-->";
constexpr std::u16string_view IncludeStart = u"<!--##include";
constexpr std::u16string_view FunctionKeyword = u"function ";

} // namespace

const automation::ClassInfo& QoParser::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QoParser",
                                {
                                    Method<&QoParser::BlockType>(u"BlockType"),
                                    Method<&QoParser::BlockName>(u"BlockName"),
                                    Method<&QoParser::BlockValue>(u"BlockValue"),
                                    Method<&QoParser::BlockIndent>(u"BlockIndent"),
                                    Property<&QoParser::BlockID, &QoParser::SetBlockID>(u"BlockID"),
                                    Method<&QoParser::Count>(u"Count"),
                                    Method<&QoParser::ParseMember>(u"Parse"),
                                    Method<&QoParser::GetSessionMember>(u"GetSession"),
                                });
    return info;
}

const QoParser::Block* QoParser::Current() const {
    if (mBlockID < 1 || mBlockID > Count()) {
        return nullptr;
    }
    return &mBlocks[static_cast<std::size_t>(mBlockID - 1)];
}

std::int32_t QoParser::BlockType() const {
    const Block* block = Current();
    return block ? static_cast<std::int32_t>(block->type) : 0;
}

std::u16string QoParser::BlockName() const {
    const Block* block = Current();
    return block ? block->name : std::u16string();
}

std::u16string QoParser::BlockValue() const {
    const Block* block = Current();
    return block ? mSource.substr(block->start, block->length) : std::u16string();
}

std::u16string QoParser::BlockIndent() const {
    const Block* block = Current();
    return block ? block->indent : std::u16string();
}

void QoParser::SetBlockID(std::int32_t blockID) {
    if (blockID >= 1 && blockID <= Count()) {
        mBlockID = blockID;
    }
}

void QoParser::AddBlock(Block block) {
    mBlocks.push_back(std::move(block));
    mBlockID = Count();
}

// template := { text | "<!--##" [type] inner "##-->" }
// The closer is searched from the opener itself, and a second opener before the closer is an
// error: blocks never nest.
bool QoParser::Parse(std::u16string_view sSrc) {
    mSource.assign(sSrc);
    mBlocks.clear();
    mBlockID = 0;
    const std::u16string_view source = mSource;
    constexpr std::size_t npos = std::u16string_view::npos;

    std::size_t textStart = 0;
    std::size_t open = source.find(Opener);
    for (;;) {
        if (open == npos) {
            if (textStart < source.size()) {
                AddBlock({qoc_Block_Type::qoc_Block_Content, {}, textStart, source.size() - textStart, {}});
            }
            return true;
        }
        if (open > textStart) {
            AddBlock({qoc_Block_Type::qoc_Block_Content, {}, textStart, open - textStart, {}});
        }
        const std::size_t typeAt = open + Opener.size();
        const std::size_t typeIndex = typeAt < source.size() ? TypeCharacters.find(source[typeAt]) : npos;
        const std::size_t close = source.find(Closer, open);
        if (close == npos) {
            ReportError(u"Incomplete Block at line ", open);
            return false;
        }
        const std::size_t next = source.find(Opener, typeAt);
        if (next != npos && next < close) {
            ReportError(u"Nested Blocks found at line ", next);
            return false;
        }

        Block block;
        if (typeIndex == npos) {
            block.type = qoc_Block_Type::qoc_Block_Script;
            block.start = typeAt;
            // In "<!--##-->" the closer begins inside the opener; that is an empty script block,
            // not one of negative length.
            block.length = close > typeAt ? close - typeAt : 0;
            block.name = GetFunctionName(block.start, block.length);
        } else {
            block.type = static_cast<qoc_Block_Type>(typeIndex + 2);
            block.start = typeAt + 1;
            assert(close >= block.start && "a typed block's closer cannot overlap its opener");
            block.length = close - block.start;
            block.name = TrimBlanks(source.substr(block.start, block.length));
            if (block.type == qoc_Block_Type::qoc_Block_FunctionIndent && !mBlocks.empty() &&
                mBlocks.back().type == qoc_Block_Type::qoc_Block_Content) {
                const Block& text = mBlocks.back();
                block.indent = GetTrailingIndent(source.substr(text.start, text.length));
            }
        }
        AddBlock(std::move(block));
        textStart = close + Closer.size();
        open = next;
    }
}

// Lines count CRLF pairs only; the column counts from the line's start up to and including the
// "<" of the offending opener.
void QoParser::ReportError(std::u16string_view what, std::size_t position) const {
    const std::u16string_view prefix = std::u16string_view(mSource).substr(0, position + 1);
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t found = prefix.find(u"\r\n"); found != std::u16string_view::npos;
         found = prefix.find(u"\r\n", found + 2)) {
        ++line;
        lineStart = found + 2;
    }
    const std::size_t column = position - lineStart + 1;
    std::u16string message = u"***";
    message += what;
    message += NumberText(static_cast<std::int64_t>(line));
    message += u" column ";
    message += NumberText(static_cast<std::int64_t>(column));
    message += u"! Generation failed!";
    State().gProjErr = std::move(message);
}

std::u16string QoParser::GetTrailingIndent(std::u16string_view text) const {
    std::size_t start = text.size();
    while (start > 0 && (text[start - 1] == u'\t' || text[start - 1] == u' ')) {
        --start;
    }
    return std::u16string(text.substr(start));
}

// The last "Function " of the code that starts a line (after blanks only) declares the
// block's function. Occurrences in comment lines, inside longer words or after a tab are
// skipped; one after another word (an access keyword) means the block names no function.
std::u16string QoParser::GetFunctionName(std::size_t start, std::size_t length) const {
    const std::u16string lowerSource =
        automation::ToLower(std::u16string_view(mSource).substr(start, length));
    std::u16string_view code = lowerSource;
    for (;;) {
        const std::size_t found = code.rfind(FunctionKeyword);
        if (found == std::u16string_view::npos) {
            return {};
        }
        const std::size_t lineBreak = found >= 2 ? code.rfind(u"\r\n", found - 2) : std::u16string_view::npos;
        const std::size_t lineStart = lineBreak == std::u16string_view::npos ? 0 : lineBreak + 2;
        const std::u16string_view prefix = code.substr(lineStart, found - lineStart);
        if (prefix.find_first_not_of(u' ') == std::u16string_view::npos) {
            const std::size_t parenthesis = code.find(u'(', found);
            if (parenthesis == std::u16string_view::npos) {
                return {};
            }
            // The name keeps its letter case: take it from the source, not the lowered copy.
            const std::size_t nameStart = found + FunctionKeyword.size() - 1;
            return std::u16string(
                TrimBlanks(std::u16string_view(mSource).substr(start + nameStart, parenthesis - nameStart)));
        }
        const std::u16string_view trimmed = TrimBlanks(prefix);
        if (trimmed.front() == u'\'' || prefix.back() != u' ') {
            code = code.substr(0, found);
            continue;
        }
        return {};
    }
}

std::u16string QoParser::GetSession(std::u16string_view sSrc, std::u16string_view sSessID) {
    IncludeTrail trail;
    return SessionOf(sSrc, sSessID, trail);
}

// session := "<!--##session" id "##-->" text "<!--##/session##-->"
// Only the first session with the identifier counts; sessions do not nest.
std::u16string QoParser::SessionOf(std::u16string_view source, std::u16string_view sessionID,
                                   IncludeTrail& trail) {
    const std::u16string wanted = automation::ToLower(sessionID);
    std::size_t from = 0;
    for (;;) {
        const std::size_t start = FindTextNoCase(source, SessionStart, from);
        if (start == std::u16string_view::npos) {
            return {};
        }
        const std::size_t idStart = start + SessionStart.size();
        const std::size_t close = source.find(Closer, idStart);
        if (close == std::u16string_view::npos) {
            return {};
        }
        const std::size_t bodyStart = close + Closer.size();
        if (automation::ToLower(TrimBlanks(source.substr(idStart, close - idStart))) == wanted) {
            const std::size_t end = FindTextNoCase(source, SessionEnd, bodyStart);
            if (end == std::u16string_view::npos) {
                return {};
            }
            return ResolveIncludes(source.substr(bodyStart, end - bodyStart), trail);
        }
        from = bodyStart;
    }
}

// include := "<!--##include" file "/" session "##-->"
// A directive without "/" is malformed and dropped, and so is one whose file is missing. A
// directive that names a session already being expanded (a cycle), or that nests too deep, is
// dropped like a malformed one, so that no template can recurse without end. A file name that
// would leave the folder being read ("..\x", "/etc/x", "C:\x") raises error 52 naming it: a
// template never reads what lies outside its own folders.
std::u16string QoParser::ResolveIncludes(std::u16string_view text, IncludeTrail& trail) {
    std::u16string output;
    std::size_t from = 0;
    for (;;) {
        const std::size_t directive = FindTextNoCase(text, IncludeStart, from);
        if (directive == std::u16string_view::npos) {
            output += text.substr(from);
            return output;
        }
        output += text.substr(from, directive - from);
        const std::size_t argumentsStart = directive + IncludeStart.size();
        const std::size_t close = text.find(Closer, argumentsStart);
        if (close == std::u16string_view::npos) {
            output += text.substr(directive);
            return output;
        }
        from = close + Closer.size();

        // The session follows the last "/", as the rebuild check reads the tag: the file name
        // before it may name a sub-folder, and one that climbs out is refused on every run.
        const std::u16string_view arguments = TrimBlanks(text.substr(argumentsStart, close - argumentsStart));
        const std::size_t slash = arguments.rfind(u'/');
        if (slash == std::u16string_view::npos) {
            continue;
        }
        const std::u16string session(TrimBlanks(arguments.substr(slash + 1)));
        std::u16string path = FindTemplateFile(TrimBlanks(arguments.substr(0, slash)));
        if (!system::FileExists(path)) {
            continue;
        }
        std::pair<std::u16string, std::u16string> include(std::move(path), automation::ToLower(session));
        if (static_cast<int>(trail.size()) >= MaxIncludeDepth ||
            std::find(trail.begin(), trail.end(), include) != trail.end()) {
            continue;
        }
        // An empty file reads as empty text and so contributes nothing.
        const std::u16string& included = IncludedFileText(include.first);
        trail.push_back(std::move(include));
        output += SessionOf(included, session, trail);
        trail.pop_back();
    }
}

const std::u16string& QoParser::IncludedFileText(const std::u16string& path) {
    const auto found = mIncludedFiles.find(path);
    if (found != mIncludedFiles.end()) {
        return found->second;
    }
    return mIncludedFiles.emplace(path, ReadSingleByteFile(path)).first->second;
}

} // namespace qv
