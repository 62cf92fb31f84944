#pragma once

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
/// are deleted. Copies after a gap in the run are left alone.
void BackupProjectFile(std::u16string_view projFile);

/// Backs up the file at `projFile` and replaces it with `bytes`.
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
