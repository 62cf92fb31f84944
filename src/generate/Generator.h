#pragma once

#include "generate/OverwritePolicy.h"

#include "project/GenerationService.h"

#include <chrono>
#include <cstdint>
#include <string_view>

namespace qv {

/// What the last GenScript did, for a host's log and for measuring the pipeline.
struct GenerationStatistics {
    std::int32_t preparedScripts = 0; ///< prepared scripts merged from their templates
    std::int32_t pages = 0;           ///< pages the page engine built
    /// Spent in the page engine (adding and running the page functions); the rest of the run
    /// is the pipeline's own.
    std::chrono::steady_clock::duration pageScriptTime{};
    /// What became of the outputs: created, replaced, left as they were, kept although changed,
    /// not rebuilt, or could not be written.
    OutputTally outputs;
};

/// The generation service behind the project's GenScript and GenCheck: work folders, packages
/// and cache, the two script engines, validation, extension merge, the prepared scripts and the
/// generation pass. The run's state lives in the apartment; the service keeps only the figures
/// of its last run.
class Generator final : public GenerationService {
public:
    /// A whole generation run. A stop before the pass leaves its message in gProjErr; a cancel
    /// or abort raises error -1. Whatever the exit, the engines and the cache are reset.
    void GenScript(Qel& project) override;
    /// A dry run over a fresh extraction of the template: above 0 when an output exists; 0
    /// with gProjErr set when the project has no database or the control file does not load.
    std::int16_t GenCheck(Qel& project) override;

    /// The figures of the last GenScript, as far as it got.
    const GenerationStatistics& LastRun() const noexcept { return mLastRun; }

private:
    GenerationStatistics mLastRun;
};

/// Registers the generation service for the calling apartment.
void RegisterGenerator();

/// Whether the version text `a` is newer than `b`: the parts between "." compared as numbers
/// from the left, at most three and only as many as both have; all equal is not newer.
bool IsNewerVersion(std::u16string_view a, std::u16string_view b);

} // namespace qv
