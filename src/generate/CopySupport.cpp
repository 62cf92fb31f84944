#include "generate/internal/CopySupport.h"

#include "generate/OverwritePolicy.h"

#include "core/Apartment.h"

#include "platform/host/Host.h"
#include "platform/system/Paths.h"

#include <filesystem>
#include <system_error>

namespace qv {

bool IsSameFile(std::u16string_view first, std::u16string_view second) {
    std::error_code error;
    const bool same =
        std::filesystem::equivalent(system::ToNativePath(first), system::ToNativePath(second), error);
    return !error && same;
}

std::u16string Quoted(std::u16string_view text) {
    std::u16string quoted(u"\"");
    quoted += text;
    quoted += u'"';
    return quoted;
}

namespace {

std::u16string FailedText(std::u16string_view what, std::u16string_view target) {
    std::u16string text(what);
    text += Quoted(target);
    text += u" failed!";
    return text;
}

} // namespace

void SetCopyFailed(std::u16string_view what, std::u16string_view target, std::u16string_view detail) {
    std::u16string& text = State().gProjErr;
    text = FailedText(what, target);
    if (!detail.empty()) {
        text += u" Error = ";
        text += detail;
    }
}

std::optional<FolderObstacle> ObstacleBelow(std::u16string_view root, std::u16string_view relative) {
    namespace fs = std::filesystem;
    // Up from the root to the first thing that exists: a folder there can hold the rest.
    for (fs::path path = system::ToNativePath(root); !path.empty(); path = path.parent_path()) {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (status.type() == fs::file_type::not_found && path != path.parent_path()) {
            continue;
        }
        if (status.type() != fs::file_type::none && status.type() != fs::file_type::not_found &&
            !fs::is_directory(status)) {
            return FolderObstacle{.path = system::FromNativePath(path),
                                  .link = false,
                                  .whereFile = false,
                                  .special = !fs::is_regular_file(status)};
        }
        break;
    }
    // Below the root each folder is looked at itself, never through a link.
    return system::FirstNonFolderBelow(root, relative);
}

void ReportFolderObstacle(std::u16string_view what, std::u16string_view target,
                          const FolderObstacle& obstacle, OutputTally* tally) {
    std::u16string text = FailedText(what, target);
    const std::u16string_view where =
        obstacle.whereFile ? u" stands where the file should be: " : u" stands where the folder should be: ";
    if (obstacle.link) {
        text += u" A symbolic link";
        text += where;
        text += Quoted(obstacle.path);
        text += u" (it is not followed and is left as it is).";
    } else if (obstacle.special) {
        text += u" A pipe, socket or device";
        text += where;
        text += Quoted(obstacle.path);
        text += u" (it is not opened and is left as it is).";
    } else {
        text += u" A file stands where the folder should be: ";
        text += Quoted(obstacle.path);
        text += u" (it is left as it is).";
    }
    CurrentHost().ShowMessage(
        {State().gMsgPrefix, std::move(text), host::MessageIcon::Exclamation, host::MessageButtons::Ok});
    CountOutput(tally, &OutputTally::failed);
}

} // namespace qv
