#include "model/LoadSettings.h"

#include "core/Apartment.h"

namespace qv {

LoadSettings& CurrentLoadSettings() {
    return ApartmentSlot<LoadSettings>();
}

} // namespace qv
