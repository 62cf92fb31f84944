#include "generate/internal/GenerationAbort.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"

#include "platform/automation/Error.h"

namespace qv {

void RaiseCancelled() {
    GetStatus().CloseStatus();
    State().gProjErr = std::u16string(CancelledText);
    automation::Raise(-1, u"", std::u16string(CancelledText));
}

void RaiseGenerationError() {
    GetStatus().CloseStatus();
    automation::Raise(-1, u"", State().gProjErr);
}

} // namespace qv
