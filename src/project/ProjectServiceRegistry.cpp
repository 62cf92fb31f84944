#include "project/GenerationService.h"
#include "project/SynchronizationService.h"

#include "core/Apartment.h"

namespace qv {

namespace {

/// The services the layers above register, one set per apartment.
struct RegisteredServices {
    std::unique_ptr<GenerationService> generation;
    std::unique_ptr<SynchronizationService> synchronization;
};

RegisteredServices& Services() {
    return ApartmentSlot<RegisteredServices>();
}

} // namespace

void RegisterGenerationService(std::unique_ptr<GenerationService> service) {
    Services().generation = std::move(service);
}

GenerationService* FindGenerationService() {
    return Services().generation.get();
}

void RegisterSynchronizationService(std::unique_ptr<SynchronizationService> service) {
    Services().synchronization = std::move(service);
}

SynchronizationService* FindSynchronizationService() {
    return Services().synchronization.get();
}

} // namespace qv
