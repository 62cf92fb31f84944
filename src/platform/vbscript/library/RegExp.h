#pragma once

#include "platform/automation/Object.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::vbscript {

class MatchCollection;

/// A submatch list of one match: the text of each capturing group, Empty for a group that took
/// no part in the match.
class SubMatches final : public automation::Object {
public:
    explicit SubMatches(std::vector<automation::Variant> groups) : mGroups(std::move(groups)) {}

    const automation::ClassInfo& GetClassInfo() const override;
    automation::Ref<automation::Enumerator> NewEnum() override;

    std::int32_t Count() const { return static_cast<std::int32_t>(mGroups.size()); }
    /// Raises 5 for an index outside 0..Count-1.
    automation::Variant Item(std::int32_t index) const;

private:
    std::vector<automation::Variant> mGroups;
};

/// One match of a regular expression: its text, where it starts (0-based) and its groups.
class Match final : public automation::Object {
public:
    Match(std::u16string value, std::int32_t firstIndex, std::vector<automation::Variant> groups);

    const automation::ClassInfo& GetClassInfo() const override;

    std::u16string Value() const { return mValue; }
    std::int32_t FirstIndex() const { return mFirstIndex; }
    std::int32_t Length() const { return static_cast<std::int32_t>(mValue.size()); }
    automation::Ref<SubMatches> GetSubMatches() const { return mSubMatches; }

private:
    std::u16string mValue;
    std::int32_t mFirstIndex;
    automation::Ref<SubMatches> mSubMatches;
};

/// The matches that Execute found, in order.
class MatchCollection final : public automation::Object {
public:
    explicit MatchCollection(std::vector<automation::Ref<Match>> matches) : mMatches(std::move(matches)) {}

    const automation::ClassInfo& GetClassInfo() const override;
    automation::Ref<automation::Enumerator> NewEnum() override;

    std::int32_t Count() const { return static_cast<std::int32_t>(mMatches.size()); }
    /// Raises 5 for an index outside 0..Count-1.
    automation::Ref<Match> Item(std::int32_t index) const;

private:
    std::vector<automation::Ref<Match>> mMatches;
};

/// VBScript.RegExp: a regular expression of the script dialect, run by PCRE2. The pattern is
/// translated where the dialects differ ("." and "$" stop only at line terminators, "[]"
/// matches nothing, unknown escapes are literal letters, unset groups match empty) and compiled
/// on first use after a change; a pattern that does not compile raises 5017 (or 5018..5021 for
/// the specific faults) when it is used.
class RegExp final : public automation::Object {
public:
    RegExp();
    ~RegExp() override;

    const automation::ClassInfo& GetClassInfo() const override;

    std::u16string GetPattern() const { return mPattern; }
    void LetPattern(std::u16string pattern);
    bool GetIgnoreCase() const { return mIgnoreCase; }
    void LetIgnoreCase(bool value);
    bool GetGlobal() const { return mGlobal; }
    void LetGlobal(bool value);
    bool GetMultiLine() const { return mMultiLine; }
    void LetMultiLine(bool value);

    bool Test(std::u16string source);
    automation::Ref<MatchCollection> Execute(std::u16string source);
    /// Replaces the first match, or every match when Global, by `replacement` with $1..$99,
    /// $&, $`, $' and $$ expanded.
    std::u16string Replace(std::u16string source, automation::Variant replacement);

    struct Compiled; // the PCRE2 code, owned here

private:
    struct Found {
        std::size_t start;
        std::size_t end;
        std::vector<std::pair<std::size_t, std::size_t>> groups; // npos start: unset
    };

    const Compiled& Code();
    // Matches from `offset`, or nullopt when there is no further match.
    /// The subject as the engine may read it unchecked: `text` itself, or a copy in `repaired`
    /// whose lone surrogates became U+FFFD.
    std::u16string_view WellFormed(const std::u16string& text, std::u16string& repaired);
    /// The first match at or after `offset` in a subject that WellFormed gave.
    std::optional<Found> Search(std::u16string_view source, std::size_t offset);
    // Every match Execute and Replace see: all when Global, else the first.
    std::vector<Found> SearchAll(const std::u16string& source);

    std::u16string mPattern;
    bool mIgnoreCase = false;
    bool mGlobal = false;
    bool mMultiLine = false;
    std::unique_ptr<Compiled> mCompiled;
};

} // namespace qv::vbscript
