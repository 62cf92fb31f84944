#include "project/internal/ProjectFile.h"

#include "project/ProjectFileStorage.h"
#include "project/Qel.h"
#include "project/QelExtension.h"
#include "project/QelExtensions.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"
#include "project/SynchronizationService.h"
#include "project/internal/ProjectFileConverter.h"
#include "project/internal/ProjectFileReader.h"
#include "project/internal/ProjectFileWriter.h"
#include "project/internal/QelCustomScript.h"
#include "project/internal/QelCustomScripts.h"
#include "project/internal/VersionCompare.h"

#include "model/LoadSettings.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"
#include "core/Formatting.h"
#include "core/QelStatus.h"
#include "core/QelVars.h"

#include "platform/automation/Error.h"
#include "platform/automation/Variant.h"
#include "platform/system/Environment.h"
#include "platform/system/FileSystem.h"
#include "platform/xml/Document.h"

#include <optional>
#include <string>
#include <vector>

namespace qv {

namespace {

using automation::Variant;

/// The version below which a project file goes to the converter first.
constexpr std::u16string_view CurrentFileVersion = u"6.0";
constexpr std::int32_t DefaultSmtpPort = 25;

QelMasterDetails& MasterDetailsOf(const Qel& project) {
    return *automation::DynamicRefCast<QelMasterDetails>(project.masterdetails());
}

QelCustomScripts& CustomScriptsOf(const Qel& project) {
    return *automation::DynamicRefCast<QelCustomScripts>(project.customscripts());
}

/// Whitespace stays in the tree: the references between the CDATA sections of script code are
/// whitespace, and the reader tells them from layout itself.
constexpr xml::LoadOptions ProjectFileOptions{.preserveWhitespace = true};

std::optional<xml::Document> ParseProjectFile(std::u16string_view file) {
    return xml::Document::TryLoad(file, nullptr, ProjectFileOptions);
}

/// The project file parsed, noting in `mark` which file was read and what it held: the one read
/// both parses and marks it, whatever replaces the file meanwhile.
std::optional<xml::Document> ReadProjectFile(std::u16string_view file, ProjectFileMark& mark) {
    mark = ProjectFileMark::Of(file);
    std::string bytes;
    system::FileIdentity identity;
    try {
        bytes = system::ReadFileBytes(file, identity);
    } catch (const automation::Error&) {
        // Missing or unreadable: a file that does not load, as for any other reason.
        return std::nullopt;
    }
    mark = ProjectFileMark::Of(file, bytes, identity);
    return xml::Document::TryLoadBytes(bytes, file, nullptr, ProjectFileOptions);
}

void SetLoadError(std::u16string_view message) {
    ModuleState& state = State();
    state.gProjErr = state.gMsgPrefix + u": " + std::u16string(message);
}

/// The progress window of one load: shown when the file has tables, closed when the load ends
/// however it ends.
class LoadProgress {
public:
    LoadProgress(const Qel& project, std::int32_t total) : mState(State()) {
        mState.gProgressTotal = total;
        mState.gProgressPos = 0;
        if (total > 0) {
            mState.gStatusCaption = mState.gMsgPrefix + u" - Loading Project File...";
            GetStatus().ShowStatus(project.lhWnd(), FrameText(mState.gStatusCaption));
            mShown = true;
        }
    }
    ~LoadProgress() { Close(); }
    LoadProgress(const LoadProgress&) = delete;
    LoadProgress& operator=(const LoadProgress&) = delete;

    void Table(std::u16string_view name) {
        if (!mShown) {
            return;
        }
        QelStatus& status = GetStatus();
        status.DispStatus(u"Loading TABLE/VIEW \"" + std::u16string(name) + u"\"...");
        ++mState.gProgressPos;
        status.SetStatus(Percent(mState.gProgressPos, mState.gProgressTotal));
    }

    void Close() noexcept {
        if (mShown) {
            mShown = false;
            GetStatus().CloseStatus();
        }
    }

private:
    ModuleState& mState;
    bool mShown = false;
};

/// The key of the project's database while the reader may change it; given back to the project
/// when the reading ends, also when it fails half-way, so that `db` reaches what was added.
struct DatabaseKeyScope {
    explicit DatabaseKeyScope(Qel& owner) : project(owner), name(owner.DatabaseKey()) {}
    ~DatabaseKeyScope() { Commit(); }
    DatabaseKeyScope(const DatabaseKeyScope&) = delete;
    DatabaseKeyScope& operator=(const DatabaseKeyScope&) = delete;
    void Commit() { project.SetDatabaseKey(name); }

    Qel& project;
    std::u16string name;
};

/// The number of tables in the file: the child elements of its first `Database`.
std::int32_t TableCount(const xml::Element& project) {
    for (const xml::Element& child : project.ChildElements()) {
        if (child.Name() == u"Database") {
            return static_cast<std::int32_t>(child.ChildElements().size());
        }
    }
    return 0;
}

} // namespace

std::string SaveProjectFile(Qel& project, std::u16string_view projFile) {
    const ProjectFileEncoding encoding = ChooseProjectFileEncoding();
    ProjectFileWriter writer(encoding.charset, encoding.byteOrderMark);
    writer.BeginProject(project.DllVersion(), *project.Properties());
    const QelExtensions& extensions = GetExtensions();
    for (std::int32_t position = 1; position <= extensions.Count(); ++position) {
        writer.WriteExtension(*extensions.At(position)->Properties());
    }
    if (project.Databases().Count() > 0) {
        writer.WriteDatabase(*project.Databases().Item(Variant(project.DatabaseKey())));
    }
    const QelMasterDetails& pairs = MasterDetailsOf(project);
    for (std::int32_t position = 1; position <= pairs.Count(); ++position) {
        const QelMasterDetail& pair = *pairs.At(position);
        std::vector<FieldRelation> relations;
        for (std::int32_t field = 1; field <= pair.FieldCount(); ++field) {
            relations.push_back({pair.MasterField(field), pair.DetailField(field)});
        }
        writer.WriteMasterDetail(pair.MasterTable(), pair.DetailTable(), relations);
    }
    const QelCustomScripts& scripts = CustomScriptsOf(project);
    for (std::int32_t position = 1; position <= scripts.Count(); ++position) {
        const QelCustomScript& script = *scripts.At(position);
        writer.WriteCustomScript(*script.Properties(), script.ScriptCode());
    }
    // Everything is written in memory first: a value that cannot be saved stops the save before
    // the backups turn or the file is touched.
    std::string bytes = writer.Finish();
    ReplaceProjectFile(projFile, bytes);
    return bytes;
}

void LoadProjectFile(Qel& project, std::u16string_view projFile, ProjectFileLoad& load) {
    ModuleState& state = State();
    project.SkippedOnLoad().clear();
    // The file is parsed and checked before the project is reset, so that a file that cannot
    // be read leaves the project as it was.
    std::optional<xml::Document> document = ReadProjectFile(projFile, load.file);
    if (!document) {
        SetLoadError(u"Load Project File failed! Please check!");
        return;
    }
    std::optional<std::u16string> version = document->DocumentElement().GetAttribute(u"Version");
    if (!version) {
        RaiseUnreadable(document->DocumentElement(), u"it has no Version attribute");
    }
    if (IsNewerVersion(CurrentFileVersion, *version)) {
        const std::u16string converted =
            CurrentProjectFileConverter().ConvertProject(projFile, u"ASP", project.DllVersion());
        // A converter that gives nothing readable leaves the original file to be read.
        if (!converted.empty()) {
            if (std::optional<xml::Document> upgraded = ParseProjectFile(converted)) {
                document = std::move(upgraded);
            }
        }
    }
    const xml::Element root = document->DocumentElement();
    if (root.Name() != u"Project") {
        SetLoadError(u"Invalid Project File!");
        return;
    }
    QelDatabases& databases = project.Databases();
    std::optional<std::u16string> databaseName;
    const QelTables* tables = nullptr;
    if (databases.Count() > 0) {
        databaseName = project.DatabaseKey();
        tables = databases.Item(Variant(project.DatabaseKey()))->tables().Get();
    }
    CheckProjectNodes(root, databaseName, [&](std::u16string_view name) {
        return tables != nullptr && tables->IsNameTaken(name);
    });

    load.projectChanged = true;
    project.LoadDefault();
    project.ReloadKeywords();
    state.gProjErr.clear();

    LoadProgress progress(project, TableCount(root));
    DatabaseKeyScope key(project);
    ProjectFileReader reader({*project.Properties(), databases, key.name, &GetExtensions(),
                              &MasterDetailsOf(project), &CustomScriptsOf(project),
                              &project.SkippedOnLoad()});
    reader.SetTableObserver([&](std::u16string_view name) { progress.Table(name); });
    reader.ReadProjectSettings(root);
    if (project.SmtpServer().empty()) {
        project.SetSmtpServer(system::MachineName());
        project.SetSmtpServerPort(DefaultSmtpPort);
    }
    project.SetProjName(project.ProjName());
    reader.ReadNodes(root);
    key.Commit();
    progress.Close();

    project.CopyLoaderSettings();
    if (databases.Count() == 0) {
        SetLoadError(u"No Database Information in Project File!");
        return;
    }
    load.fileRead = true;
    QelDatabase& database = *project.db();
    CurrentLoadSettings().dbmsName = database.DBDBMSName();
    SetQuoteStyle(CurrentLoadSettings().dbmsName);
    database.SetDBQuoteS(state.gQuoteStart);
    database.SetDBQuoteE(state.gQuoteEnd);
    CurrentLoadSettings().secDefault = database.SecDefault();
    project.BuildTableKeys();
    if (!project.AutoSync()) {
        return;
    }
    SynchronizationService* service = FindSynchronizationService();
    if (service == nullptr) {
        // The project is loaded, but the comparison the setting asks for could not run.
        SetLoadError(u"Synchronization is not available: no synchronization service is registered!");
        return;
    }
    service->SynchronizeAfterLoad(project);
}

} // namespace qv
