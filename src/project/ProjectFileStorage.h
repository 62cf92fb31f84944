#pragma once

#include "platform/system/FileLock.h"

#include <chrono>
#include <string>
#include <string_view>

namespace qv {

// Where the project file and the generator's text files go on disk: the encoding a project
// file is written in, the rotating backups of the project file, and the text-file writers.
// Every file that replaces one of the user's is written beside it and renamed, so that a crash
// never leaves half a file.

/// The charset a project file is written in and how it starts.
struct ProjectFileEncoding {
    /// The charset to write in and to declare; "" writes UTF-8 and declares none.
    std::u16string charset;
    bool byteOrderMark = false;
};

/// The encoding of the next project file: "utf-8" with a byte-order mark when the general
/// registry value "UTF8Project" is on; otherwise "XMLEncodeCharSet" when that is set, else the
/// charset of the OEM code page. The charset found without "UTF8Project" is written back to
/// "XMLEncodeCharSet" on every call.
ProjectFileEncoding ChooseProjectFileEncoding();

/// The backup folder under the user's documents folder, created when missing.
std::u16string EnsureBackupFolder();

/// Keeps the file at `projFile`, when there is one, as copy 1 in the backup folder: the run of
/// copies "name(1).ext", "name(2).ext", ... moves up by one, and copies beyond the limit (the
/// general registry value "MaxProjectBackupCount", 10 when it is not a number of at least 1)
/// are deleted. Copies after a gap in the run are left alone. Projects of one file name in
/// different folders share the copies: a rotation holds a lock of its own in the backup folder.
/// A name too long for the copies' names is shortened the same way at every save.
void BackupProjectFile(std::u16string_view projFile);

/// The lock of one project file, held while it lives. A program that reads a project file,
/// changes it and saves it takes the lock before reading and keeps it until saved, so that two
/// such programs at once cannot each save what they read and lose the other's change; saving
/// takes it as well (a holder in the same process shares it). The lock is advisory: the hidden
/// file ".NAME.lock" beside the project file, which stays there.
class ProjectFileLock {
public:
    /// How long a second program waits for the first to finish before giving up.
    static constexpr std::chrono::milliseconds DefaultWait{5000};

    /// Takes the lock, waiting up to `wait`; raises 70 naming the file when another program
    /// holds it still, or the file error when the lock file cannot be made.
    explicit ProjectFileLock(std::u16string_view projFile, std::chrono::milliseconds wait = DefaultWait);

private:
    system::FileLock mLock;
};

/// The lock file of a project file: beside the file a link to it leads to, so that every way of
/// reaching one file takes one lock.
std::u16string ProjectLockFileOf(std::u16string_view projFile);

/// Backs up the file at `projFile` and replaces it with `bytes`, holding its lock.
void ReplaceProjectFile(std::u16string_view projFile, std::string_view bytes);

/// The bytes WriteTextFile writes for `text`.
std::string TextFileBytes(std::u16string_view text, bool ansiOnly);

/// Creates or replaces a text file: UTF-8 with a byte-order mark when "UTF8Project" is on and
/// `ansiOnly` is false, else in the ANSI code page.
void WriteTextFile(std::u16string_view path, std::u16string_view text, bool ansiOnly);
/// The same, but a file that already holds exactly those bytes is left alone; returns whether
/// it wrote. A generation run that changes nothing then touches no page.
bool WriteTextFileIfChanged(std::u16string_view path, std::u16string_view text, bool ansiOnly);

/// Creates or replaces a file with the text as UTF-8 after a byte-order mark.
void WriteUtf8File(std::u16string_view path, std::u16string_view text);

} // namespace qv
