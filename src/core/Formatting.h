#pragma once

#include "platform/automation/Variant.h"

#include <cstdint>
#include <string>

// Values formatted for the progress window and for generated files: percentages, timestamps,
// zero-padded numbers.

namespace qv {

/// position / total * 100, rounded half to even; a total of 0 counts as 1 and a position
/// beyond the total as the total.
std::int16_t Percent(std::int32_t position, std::int32_t total);

/// A date (or text that reads as one) as "yyyy/mm/dd hh:nn:ss"; any other value as its text,
/// Null as "". Never raises.
std::u16string FormatTimestamp(const automation::Variant& value);

/// The value's text with "0" in front up to `width` characters; 5 when it is already longer.
std::u16string PadZero(const automation::Variant& value, std::int32_t width);

} // namespace qv
