#include "template/ScriptHost.h"

#include "platform/automation/Object.h"

namespace qv {

ScriptHost* AsScriptHost(automation::Object* engine) noexcept {
    return dynamic_cast<ScriptHost*>(engine);
}

} // namespace qv
