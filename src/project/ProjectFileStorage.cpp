#include "project/ProjectFileStorage.h"

#include "core/Apartment.h"
#include "core/Captions.h"
#include "core/Charsets.h"
#include "core/FolderPaths.h"
#include "core/RegistryValues.h"
#include "core/SettingConversion.h"
#include "core/VbText.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Variant.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/TextFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace qv {

namespace {

using automation::Variant;

constexpr std::int16_t DefaultBackupLimit = 10;

Variant GeneralValue(std::u16string_view name) {
    return GetRegValue(u"HKCU", State().gRegKeyGeneral, name);
}

bool Utf8ProjectOn() {
    const Variant value = ConvertToDataType(GeneralValue(u"UTF8Project"), Variant(u"Boolean"));
    return value.Type() == automation::VarType::Boolean && value.BooleanValue();
}

std::int16_t BackupLimit() {
    const Variant value = ConvertToDataType(GeneralValue(u"MaxProjectBackupCount"), Variant(u"Integer"));
    if (value.Type() != automation::VarType::Integer || value.IntegerValue() < 1) {
        return DefaultBackupLimit;
    }
    return value.IntegerValue();
}

/// The names of the copies of one file: the base name split at its last dot.
class BackupNames {
public:
    BackupNames(std::u16string_view folder, std::u16string_view projFile) : mFolder(folder) {
        const std::u16string_view name = system::BaseName(projFile);
        const std::size_t dot = name.rfind(u'.');
        mBase = name.substr(0, dot);
        if (dot != std::u16string_view::npos) {
            mExtension = name.substr(dot);
        }
    }

    /// A long name is shortened the same way at every save, so that the copies of a project
    /// that loads can always be made and found again.
    std::u16string Copy(std::int32_t number) const {
        return system::JoinPath(
            mFolder, system::FitFileName(u"", mBase, u"(" + NumberText(number) + u")" + mExtension));
    }

    /// The lock that one rotation of these copies holds: projects of the same file name in other
    /// folders share the copies' names, and two saves at once would move each other's copies.
    std::u16string LockFile() const {
        return system::JoinPath(mFolder, system::FitFileName(u".", mBase + mExtension, u".backup.lock"));
    }

private:
    std::u16string mFolder;
    std::u16string mBase;
    std::u16string mExtension; ///< with its dot; "" when the name has none
};

system::FileLock TakeLock(std::u16string_view projFile, std::chrono::milliseconds wait) {
    std::optional<system::FileLock> lock = system::FileLock::Acquire(ProjectLockFileOf(projFile), wait);
    if (!lock) {
        automation::Raise(
            system::FileErrorNumber::PermissionDenied, u"",
            u"The project file '" + std::u16string(projFile) +
                u"' is in use: another program is changing it. Try again when it has finished.");
    }
    return std::move(*lock);
}

/// How long a save waits for another save's rotation of the same copies: a rotation moves a few
/// files, so only a stuck program holds it that long.
constexpr std::chrono::milliseconds BackupWait{60000};

} // namespace

std::u16string ProjectLockFileOf(std::u16string_view projFile) {
    // Beside the file itself, however it is reached: programs that open it through a link and
    // by its own path must take the one lock.
    std::error_code error;
    const std::filesystem::path native = system::ToNativePath(projFile);
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(native, error);
    const std::u16string file = system::FromNativePath(error ? native : resolved);
    return system::JoinPath(system::FolderOf(file),
                            system::FitFileName(u".", system::BaseName(file), u".lock"));
}

ProjectFileLock::ProjectFileLock(std::u16string_view projFile, std::chrono::milliseconds wait)
    : mLock(TakeLock(projFile, wait)) {}

ProjectFileEncoding ChooseProjectFileEncoding() {
    ModuleState& state = State();
    InitSystemCharset();
    const std::optional<std::u16string> configured = TextOf(GeneralValue(u"XMLEncodeCharSet"));
    if (configured && !configured->empty()) {
        state.gXmlEncoding = *configured;
    }
    std::int32_t textType = 1;
    SetRegValue(u"HKCU", state.gRegKeyGeneral, u"XMLEncodeCharSet", textType, Variant(state.gXmlEncoding));
    if (Utf8ProjectOn()) {
        return {u"utf-8", true};
    }
    return {state.gXmlEncoding, false};
}

std::u16string EnsureBackupFolder() {
    return ProductWorkFolder(u"Backup");
}

void BackupProjectFile(std::u16string_view projFile) {
    const std::int16_t limit = BackupLimit();
    if (!system::FileExists(projFile)) {
        return;
    }
    const BackupNames names(EnsureBackupFolder(), projFile);
    const std::optional<system::FileLock> lock =
        system::FileLock::Acquire(names.LockFile(), BackupWait, system::FileLock::Sharing::None);
    if (!lock) {
        automation::Raise(system::FileErrorNumber::PermissionDenied, u"",
                          u"The backup copies of '" + std::u16string(system::BaseName(projFile)) +
                              u"' are in use: another program is saving a project of that name.");
    }
    std::int32_t firstFree = 1;
    while (system::FileExists(names.Copy(firstFree))) {
        ++firstFree;
    }
    for (std::int32_t number = firstFree - 1; number >= 1; --number) {
        const std::u16string copy = names.Copy(number);
        if (number < limit) {
            system::MoveFile(copy, names.Copy(number + 1));
        } else {
            system::DeleteFile(copy);
        }
    }
    system::CopyFile(projFile, names.Copy(1), /*overwrite=*/true);
}

void ReplaceProjectFile(std::u16string_view projFile, std::string_view bytes) {
    const ProjectFileLock lock(projFile);
    // The backup comes first: a write that fails at the end leaves the old file as copy 1.
    BackupProjectFile(projFile);
    // The user's own file: one they keep elsewhere and link to stays linked.
    system::WriteFileAtomic(projFile, bytes, system::Durability::Flushed, system::FinalLink::Follow);
}

std::string TextFileBytes(std::u16string_view text, bool ansiOnly) {
    if (!ansiOnly && Utf8ProjectOn()) {
        return system::EncodeText(text, system::TextEncodingKind::Utf8WithBom);
    }
    return system::EncodeText(text, system::TextEncodingKind::CodePage, AnsiCodePage());
}

void WriteTextFile(std::u16string_view path, std::u16string_view text, bool ansiOnly) {
    system::WriteFileAtomic(path, TextFileBytes(text, ansiOnly));
}

bool WriteTextFileIfChanged(std::u16string_view path, std::u16string_view text, bool ansiOnly) {
    return system::WriteFileIfChanged(path, TextFileBytes(text, ansiOnly));
}

void WriteUtf8File(std::u16string_view path, std::u16string_view text) {
    system::WriteTextFile(path, text, system::TextEncodingKind::Utf8WithBom);
}

} // namespace qv
