#include "project/internal/ProjectFileConverter.h"

#include "core/Apartment.h"

namespace qv {

namespace {

/// No outside converter is installed here: an older file is read as it is.
class NoConversion final : public ProjectFileConverter {
public:
    std::u16string ConvertProject(std::u16string_view, std::u16string_view, std::u16string_view) override {
        return {};
    }
};

struct ConverterSlot {
    std::unique_ptr<ProjectFileConverter> registered;
    NoConversion none;
};

} // namespace

void RegisterProjectFileConverter(std::unique_ptr<ProjectFileConverter> converter) {
    ApartmentSlot<ConverterSlot>().registered = std::move(converter);
}

ProjectFileConverter& CurrentProjectFileConverter() {
    ConverterSlot& slot = ApartmentSlot<ConverterSlot>();
    if (slot.registered) {
        return *slot.registered;
    }
    return slot.none;
}

} // namespace qv
