#pragma once

#include <string>
#include <string_view>

namespace qv {

/// Why a generation run stops before its pass. Such a stop is no error: the run ends normally
/// and leaves its message in the project's error text, which the public member sets.
struct RunStop {
    /// The message after the product prefix (": Database not loaded! ..."); empty when
    /// `reported`.
    std::u16string text;
    /// The failure's own text is already in the project's error text (a script's, or the
    /// control file loader's) and stands as it is.
    bool reported = false;

    static RunStop Message(std::u16string_view message) { return {std::u16string(message), false}; }
    static RunStop Reported() { return {std::u16string(), true}; }
};

/// Puts a stop into the project's error text, as the run reports it.
void ReportStop(const RunStop& stop);

} // namespace qv
