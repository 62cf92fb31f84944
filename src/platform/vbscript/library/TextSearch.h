#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qv::vbscript::library {

/// A search for one text (the needle) in others, forward or backward, comparing units as they
/// are: a text comparison folds both texts first. Owned by the call that searches; it views the
/// needle, which must outlive it.
///
/// The plain search compares the needle at every start, so its time grew with the product of the
/// two lengths: a needle of 20,000 units in two million took half a minute in one call. A needle
/// of a few units is still looked for that way, which is the quickest for such needles; a longer
/// one with the two-way algorithm of Crochemore and Perrin, whose comparisons stay below twice
/// the length of the text searched, with the skip of the last unit's last place in the needle.
/// Either way a long text is searched in stretches, and the run's time-out is looked at between
/// them. The positions found are those of the plain search.
class TextSearch {
public:
    enum class Direction : std::uint8_t { Forward, Backward };

    explicit TextSearch(std::u16string_view needle, Direction direction = Direction::Forward) noexcept
        : mNeedle(needle), mDirection(direction) {}

    /// Forward: the first position at or after `from` where the needle starts in `haystack`.
    /// Backward: the last position at or before `from`. npos when there is none.
    std::size_t Find(std::u16string_view haystack, std::size_t from) const {
        // The usual search, a short needle in a line, at the cost of the plain one.
        if (mDirection == Direction::Forward && mNeedle.size() <= ShortNeedle &&
            haystack.size() <= UnitsPerStretch) {
            return haystack.find(mNeedle, from);
        }
        return FindInStretches(haystack, from);
    }

    /// Up to this many units, a needle is compared at every start: at most this many comparisons
    /// per unit of the text.
    static constexpr std::size_t ShortNeedle = 4;
    /// The starts tried between two looks at the clock (some milliseconds of work at most), unless
    /// the needle is longer: a stretch then holds as many starts as the needle has units.
    static constexpr std::size_t UnitsPerStretch = std::size_t{1} << 20;

    /// What the two-way search knows of its needle, worked out when a search first needs it.
    struct Factorization {
        std::size_t split = 0;  // the right half of the needle starts here
        std::size_t period = 0; // the shift after the right half matched and the left did not
        std::size_t memory = 0; // a periodic needle's part still known to match after that shift
        // Per low byte of a unit: one past the last place in the needle of a unit with that low
        // byte, 0 for none (the skip by the last unit of the part of the text tried).
        std::array<std::size_t, 256> lastEnd{};
    };

private:
    std::size_t FindInStretches(std::u16string_view haystack, std::size_t from) const;

    std::u16string_view mNeedle;
    Direction mDirection;
    mutable std::optional<Factorization> mFactorization;
};

/// TextSearch of bytes (InStrB), forward, over the UTF-16LE bytes of two texts, read where they
/// are: the first byte position at or after `from` where `needle` starts in `haystack`, npos when
/// there is none.
std::size_t FindBytes(std::u16string_view haystack, std::u16string_view needle, std::size_t from);

} // namespace qv::vbscript::library
