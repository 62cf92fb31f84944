#include "generate/OverwritePolicy.h"

#include "generate/internal/GenerationAbort.h"
#include "generate/internal/GenerationRun.h"
#include "generate/internal/OutputContent.h"

#include "core/Apartment.h"

#include "platform/host/Host.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <optional>
#include <string>
#include <system_error>

namespace qv {

namespace {

using host::OverwriteTarget;

bool TargetExists(OverwriteTarget target, std::u16string_view path) {
    return target == OverwriteTarget::File ? system::FileExists(path) : system::FolderExists(path);
}

/// Puts the question to the host and remembers its answer; true when the host gave its own.
bool AskOverwrite(OverwriteTarget target, std::u16string_view path, std::u16string_view leavesOpen) {
    GenerationRun& run = CurrentRun();
    const host::OverwriteAnswer answer = CurrentHost().AskOverwrite(
        {State().gProductName, target, std::u16string(path), std::u16string(leavesOpen)});
    switch (answer.choice) {
    case host::OverwriteChoice::Overwrite:
        run.overwriteOK = true;
        if (answer.all) {
            run.overwriteAnswer = OverwriteForAll::Overwrite;
        }
        break;
    case host::OverwriteChoice::Skip:
        run.overwriteOK = false;
        if (answer.all) {
            run.overwriteAnswer = OverwriteForAll::Skip;
            run.skipAllByDefault = answer.byDefault;
        }
        break;
    case host::OverwriteChoice::Cancel:
        run.overwriteAnswer = OverwriteForAll::Cancel;
        break;
    case host::OverwriteChoice::Closed:
        // Shut by its frame: the file is skipped and nothing is remembered.
        break;
    }
    return answer.byDefault;
}

/// Whether anything at all stands at `path`: a file, a folder, a link (dangling or not).
bool Occupied(std::u16string_view path) {
    return system::IsSymbolicLink(path) || system::FileExists(path) || system::FolderExists(path);
}

/// Keeps a file (or a link, as itself) that is about to be replaced: as "<path>.bak", or where
/// that name holds something else already as the first free "<path>.<n>.bak". An earlier backup
/// may be the only copy of what a user wrote, and a link there points at what is not ours: none
/// is written over, through or replaced. A backup that already holds the file's very bytes
/// serves as it is. Returns the backup's path.
std::u16string BackupFile(std::u16string_view path) {
    // A copy of what a link in the site points at would bring a file from elsewhere into the
    // site: a linked page is kept as its link.
    const bool link = system::IsSymbolicLink(path);
    std::optional<std::string> bytes;
    for (int number = 1; number <= 1000; ++number) {
        std::u16string backup(path);
        if (number > 1) {
            backup += u"." + automation::FromUtf8(std::to_string(number));
        }
        backup += u".bak";
        if (!Occupied(backup)) {
            if (link ? system::MoveToNew(path, backup) : system::CopyFileToNew(path, backup)) {
                return backup;
            }
            continue;
        }
        if (link || system::IsSymbolicLink(backup) || !system::FileExists(backup)) {
            continue;
        }
        if (!bytes) {
            bytes = system::ReadFileBytes(path);
        }
        if (system::ReadFileBytes(backup) == *bytes) {
            return backup;
        }
    }
    system::RaiseFileError(std::make_error_code(std::errc::file_exists), std::u16string(path) + u".bak");
}

/// Keeps an output about to be replaced; returns where.
std::u16string Backup(OverwriteTarget target, std::u16string_view path) {
    if (target == OverwriteTarget::File || system::IsSymbolicLink(path)) {
        if (target == OverwriteTarget::Folder) {
            // A linked folder is refused, as nothing of what it points at may come into the site.
            system::RefuseLinksBelow(system::FolderOf(path), system::BaseName(path));
        }
        return BackupFile(path);
    }
    std::u16string backup(path);
    backup += u".bak";
    system::DeleteFolder(backup);
    system::CopyFolder(path, backup, /*overwrite=*/true);
    return backup;
}

void Show(std::u16string text, host::MessageIcon icon) {
    CurrentHost().ShowMessage({State().gMsgPrefix, std::move(text), icon, host::MessageButtons::Ok});
}

/// Shows why an output could not be written; the run goes on with the next one.
void ShowOutputError(std::u16string_view path, std::u16string_view description) {
    std::u16string text = u"Error in open \"";
    text += path;
    text += u"\", description:";
    text += description;
    Show(std::move(text), host::MessageIcon::Exclamation);
}

/// Whether a "skip all" keeps an existing target. One the host gave by itself never keeps a page
/// that would leave a login open: nobody chose to keep it.
bool SkippedForAll(std::u16string_view leavesOpen) {
    const GenerationRun& run = CurrentRun();
    return run.overwriteAnswer == OverwriteForAll::Skip && (leavesOpen.empty() || !run.skipAllByDefault);
}

/// Whether an existing target is left alone before any content is looked at.
bool KeptRegardless(bool overwrite, std::u16string_view leavesOpen) {
    return !overwrite || SkippedForAll(leavesOpen);
}

/// Tells that a page that leaves a login open was kept, and what it may do as it is.
void ShowLeftOpen(std::u16string_view path, std::u16string_view leavesOpen, bool bySwitch) {
    std::u16string text = u"The page \"";
    text += path;
    text += bySwitch ? u"\" is kept as its overwrite switch (TblOverwrite, OtherOverwrite) is False"
                     : u"\" is kept as answered";
    text += u", although it differs from the page the project's login needs: as it is, it may ";
    text += leavesOpen;
    text += u".";
    Show(std::move(text), host::MessageIcon::Exclamation);
}

/// Tells that a page that would have left a login open was replaced by the host's own answer,
/// and where the earlier page is.
void ShowReplacedWithBackup(std::u16string_view path, std::u16string_view leavesOpen,
                            std::u16string_view backup) {
    Show(u"The page \"" + std::u16string(path) + u"\" is replaced, as it may " + std::u16string(leavesOpen) +
             u"; the earlier page is kept as \"" + std::u16string(backup) + u"\".",
         host::MessageIcon::Information);
}

/// What the decision about an existing output of a run that writes came to.
enum class Decision {
    Write,  ///< the caller writes it
    Leave,  ///< left alone on purpose: by its switch or an answer
    Failed, ///< it could not be decided or prepared (existence test or backup failed), so not written
};

Decision Decide(OverwriteTarget target, std::u16string_view path, bool overwrite, bool prompt,
                bool backupFile, std::u16string_view leavesOpen = {}) {
    GenerationRun& run = CurrentRun();
    run.overwriteOK = false;
    try {
        if (!TargetExists(target, path)) {
            return Decision::Write;
        }
        if (SkippedForAll(leavesOpen)) {
            return Decision::Leave;
        }
        bool byDefault = false;
        if (run.overwriteAnswer == OverwriteForAll::Overwrite || !prompt) {
            // An "overwrite all" never overrides a target whose own switch forbids it.
            run.overwriteOK = overwrite;
        } else if (overwrite) {
            byDefault = AskOverwrite(target, path, leavesOpen);
        }
        if (run.overwriteAnswer == OverwriteForAll::Cancel) {
            RaiseCancelled();
        }
        if (!run.overwriteOK) {
            return Decision::Leave;
        }
        // Nothing the user wrote is lost to an answer nobody gave: such a page keeps its backup
        // whatever the preference says.
        const bool keepEarlier = byDefault && !leavesOpen.empty();
        std::u16string backup;
        if (backupFile || keepEarlier) {
            backup = Backup(target, path);
        }
        if (keepEarlier) {
            ShowReplacedWithBackup(path, leavesOpen, backup);
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
/// it, what it counts as once it is written (or as it is, when it is not), and whether it was
/// kept although it leaves a login open.
struct OutputDecision {
    bool write = false;
    std::int32_t OutputTally::*outcome = nullptr;
    bool leftOpen = false;
};

OutputDecision DecideOutput(std::u16string_view path, const OutputContent& content, bool overwrite,
                            bool prompt, bool backupFile, std::u16string_view leavesOpen) {
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
    const bool leaves = !leavesOpen.empty();
    if (KeptRegardless(overwrite, leavesOpen)) {
        if (leaves) {
            ShowLeftOpen(path, leavesOpen, !overwrite);
        }
        return {false, &OutputTally::kept, leaves};
    }
    // A backup that failed leaves the old output in place although the new one differs: that is
    // a failure of the run, not a choice, and is counted so.
    const Decision decision = Decide(target, path, overwrite, prompt, backupFile, leavesOpen);
    if (decision == Decision::Leave && leaves) {
        ShowLeftOpen(path, leavesOpen, /*bySwitch=*/false);
    }
    return {decision == Decision::Write,
            decision == Decision::Write    ? &OutputTally::replaced
            : decision == Decision::Failed ? &OutputTally::failed
                                           : &OutputTally::kept,
            decision == Decision::Leave && leaves};
}

} // namespace

bool MayWriteOutput(std::u16string_view path, const OutputContent& content, bool overwrite, bool prompt,
                    bool backupFile, OutputTally* tally) {
    const OutputDecision decision = DecideOutput(path, content, overwrite, prompt, backupFile, {});
    CountOutput(tally, decision.outcome);
    return decision.write;
}

bool WriteOutput(std::u16string_view path, const OutputContent& content, bool overwrite, bool prompt,
                 bool backupFile, OutputTally* tally, const std::function<void()>& write,
                 std::u16string_view leavesOpen) {
    const OutputDecision decision = DecideOutput(path, content, overwrite, prompt, backupFile, leavesOpen);
    if (!decision.write) {
        CountOutput(tally, decision.outcome);
        if (decision.leftOpen) {
            CountOutput(tally, &OutputTally::leftOpen);
        }
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
