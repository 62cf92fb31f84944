#include "project/ProjectFile.h"

#include "project/Qel.h"

#include "core/Apartment.h"

#include "platform/automation/Error.h"

namespace qv {

namespace {

[[noreturn]] void RaiseNotAvailable(std::u16string_view what) {
    automation::Raise(ProjectFileNotAvailable, State().gProductName,
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
