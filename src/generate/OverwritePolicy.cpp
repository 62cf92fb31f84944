#include "generate/OverwritePolicy.h"

#include "generate/internal/GenerationAbort.h"
#include "generate/internal/GenerationRun.h"
#include "generate/internal/OutputContent.h"

#include "core/Apartment.h"

#include "platform/host/Host.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "platform/automation/Error.h"

#include <string>

namespace qv {

namespace {

using host::OverwriteTarget;

bool TargetExists(OverwriteTarget target, std::u16string_view path) {
    return target == OverwriteTarget::File ? system::FileExists(path) : system::FolderExists(path);
}

void AskOverwrite(OverwriteTarget target, std::u16string_view path) {
    GenerationRun& run = CurrentRun();
    const host::OverwriteAnswer answer =
        CurrentHost().AskOverwrite({State().gProductName, target, std::u16string(path)});
    switch (answer.choice) {
    case host::OverwriteChoice::Overwrite:
        run.overwriteOK = true;
        if (answer.all) {
            run.overwriteAnswer = OverwriteForAll::Overwrite;
        }
        return;
    case host::OverwriteChoice::Skip:
        run.overwriteOK = false;
        if (answer.all) {
            run.overwriteAnswer = OverwriteForAll::Skip;
        }
        return;
    case host::OverwriteChoice::Cancel:
        run.overwriteAnswer = OverwriteForAll::Cancel;
        return;
    case host::OverwriteChoice::Closed:
        // Shut by its frame: the file is skipped and nothing is remembered.
        return;
    }
}

void Backup(OverwriteTarget target, std::u16string_view path) {
    std::u16string backup(path);
    backup += u".bak";
    // A copy of what a link in the site points at would bring a file or folder from elsewhere
    // into the site: a linked page is kept as its link, a linked folder is refused.
    if (system::IsSymbolicLink(path)) {
        if (target == OverwriteTarget::Folder) {
            system::RefuseLinksBelow(system::FolderOf(path), system::BaseName(path));
        }
        system::MoveFile(path, backup);
        return;
    }
    if (target == OverwriteTarget::File) {
        system::CopyFile(path, backup, /*overwrite=*/true);
        return;
    }
    system::DeleteFolder(backup);
    system::CopyFolder(path, backup, /*overwrite=*/true);
}

/// Shows why an output could not be written; the run goes on with the next one.
void ShowOutputError(std::u16string_view path, std::u16string_view description) {
    std::u16string text = u"Error in open \"";
    text += path;
    text += u"\", description:";
    text += description;
    CurrentHost().ShowMessage(
        {State().gMsgPrefix, std::move(text), host::MessageIcon::Exclamation, host::MessageButtons::Ok});
}

/// Whether an existing target is left alone before any content is looked at.
bool KeptRegardless(bool overwrite) {
    return !overwrite || CurrentRun().overwriteAnswer == OverwriteForAll::Skip;
}

/// What the decision about an existing output of a run that writes came to.
enum class Decision {
    Write,  ///< the caller writes it
    Leave,  ///< left alone on purpose: by its switch or an answer
    Failed, ///< it could not be decided or prepared (existence test or backup failed), so not written
};

Decision Decide(OverwriteTarget target, std::u16string_view path, bool overwrite, bool prompt,
                bool backupFile) {
    GenerationRun& run = CurrentRun();
    run.overwriteOK = false;
    try {
        if (!TargetExists(target, path)) {
            return Decision::Write;
        }
        if (run.overwriteAnswer == OverwriteForAll::Skip) {
            return Decision::Leave;
        }
        if (run.overwriteAnswer == OverwriteForAll::Overwrite || !prompt) {
            // An "overwrite all" never overrides a target whose own switch forbids it.
            run.overwriteOK = overwrite;
        } else if (overwrite) {
            AskOverwrite(target, path);
        }
        if (run.overwriteAnswer == OverwriteForAll::Cancel) {
            RaiseCancelled();
        }
        if (!run.overwriteOK) {
            return Decision::Leave;
        }
        if (backupFile) {
            Backup(target, path);
        }
        return Decision::Write;
    } catch (const automation::Error& error) {
        if (error.Number() == -1) {
            throw;
        }
        ShowOutputError(path, error.Description());
        return Decision::Failed;
    }
}

bool CheckOverwrite(OverwriteTarget target, std::u16string_view path, bool overwrite, bool prompt,
                    bool checkOnly, bool backupFile) {
    if (checkOnly) {
        return TargetExists(target, path);
    }
    return Decide(target, path, overwrite, prompt, backupFile) == Decision::Write;
}

/// What the decision about an output of a run that writes came to: whether the caller writes
/// it, and what it counts as once it is written (or as it is, when it is not).
struct OutputDecision {
    bool write = false;
    std::int32_t OutputTally::*outcome = nullptr;
};

OutputDecision DecideOutput(std::u16string_view path, const OutputContent& content, bool overwrite,
                            bool prompt, bool backupFile) {
    const OverwriteTarget target = content.IsFolder() ? OverwriteTarget::Folder : OverwriteTarget::File;
    if (!TargetExists(target, path)) {
        return {CheckOverwrite(target, path, overwrite, prompt, /*checkOnly=*/false, backupFile),
                &OutputTally::created};
    }
    CurrentRun().overwriteOK = false;
    // An output that would come out the same is left alone: it is not offered to the prompt,
    // gets no backup and keeps its time, so that a run over an unchanged project writes nothing
    // and asks nothing. The question and the backup are kept for outputs that would change,
    // which is why a page is built before the decision about replacing it is made. Compared
    // before the switch is looked at, so that a kept output is one that really differs.
    if (content.IsAlreadyAt(path)) {
        return {false, &OutputTally::unchanged};
    }
    if (KeptRegardless(overwrite)) {
        return {false, &OutputTally::kept};
    }
    // A backup that failed leaves the old output in place although the new one differs: that is
    // a failure of the run, not a choice, and is counted so.
    const Decision decision = Decide(target, path, overwrite, prompt, backupFile);
    return {decision == Decision::Write, decision == Decision::Write    ? &OutputTally::replaced
                                         : decision == Decision::Failed ? &OutputTally::failed
                                                                        : &OutputTally::kept};
}

} // namespace

bool MayWriteOutput(std::u16string_view path, const OutputContent& content, bool overwrite, bool prompt,
                    bool backupFile, OutputTally* tally) {
    const OutputDecision decision = DecideOutput(path, content, overwrite, prompt, backupFile);
    CountOutput(tally, decision.outcome);
    return decision.write;
}

bool WriteOutput(std::u16string_view path, const OutputContent& content, bool overwrite, bool prompt,
                 bool backupFile, OutputTally* tally, const std::function<void()>& write) {
    const OutputDecision decision = DecideOutput(path, content, overwrite, prompt, backupFile);
    if (!decision.write) {
        CountOutput(tally, decision.outcome);
        return false;
    }
    try {
        write();
    } catch (const automation::Error& error) {
        if (error.Number() == -1) {
            throw;
        }
        // One output the file system refuses (a name too long for it, a full disk) leaves the
        // others to be written: the run goes on, and its tally tells the host it failed.
        ShowOutputError(path, error.Description());
        CountOutput(tally, &OutputTally::failed);
        return false;
    }
    CountOutput(tally, decision.outcome);
    return true;
}

bool KeepsExistingFile(std::u16string_view path, bool overwrite, OutputTally* tally) {
    if (overwrite || !system::FileExists(path)) {
        return false;
    }
    CountOutput(tally, &OutputTally::notRebuilt);
    return true;
}

bool CheckFileOverwrite(std::u16string_view path, bool overwrite, bool prompt, bool checkOnly,
                        bool backupFile) {
    return CheckOverwrite(OverwriteTarget::File, path, overwrite, prompt, checkOnly, backupFile);
}

bool CheckFolderOverwrite(std::u16string_view path, bool overwrite, bool prompt, bool checkOnly,
                          bool backupFile) {
    return CheckOverwrite(OverwriteTarget::Folder, path, overwrite, prompt, checkOnly, backupFile);
}

} // namespace qv
