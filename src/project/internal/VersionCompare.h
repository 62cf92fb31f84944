#pragma once

#include <string_view>

namespace qv {

/// True when the version text `a` is newer than `b`: their first parts (at most three, and no
/// more than the shorter text has) compared as numbers from the left; the first that differs
/// decides. Equal parts, an empty text or a part that is not a number give False.
bool IsNewerVersion(std::u16string_view a, std::u16string_view b);

} // namespace qv
