#pragma once

#include <cstdint>
#include <optional>

namespace qv {

class QelControls;
struct GenerationSettings;
struct OutputTally;

/// Copies what the "copy" controls of `controls` name (the files of CtrlIFiles, or else the
/// folder CtrlIFolder) from the template or extension work folder into the site, each target
/// passing the overwrite decision (CtrlOverwrite and OtherOverwrite) unless it already holds
/// what the copy would put there; each target is counted in `tally` when given. In check-only mode it
/// copies nothing, creates nothing and returns the number of targets that exist; otherwise 0.
/// nullopt with gProjErr set when a source file is missing or a copy fails (at once) or a source
/// folder is missing (after the other controls' copies).
std::optional<std::int16_t> CopyControlFiles(QelControls& controls, const GenerationSettings& settings,
                                             bool checkOnly, OutputTally* tally = nullptr);

} // namespace qv
