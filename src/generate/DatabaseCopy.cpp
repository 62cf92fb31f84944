#include "generate/internal/DatabaseCopy.h"

#include "generate/OverwritePolicy.h"
#include "generate/internal/CopySupport.h"
#include "generate/internal/GenerationAbort.h"
#include "generate/internal/GenerationSettings.h"
#include "generate/internal/OutputContent.h"
#include "generate/internal/OutputNames.h"

#include "core/Apartment.h"
#include "core/VbText.h"
#include "template/TemplateText.h"

#include "platform/host/Host.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <optional>

namespace qv {

namespace {

/// A folder setting of the site ("~/uploads", "~\\data", "/data"): a leading "~" goes, and
/// then the separators at the start, leaving the part relative to the application root. A
/// leading separator without the "~" names the same folder: the setting is appended to the
/// root, never taken as a path of its own.
std::u16string_view RelativeToAppRoot(std::u16string_view folder) {
    folder = TrimBlanks(folder);
    if (!folder.empty() && folder.front() == u'~') {
        folder.remove_prefix(1);
    }
    while (!folder.empty() && system::IsPathSeparator(folder.front())) {
        folder.remove_prefix(1);
    }
    return folder;
}

void CreateSiteFolder(const GenerationSettings& settings, std::u16string_view setting, bool checkOnly,
                      OutputTally* tally) {
    const std::u16string_view relative = RelativeToAppRoot(setting);
    if (relative.empty()) {
        return;
    }
    const std::u16string root = OutputRoot(settings, /*appRoot=*/true);
    const std::u16string folder = system::JoinInside(root, relative);
    // A file where the folder should be leaves the site without it: the pages would fail on
    // every upload. A link there would carry uploads and logs to wherever it points, and is
    // never followed. Either is the user's and stays; the run goes on and fails at its end.
    if (std::optional<FolderObstacle> obstacle = ObstacleBelow(root, relative)) {
        if (!checkOnly) {
            ReportFolderObstacle(u"Creating folder ", relative, *obstacle, tally);
        }
        return;
    }
    CreateFolderPath(folder);
}

/// The file a SQL Server Express connection string attaches: the text after the "=" that
/// follows "AttachDbFilename", up to the next ";".
std::optional<std::u16string> AttachedFile(std::u16string_view connection) {
    constexpr std::u16string_view key = u"AttachDbFilename";
    const std::size_t start = FindTextNoCase(connection, key);
    if (start == std::u16string_view::npos ||
        FindTextNoCase(connection, u"\\SQLExpress") == std::u16string_view::npos) {
        return std::nullopt;
    }
    const std::size_t equals = connection.find(u'=', start + key.size());
    if (equals == std::u16string_view::npos) {
        return std::nullopt;
    }
    const std::size_t end = connection.find(u';', start + key.size());
    if (end != std::u16string_view::npos && end < equals) {
        return std::nullopt;
    }
    return std::u16string(
        connection.substr(equals + 1, end == std::u16string_view::npos ? end : end - equals - 1));
}

host::MessageAnswer Ask(std::u16string text, host::MessageButtons buttons, host::MessageIcon icon) {
    return CurrentHost().ShowMessage({State().gMsgPrefix, std::move(text), icon, buttons});
}

/// The companion log file of a SQL Server data file: "shop.mdf" gives "shop_log.ldf".
std::u16string LogFileOf(std::u16string_view dataFile) {
    std::u16string log(dataFile.substr(0, dataFile.size() - 4));
    log += u"_log.ldf";
    return log;
}

bool IsDataFileWithLog(std::u16string_view source) {
    return source.size() >= 4 && automation::EqualsNoCase(source.substr(source.size() - 4), u".mdf");
}

/// Whether the target already holds the database, and its log file where it comes with one.
bool CopyIsUnchanged(std::u16string_view source, std::u16string_view target) {
    if (!OutputContent::CopyOfFile(source).IsAlreadyAt(target)) {
        return false;
    }
    const std::u16string sourceLog = IsDataFileWithLog(source) ? LogFileOf(source) : std::u16string();
    return sourceLog.empty() || !system::FileExists(sourceLog) ||
           OutputContent::CopyOfFile(sourceLog).IsAlreadyAt(LogFileOf(target));
}

} // namespace

std::optional<std::int16_t> CopyDatabase(const GenerationSettings& settings, const DatabaseFileInfo& database,
                                         bool checkOnly, OutputTally* tally) {
    CreateSiteFolder(settings, settings.UploadPath, checkOnly, tally);
    CreateSiteFolder(settings, settings.AuditTrailPath, checkOnly, tally);

    std::optional<std::u16string> source;
    if (database.DBType == u"ACCESS") {
        source = database.DBPhyPath;
    } else {
        source = AttachedFile(database.DBConnstr);
    }
    if (!source || !system::FileExists(*source)) {
        return std::int16_t{0};
    }
    const std::u16string targetFolder =
        database.DBPath.empty()
            ? OutputRoot(settings, /*appRoot=*/false)
            : system::JoinInside(OutputRoot(settings, /*appRoot=*/true), RelativeToAppRoot(database.DBPath));
    const std::u16string target = system::JoinInside(targetFolder, system::BaseName(*source));
    if (!database.DBPath.empty()) {
        // The copy must land in the site, not wherever a link in the database's folder points:
        // a link or a file there is named and left, and the run goes on.
        if (std::optional<FolderObstacle> obstacle =
                ObstacleBelow(OutputRoot(settings, /*appRoot=*/true), RelativeToAppRoot(database.DBPath))) {
            if (!checkOnly) {
                ReportFolderObstacle(u"Copying to file ", target, *obstacle, tally);
            }
            return std::int16_t{0};
        }
    }

    bool copy = false;
    if (!system::FolderExists(targetFolder)) {
        // The questions name the folder as a folder, with its trailing separator.
        std::u16string shownFolder = targetFolder;
        if (shownFolder.empty() || !system::IsPathSeparator(shownFolder.back())) {
            shownFolder += u'/';
        }
        const host::MessageAnswer answer =
            Ask(u"Folder " + Quoted(shownFolder) + u" does not exist! Do you want to create it?",
                host::MessageButtons::YesNoCancel, host::MessageIcon::Question);
        if (answer == host::MessageAnswer::Cancel) {
            RaiseCancelled();
        }
        if (answer == host::MessageAnswer::Yes) {
            CreateFolderPath(targetFolder);
        } else {
            Ask(u"Database Folder " + Quoted(shownFolder) +
                    u" not created! Database will not be copied. Make sure you set up the correct database "
                    u"path "
                    u"for the " +
                    State().gScriptLanguage + u" scripts to work correctly!",
                host::MessageButtons::Ok, host::MessageIcon::Exclamation);
            return std::int16_t{0};
        }
    }
    if (!system::FolderExists(targetFolder)) {
        return std::int16_t{0};
    }
    // Compared as files, not as texts: another spelling of the same path would otherwise copy
    // the database onto itself and truncate it.
    if (IsSameFile(*source, target)) {
        return std::int16_t{0};
    }
    if (system::FileExists(target)) {
        if (checkOnly) {
            return std::int16_t{1};
        }
        // A copy that would come out the same is left alone and not asked about; one kept by
        // the switch is counted as kept only when it differs.
        if (CopyIsUnchanged(*source, target)) {
            CountOutput(tally, &OutputTally::unchanged);
            return std::int16_t{0};
        }
        if (settings.OtherOverwrite) {
            copy = !settings.PromptOnOverwrite;
            if (settings.PromptOnOverwrite) {
                const host::MessageAnswer answer =
                    Ask(u"Database " + Quoted(target) + u" already exists! Overwrite?",
                        host::MessageButtons::YesNoCancel, host::MessageIcon::Question);
                if (answer == host::MessageAnswer::Cancel) {
                    RaiseCancelled();
                }
                copy = answer == host::MessageAnswer::Yes;
            }
        }
        CountOutput(tally, copy ? &OutputTally::replaced : &OutputTally::kept);
    } else {
        copy = true;
        if (!checkOnly) {
            CountOutput(tally, &OutputTally::created);
        }
    }
    if (!copy || checkOnly) {
        return std::int16_t{0};
    }
    std::u16string copying = target;
    try {
        system::CopyFile(*source, target, /*overwrite=*/true);
        if (IsDataFileWithLog(*source)) {
            const std::u16string sourceLog = LogFileOf(*source);
            if (system::FileExists(sourceLog)) {
                copying = LogFileOf(target);
                system::CopyFile(sourceLog, copying, /*overwrite=*/true);
            }
        }
    } catch (const automation::Error& error) {
        SetCopyFailed(u"Copying to file ", copying, error.Description());
        return std::nullopt;
    }
    return std::int16_t{0};
}

} // namespace qv
