#include "project/ProjectFile.h"

#include "project/Qel.h"

#include "core/Apartment.h"

#include "platform/automation/Error.h"

namespace qv {

namespace {

/// "Object doesn't support this action": the project file is not written or read by this build.
constexpr std::int32_t NotSupported = 445;

[[noreturn]] void RaiseNotAvailable(std::u16string_view what) {
    automation::Raise(NotSupported, State().gProductName,
                      std::u16string(what) + u" a project file is not available in this build.");
}

} // namespace

void SaveProjectFile(Qel&, std::u16string_view) {
    RaiseNotAvailable(u"Saving");
}

void LoadProjectFile(Qel&, std::u16string_view) {
    RaiseNotAvailable(u"Loading");
}

} // namespace qv
