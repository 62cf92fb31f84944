#pragma once

#include "platform/automation/Object.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

/// The kinds of template blocks, numbered as scripts and the converters know them.
enum class qoc_Block_Type : std::int32_t {
    qoc_Block_Script = 1,          ///< "<!--##" code "##-->"
    qoc_Block_Function = 2,        ///< "<!--##=" expression: its value is output
    qoc_Block_FunctionIndent = 3,  ///< "<!--##~" expression: output with the line's indentation
    qoc_Block_Language = 4,        ///< "<!--##@" phrase id, literal
    qoc_Block_LanguageDynamic = 5, ///< "<!--##$" expression giving a phrase id
    qoc_Block_Content = 6,         ///< literal text between blocks
};

/// Cuts a template text into blocks of literal text and script, and extracts named sessions
/// with their includes resolved. Syntax errors go to gProjErr (never raised) and Parse gives
/// false; the blocks found before the error stay. The converters create one for their own use.
class QoParser final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    /// The members of the current block; 0 or "" when BlockID is no block's number.
    std::int32_t BlockType() const;
    std::u16string BlockName() const;
    /// The block's inner text as written, without the type character.
    std::u16string BlockValue() const;
    std::u16string BlockIndent() const;
    std::int32_t BlockID() const { return mBlockID; }
    /// Selects a block; any value outside 1 to Count is ignored.
    void SetBlockID(std::int32_t blockID);
    std::int32_t Count() const { return static_cast<std::int32_t>(mBlocks.size()); }

    /// Replaces the block list with the blocks of `sSrc`; afterwards BlockID is Count. False
    /// after a syntax error.
    bool Parse(std::u16string_view sSrc);
    /// The text of the first session `sSessID` (letter case ignored) in `sSrc`, with its include
    /// directives replaced by the sessions they name; "" when there is none.
    std::u16string GetSession(std::u16string_view sSrc, std::u16string_view sSessID);

    /// How deep includes may nest; a deeper directive is dropped.
    static constexpr int MaxIncludeDepth = 32;

private:
    struct Block {
        qoc_Block_Type type = qoc_Block_Type::qoc_Block_Content;
        std::u16string name;
        std::size_t start = 0; ///< 0-based offset of the inner text in the source
        std::size_t length = 0;
        std::u16string indent;
    };
    /// The (file, lower-case session) pairs being expanded, outermost first.
    using IncludeTrail = std::vector<std::pair<std::u16string, std::u16string>>;

    const Block* Current() const;
    void AddBlock(Block block);
    void ReportError(std::u16string_view what, std::size_t position) const;
    std::u16string GetTrailingIndent(std::u16string_view text) const;
    std::u16string GetFunctionName(std::size_t start, std::size_t length) const;
    std::u16string SessionOf(std::u16string_view source, std::u16string_view sessionID, IncludeTrail& trail);
    std::u16string ResolveIncludes(std::u16string_view text, IncludeTrail& trail);

    // Members the automation table calls.
    void ParseMember(std::u16string sSrc) { static_cast<void>(Parse(sSrc)); }
    std::u16string GetSessionMember(std::u16string sSrc, std::u16string sSessID) {
        return GetSession(sSrc, sSessID);
    }

    /// The text of a file an include names, read once: one merge includes sessions of a shared
    /// file many times over, and its files do not change while it runs.
    const std::u16string& IncludedFileText(const std::u16string& path);

    std::u16string mSource;
    std::vector<Block> mBlocks;
    std::int32_t mBlockID = 0;
    std::map<std::u16string, std::u16string> mIncludedFiles; ///< by path, as read
};

} // namespace qv
