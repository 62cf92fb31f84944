#include "platform/vbscript/library/TextSearch.h"

#include "platform/vbscript/internal/Builtins.h"

#include <algorithm>
#include <functional>
#include <span>
#include <utility>

namespace qv::vbscript::library {

namespace {

constexpr std::size_t NotFound = std::u16string_view::npos;

using Factorization = TextSearch::Factorization;

// The units of a text in their order, or from its end: a backward search is the forward one over
// both texts reversed.
template <class Unit> struct Ahead {
    std::span<const Unit> units;
    std::size_t size() const noexcept { return units.size(); }
    Unit operator[](std::size_t index) const noexcept { return units[index]; }
};
template <class Unit> struct Behind {
    std::span<const Unit> units;
    std::size_t size() const noexcept { return units.size(); }
    Unit operator[](std::size_t index) const noexcept { return units[units.size() - 1 - index]; }
};

// The UTF-16LE bytes of a text, two for each unit, low byte first.
struct BytesOf {
    std::u16string_view units;
    std::size_t size() const noexcept { return 2 * units.size(); }
    std::uint8_t operator[](std::size_t index) const noexcept {
        const char16_t unit = units[index / 2];
        return static_cast<std::uint8_t>((index % 2 == 0 ? unit : unit >> 8) & 0xFF);
    }
};

std::uint8_t LowByte(char16_t unit) noexcept {
    return static_cast<std::uint8_t>(unit & 0xFF);
}
std::uint8_t LowByte(std::uint8_t unit) noexcept {
    return unit;
}

// The start and the period of the needle's maximal suffix in the order `greater` gives, found
// in a number of comparisons linear in the needle.
template <class Units, class Greater>
std::pair<std::size_t, std::size_t> MaximalSuffix(const Units& needle, Greater greater) {
    // `before` is one before the suffix's start: it begins at -1, kept as its unsigned wrap.
    std::size_t before = static_cast<std::size_t>(-1);
    std::size_t candidate = 0;
    std::size_t offset = 1;
    std::size_t period = 1;
    while (candidate + offset < needle.size()) {
        const auto a = needle[before + offset];
        const auto b = needle[candidate + offset];
        if (a == b) {
            if (offset == period) {
                candidate += period;
                offset = 1;
            } else {
                ++offset;
            }
        } else if (greater(a, b)) {
            candidate += offset;
            offset = 1;
            period = candidate - before;
        } else {
            before = candidate++;
            offset = 1;
            period = 1;
        }
    }
    return {before + 1, period};
}

// The critical factorisation of the needle (the later of its two maximal suffixes), whether the
// needle is periodic, and the last place of each low byte.
template <class Units> Factorization Factor(const Units& needle) {
    const std::size_t length = needle.size();
    Factorization factors;
    auto [split, period] = MaximalSuffix(needle, std::greater<>());
    const auto [otherSplit, otherPeriod] = MaximalSuffix(needle, std::less<>());
    if (otherSplit > split) {
        split = otherSplit;
        period = otherPeriod;
    }
    bool periodic = true;
    for (std::size_t index = 0; index < split && periodic; ++index) {
        periodic = needle[index] == needle[index + period];
    }
    factors.split = split;
    if (periodic) {
        factors.period = period;
        factors.memory = length - period;
    } else {
        // split > 0 here: with an empty left half the needle is periodic.
        factors.period = std::max(split - 1, length - split) + 1;
    }
    for (std::size_t index = 0; index < length; ++index) {
        factors.lastEnd[LowByte(needle[index])] = index + 1;
    }
    return factors;
}

// The first start at or after `from` whose whole needle lies before `limit`, comparing at every
// start.
template <class Units>
std::size_t PlainFind(const Units& haystack, std::size_t from, std::size_t limit, const Units& needle) {
    const std::size_t length = needle.size();
    for (std::size_t start = from; start + length <= limit; ++start) {
        std::size_t index = 0;
        while (index < length && haystack[start + index] == needle[index]) {
            ++index;
        }
        if (index == length) {
            return start;
        }
    }
    return NotFound;
}

// The same by the two-way algorithm: the right half of the needle is compared left to right, then
// the left half right to left; a mismatch in the right half moves on by as much as matched, one
// in the left half by the period. Of a periodic needle, what the move by its period keeps known
// is not compared again (`memory`). While nothing is known, the last unit of the part tried
// moves the needle on past any place where it cannot match.
template <class Units>
std::size_t TwoWayFind(const Units& haystack, std::size_t from, std::size_t limit, const Units& needle,
                       const Factorization& factors) {
    const std::size_t length = needle.size();
    std::size_t known = 0;
    std::size_t start = from;
    while (start + length <= limit) {
        if (known == 0) {
            const std::size_t skip = length - factors.lastEnd[LowByte(haystack[start + length - 1])];
            if (skip != 0) {
                start += skip;
                continue;
            }
        }
        std::size_t index = std::max(factors.split, known);
        while (index < length && needle[index] == haystack[start + index]) {
            ++index;
        }
        if (index < length) {
            start += index - factors.split + 1;
            known = 0;
            continue;
        }
        index = factors.split;
        while (index > known && needle[index - 1] == haystack[start + index - 1]) {
            --index;
        }
        if (index <= known) {
            return start;
        }
        start += factors.period;
        known = factors.memory;
    }
    return NotFound;
}

// The first start at or after `from`, one stretch of starts after another with a look at the
// run's time-out between them. A stretch holds at least as many starts as the needle has units,
// so that what the two-way search does again at each stretch (at most the needle) never adds up
// to more than the text.
template <class Units>
std::size_t FindForward(const Units& haystack, std::size_t from, const Units& needle,
                        const Factorization* factors) {
    const std::size_t length = needle.size();
    if (length == 0) {
        return from <= haystack.size() ? from : NotFound;
    }
    const std::size_t stretch = std::max(TextSearch::UnitsPerStretch, length);
    while (from < haystack.size() && haystack.size() - from >= length) {
        const bool last = haystack.size() - from - length < stretch;
        const std::size_t limit = last ? haystack.size() : from + stretch + length - 1;
        const std::size_t found = factors ? TwoWayFind(haystack, from, limit, needle, *factors)
                                          : PlainFind(haystack, from, limit, needle);
        if (found != NotFound || last) {
            return found;
        }
        from = limit - length + 1;
        CheckRunDeadline();
    }
    return NotFound;
}

} // namespace

std::size_t TextSearch::FindInStretches(std::u16string_view haystack, std::size_t from) const {
    const std::size_t length = mNeedle.size();
    // A short text costs the plain search little whatever the needle.
    constexpr std::size_t ShortText = 256;
    const bool plain = length <= ShortNeedle || haystack.size() <= ShortText;
    if (mDirection == Direction::Forward) {
        const Ahead<char16_t> needle{mNeedle};
        if (!plain && !mFactorization) {
            mFactorization = Factor(needle);
        }
        return FindForward(Ahead<char16_t>{haystack}, from, needle, plain ? nullptr : &*mFactorization);
    }
    // The last start at or before `from` is the first one, counted from the end, at or after
    // the end less the needle less `from`.
    if (length > haystack.size()) {
        return NotFound;
    }
    const std::size_t lastStart = std::min(from, haystack.size() - length);
    const Behind<char16_t> needle{mNeedle};
    if (!plain && !mFactorization) {
        mFactorization = Factor(needle);
    }
    const std::size_t found = FindForward(Behind<char16_t>{haystack}, haystack.size() - length - lastStart,
                                          needle, plain ? nullptr : &*mFactorization);
    return found == NotFound ? NotFound : haystack.size() - length - found;
}

std::size_t FindBytes(std::u16string_view haystack, std::u16string_view needle, std::size_t from) {
    const BytesOf bytes{needle};
    std::optional<Factorization> factors;
    if (bytes.size() > TextSearch::ShortNeedle) {
        factors = Factor(bytes);
    }
    return FindForward(BytesOf{haystack}, from, bytes, factors ? &*factors : nullptr);
}

} // namespace qv::vbscript::library
