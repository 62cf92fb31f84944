#pragma once

#include "template/QelCache.h"

#include "platform/automation/Ref.h"

#include <string>

namespace qv {

/// The overwrite answer remembered for the rest of a run.
enum class OverwriteForAll {
    None,      ///< nothing remembered: each target is decided on its own
    Overwrite, ///< "O": replace every target whose switch allows it
    Skip,      ///< "S": leave every existing target alone
    Cancel,    ///< "C": the run ends
};

/// The state of the apartment's generation run that only generation reads: its own work
/// folders, the file cache and the overwrite answers. The folders template code reads are in
/// TemplateState.
struct GenerationRun {
    /// gBackupFolder: the product's backup work folder.
    std::u16string backupFolder;
    /// The folder of the records of what the runs wrote into each site (see SiteRecord); empty
    /// when none is kept.
    std::u16string siteRecordFolder;
    /// gExtensionFolder: the work folder of the last extension set up.
    std::u16string extensionFolder;
    /// gCache: the file cache of the running generation; null outside a run.
    automation::Ref<QelCache> cache;
    /// gOverwriteAnswer: the answer given "for all" in the overwrite prompt.
    OverwriteForAll overwriteAnswer = OverwriteForAll::None;
    /// Whether a remembered "skip all" was the host's own answer rather than anybody's choice.
    bool skipAllByDefault = false;
    /// gOverwriteOK: whether the last overwrite decision allowed the write.
    bool overwriteOK = false;
    /// The template folder whose work tree this apartment's run has locked; empty when none.
    std::u16string lockedTemplateFolder;
};

/// The calling apartment's generation run.
GenerationRun& CurrentRun();

} // namespace qv
