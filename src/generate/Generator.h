#pragma once

#include "project/GenerationService.h"

#include <cstdint>
#include <string_view>

namespace qv {

/// The generation service behind the project's GenScript and GenCheck: work folders, packages
/// and cache, the two script engines, validation, extension merge, the prepared scripts and the
/// generation pass. Stateless; the run's state lives in the apartment.
class Generator final : public GenerationService {
public:
    /// A whole generation run. A stop before the pass leaves its message in gProjErr; a cancel
    /// or abort raises error -1. Whatever the exit, the engines and the cache are reset.
    void GenScript(Qel& project) override;
    /// A dry run over a fresh extraction of the template: above 0 when an output exists; 0
    /// with gProjErr set when the project has no database or the control file does not load.
    std::int16_t GenCheck(Qel& project) override;
};

/// Registers the generation service for the calling apartment.
void RegisterGenerator();

/// Whether the version text `a` is newer than `b`: the parts between "." compared as numbers
/// from the left, at most three and only as many as both have; all equal is not newer.
bool IsNewerVersion(std::u16string_view a, std::u16string_view b);

} // namespace qv
