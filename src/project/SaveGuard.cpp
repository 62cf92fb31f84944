#include "project/internal/SaveGuard.h"

#include "core/Apartment.h"
#include "core/VbText.h"

#include "platform/automation/Error.h"

#include <algorithm>
#include <cassert>
#include <functional>

namespace qv {

ProjectFileMark::Digest ProjectFileMark::Digest::Of(std::string_view bytes) {
    return {bytes.size(), std::hash<std::string_view>{}(bytes)};
}

ProjectFileMark ProjectFileMark::Of(std::u16string_view path) {
    return {system::AbsolutePath(path), system::IdentityOf(path), std::nullopt};
}

ProjectFileMark ProjectFileMark::Of(std::u16string_view path, std::string_view bytes,
                                    std::optional<system::FileIdentity> identity) {
    return {system::AbsolutePath(path), identity, Digest::Of(bytes)};
}

bool ProjectFileMark::IsAt(std::u16string_view target) const {
    const std::optional<system::FileIdentity> now = system::IdentityOf(target);
    if (!now) {
        // Nothing there that a write could replace.
        return false;
    }
    if (identity && identity->IsSameAs(*now)) {
        return true;
    }
    // Another file at its place is the same file when it holds the same bytes: a copy put back,
    // or a tool that rewrote it unchanged.
    if (!digest || !system::IsSameFile(path, target)) {
        return false;
    }
    std::string bytes;
    try {
        bytes = system::ReadFileBytes(target);
    } catch (const automation::Error&) {
        // Unreadable now, so nothing to compare: the write that follows meets the same wall.
        return false;
    }
    return Digest::Of(bytes) == *digest;
}

void SaveGuard::Loaded(ProjectFileMark file, std::vector<SkippedElement> skipped) {
    mFiles.clear();
    mFiles.push_back({std::move(file), Standing::Holds, std::move(skipped), {}});
}

void SaveGuard::LoadFailed(ProjectFileMark file, bool projectChanged) {
    if (projectChanged) {
        for (GuardedFile& guarded : mFiles) {
            if (guarded.standing == Standing::Holds) {
                guarded.standing = Standing::Outdated;
                guarded.failedLoad = file.path;
            }
        }
    }
    if (file.identity) {
        mFiles.push_back({std::move(file), Standing::Unread, {}, {}});
    }
}

void SaveGuard::Saved(ProjectFileMark file, const std::optional<system::FileIdentity>& replaced) {
    // What stood at that place is gone; its identity may be handed to a new file some day.
    std::erase_if(mFiles, [&](const GuardedFile& guarded) {
        return system::IsSameFile(guarded.file.path, file.path) ||
               (replaced && guarded.file.identity && guarded.file.identity->IsSameAs(*replaced));
    });
    mFiles.push_back({std::move(file), Standing::Holds, {}, {}});
}

std::u16string SaveGuard::RefusalText(const GuardedFile& guarded, std::u16string_view path) {
    std::u16string text = State().gMsgPrefix + u": " + std::u16string(path) + u" is left as it is: ";
    switch (guarded.standing) {
    case Standing::Holds: {
        std::u16string fixes;
        for (const SkippedElement& element : guarded.skipped) {
            fixes += (fixes.empty() ? u"" : u"; ") + element.fix;
        }
        const std::size_t count = guarded.skipped.size();
        return text + u"saving the project would drop " +
               (count == 1 ? u"the element"
                           : u"the " + NumberText(static_cast<std::int64_t>(count)) + u" elements") +
               u" of it that the load skipped. Change the file first: " + fixes + u".";
    }
    case Standing::Outdated:
        return text + u"the project no longer holds it as it was loaded, since the load of " +
               guarded.failedLoad + u" failed after it had begun to change the project. " +
               u"Load the file again, or save the project to another file.";
    case Standing::Unread:
        return text + u"its load failed, so the project does not hold what the file holds, and saving would "
                      u"replace it. Mend the file and load it again, or save the project to another file.";
    }
    assert(false && "every standing has its text");
    return text;
}

std::optional<std::u16string> SaveGuard::Refusal(std::u16string_view path) const {
    for (const GuardedFile& guarded : mFiles) {
        // A file that holds the project whole is saved over as ever.
        if (guarded.standing == Standing::Holds && guarded.skipped.empty()) {
            continue;
        }
        if (guarded.file.IsAt(path)) {
            return RefusalText(guarded, path);
        }
    }
    return std::nullopt;
}

} // namespace qv
