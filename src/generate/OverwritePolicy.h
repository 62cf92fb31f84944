#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace qv {

class OutputContent;

// Whether an output file or folder of a generation run may be replaced. The answer combines the
// caller's overwrite switch, the project's prompt switch and the answer remembered for the run
// (overwrite all, skip all or cancel), asking the host's overwrite prompt when needed. A
// replaced target first gets a ".bak" copy beside it when the backup preference is on.

/// In check-only mode: whether the file exists (nothing else happens). Otherwise: true when
/// the caller may write the file. A Cancel in the prompt ends the run (error -1). A failing
/// backup is shown in a message box and refuses the write.
bool CheckFileOverwrite(std::u16string_view path, bool overwrite, bool prompt, bool checkOnly,
                        bool backupFile);

/// The same decision for a folder; its backup replaces any older "<folder>.bak" whole.
bool CheckFolderOverwrite(std::u16string_view path, bool overwrite, bool prompt, bool checkOnly,
                          bool backupFile);

/// What a generation run did with its outputs. Every existing output is counted once: by what
/// its new content turned out to be, or as not rebuilt when its switch kept it from being built.
/// One that would be new or change but could not be written is counted apart from those kept on
/// purpose: the site then lacks what the run made, which its host must report as a failure.
struct OutputTally {
    std::int32_t created = 0;    ///< outputs that did not exist yet
    std::int32_t replaced = 0;   ///< existing outputs that changed and were replaced
    std::int32_t unchanged = 0;  ///< existing outputs that came out the same and were left alone
    std::int32_t kept = 0;       ///< existing outputs that would change, kept by a switch or an answer
    std::int32_t notRebuilt = 0; ///< existing outputs not built at all: their switch forbids replacing
    std::int32_t failed = 0;     ///< outputs that would be new or change but could not be written
    /// Pages among the kept ones that differ from what a login in force needs: as they are, they
    /// may leave the login open, which its host must report as a failure.
    std::int32_t leftOpen = 0;

    std::int32_t LeftAlone() const noexcept { return unchanged + kept + notRebuilt; }
};

/// Counts one output under `outcome` when there is a tally.
inline void CountOutput(OutputTally* tally, std::int32_t OutputTally::*outcome) {
    if (tally != nullptr) {
        ++(tally->*outcome);
    }
}

/// Adds the counts of `counted` to `tally` when there is one.
inline void AddOutputs(OutputTally* tally, const OutputTally& counted) {
    if (tally == nullptr) {
        return;
    }
    for (std::int32_t OutputTally::*outcome :
         {&OutputTally::created, &OutputTally::replaced, &OutputTally::unchanged, &OutputTally::kept,
          &OutputTally::notRebuilt, &OutputTally::failed}) {
        tally->*outcome += counted.*outcome;
    }
}

/// The decision for an output of a run that writes (not check-only) once its new content is
/// known: true when the caller writes it. An existing output that would come out the same is
/// left alone without a question or a backup (counted unchanged, whatever its switch); only one
/// that would change goes through the overwrite decision above (prompt, remembered answer,
/// backup), file or folder as the content says. Each decision is counted in `tally` when given;
/// an output whose backup or existence test failed (shown in a message box) counts as failed.
bool MayWriteOutput(std::u16string_view path, const OutputContent& content, bool overwrite, bool prompt,
                    bool backupFile, OutputTally* tally);

/// MayWriteOutput, then `write` when the decision allows it. An output whose write raises is
/// shown with the error's description, counted as failed instead of new or replaced, and the
/// caller goes on with its next output; a Cancel (error -1) still ends the run. True when the
/// output was written.
///
/// `leavesOpen`, when not empty, says what the existing page may do as it is because it differs
/// from the page a login in force needs. The question carries it, so that the host's own answer
/// can replace the page; replaced by that answer, the page gets its backup whatever `backupFile`
/// says, and that is shown. Kept by its switch or an answer given for it, the page is shown with
/// what it leaves open and counted as left open besides kept.
bool WriteOutput(std::u16string_view path, const OutputContent& content, bool overwrite, bool prompt,
                 bool backupFile, OutputTally* tally, const std::function<void()>& write,
                 std::u16string_view leavesOpen = {});

/// Whether an existing file stays as it is whatever its new content would be because its switch
/// forbids replacing it. A writer then need not build the content at all; the file is counted as
/// not rebuilt in `tally` when given. A "skip all" answer does not count here: such a file is
/// still built, so that the tally tells the ones that would change from the ones that would not.
bool KeepsExistingFile(std::u16string_view path, bool overwrite, OutputTally* tally);

} // namespace qv
