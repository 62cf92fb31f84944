#include "platform/vbscript/library/RegExp.h"

#include "platform/automation/Memory.h"
#include "platform/vbscript/library/LibrarySupport.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace qv::vbscript {

using automation::Ref;
using automation::Variant;

namespace {

// The runtime's regular-expression errors.
constexpr std::int32_t RegExpSyntaxError = 5017;
constexpr std::int32_t UnexpectedQuantifier = 5018;
constexpr std::int32_t ExpectedBracket = 5019;
constexpr std::int32_t ExpectedParenthesis = 5020;
constexpr std::int32_t InvalidRange = 5021;

[[noreturn]] void RaiseRegExpError(std::int32_t number) {
    switch (number) {
    case UnexpectedQuantifier:
        automation::Raise(number, u"", u"Unexpected quantifier");
    case ExpectedBracket:
        automation::Raise(number, u"", u"Expected ']' in regular expression");
    case ExpectedParenthesis:
        automation::Raise(number, u"", u"Expected ')' in regular expression");
    case InvalidRange:
        automation::Raise(number, u"", u"Invalid range in character set");
    default:
        automation::Raise(RegExpSyntaxError, u"", u"Syntax error in regular expression");
    }
}

// What the dialect calls white space (\s) and line terminators ("." and the multi-line anchors
// stop at these), written with the escapes PCRE2_ALT_BSUX reads.
constexpr std::u16string_view WhiteSpace =
    u"\\t\\n\\x0B\\f\\r \\u00A0\\u1680\\u180E\\u2000-\\u200A\\u2028\\u2029\\u202F\\u205F\\u3000\\uFEFF";
constexpr std::u16string_view LineTerminators = u"\\n\\r\\u2028\\u2029";

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Length of a {n} / {n,} / {n,m} quantifier at `at`, or 0 when the brace is a literal.
std::size_t QuantifierLength(std::u16string_view pattern, std::size_t at) {
    std::size_t i = at + 1;
    std::size_t digits = i;
    while (i < pattern.size() && IsDigit(pattern[i])) {
        ++i;
    }
    if (i == digits) {
        return 0;
    }
    if (i < pattern.size() && pattern[i] == u',') {
        ++i;
        while (i < pattern.size() && IsDigit(pattern[i])) {
            ++i;
        }
    }
    if (i < pattern.size() && pattern[i] == u'}') {
        return i - at + 1;
    }
    return 0;
}

// Rewrites a pattern of the script dialect into PCRE2 syntax (compiled with ALT_BSUX,
// DOLLAR_ENDONLY and MATCH_UNSET_BACKREF, which already agree with the dialect): one pass, one
// member for each kind of element.
class PatternTranslator {
public:
    PatternTranslator(std::u16string_view pattern, bool multiLine)
        : mPattern(pattern), mMultiLine(multiLine) {
        automation::ReserveChecked(mOut, pattern.size() + 16);
    }

    std::u16string Translate() && {
        for (mAt = 0; mAt < mPattern.size(); ++mAt) {
            const char16_t c = mPattern[mAt];
            if (c == u'\\') {
                mQuantified = Quantified::No;
                Escape();
            } else if (mInClass) {
                ClassMember(c);
            } else {
                Element(c);
            }
        }
        return std::move(mOut);
    }

private:
    // After a quantifier or its lazy mark, another quantifier is an error of the dialect, where
    // PCRE2 would read a possessive one.
    enum class Quantified { No, Yes, Lazy };

    void Escape() {
        if (mAt + 1 == mPattern.size()) {
            RaiseRegExpError(RegExpSyntaxError);
        }
        const char16_t e = mPattern[++mAt];
        switch (e) {
        case u'd':
        case u'D':
        case u'w':
        case u'W':
        case u'b':
        case u'f':
        case u'n':
        case u'r':
        case u't':
        case u'c':
        case u'x':
        case u'u':
            Put(u'\\');
            Put(e);
            break;
        case u'B':
            if (mInClass) {
                Put(u'B');
            } else {
                Put(u"\\B");
            }
            break;
        case u'v':
            Put(u"\\x0B");
            break;
        case u's':
            if (mInClass) {
                Put(WhiteSpace);
            } else {
                Put(u"[");
                Put(WhiteSpace);
                Put(u"]");
            }
            break;
        case u'S':
            if (mInClass) {
                Put(u"\\S");
            } else {
                Put(u"[^");
                Put(WhiteSpace);
                Put(u"]");
            }
            break;
        default:
            if ((e >= u'a' && e <= u'z') || (e >= u'A' && e <= u'Z')) {
                Put(e); // an escape the dialect does not know is the letter itself
            } else {
                Put(u'\\');
                Put(e);
            }
            break;
        }
    }

    void ClassMember(char16_t c) {
        if (c == u']') {
            mInClass = false;
        } else if (c == u'[') {
            Put(u'\\'); // no POSIX classes in the dialect
        }
        Put(c);
    }

    void Element(char16_t c) {
        switch (c) {
        case u'[':
            mQuantified = Quantified::No;
            OpenClass();
            break;
        case u'(':
            mQuantified = Quantified::No;
            OpenGroup();
            break;
        case u'.':
            mQuantified = Quantified::No;
            Put(u"[^");
            Put(LineTerminators);
            Put(u"]");
            break;
        case u'^':
            mQuantified = Quantified::No;
            LineAnchor(c, u"(?<![^");
            break;
        case u'$':
            mQuantified = Quantified::No;
            LineAnchor(c, u"(?![^");
            break;
        case u'*':
        case u'+':
            if (mQuantified != Quantified::No) {
                RaiseRegExpError(UnexpectedQuantifier);
            }
            mQuantified = Quantified::Yes;
            Put(c);
            break;
        case u'?':
            if (mQuantified == Quantified::Lazy) {
                RaiseRegExpError(UnexpectedQuantifier);
            }
            mQuantified = mQuantified == Quantified::Yes ? Quantified::Lazy : Quantified::Yes;
            Put(c);
            break;
        case u'{':
            CountedQuantifier();
            break;
        default:
            mQuantified = Quantified::No;
            Put(c);
            break;
        }
    }

    // "[]" matches nothing and "[^]" any character; otherwise a class opens.
    void OpenClass() {
        if (mPattern.substr(mAt, 2) == u"[]") {
            Put(u"(?!)");
            ++mAt;
        } else if (mPattern.substr(mAt, 3) == u"[^]") {
            Put(u"[\\s\\S]");
            mAt += 2;
        } else {
            mInClass = true;
            Put(u'[');
            if (mAt + 1 < mPattern.size() && mPattern[mAt + 1] == u'^') {
                Put(u'^');
                ++mAt;
            }
        }
    }

    // Of the "(?" groups the dialect knows only "(?:", "(?=" and "(?!".
    void OpenGroup() {
        if (mAt + 1 < mPattern.size() && mPattern[mAt + 1] == u'?') {
            const char16_t kind = mAt + 2 < mPattern.size() ? mPattern[mAt + 2] : u'\0';
            if (kind != u':' && kind != u'=' && kind != u'!') {
                RaiseRegExpError(RegExpSyntaxError);
            }
        }
        Put(u'(');
    }

    // In multi-line mode "^" and "$" match beside any line terminator, not only "\n".
    void LineAnchor(char16_t c, std::u16string_view lookaround) {
        if (mMultiLine) {
            Put(lookaround);
            Put(LineTerminators);
            Put(u"])");
        } else {
            Put(c);
        }
    }

    // "{n}", "{n,}" or "{n,m}" is a quantifier; any other "{" is the character itself.
    void CountedQuantifier() {
        const std::size_t length = QuantifierLength(mPattern, mAt);
        if (length == 0) {
            mQuantified = Quantified::No;
            Put(u"\\{");
            return;
        }
        if (mQuantified != Quantified::No) {
            RaiseRegExpError(UnexpectedQuantifier);
        }
        mQuantified = Quantified::Yes;
        Put(mPattern.substr(mAt, length));
        mAt += length - 1;
    }

    // The translation may be many times as long as the pattern (each "\s" a class of twenty
    // spaces): it is checked against the memory ceiling as it grows.
    void Put(std::u16string_view text) { automation::AppendChecked(mOut, text); }
    void Put(char16_t c) { Put(std::u16string_view(&c, 1)); }

    std::u16string_view mPattern;
    bool mMultiLine;
    std::u16string mOut;
    std::size_t mAt = 0;
    bool mInClass = false;
    Quantified mQuantified = Quantified::No;
};

std::u16string Translate(std::u16string_view pattern, bool multiLine) {
    return PatternTranslator(pattern, multiLine).Translate();
}

std::int32_t MapCompileError(int code) {
    switch (code) {
    case PCRE2_ERROR_MISSING_SQUARE_BRACKET:
        return ExpectedBracket;
    case PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS:
        return ExpectedParenthesis;
    case PCRE2_ERROR_CLASS_RANGE_ORDER:
        return InvalidRange;
    case PCRE2_ERROR_QUANTIFIER_INVALID:
    case PCRE2_ERROR_QUANTIFIER_OUT_OF_ORDER:
        return UnexpectedQuantifier;
    default:
        return RegExpSyntaxError;
    }
}

PCRE2_SPTR16 Units(std::u16string_view text) {
    return reinterpret_cast<PCRE2_SPTR16>(text.data());
}

// What the heap takes for an object's own block.
template <class T> constexpr std::size_t ObjectCharge = automation::HeapBlockSize(sizeof(T));

// A text longer than the string holds in itself has a buffer of its own.
std::size_t TextCharge(std::u16string_view text) noexcept {
    return text.size() > std::u16string().capacity() ? (text.size() + 1) * sizeof(char16_t) : 0;
}

// Charges `bytes` (7 past the ceiling) and returns them: the first member of an object that
// counts for itself, so that the error comes before the rest is built.
std::size_t Charged(std::size_t bytes) {
    automation::ChargeMemory(bytes);
    return bytes;
}

// PCRE2 takes its memory through these, so that what a compiled pattern holds (its code, its
// match blocks, the frames a deep match grows) counts against the memory ceiling as strings do.
// Each block carries its size in front of it for the refund. A block past the ceiling is refused:
// PCRE2 then fails with its no-memory error, which the callers raise as 7; nothing may be thrown
// through the engine.
constexpr std::size_t BlockHeader = alignof(std::max_align_t);

void* ChargedAllocate(PCRE2_SIZE size, void* /*data*/) {
    const std::size_t ceiling = automation::MemoryCeiling();
    const std::size_t inUse = automation::MemoryInUse();
    if (inUse > ceiling || size > ceiling - inUse || size > SIZE_MAX - BlockHeader) {
        return nullptr;
    }
    void* block = std::malloc(size + BlockHeader); // NOLINT(*-no-malloc): PCRE2's allocator
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(block, &size, sizeof size);
    automation::ChargeMemoryUnchecked(size);
    return static_cast<char*>(block) + BlockHeader;
}

void ChargedFree(void* memory, void* /*data*/) {
    if (memory == nullptr) {
        return;
    }
    char* block = static_cast<char*>(memory) - BlockHeader;
    std::size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    automation::RefundMemory(size);
    std::free(block); // NOLINT(*-no-malloc): PCRE2's allocator
}

// The work one call of the engine may take in the worst case that Search assumes, a cost per
// start in proportion to the rest of the subject, in units read: some tens of milliseconds.
constexpr std::size_t WorstCaseUnitsPerCall = std::size_t{1} << 24;
// The backtracking one unwatched call of the engine may do over all its starts, in units of its
// match limit, each far dearer than a unit read (up to a microsecond): some tens of milliseconds.
constexpr std::size_t BacktracksPerCall = std::size_t{1} << 17;
// The least match limit of an unwatched call: a start of a plain pattern stays below it.
constexpr std::size_t LeastMatchLimit = std::size_t{1} << 10;
// How many steps of a watched search go between two looks at the clock: some microseconds.
constexpr std::uint32_t StepsPerClockRead = 1024;

// The engine's own match limit: a start that needs more fails the search with 28, as it always did.
std::size_t EngineMatchLimit() {
    static const std::size_t limit = [] {
        std::uint32_t value = 0;
        pcre2_config(PCRE2_CONFIG_MATCHLIMIT, &value);
        return static_cast<std::size_t>(value);
    }();
    return limit;
}

// The match limit of an unwatched call that may try `starts` starts: together they stay within
// the backtracking of a call.
std::size_t RoundLimit(std::size_t starts) {
    return std::max(BacktracksPerCall / std::max<std::size_t>(1, starts), LeastMatchLimit);
}

// The callout at every item of a watched pattern: every so many steps it looks at the clock and
// abandons the search once the run's time is up (it cannot raise through the engine).
int WatchDeadline(pcre2_callout_block* /*block*/, void* data) {
    auto& steps = *static_cast<std::uint32_t*>(data);
    if (++steps % StepsPerClockRead == 0 && RunDeadlinePassed()) {
        return PCRE2_ERROR_CALLOUT;
    }
    return 0;
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

// --- Compiled code --------------------------------------------------------------------------------

struct RegExp::Compiled {
    Compiled() = default;
    Compiled(const Compiled&) = delete;
    Compiled& operator=(const Compiled&) = delete;
    ~Compiled() {
        pcre2_match_context_free(matchContext);
        pcre2_match_data_free(matchData);
        pcre2_code_free(watched);
        pcre2_code_free(code);
        pcre2_compile_context_free(compileContext);
        pcre2_general_context_free(memory);
    }

    // Every block below comes from ChargedAllocate, through `memory`.
    pcre2_general_context* memory = nullptr;
    pcre2_compile_context* compileContext = nullptr;
    pcre2_code* code = nullptr;
    pcre2_match_data* matchData = nullptr;
    pcre2_match_context* matchContext = nullptr; // holds the offset limit of Search
    std::uint32_t groupCount = 0;
    bool utf = false;
    std::u16string translated; // the pattern as compiled, with its options
    std::uint32_t options = 0;

    /// The pattern again with a callout at every item (WatchDeadline), compiled when a search
    /// first needs it: matching it is slower, but it stops at the run's time-out at any step.
    const pcre2_code* Watched() const {
        if (!watched) {
            int errorCode = 0;
            PCRE2_SIZE errorOffset = 0;
            watched = pcre2_compile(Units(translated), translated.size(), options | PCRE2_AUTO_CALLOUT,
                                    &errorCode, &errorOffset, compileContext);
            if (!watched) {
                // The same pattern compiled before: only memory can be short.
                automation::Raise(automation::ErrorNumber::OutOfMemory);
            }
        }
        return watched;
    }

    /// One call of the engine on a subject that WellFormed gave: the first match that starts
    /// between `offset` and `limit` (PCRE2_UNSET: the end), or PCRE2's error, among them the
    /// match limit's when one start needs more than `matchLimit`.
    int Match(std::u16string_view source, std::size_t offset, std::size_t limit, std::size_t matchLimit,
              bool watch) const {
        if (limit != offsetLimit) {
            pcre2_set_offset_limit(matchContext, limit);
            offsetLimit = limit;
        }
        if (matchLimit != this->matchLimit) {
            pcre2_set_match_limit(matchContext, static_cast<std::uint32_t>(matchLimit));
            this->matchLimit = matchLimit;
        }
        return pcre2_match(watch ? Watched() : code, Units(source), source.size(), offset,
                           utf ? PCRE2_NO_UTF_CHECK : 0, matchData, matchContext);
    }

    mutable std::size_t offsetLimit = PCRE2_UNSET; // as set in matchContext
    mutable std::size_t matchLimit = 0;            // as set in matchContext; 0: the engine's own
    mutable pcre2_code* watched = nullptr;
    mutable std::uint32_t watchedSteps = 0; // WatchDeadline's count, through matchContext
};

RegExp::RegExp() : mCharged(Charged(ObjectCharge<RegExp>)) {}

RegExp::~RegExp() {
    automation::RefundMemory(mCharged);
}

const automation::ClassInfo& RegExp::GetClassInfo() const {
    using automation::Method;
    using automation::Property;
    static const automation::ClassInfo info(
        u"IRegExp2", {
                         Property<&RegExp::GetPattern, &RegExp::LetPattern>(u"Pattern"),
                         Property<&RegExp::GetIgnoreCase, &RegExp::LetIgnoreCase>(u"IgnoreCase"),
                         Property<&RegExp::GetGlobal, &RegExp::LetGlobal>(u"Global"),
                         Property<&RegExp::GetMultiLine, &RegExp::LetMultiLine>(u"MultiLine"),
                         Method<&RegExp::Test>(u"Test"),
                         Method<&RegExp::Execute>(u"Execute"),
                         Method<&RegExp::Replace>(u"Replace"),
                     });
    return info;
}

// The pattern is copied in and out of the object: each copy is checked against the memory ceiling
// before it is made.
std::u16string RegExp::GetPattern() const {
    automation::CheckAllocation(mPattern.size(), sizeof(char16_t));
    return mPattern;
}

void RegExp::LetPattern(std::u16string_view pattern) {
    mCompiled.reset();
    automation::RechargeChecked(mCharged, ObjectCharge<RegExp> + TextCharge(pattern));
    mPattern.assign(pattern);
}
void RegExp::LetIgnoreCase(bool value) {
    mIgnoreCase = value;
    automation::RechargeChecked(mCharged, ObjectCharge<RegExp> + TextCharge(mPattern));
    mCompiled.reset();
}
void RegExp::LetGlobal(bool value) {
    mGlobal = value;
}
void RegExp::LetMultiLine(bool value) {
    mMultiLine = value;
    automation::RechargeChecked(mCharged, ObjectCharge<RegExp> + TextCharge(mPattern));
    mCompiled.reset();
}

// UTF mode gives Unicode case folding for IgnoreCase; a pattern holding a lone surrogate is
// compiled again without it, where every unit is a character of its own.
const RegExp::Compiled& RegExp::Code() {
    if (mCompiled) {
        return *mCompiled;
    }
    std::u16string translated = Translate(mPattern, mMultiLine);
    // USE_OFFSET_LIMIT lets Search bound how far each call of the engine moves its start.
    std::uint32_t options =
        PCRE2_ALT_BSUX | PCRE2_DOLLAR_ENDONLY | PCRE2_MATCH_UNSET_BACKREF | PCRE2_USE_OFFSET_LIMIT;
    if (mIgnoreCase) {
        options |= PCRE2_CASELESS;
    }
    auto compiled = std::make_unique<Compiled>();
    compiled->memory = pcre2_general_context_create(ChargedAllocate, ChargedFree, nullptr);
    compiled->compileContext = pcre2_compile_context_create(compiled->memory);
    if (!compiled->memory || !compiled->compileContext) {
        automation::Raise(automation::ErrorNumber::OutOfMemory);
    }
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    compiled->utf = true;
    compiled->code = pcre2_compile(Units(translated), translated.size(), options | PCRE2_UTF, &errorCode,
                                   &errorOffset, compiled->compileContext);
    if (!compiled->code && errorCode != PCRE2_ERROR_HEAP_FAILED) {
        compiled->utf = false;
        compiled->code = pcre2_compile(Units(translated), translated.size(), options, &errorCode,
                                       &errorOffset, compiled->compileContext);
    }
    if (!compiled->code) {
        if (errorCode == PCRE2_ERROR_HEAP_FAILED) {
            automation::Raise(automation::ErrorNumber::OutOfMemory);
        }
        RaiseRegExpError(MapCompileError(errorCode));
    }
    pcre2_pattern_info(compiled->code, PCRE2_INFO_CAPTURECOUNT, &compiled->groupCount);
    compiled->matchData = pcre2_match_data_create_from_pattern(compiled->code, nullptr);
    compiled->matchContext = pcre2_match_context_create(compiled->memory);
    if (!compiled->matchData || !compiled->matchContext) {
        automation::Raise(automation::ErrorNumber::OutOfMemory);
    }
    pcre2_set_callout(compiled->matchContext, WatchDeadline, &compiled->watchedSteps);
    compiled->options = compiled->utf ? options | PCRE2_UTF : options;
    compiled->translated = std::move(translated);
    automation::RechargeChecked(mCharged, ObjectCharge<RegExp> + TextCharge(mPattern) +
                                              ObjectCharge<Compiled> + TextCharge(compiled->translated));
    mCompiled = std::move(compiled);
    return *mCompiled;
}

// The engine tries every start from `offset` on, and a pattern such as "a(?=.*b)" costs time in
// proportion to the subject at each of them: one call over a long subject ran for minutes, past
// any time-out, while each start stayed far below the engine's match limit. So each call of the
// engine may move its start only `pace.span` units (the engine's offset limit), and between such
// calls the run's time-out is checked and the span adapted, so that a call takes some
// milliseconds: it grows fourfold while calls are quick and shrinks in proportion when one is
// slow. The first span assumes the worst, a cost per start in proportion to what follows it. A
// call that finds a match gives the same match as one unbounded call: every earlier start failed
// in an earlier call.
//
// A pattern such as "a*a*a*\d" backtracks for seconds at a single start, which no span divides.
// So each such call also gets a match limit that keeps it within some milliseconds. A start that
// needs more is searched again, and the rest of the search goes, under the engine's own limit as
// before: watched by the clock at every step when the run has a time-out, in one call otherwise.
int RegExp::SearchInCalls(const Compiled& code, std::u16string_view source, std::size_t offset, Pace& pace) {
    using Clock = std::chrono::steady_clock;
    constexpr Clock::duration SliceTime = std::chrono::milliseconds(10);
    if (pace.span == 0) {
        const std::size_t rest = std::max<std::size_t>(1, source.size() - offset);
        pace.span = std::max<std::size_t>(1, WorstCaseUnitsPerCall / rest);
        pace.matchLimit = RoundLimit(std::min(pace.span, rest));
    }
    std::optional<Clock::time_point> sliceStart; // known from the second slice of this call on
    for (;;) {
        const bool lastSlice = pace.mode != Pace::Mode::Sliced || pace.span >= source.size() - offset;
        const std::size_t limit = lastSlice ? PCRE2_UNSET : offset + pace.span;
        const int result =
            code.Match(source, offset, limit, pace.matchLimit, pace.mode == Pace::Mode::Watched);
        if (result == PCRE2_ERROR_CALLOUT) {
            // The run's time is up.
            CheckRunDeadline();
        }
        if (result == PCRE2_ERROR_MATCHLIMIT && pace.mode == Pace::Mode::Sliced &&
            pace.matchLimit < EngineMatchLimit()) {
            CheckRunDeadline();
            pace.mode = RunHasDeadline() ? Pace::Mode::Watched : Pace::Mode::Whole;
            pace.matchLimit = EngineMatchLimit();
            continue;
        }
        if (result != PCRE2_ERROR_NOMATCH || lastSlice) {
            return result;
        }
        CheckRunDeadline();
        const Clock::time_point now = Clock::now();
        if (sliceStart) {
            const Clock::duration took = now - *sliceStart;
            if (took > SliceTime) {
                pace.span = std::max<std::size_t>(1, pace.span * SliceTime.count() / took.count());
            } else if (took < SliceTime / 4 && pace.span < source.size() &&
                       pace.span * 4 * LeastMatchLimit <= WorstCaseUnitsPerCall) {
                pace.span *= 4;
            }
            pace.matchLimit = RoundLimit(pace.span);
        }
        sliceStart = now;
        offset = limit + 1;
        // A start inside a surrogate pair is none: the engine steps over whole characters.
        if (code.utf && offset < source.size() && IsLowSurrogate(source[offset]) &&
            IsHighSurrogate(source[offset - 1])) {
            ++offset;
        }
    }
}

bool RegExp::Search(std::u16string_view source, std::size_t offset, Found& found, Pace& pace) {
    const Compiled& code = Code();
    const int result = SearchInCalls(code, source, offset, pace);
    if (result == PCRE2_ERROR_NOMATCH) {
        return false;
    }
    if (result == PCRE2_ERROR_NOMEMORY) {
        // The frames of a deep match would pass the memory ceiling.
        automation::Raise(automation::ErrorNumber::OutOfMemory);
    }
    if (result < 0) {
        // The match or depth limit: a pattern that backtracks without end.
        automation::Raise(automation::ErrorNumber::OutOfStackSpace);
    }
    const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(code.matchData);
    found.start = vector[0];
    found.end = vector[1];
    found.groups.clear();
    for (std::uint32_t i = 1; i <= code.groupCount; ++i) {
        const std::size_t pair = 2 * static_cast<std::size_t>(i);
        if (vector[pair] == PCRE2_UNSET) {
            found.groups.emplace_back(std::u16string::npos, std::u16string::npos);
        } else {
            found.groups.emplace_back(vector[pair], vector[pair + 1]);
        }
    }
    return true;
}

// After an empty match the search goes on one unit further (a whole surrogate pair in UTF
// mode), so an empty pattern matches at every position, the end included.
std::u16string_view RegExp::WellFormed(const std::u16string& text, std::u16string& repaired) {
    // The engine would check the whole subject for valid UTF-16 on every call, which made a
    // global search quadratic. The subject is checked here once; a lone surrogate becomes
    // U+FFFD, one unit for one so that positions stay, and every call skips the check.
    if (!Code().utf) {
        return text;
    }
    std::u16string_view source = text;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (IsHighSurrogate(unit) && index + 1 < text.size() && IsLowSurrogate(text[index + 1])) {
            ++index;
            continue;
        }
        if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            if (repaired.empty()) {
                automation::ReserveChecked(repaired, text.size());
                repaired = text;
                source = repaired;
            }
            repaired[index] = u'\uFFFD';
        }
    }
    return source;
}

// The matches are handed on as they are found, never gathered first: a search that finds
// millions of them holds only what the caller keeps, and the caller's meter checks the run's
// time-out between them.
template <class Each> void RegExp::ForEachMatch(const std::u16string& text, Each&& each) {
    std::u16string repaired;
    const std::u16string_view source = WellFormed(text, repaired);
    Found found;
    Pace pace;
    std::size_t offset = 0;
    while (offset <= source.size()) {
        if (!Search(source, offset, found, pace)) {
            break;
        }
        each(std::as_const(found));
        if (!mGlobal) {
            break;
        }
        offset = found.end;
        if (found.end == found.start) {
            ++offset;
            if (Code().utf && offset < source.size() && IsHighSurrogate(source[offset - 1]) &&
                IsLowSurrogate(source[offset])) {
                ++offset;
            }
        }
    }
}

bool RegExp::Test(const std::u16string& source) {
    std::u16string repaired;
    Found found;
    Pace pace;
    return Search(WellFormed(source, repaired), 0, found, pace);
}

Ref<MatchCollection> RegExp::Execute(const std::u16string& source) {
    library::ResultMeter meter;
    std::vector<Ref<Match>> matches;
    const std::u16string_view input = source;
    ForEachMatch(source, [&](const Found& found) {
        meter.Step();
        meter.MakeRoom(matches);
        std::vector<Variant> groups;
        groups.reserve(found.groups.size());
        for (auto [start, end] : found.groups) {
            if (start == std::u16string::npos) {
                groups.emplace_back();
            } else {
                groups.emplace_back(input.substr(start, end - start));
            }
        }
        matches.push_back(automation::MakeRef<Match>(input.substr(found.start, found.end - found.start),
                                                     static_cast<std::int32_t>(found.start),
                                                     std::move(groups)));
    });
    return automation::MakeRef<MatchCollection>(std::move(matches));
}

namespace {

// A replacement text read once into its pieces, so that each match appends them without reading
// the text again.
class ReplacementPattern {
public:
    /// The pieces count on `meter` as they are found: a replacement text of a million "$&" is
    /// a million of them.
    ReplacementPattern(std::u16string_view text, std::size_t groupCount, library::ResultMeter& meter)
        : mText(text) {
        std::size_t literalStart = 0;
        auto add = [&](Piece piece) {
            meter.Step();
            meter.MakeRoom(mPieces);
            mPieces.push_back(piece);
        };
        auto flushLiteral = [&](std::size_t end) {
            if (end > literalStart) {
                add({PieceKind::Literal, literalStart, end - literalStart});
            }
        };
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != u'$' || i + 1 == text.size()) {
                continue;
            }
            const char16_t next = text[i + 1];
            PieceKind kind = PieceKind::Literal;
            std::size_t number = 0;
            std::size_t length = 2;
            if (next == u'$') {
                // "$$" is one "$": the literal runs to the first of the two.
                flushLiteral(i + 1);
                literalStart = i + 2;
                ++i;
                continue;
            }
            if (next == u'&') {
                kind = PieceKind::Match;
            } else if (next == u'`') {
                kind = PieceKind::Before;
            } else if (next == u'\'') {
                kind = PieceKind::After;
            } else if (IsDigit(next)) {
                // Two digits when that group exists, else one, else the text stays.
                const std::size_t one = next - u'0';
                if (i + 2 < text.size() && IsDigit(text[i + 2])) {
                    const std::size_t two = one * 10 + (text[i + 2] - u'0');
                    if (two >= 1 && two <= groupCount) {
                        kind = PieceKind::Group;
                        number = two;
                        length = 3;
                    }
                }
                if (kind == PieceKind::Literal && one >= 1 && one <= groupCount) {
                    kind = PieceKind::Group;
                    number = one;
                }
            }
            if (kind == PieceKind::Literal) {
                continue; // a "$" that stays as it is
            }
            flushLiteral(i);
            add({kind, number, 0});
            i += length - 1;
            literalStart = i + 1;
        }
        flushLiteral(text.size());
    }

    /// Appends the replacement of one match of `input` to `result`; what it copies counts on
    /// `meter`: "$`" and "$'" repeat the text before and after the match at every match, "$&" and
    /// a group as often as the replacement names them.
    template <class Found>
    void AppendTo(std::u16string& result, std::u16string_view input, const Found& found,
                  library::ResultMeter& meter) const {
        for (const Piece& piece : mPieces) {
            const std::size_t before = result.size();
            switch (piece.kind) {
            case PieceKind::Literal:
                automation::AppendChecked(result, mText.substr(piece.at, piece.length));
                break;
            case PieceKind::Group: {
                auto [start, end] = found.groups[piece.at - 1];
                if (start != std::u16string::npos) {
                    automation::AppendChecked(result, input.substr(start, end - start));
                }
                break;
            }
            case PieceKind::Match:
                automation::AppendChecked(result, input.substr(found.start, found.end - found.start));
                break;
            case PieceKind::Before:
                automation::AppendChecked(result, input.substr(0, found.start));
                break;
            case PieceKind::After:
                automation::AppendChecked(result, input.substr(found.end));
                break;
            }
            meter.Copied(result.size() - before);
        }
    }

private:
    enum class PieceKind : std::uint8_t { Literal, Group, Match, Before, After };
    struct Piece {
        PieceKind kind;
        std::size_t at;     // Literal: where it starts in the text; Group: the group's number
        std::size_t length; // Literal: its length
    };

    std::u16string_view mText;
    std::vector<Piece> mPieces;
};

} // namespace

std::u16string RegExp::Replace(const std::u16string& source, Variant replacement) {
    // The replacement converts without the Boolean words: True becomes "-1". Its text is read in
    // place.
    const library::ArgValue value(replacement);
    const Variant& plain = value.Get();
    const bool isBoolean = plain.Type() == automation::VarType::Boolean;
    if (!isBoolean) {
        library::RequireNotNull(plain);
    }
    const library::TextArg converted(plain);
    const std::u16string_view text = !isBoolean             ? converted.View()
                                     : plain.BooleanValue() ? std::u16string_view(u"-1")
                                                            : std::u16string_view(u"0");
    library::ResultMeter meter;
    const ReplacementPattern pattern(text, Code().groupCount, meter);
    const std::u16string_view input = source;
    std::u16string result;
    automation::ReserveChecked(result, source.size());
    std::size_t last = 0;
    ForEachMatch(source, [&](const Found& found) {
        meter.Step();
        automation::AppendChecked(result, input.substr(last, found.start - last));
        pattern.AppendTo(result, input, found, meter);
        last = found.end;
    });
    automation::AppendChecked(result, input.substr(last));
    return result;
}

// --- Matches ------------------------------------------------------------------------------------

namespace {

std::size_t GroupsCharge(const std::vector<Variant>& groups) noexcept {
    std::size_t charge = groups.capacity() * sizeof(Variant);
    for (const Variant& group : groups) {
        if (group.IsString()) {
            charge += library::StringElementCharge(group.StringValue());
        }
    }
    return charge;
}

// For Each over the matches, read from the collection as it goes instead of from a copy of it.
class MatchEnumerator final : public automation::Enumerator {
public:
    explicit MatchEnumerator(Ref<MatchCollection> matches) : mMatches(std::move(matches)) {}
    bool Next(Variant& item) override {
        if (mNext >= mMatches->Count()) {
            return false;
        }
        item = Variant(Ref<automation::Object>(mMatches->Item(mNext++)));
        return true;
    }

private:
    Ref<MatchCollection> mMatches;
    std::int32_t mNext = 0;
};

} // namespace

SubMatches::SubMatches(std::vector<Variant>&& groups)
    : mCharged(Charged(ObjectCharge<SubMatches> + GroupsCharge(groups))), mGroups(std::move(groups)) {}

SubMatches::~SubMatches() {
    automation::RefundMemory(mCharged);
}

const automation::ClassInfo& SubMatches::GetClassInfo() const {
    static const automation::ClassInfo info(
        u"ISubMatches", {
                            automation::Default(automation::Method<&SubMatches::Item>(u"Item")),
                            automation::Method<&SubMatches::Count>(u"Count"),
                        });
    return info;
}

Ref<automation::Enumerator> SubMatches::NewEnum() {
    automation::CheckAllocation(mGroups.size(), sizeof(Variant));
    return automation::MakeRef<library::ListEnumerator>(mGroups);
}

Variant SubMatches::Item(std::int32_t index) const {
    if (index < 0 || index >= Count()) {
        library::RaiseInvalidCall();
    }
    return mGroups[static_cast<std::size_t>(index)];
}

Match::Match(std::u16string_view value, std::int32_t firstIndex, std::vector<Variant> groups)
    : mCharged(Charged(ObjectCharge<Match> + GroupsCharge(groups) + TextCharge(value))), mValue(value),
      mFirstIndex(firstIndex), mGroups(std::move(groups)) {}

Match::~Match() {
    automation::RefundMemory(mCharged);
}

const automation::ClassInfo& Match::GetClassInfo() const {
    static const automation::ClassInfo info(
        u"IMatch2", {
                        automation::Default(automation::Method<&Match::Value>(u"Value")),
                        automation::Method<&Match::FirstIndex>(u"FirstIndex"),
                        automation::Method<&Match::Length>(u"Length"),
                        automation::Method<&Match::GetSubMatches>(u"SubMatches"),
                    });
    return info;
}

Ref<SubMatches> Match::GetSubMatches() const {
    if (!mSubMatches) {
        const std::size_t groupsCharge = GroupsCharge(mGroups);
        mSubMatches = automation::MakeRef<SubMatches>(std::move(mGroups));
        // The list counts the groups now.
        automation::Recharge(mCharged, mCharged - groupsCharge);
    }
    return mSubMatches;
}

MatchCollection::MatchCollection(std::vector<Ref<Match>> matches)
    : mMatches(std::move(matches)),
      mCharged(ObjectCharge<MatchCollection> + mMatches.capacity() * sizeof(Ref<Match>)) {
    automation::ChargeMemoryUnchecked(mCharged);
}

MatchCollection::~MatchCollection() {
    automation::RefundMemory(mCharged);
}

const automation::ClassInfo& MatchCollection::GetClassInfo() const {
    static const automation::ClassInfo info(
        u"IMatchCollection2", {
                                  automation::Default(automation::Method<&MatchCollection::Item>(u"Item")),
                                  automation::Method<&MatchCollection::Count>(u"Count"),
                              });
    return info;
}

Ref<automation::Enumerator> MatchCollection::NewEnum() {
    return automation::MakeRef<MatchEnumerator>(Ref<MatchCollection>(this));
}

Ref<Match> MatchCollection::Item(std::int32_t index) const {
    if (index < 0 || index >= Count()) {
        library::RaiseInvalidCall();
    }
    return mMatches[static_cast<std::size_t>(index)];
}

} // namespace qv::vbscript
