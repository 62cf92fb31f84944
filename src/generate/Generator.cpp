#include "generate/Generator.h"

#include "generate/internal/CopySupport.h"
#include "generate/internal/ExtensionMerge.h"
#include "generate/internal/GenerationAbort.h"
#include "generate/internal/GenerationPass.h"
#include "generate/internal/GenerationRun.h"
#include "generate/internal/GenerationSettings.h"
#include "generate/internal/PackagePreparation.h"
#include "generate/internal/RebuildDecision.h"
#include "generate/internal/RunStop.h"
#include "generate/internal/WorkFolders.h"

#include "project/Qel.h"
#include "project/QelExtension.h"
#include "project/QelExtensions.h"

#include "core/Apartment.h"
#include "core/FileLookup.h"
#include "core/QelStatus.h"
#include "core/RegistryFiles.h"
#include "core/RegistryValues.h"
#include "core/SettingConversion.h"
#include "core/VbText.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTables.h"
#include "template/QelCache.h"
#include "template/QelCodeBase.h"
#include "template/QelControls.h"
#include "template/QelLanguage.h"
#include "template/QoScript.h"
#include "template/TemplateState.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"
#include "platform/zip/Package.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <cassert>
#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace qv {

namespace {

using automation::Variant;

/// Shows the progress window with the product's caption for a stage, kept in gStatusCaption.
void ShowStage(Qel& project, int style, std::u16string_view stage) {
    ModuleState& state = State();
    state.gStatusCaption = state.gMsgPrefix + std::u16string(stage);
    QelStatus& status = GetStatus();
    if (style == 2) {
        status.ShowStatus2(project.lhWnd(), FrameText(state.gStatusCaption));
        status.DispStatus(u"Please wait...");
    } else {
        status.ShowStatus3(project.lhWnd(), FrameText(state.gStatusCaption));
    }
}

/// The project's extensions in sequence order, each with its package as the registry's file names
/// are read: a relative name in the shipped folder, an absolute path as it is.
std::vector<ExtensionPackage> ProjectExtensions() {
    std::vector<ExtensionPackage> packages;
    QelExtensions& extensions = GetExtensions();
    for (std::int32_t sequence = 1; sequence <= extensions.Count(); ++sequence) {
        automation::Ref<QelExtension> extension = extensions.Seq(static_cast<std::int16_t>(sequence));
        if (!extension) {
            continue;
        }
        packages.push_back({extension->Name(), ResolveExtensionPackage(extension->Template())});
    }
    return packages;
}

std::vector<std::u16string> NamesOf(const std::vector<ExtensionPackage>& extensions) {
    std::vector<std::u16string> names;
    names.reserve(extensions.size());
    for (const ExtensionPackage& extension : extensions) {
        names.push_back(extension.name);
    }
    return names;
}

Variant GeneralValue(std::u16string_view name) {
    return GetRegValue(u"", State().gRegKeyGeneral, name);
}

std::u16string GeneralFile(std::u16string_view name) {
    return ResolveRegistryFile(TextOf(GeneralValue(name)).value_or(std::u16string()));
}

/// The settings of the run's output steps, with the registry's backup preference.
GenerationSettings RunSettings(Qel& project) {
    const Variant backup = ConvertToDataType(GeneralValue(u"BackupFile"), Variant(u"Boolean"));
    const bool backupFile = backup.Type() == automation::VarType::Boolean && backup.BooleanValue();
    return GenerationSettings::FromProperties(*project.Properties(), backupFile);
}

/// Takes the figures of a generation pass into the run's statistics when it goes.
class PassFigures {
public:
    PassFigures(GenerationStatistics& statistics, const GenerationPass& pass)
        : mStatistics(statistics), mPass(pass) {}
    PassFigures(const PassFigures&) = delete;
    PassFigures& operator=(const PassFigures&) = delete;
    ~PassFigures() {
        mStatistics.pages = mPass.PagesBuilt();
        mStatistics.pageScriptTime = mPass.PageScriptTime();
        mStatistics.outputs = mPass.Outputs();
    }

private:
    GenerationStatistics& mStatistics;
    const GenerationPass& mPass;
};

/// Resets the script engines and drops the cache when a run ends, however it ends: an engine
/// left initialised would carry one run's objects into the next.
class RunCleanup {
public:
    RunCleanup() = default;
    ~RunCleanup() {
        CurrentRun().cache = nullptr;
        TemplateState& templates = CurrentTemplateState();
        for (automation::Ref<ScriptHost>* slot : {&templates.pageScript, &templates.evalScript}) {
            if (*slot) {
                try {
                    (*slot)->Reset();
                } catch (const automation::Error&) {
                    // The engine goes anyway; nothing of it is reused.
                }
            }
            *slot = nullptr;
        }
    }
    RunCleanup(const RunCleanup&) = delete;
    RunCleanup& operator=(const RunCleanup&) = delete;
};

/// Creates an engine in `slot` when there is none and initialises it with the project's objects.
void StartEngine(Qel& project, automation::Ref<ScriptHost>& slot) {
    if (slot) {
        return;
    }
    slot = project.CreateScriptEngine();
    ScriptHost* engine = slot.Get();
    assert(engine != nullptr && "the project always creates an engine");
    ScriptEngineObjects objects = project.EngineObjects();
    Variant language(project.Language());
    engine->Initialize(objects.project, objects.database, objects.controls, language, objects.masterDetails,
                       objects.customScripts);
}

/// Without a destination every output would land in the current folder: stop instead.
std::optional<RunStop> CheckDestination(Qel& project) {
    if (!TrimBlanks(project.Destination()).empty()) {
        return std::nullopt;
    }
    return RunStop::Message(u": Destination folder not set! Generation aborted!");
}

bool IsTextFile(std::u16string_view name) {
    const std::size_t dot = name.rfind(u'.');
    return dot != std::u16string_view::npos && name.substr(dot + 1) == u"xml";
}

/// The run's changes that make every prepared script stale.
struct Changes {
    bool userCode = false;
    bool control = false;
    bool language = false;
};

/// What the stages of one GenScript share, filled in stage by stage in the order they run.
struct RunContext {
    RunContext(Qel& project, GenerationStatistics& statistics) : project(project), statistics(statistics) {}

    Qel& project;
    GenerationStatistics& statistics;
    // OpenRun
    std::u16string templatePackage;
    std::vector<ExtensionPackage> extensions;
    automation::Ref<QelCache> cache;
    // PreparePackage
    PreparedPackages packages;
    std::u16string userCode; ///< "" for the built-in code, which has no file
    std::u16string controlFile;
    QelControls* controls = nullptr;
    Changes changes;
    // LoadLanguage
    std::u16string languageFile;
    // StartEngines
    std::optional<GenerationSettings> settings;
    // OpenRun: held to the end of the run
    WorkFolderLock workLock;
};

/// The project must have a database with tables and a destination before anything is touched.
std::optional<RunStop> CheckProject(Qel& project) {
    if (project.DBCnt() < 1) {
        return RunStop::Message(u": Database not loaded! Generation aborted!");
    }
    if (project.db()->tables()->Count() < 1) {
        return RunStop::Message(u": No tables found in the Database! Generation aborted!");
    }
    return CheckDestination(project);
}

/// Names the run's packages, sets up its work folders and opens its file cache.
void OpenRun(RunContext& run) {
    run.templatePackage = ResolveRegistryFile(run.project.Template());
    CurrentTemplateState().templateFileName = TemplateFileNameOf(run.templatePackage);
    run.extensions = ProjectExtensions();
    run.workLock = SetupWorkFolders(ScriptWorkFolder, NamesOf(run.extensions));
    run.cache = automation::MakeRef<QelCache>();
    CurrentRun().cache = run.cache;
}

/// Extracts the packages that changed, checks the user code and control files against the
/// cache and loads the control file of a template recent enough.
std::optional<RunStop> PreparePackage(RunContext& run) {
    assert(run.cache && "OpenRun comes first");
    QelCache& cache = *run.cache;
    std::variant<PreparedPackages, RunStop> prepared =
        PreparePackages(cache, run.templatePackage, run.extensions);
    if (RunStop* stop = std::get_if<RunStop>(&prepared)) {
        return std::move(*stop);
    }
    run.packages = std::get<PreparedPackages>(prepared);
    run.userCode = ResolveRegistryFile(run.project.UserCode());
    if (!run.userCode.empty()) {
        const CacheVerdict verdict = CheckFileCache(cache, u"usercode", u"usercode", run.userCode);
        if (verdict == CacheVerdict::Missing) {
            return RunStop::Message(u": User code file not found! Generation aborted!");
        }
        run.changes.userCode = verdict != CacheVerdict::Same;
    }
    run.controlFile = system::JoinPath(CurrentTemplateState().templateFolder, u"control.xml");
    const CacheVerdict controlVerdict = CheckFileCache(cache, u"control", u"control", run.controlFile);
    if (controlVerdict == CacheVerdict::Missing) {
        return RunStop::Message(u": control file not found! Generation aborted!");
    }
    run.changes.control = controlVerdict != CacheVerdict::Same;
    QelControls& controls = run.project.Controls();
    if (!controls.LoadControls(run.controlFile)) {
        // The loader has put its own message into the error text.
        return RunStop::Reported();
    }
    run.controls = &controls;
    const std::u16string& minimum = State().gMinTemplateVersion;
    if (IsNewerVersion(minimum, controls.ProdVersion())) {
        return RunStop::Message(u": Template version (" + controls.ProdVersion() +
                                u") older than minimum required (" + minimum + u")! Generation aborted!");
    }
    return std::nullopt;
}

/// Loads the code base and the language file (the template's own before the project's), and
/// drops the prepared scripts when anything they were made from has changed.
std::optional<RunStop> LoadLanguage(RunContext& run) {
    assert(run.cache && "OpenRun comes first");
    Qel& project = run.project;
    run.languageFile = LocateFileNoCase(CurrentTemplateState().templateFolder, u"lang.xml")
                           .value_or(ResolveRegistryFile(project.LanguageSetting()));
    project.SetLanguageFile(run.languageFile);
    project.SetCodeBaseFile(GeneralFile(u"CodeBase"));
    if (!project.CodeBaseFile().empty() && system::FileExists(project.CodeBaseFile())) {
        GetCodeBase().Load(project.CodeBaseFile());
    }
    const CacheVerdict languageVerdict =
        run.languageFile.empty() ? CacheVerdict::Missing
                                 : CheckFileCache(*run.cache, u"language", u"language", run.languageFile);
    if (languageVerdict == CacheVerdict::Missing) {
        return RunStop::Message(u": language file not found! Generation aborted!");
    }
    run.changes.language = languageVerdict != CacheVerdict::Same;
    if (!GetLanguage().Load(run.languageFile)) {
        return RunStop::Message(u": Load Language File " + Quoted(run.languageFile) +
                                u" failed! Generation aborted!");
    }
    const Changes& changes = run.changes;
    if (run.packages.templateExtracted || run.packages.extensionsChanged || changes.userCode ||
        changes.control || changes.language) {
        DeleteFilesByExtension(CurrentTemplateState().tempFolder, u"tmp");
        run.cache->DeleteCacheGroup(Variant(u"temp"));
    }
    return std::nullopt;
}

/// Starts the page and expression engines, adds the extensions' user code and phrases and runs
/// the template's validation: a script that fails stops the run with its own message.
std::optional<RunStop> StartEngines(RunContext& run) {
    Qel& project = run.project;
    run.settings = RunSettings(project);
    const Variant timeout = ConvertToDataType(GeneralValue(u"ScriptEngineTimeout"), Variant(u"Long"));
    TemplateState& templates = CurrentTemplateState();
    templates.scriptEngineTimeout = timeout.IsEmpty() ? 0 : automation::ToLong(timeout);

    ShowStage(project, 2, u" - Initializing VBScript Engine...");
    StartEngine(project, templates.pageScript);
    StartEngine(project, templates.evalScript);
    // The project's engines are of the one engine class; only it takes further user code.
    QoScript* pageEngine = dynamic_cast<QoScript*>(templates.pageScript.Get());
    assert(pageEngine != nullptr && "the project's page engine runs VBScript");
    if (!ScriptReportedError()) {
        for (const ExtensionPackage& extension : run.extensions) {
            const std::u16string folder = system::JoinInside(templates.extensionsFolder, extension.name);
            if (std::optional<std::u16string> code = LocateFileNoCase(folder, u"usercode.vbs")) {
                pageEngine->AddUserCode(*code);
            }
            if (std::optional<std::u16string> phrases = LocateFileNoCase(folder, u"lang.xml")) {
                GetLanguage().LoadExtension(*phrases);
            }
        }
    }
    GetStatus().CloseStatus();
    if (!ScriptReportedError()) {
        ShowStage(project, 2, u" - Validating project settings...");
        pageEngine->Validate();
        GetStatus().CloseStatus();
    }
    if (ScriptReportedError()) {
        return RunStop::Reported();
    }
    return std::nullopt;
}

/// Merges the extensions' controls into the template's.
void MergeExtensions(RunContext& run) {
    assert(run.controls != nullptr && "PreparePackage loads the controls");
    ShowStage(run.project, 2, u" - Merging extensions...");
    for (const ExtensionPackage& extension : run.extensions) {
        MergeExtension(extension.name, *run.controls, run.project.ExtensionControls());
    }
    GetStatus().CloseStatus();
}

/// Prepares the script of every control marked for building whose inputs changed.
void PrepareScripts(RunContext& run) {
    assert(run.controls != nullptr && run.cache && "PreparePackage loads the controls");
    QelControls& controls = *run.controls;
    ShowStage(run.project, 2, u" - Validating control.xml...");
    PreparationProgress& progress = run.project.SessionProgress();
    progress = PreparationProgress();
    bool anyToBuild = false;
    for (std::int32_t position = 1; position <= controls.Count(); ++position) {
        automation::Ref<QelControl> control = controls.Item(Variant(position));
        if (control && control->CtrlType() != u"copy" && ControlNeedsBuild(*control, *run.cache)) {
            progress.total += control->Sessions().Count();
            anyToBuild = true;
        }
    }
    GetStatus().CloseStatus();

    // Every control marked for building is prepared; the session total only drives the bar (a
    // template without sessions still needs its scripts).
    if (!anyToBuild) {
        return;
    }
    ShowStage(run.project, 3, u" - Creating Script Files...");
    for (std::int32_t position = 1; position <= controls.Count(); ++position) {
        automation::Ref<QelControl> control = controls.Item(Variant(position));
        if (!control || control->CtrlType() == u"copy") {
            continue;
        }
        if (GetStatus().StatusIsCancelled()) {
            RaiseCancelled();
        }
        if (!control->CtrlGen()) {
            continue;
        }
        std::u16string label = control->CtrlID();
        if (!control->CtrlTagExt().empty()) {
            label += u"(" + control->CtrlTagExt() + u")";
        }
        GetStatus().DispStatus(u"Loading " + label + u" script...");
        run.project.MergeControlTemplate(*control, PreparedScriptFile(*control));
        ++run.statistics.preparedScripts;
    }
    GetStatus().CloseStatus();
}

/// Records what the run was made from in the cache file, for the next run to compare with.
void RecordRun(RunContext& run) {
    assert(run.cache && "OpenRun comes first");
    QelCache& cache = *run.cache;
    RecordPackages(cache, run.templatePackage, run.extensions, run.packages);
    if (!run.userCode.empty()) {
        RecordFileInCache(cache, u"usercode", u"usercode", run.userCode);
    }
    RecordFileInCache(cache, u"control", u"control", run.controlFile);
    RecordFileInCache(cache, u"language", u"language", run.languageFile);
    const std::u16string& tempFolder = CurrentTemplateState().tempFolder;
    for (const std::u16string& name : system::ListFolder(tempFolder).files) {
        if (!IsTextFile(name)) {
            RecordFileInCache(cache, u"temp", name, system::JoinPath(tempFolder, name));
        }
    }
    cache.WriteCacheFile();
}

/// Builds the pages and copies the files of every control.
void RunPass(RunContext& run) {
    assert(run.settings && "StartEngines reads the settings");
    const ModuleState& state = State();
    GetStatus().ShowStatus3(run.project.lhWnd(), FrameText(state.gMsgPrefix + u" - Generating " +
                                                           state.gScriptLanguage + u" Scripts..."));
    GenerationPass pass(run.project, *run.settings, /*checkOnly=*/false);
    pass.SetStyleSheetTemplate(GeneralFile(u"CssFile"));
    std::vector<std::u16string> sources{run.templatePackage};
    for (const ExtensionPackage& extension : run.extensions) {
        sources.push_back(extension.package);
    }
    if (!run.userCode.empty()) {
        sources.push_back(run.userCode);
    }
    pass.SetPageSources(std::move(sources));
    {
        // The figures go as far as the pass got, also when a cancel ends it.
        const PassFigures figures{run.statistics, pass};
        pass.Run();
    }
    GetStatus().CloseStatus();
}

} // namespace

bool IsNewerVersion(std::u16string_view a, std::u16string_view b) {
    const std::vector<std::u16string_view> first = SplitText(a, u".");
    const std::vector<std::u16string_view> second = SplitText(b, u".");
    const std::size_t parts = std::min({first.size(), second.size(), std::size_t(3)});
    for (std::size_t index = 0; index < parts; ++index) {
        const std::optional<double> left = automation::ParseNumber(first[index]);
        const std::optional<double> right = automation::ParseNumber(second[index]);
        if (!left || !right) {
            return false;
        }
        if (*left != *right) {
            return *left > *right;
        }
    }
    return false;
}

void ReportStop(const RunStop& stop) {
    if (stop.reported) {
        return;
    }
    ModuleState& state = State();
    state.gProjErr = state.gMsgPrefix;
    state.gProjErr += stop.text;
}

void Generator::GenScript(Qel& project) {
    State().gProjErr.clear();
    mLastRun = GenerationStatistics();
    if (const std::optional<RunStop> stop = CheckProject(project)) {
        ReportStop(*stop);
        return;
    }
    // A run killed before left its half-written pages and copies; pages and copies that come out
    // the same this time are not written, so their folders (the site's and those below it, such
    // as the images and uploads) would not be swept otherwise.
    system::RemoveLeftoverTemporaries(TrimBlanks(project.Destination()), system::SweepDepth::Tree);
    system::RemoveLeftoverTemporaries(TrimBlanks(project.AppRootFolder()), system::SweepDepth::Tree);
    RunCleanup cleanup;
    RunContext run(project, mLastRun);
    OpenRun(run);
    for (auto* stage : {&PreparePackage, &LoadLanguage, &StartEngines}) {
        if (const std::optional<RunStop> stop = stage(run)) {
            ReportStop(*stop);
            return;
        }
    }
    MergeExtensions(run);
    PrepareScripts(run);
    RecordRun(run);
    RunPass(run);
}

std::int16_t Generator::GenCheck(Qel& project) {
    State().gProjErr.clear();
    // The pass walks the database's tables: without one there is nothing to count.
    std::optional<RunStop> stop;
    if (project.DBCnt() < 1) {
        stop = RunStop::Message(u": Database not loaded! Generation aborted!");
    } else {
        stop = CheckDestination(project);
    }
    if (stop) {
        ReportStop(*stop);
        return 0;
    }
    const std::u16string templatePackage = ResolveRegistryFile(project.Template());
    TemplateState& templates = CurrentTemplateState();
    templates.templateFileName = TemplateFileNameOf(templatePackage);
    // Released after the check folder is gone, so that the next check finds none.
    const WorkFolderLock workLock = SetupWorkFolders(CheckWorkFolder, NamesOf(ProjectExtensions()));
    const std::u16string checkFolder = templates.templateFolder;
    struct RemoveCheckFolder {
        std::u16string folder;
        ~RemoveCheckFolder() { DeleteWorkFolder(folder); }
    } removeCheckFolder{checkFolder};

    if (system::FileExists(templatePackage)) {
        zip::ExtractPackage(templatePackage, checkFolder);
    }
    const std::u16string controlFile = system::JoinPath(checkFolder, u"control.xml");
    if (!project.Controls().LoadControls(controlFile)) {
        ReportStop(RunStop::Message(u": Load Template Control File " + Quoted(controlFile) +
                                    u" failed! Generation aborted!"));
        return 0;
    }
    GenerationPass pass(project, RunSettings(project), /*checkOnly=*/true);
    pass.SetStyleSheetTemplate(GeneralFile(u"CssFile"));
    return pass.Run();
}

void RegisterGenerator() {
    RegisterGenerationService(std::make_unique<Generator>());
}

} // namespace qv
