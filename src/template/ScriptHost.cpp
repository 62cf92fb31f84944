#include "template/ScriptHost.h"

#include "core/Apartment.h"

namespace qv {

bool ScriptReportedError() noexcept {
    return !State().gProjErr.empty();
}

} // namespace qv
