#include "generate/Generator.h"

#include "generate/internal/CopySupport.h"
#include "generate/internal/ExtensionMerge.h"
#include "generate/internal/GenerationAbort.h"
#include "generate/internal/GenerationPass.h"
#include "generate/internal/GenerationSettings.h"
#include "generate/internal/PackagePreparation.h"
#include "generate/internal/RebuildDecision.h"
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

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"
#include "platform/zip/Package.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <memory>
#include <optional>
#include <vector>

namespace qv {

namespace {

using automation::Variant;

/// Sets gProjErr to the product prefix and `text`: the driver's stop before the pass.
void Stop(std::u16string_view text) {
    ModuleState& state = State();
    state.gProjErr = state.gMsgPrefix;
    state.gProjErr += text;
}

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
        ModuleState& state = State();
        state.gCache = nullptr;
        for (automation::Ref<automation::Object>* slot : {&state.gPageScript, &state.gEvalScript}) {
            if (auto engine = automation::DynamicRefCast<QoScript>(*slot)) {
                try {
                    engine->Reset();
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
void StartEngine(Qel& project, automation::Ref<automation::Object>& slot) {
    if (slot) {
        return;
    }
    slot = project.CreateScriptEngine();
    auto engine = automation::DynamicRefCast<QoScript>(slot);
    ScriptEngineObjects objects = project.EngineObjects();
    Variant language(project.Language());
    engine->Initialize(objects.project, objects.database, objects.controls, language, objects.masterDetails,
                       objects.customScripts);
}

/// Without a destination every output would land in the current folder: stop instead.
bool HasDestination(Qel& project) {
    if (!TrimBlanks(project.Destination()).empty()) {
        return true;
    }
    Stop(u": Destination folder not set! Generation aborted!");
    return false;
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

void Generator::GenScript(Qel& project) {
    ModuleState& state = State();
    state.gProjErr.clear();
    mLastRun = GenerationStatistics();
    if (project.DBCnt() < 1) {
        Stop(u": Database not loaded! Generation aborted!");
        return;
    }
    if (project.db()->tables()->Count() < 1) {
        Stop(u": No tables found in the Database! Generation aborted!");
        return;
    }
    if (!HasDestination(project)) {
        return;
    }
    // A run killed before left its half-written pages; pages that come out the same this time
    // are not written, so their folders would not be swept otherwise.
    system::RemoveLeftoverTemporaries(TrimBlanks(project.Destination()));
    system::RemoveLeftoverTemporaries(TrimBlanks(project.AppRootFolder()));
    RunCleanup cleanup;
    const std::u16string templatePackage = ResolveRegistryFile(project.Template());
    state.gTemplateFileName = TemplateFileNameOf(templatePackage);
    const std::vector<ExtensionPackage> extensions = ProjectExtensions();
    SetupWorkFolders(ScriptWorkFolder, NamesOf(extensions));
    auto cache = automation::MakeRef<QelCache>();
    state.gCache = cache;

    const std::optional<PreparedPackages> packages = PreparePackages(*cache, templatePackage, extensions);
    if (!packages) {
        return;
    }
    Changes changes;
    // No user-code file means the built-in code, which has no file to check.
    const std::u16string userCode = ResolveRegistryFile(project.UserCode());
    if (!userCode.empty()) {
        const std::int16_t verdict = CheckFileCache(*cache, u"usercode", u"usercode", userCode);
        if (verdict == -1) {
            Stop(u": User code file not found! Generation aborted!");
            return;
        }
        changes.userCode = verdict != 0;
    }
    const std::u16string controlFile = system::JoinPath(state.gTemplateFolder, u"control.xml");
    const std::int16_t controlVerdict = CheckFileCache(*cache, u"control", u"control", controlFile);
    if (controlVerdict == -1) {
        Stop(u": control file not found! Generation aborted!");
        return;
    }
    changes.control = controlVerdict != 0;
    QelControls& controls = project.Controls();
    if (!controls.LoadControls(controlFile)) {
        if (state.gProjErr.empty()) {
            Stop(u": Load Template Control File " + Quoted(controlFile) + u" failed! Generation aborted!");
        }
        return;
    }
    if (IsNewerVersion(state.gMinTemplateVersion, controls.ProdVersion())) {
        Stop(u": Template version (" + controls.ProdVersion() + u") older than minimum required (" +
             state.gMinTemplateVersion + u")! Generation aborted!");
        return;
    }

    std::u16string languageFile = LocateFileNoCase(state.gTemplateFolder, u"lang.xml")
                                      .value_or(ResolveRegistryFile(project.LanguageSetting()));
    project.SetLanguageFile(languageFile);
    project.SetCodeBaseFile(GeneralFile(u"CodeBase"));
    if (!project.CodeBaseFile().empty() && system::FileExists(project.CodeBaseFile())) {
        GetCodeBase().Load(project.CodeBaseFile());
    }
    const std::int16_t languageVerdict = languageFile.empty()
                                             ? std::int16_t{-1}
                                             : CheckFileCache(*cache, u"language", u"language", languageFile);
    if (languageVerdict == -1) {
        Stop(u": language file not found! Generation aborted!");
        return;
    }
    changes.language = languageVerdict != 0;
    QelLanguage& language = GetLanguage();
    if (!language.Load(languageFile)) {
        Stop(u": Load Language File " + Quoted(languageFile) + u" failed! Generation aborted!");
        return;
    }
    if (packages->templateExtracted || packages->extensionsChanged || changes.userCode || changes.control ||
        changes.language) {
        DeleteFilesByExtension(state.gTempFolder, u"tmp");
        cache->DeleteCacheGroup(Variant(u"temp"));
    }

    const GenerationSettings settings = RunSettings(project);
    const Variant timeout = ConvertToDataType(GeneralValue(u"ScriptEngineTimeout"), Variant(u"Long"));
    state.gScriptEngineTimeout = timeout.IsEmpty() ? 0 : automation::ToLong(timeout);

    ShowStage(project, 2, u" - Initializing VBScript Engine...");
    StartEngine(project, state.gPageScript);
    StartEngine(project, state.gEvalScript);
    if (state.gProjErr.empty()) {
        QoScript& pageEngine = *automation::DynamicRefCast<QoScript>(state.gPageScript);
        for (const ExtensionPackage& extension : extensions) {
            const std::u16string folder = system::JoinInside(state.gExtensionsFolder, extension.name);
            if (std::optional<std::u16string> code = LocateFileNoCase(folder, u"usercode.vbs")) {
                pageEngine.AddUserCode(*code);
            }
            if (std::optional<std::u16string> phrases = LocateFileNoCase(folder, u"lang.xml")) {
                language.LoadExtension(*phrases);
            }
        }
    }
    GetStatus().CloseStatus();
    if (state.gProjErr.empty()) {
        ShowStage(project, 2, u" - Validating project settings...");
        automation::DynamicRefCast<QoScript>(state.gPageScript)->Validate();
        GetStatus().CloseStatus();
    }
    if (!state.gProjErr.empty()) {
        return;
    }

    ShowStage(project, 2, u" - Merging extensions...");
    for (const ExtensionPackage& extension : extensions) {
        MergeExtension(extension.name, controls, project.ExtensionControls());
    }
    GetStatus().CloseStatus();

    ShowStage(project, 2, u" - Validating control.xml...");
    PreparationProgress& progress = project.SessionProgress();
    progress = PreparationProgress();
    bool anyToBuild = false;
    for (std::int32_t position = 1; position <= controls.Count(); ++position) {
        automation::Ref<QelControl> control = controls.Item(Variant(position));
        if (control && control->CtrlType() != u"copy" && ControlNeedsBuild(*control, *cache)) {
            progress.total += control->Sessions().Count();
            anyToBuild = true;
        }
    }
    GetStatus().CloseStatus();

    // Every control marked for building is prepared; the session total only drives the bar (a
    // template without sessions still needs its scripts).
    if (anyToBuild) {
        ShowStage(project, 3, u" - Creating Script Files...");
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
            project.MergeControlTemplate(*control, PreparedScriptFile(*control));
            ++mLastRun.preparedScripts;
        }
        GetStatus().CloseStatus();
    }

    RecordPackages(*cache, templatePackage, extensions, *packages);
    if (!userCode.empty()) {
        RecordFileInCache(*cache, u"usercode", u"usercode", userCode);
    }
    RecordFileInCache(*cache, u"control", u"control", controlFile);
    RecordFileInCache(*cache, u"language", u"language", languageFile);
    for (const std::u16string& name : system::ListFolder(state.gTempFolder).files) {
        if (!IsTextFile(name)) {
            RecordFileInCache(*cache, u"temp", name, system::JoinPath(state.gTempFolder, name));
        }
    }
    cache->WriteCacheFile();

    GetStatus().ShowStatus3(project.lhWnd(), FrameText(state.gMsgPrefix + u" - Generating " +
                                                       state.gScriptLanguage + u" Scripts..."));
    GenerationPass pass(project, settings, /*checkOnly=*/false);
    pass.SetStyleSheetTemplate(GeneralFile(u"CssFile"));
    {
        // The figures go as far as the pass got, also when a cancel ends it.
        const PassFigures figures{mLastRun, pass};
        pass.Run();
    }
    GetStatus().CloseStatus();
}

std::int16_t Generator::GenCheck(Qel& project) {
    ModuleState& state = State();
    state.gProjErr.clear();
    // The pass walks the database's tables: without one there is nothing to count.
    if (project.DBCnt() < 1) {
        Stop(u": Database not loaded! Generation aborted!");
        return 0;
    }
    if (!HasDestination(project)) {
        return 0;
    }
    const std::u16string templatePackage = ResolveRegistryFile(project.Template());
    state.gTemplateFileName = TemplateFileNameOf(templatePackage);
    SetupWorkFolders(CheckWorkFolder, NamesOf(ProjectExtensions()));
    const std::u16string checkFolder = state.gTemplateFolder;
    struct RemoveCheckFolder {
        std::u16string folder;
        ~RemoveCheckFolder() { DeleteWorkFolder(folder); }
    } removeCheckFolder{checkFolder};

    if (system::FileExists(templatePackage)) {
        zip::ExtractPackage(templatePackage, checkFolder);
    }
    const std::u16string controlFile = system::JoinPath(checkFolder, u"control.xml");
    if (!project.Controls().LoadControls(controlFile)) {
        Stop(u": Load Template Control File " + Quoted(controlFile) + u" failed! Generation aborted!");
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
