#include "generate/internal/GenerationRun.h"

#include "core/Apartment.h"

namespace qv {

GenerationRun& CurrentRun() {
    return ApartmentSlot<GenerationRun>();
}

} // namespace qv
