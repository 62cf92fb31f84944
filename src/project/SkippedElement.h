#pragma once

#include <string>

namespace qv {

/// An element of a project file that a load read past, or read into an entry that an earlier
/// element had made: the project does not hold it as the file does, so a save would write the
/// file without it.
struct SkippedElement {
    /// Which element it is and why it was not kept, behind the message prefix.
    std::u16string text;
    /// What to change in the file to keep it, as a clause: rename the table "Users" on line 9.
    std::u16string fix;
};

} // namespace qv
