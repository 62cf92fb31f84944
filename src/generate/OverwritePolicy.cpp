#include "generate/OverwritePolicy.h"

#include "generate/GenerationAbort.h"

#include "core/Apartment.h"

#include "platform/host/Host.h"
#include "platform/system/FileSystem.h"

#include "platform/automation/Error.h"

#include <string>

namespace qv {

namespace {

using host::OverwriteTarget;

bool TargetExists(OverwriteTarget target, std::u16string_view path) {
    return target == OverwriteTarget::File ? system::FileExists(path) : system::FolderExists(path);
}

void AskOverwrite(OverwriteTarget target, std::u16string_view path) {
    ModuleState& state = State();
    state.gOverwriteFile = target == OverwriteTarget::File ? std::u16string(path) : std::u16string();
    state.gOverwriteFolder = target == OverwriteTarget::Folder ? std::u16string(path) : std::u16string();
    const host::OverwriteAnswer answer =
        CurrentHost().AskOverwrite({state.gProductName, target, std::u16string(path)});
    switch (answer.choice) {
    case host::OverwriteChoice::Overwrite:
        state.gOverwriteOK = true;
        if (answer.all) {
            state.gOverwriteAnswer = u"O";
        }
        return;
    case host::OverwriteChoice::Skip:
        state.gOverwriteOK = false;
        if (answer.all) {
            state.gOverwriteAnswer = u"S";
        }
        return;
    case host::OverwriteChoice::Cancel:
        state.gOverwriteAnswer = u"C";
        return;
    case host::OverwriteChoice::Closed:
        // Shut by its frame: the file is skipped and nothing is remembered.
        return;
    }
}

void Backup(OverwriteTarget target, std::u16string_view path) {
    std::u16string backup(path);
    backup += u".bak";
    if (target == OverwriteTarget::File) {
        system::CopyFile(path, backup, /*overwrite=*/true);
        return;
    }
    system::DeleteFolder(backup);
    system::CopyFolder(path, backup, /*overwrite=*/true);
}

bool CheckOverwrite(OverwriteTarget target, std::u16string_view path, bool overwrite, bool prompt,
                    bool checkOnly, bool backupFile) {
    if (checkOnly) {
        return TargetExists(target, path);
    }
    ModuleState& state = State();
    state.gOverwriteOK = false;
    try {
        if (!TargetExists(target, path)) {
            return true;
        }
        if (state.gOverwriteAnswer == u"S") {
            return false;
        }
        if (state.gOverwriteAnswer == u"O" || !prompt) {
            // An "overwrite all" never overrides a target whose own switch forbids it.
            state.gOverwriteOK = overwrite;
        } else if (overwrite) {
            AskOverwrite(target, path);
        }
        if (state.gOverwriteAnswer == u"C") {
            RaiseCancelled();
        }
        if (!state.gOverwriteOK) {
            return false;
        }
        if (backupFile) {
            Backup(target, path);
        }
        return true;
    } catch (const automation::Error& error) {
        if (error.Number() == -1) {
            throw;
        }
        std::u16string text = u"Error in open \"";
        text += path;
        text += u"\", description:";
        text += error.Description();
        CurrentHost().ShowMessage(
            {state.gMsgPrefix, std::move(text), host::MessageIcon::Exclamation, host::MessageButtons::Ok});
        return false;
    }
}

} // namespace

bool CheckFileOverwrite(std::u16string_view path, bool overwrite, bool prompt, bool checkOnly,
                        bool backupFile) {
    return CheckOverwrite(OverwriteTarget::File, path, overwrite, prompt, checkOnly, backupFile);
}

bool CheckFolderOverwrite(std::u16string_view path, bool overwrite, bool prompt, bool checkOnly,
                          bool backupFile) {
    return CheckOverwrite(OverwriteTarget::Folder, path, overwrite, prompt, checkOnly, backupFile);
}

} // namespace qv
