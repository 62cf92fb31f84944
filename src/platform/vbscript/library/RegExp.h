#pragma once

#include "platform/automation/Object.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::vbscript {

class MatchCollection;

/// A submatch list of one match: the text of each capturing group, Empty for a group that took
/// no part in the match. Counts what it holds against the memory ceiling.
class SubMatches final : public automation::Object {
public:
    /// Raises 7, taking nothing from `groups`, when they do not fit under the ceiling.
    explicit SubMatches(std::vector<automation::Variant>&& groups);
    ~SubMatches() override;
    SubMatches(const SubMatches&) = delete;
    SubMatches& operator=(const SubMatches&) = delete;

    const automation::ClassInfo& GetClassInfo() const override;
    automation::Ref<automation::Enumerator> NewEnum() override;

    std::int32_t Count() const { return static_cast<std::int32_t>(mGroups.size()); }
    /// Raises 5 for an index outside 0..Count-1.
    automation::Variant Item(std::int32_t index) const;

private:
    std::size_t mCharged; // first: charged before the groups are taken
    std::vector<automation::Variant> mGroups;
};

/// One match of a regular expression: its text, where it starts (0-based) and its groups. The
/// groups' list object is made when a script first asks for it: a global search may find
/// millions of matches whose groups nobody reads. Counts what it holds against the memory
/// ceiling.
class Match final : public automation::Object {
public:
    /// Raises 7 when the match does not fit under the ceiling.
    Match(std::u16string_view value, std::int32_t firstIndex, std::vector<automation::Variant> groups);
    ~Match() override;
    Match(const Match&) = delete;
    Match& operator=(const Match&) = delete;

    const automation::ClassInfo& GetClassInfo() const override;

    std::u16string Value() const { return mValue; }
    std::int32_t FirstIndex() const { return mFirstIndex; }
    std::int32_t Length() const { return static_cast<std::int32_t>(mValue.size()); }
    /// The same list object on every call.
    automation::Ref<SubMatches> GetSubMatches() const;

private:
    mutable std::size_t mCharged; // first: charged before the rest is built
    std::u16string mValue;
    std::int32_t mFirstIndex;
    mutable std::vector<automation::Variant> mGroups; // until the list object takes them
    mutable automation::Ref<SubMatches> mSubMatches;
};

/// The matches that Execute found, in order. Counts its list against the memory ceiling.
class MatchCollection final : public automation::Object {
public:
    /// Takes over a list whose storage is already charged to the caller, who gives its charge back.
    explicit MatchCollection(std::vector<automation::Ref<Match>> matches);
    ~MatchCollection() override;
    MatchCollection(const MatchCollection&) = delete;
    MatchCollection& operator=(const MatchCollection&) = delete;

    const automation::ClassInfo& GetClassInfo() const override;
    automation::Ref<automation::Enumerator> NewEnum() override;

    std::int32_t Count() const { return static_cast<std::int32_t>(mMatches.size()); }
    /// Raises 5 for an index outside 0..Count-1.
    automation::Ref<Match> Item(std::int32_t index) const;

private:
    std::vector<automation::Ref<Match>> mMatches;
    std::size_t mCharged;
};

/// VBScript.RegExp: a regular expression of the script dialect, run by PCRE2. The pattern is
/// translated where the dialects differ ("." and "$" stop only at line terminators, "[]"
/// matches nothing, unknown escapes are literal letters, unset groups match empty) and compiled
/// on first use after a change; a pattern that does not compile raises 5017 (or 5018..5021 for
/// the specific faults) when it is used. Counts itself, its pattern and its compiled code
/// against the memory ceiling.
class RegExp final : public automation::Object {
public:
    /// Raises 7 when the object does not fit under the ceiling.
    RegExp();
    ~RegExp() override;

    const automation::ClassInfo& GetClassInfo() const override;

    std::u16string GetPattern() const;
    void LetPattern(std::u16string_view pattern);
    bool GetIgnoreCase() const { return mIgnoreCase; }
    void LetIgnoreCase(bool value);
    bool GetGlobal() const { return mGlobal; }
    void LetGlobal(bool value);
    bool GetMultiLine() const { return mMultiLine; }
    void LetMultiLine(bool value);

    bool Test(const std::u16string& source);
    /// Every match, or the first unless Global. The matches count against the memory ceiling as
    /// they are found (7 past it), and a long search stops at the run's time-out.
    automation::Ref<MatchCollection> Execute(const std::u16string& source);
    /// Replaces the first match, or every match when Global, by `replacement` with $1..$99,
    /// $&, $`, $' and $$ expanded. The result is checked against the memory ceiling as it
    /// grows, and a long search stops at the run's time-out.
    std::u16string Replace(const std::u16string& source, automation::Variant replacement);

    struct Compiled; // the PCRE2 code, owned here

private:
    /// One match: where it starts and ends, and where each group does (npos start: unset).
    /// Reused from match to match, so that a search allocates nothing per match.
    struct Found {
        std::size_t start = 0;
        std::size_t end = 0;
        std::vector<std::pair<std::size_t, std::size_t>> groups;
    };

    /// How far the start of a match may move in one call of the engine before the search looks
    /// at the clock: a search that fails at every start can cost time in proportion to the
    /// subject at each of them, so that one call could outlast the run's time-out by minutes.
    /// Kept for the whole of a Test, Execute or Replace, so that it adapts to the pattern once.
    struct Pace {
        enum class Mode : std::uint8_t {
            Sliced,  // calls of `span` starts, each within `matchLimit`
            Whole,   // one call under the engine's own limit: a start needed more, no time-out
            Watched, // likewise, the clock read at every step of the engine
        };
        std::size_t span = 0;       // code units; 0 until the first call chooses it
        std::size_t matchLimit = 0; // the engine's match limit at each start of a call
        Mode mode = Mode::Sliced;
    };

    const Compiled& Code();
    /// The subject as the engine may read it unchecked: `text` itself, or a copy in `repaired`
    /// whose lone surrogates became U+FFFD.
    std::u16string_view WellFormed(const std::u16string& text, std::u16string& repaired);
    /// The first match at or after `offset` in a subject that WellFormed gave, into `found`;
    /// false when there is none. Stops at the run's time-out however long the search.
    bool Search(std::u16string_view source, std::size_t offset, Found& found, Pace& pace);
    /// Search in calls of the engine that each end within some milliseconds: the engine's result,
    /// PCRE2_ERROR_NOMATCH when no match starts at or after `offset`.
    int SearchInCalls(const Compiled& code, std::u16string_view source, std::size_t offset, Pace& pace);
    /// Calls `each(found)` for every match Execute and Replace see, in order: all when Global,
    /// else the first.
    template <class Each> void ForEachMatch(const std::u16string& text, Each&& each);

    std::size_t mCharged; // the object, its pattern and the holder of its compiled code
    std::u16string mPattern;
    bool mIgnoreCase = false;
    bool mGlobal = false;
    bool mMultiLine = false;
    std::unique_ptr<Compiled> mCompiled;
};

} // namespace qv::vbscript
