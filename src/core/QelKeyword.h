#pragma once

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qv {

/// The reserved words that a generated identifier must not equal, read from keyword files.
/// Loading adds to the list (a word already there, in any letter case, takes the new spelling)
/// and never empties it. One shared list per apartment (GetKeyword); clients may create more.
class QelKeyword final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    /// Never set; reads 0.
    std::int16_t curIndex() const { return 0; }
    std::int32_t Count() const { return static_cast<std::int32_t>(mWords.size()); }
    /// True when a word equals `k` without regard to letter case.
    bool IsKeyword(std::u16string_view k) const;
    /// Adds the words of a keyword file: a root element named after the product word followed
    /// by ".keyword" (any letter case) with "keyword" children whose "value" attribute is the
    /// word. False, adding nothing, for a file that is missing, malformed or has another root.
    bool Load(std::u16string_view file);

    /// The words in the order they were first added.
    std::u16string_view Word(std::size_t index) const { return mWords[index].second; }

private:
    bool IsKeywordMember(std::u16string k) const { return IsKeyword(k); }
    bool LoadMember(const automation::Variant& file);
    void AddWord(std::u16string word);

    // (kind, word) pairs in file order; the kind is always "VB".
    std::vector<std::pair<std::u16string, std::u16string>> mWords;
    std::unordered_map<std::u16string, std::size_t> mIndex; // lower-case word -> position
};

/// The apartment's reserved-word list (gKeyword), created on first use.
QelKeyword& GetKeyword();

} // namespace qv
