#include "core/Apartment.h"

#include "core/QelKeyword.h"
#include "core/QelStatus.h"
#include "core/VbText.h"
#include "core/cRegistry.h"

#include "platform/host/HeadlessHost.h"
#include "platform/registry/Registry.h"
#include "platform/system/CodePage.h"

#include "platform/automation/Error.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <optional>
#include <string>

namespace qv {

namespace {

/// One apartment: the module state, the slots of the layers above, and the headless host used
/// while nobody has set one.
struct Apartment {
    ModuleState state;
    ApartmentSlots slots;
    host::HeadlessHost headlessHost;

    Apartment() = default;
    ~Apartment() { Teardown(); }

    void Teardown() noexcept {
        slots.Clear();
        state.ReleaseObjects();
    }
};

// The owner destroys the apartment when the thread ends; the plain pointer stays readable while
// that happens, so destructors that reach back into the state find it.
thread_local std::unique_ptr<Apartment> tOwner;
thread_local Apartment* tCurrent = nullptr;

Apartment& Current() {
    if (tCurrent == nullptr) {
        tOwner = std::make_unique<Apartment>();
        tCurrent = tOwner.get();
    }
    return *tCurrent;
}

/// A general registry value as a code-page text, "" when there is none or the hive is damaged:
/// a code page must never stop the library from starting.
std::u16string GeneralCodePageSetting(std::u16string_view name) {
    ModuleState& state = Current().state;
    if (state.gRegKeyGeneral.empty()) {
        return {};
    }
    try {
        std::optional<registry::Value> value =
            CurrentRegistry().ReadValue(registry::HiveKind::User, state.gRegKeyGeneral, name);
        if (!value) {
            return {};
        }
        if (value->Kind() == registry::DataKind::Text) {
            return value->AsText();
        }
        if (value->Kind() == registry::DataKind::Number) {
            return NumberText(value->AsNumber());
        }
    } catch (const automation::Error&) {
        // A damaged hive falls back to the default code page.
    }
    return {};
}

} // namespace

ModuleState::ModuleState() = default;
ModuleState::~ModuleState() = default;

void ModuleState::ReleaseObjects() noexcept {
    // Upper-layer objects first: they may still use the core objects while they go.
    gExtensions = nullptr;
    gKeyword = nullptr;
    gStatus = nullptr;
    gRegistry = nullptr;
    registry.reset();
    host = nullptr;
}

void ApartmentSlots::Clear() noexcept {
    while (!mSlots.empty()) {
        auto last = std::move(mSlots.back());
        mSlots.pop_back();
        mIndex.erase(last.first);
        last.second.reset();
    }
}

ModuleState& State() {
    return Current().state;
}

ApartmentSlots& Slots() {
    return Current().slots;
}

void ResetApartment() {
    if (tCurrent == nullptr) {
        return;
    }
    tCurrent->Teardown();
    std::unique_ptr<Apartment> old = std::move(tOwner);
    tCurrent = nullptr;
    old.reset();
}

host::Host& CurrentHost() {
    Apartment& apartment = Current();
    if (apartment.state.host != nullptr) {
        return *apartment.state.host;
    }
    return apartment.headlessHost;
}

void SetCurrentHost(host::Host* host) noexcept {
    Current().state.host = host;
}

registry::Registry& CurrentRegistry() {
    ModuleState& state = Current().state;
    if (!state.registry) {
        state.registry = std::make_unique<registry::Registry>();
    }
    return *state.registry;
}

void UseRegistry(std::unique_ptr<registry::Registry> registry) {
    Current().state.registry = std::move(registry);
}

int AnsiCodePage() {
    ModuleState& state = Current().state;
    if (state.ansiCodePage == 0) {
        state.ansiCodePage = system::AnsiCodePage(GeneralCodePageSetting(u"AnsiCodePage"));
    }
    return state.ansiCodePage;
}

int OemCodePage() {
    ModuleState& state = Current().state;
    if (state.oemCodePage == 0) {
        state.oemCodePage = system::OemCodePage(GeneralCodePageSetting(u"OemCodePage"));
    }
    return state.oemCodePage;
}

} // namespace qv
