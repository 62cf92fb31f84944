#pragma once

#include <string_view>

namespace qv {

/// The text of a run the user cancelled.
inline constexpr std::u16string_view CancelledText = u"Generation cancelled by user!";

/// Ends a generation run the user cancelled: closes the progress window, sets gProjErr to
/// CancelledText and raises error -1 with it.
[[noreturn]] void RaiseCancelled();

/// Ends a generation run after a failure that its caller put into gProjErr: closes the progress
/// window and raises error -1 with gProjErr as its description.
[[noreturn]] void RaiseGenerationError();

} // namespace qv
