#include "project/Qel.h"

#include "core/ErrorBoundary.h"
#include "project/GenerationService.h"
#include "project/ProjectFileStorage.h"
#include "project/QelExtensions.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"
#include "project/SynchronizationService.h"
#include "project/internal/ProjectFile.h"
#include "project/internal/QelCustomScript.h"
#include "project/internal/QelCustomScripts.h"
#include "project/internal/SaveGuard.h"
#include "project/internal/SearchOperators.h"

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"
#include "model/table/QelTable.h"

#include "template/ConditionEvaluator.h"
#include "template/QelCodeBase.h"
#include "template/QelControl.h"
#include "template/QelControls.h"
#include "template/QelLanguage.h"
#include "template/QoScript.h"
#include "template/TemplateConversion.h"
#include "template/TemplateState.h"

#include "core/Apartment.h"
#include "core/QelVars.h"
#include "core/QoProperties.h"
#include "core/RegistryFiles.h"
#include "core/VbText.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "platform/system/FileSystem.h"
#include "platform/system/TextFile.h"

namespace qv {

using automation::Ref;
using automation::Variant;

namespace {

/// The messages of members whose service no layer has registered.
constexpr std::u16string_view NoGeneration =
    u": Generation is not available: no generation service is registered!";
constexpr std::u16string_view NoSynchronization =
    u": Synchronization is not available: no synchronization service is registered!";

void ReportMissingService(std::u16string_view message) {
    ModuleState& state = State();
    state.gProjErr = state.gMsgPrefix + std::u16string(message);
}

} // namespace

Qel::Qel() : SettingsEntity(Settings()), mSaveGuard(std::make_unique<SaveGuard>()) {
    SetModuleState();
    LoadDefault();
}

Qel::~Qel() = default;

const SettingsTable& Qel::Settings() {
    static constexpr SettingInfo rows[] = {
#define QV_SETTING QV_SETTING_ROW
#include "project/ProjectSettings.def"
    };
    static const SettingsTable table(rows);
    return table;
}

const automation::ClassInfo& Qel::GetClassInfo() const {
    using namespace automation;
    // The settings whose accessors are a plain Get and Let are reached through the settings
    // table (sqlquote and codepage too: names ignore letter case); these are the other members.
    static const ClassInfo info(u"Qel",
                                {
                                    Property<&Qel::lhWnd, &Qel::SetlhWnd>(u"lhWnd"),
                                    Method<&Qel::ProjInit>(u"ProjInit"),
                                    Method<&Qel::db>(u"db"),
                                    Method<&Qel::DBCnt>(u"DBCnt"),
                                    PropertiesMember(),
                                    Method<&Qel::Extensions>(u"Extensions"),
                                    Method<&Qel::Language>(u"Language"),
                                    Method<&Qel::CodeBase>(u"CodeBase"),
                                    Method<&Qel::masterdetails>(u"masterdetails"),
                                    Method<&Qel::customscripts>(u"customscripts"),
                                    Property<&Qel::hwnd, &Qel::Sethwnd>(u"hwnd"),
                                    Property<&Qel::ProjErr, &Qel::SetProjErr>(u"ProjErr"),
                                    Property<&Qel::ProjName, &Qel::ProjNameLet>(u"ProjName"),
                                    Method<&Qel::ProjVar>(u"ProjVar"),
                                    Property<&Qel::Destination, &Qel::DestinationLet>(u"Destination"),
                                    Method<&Qel::AddProj>(u"AddProj"),
                                    Method<&Qel::DeleteProj>(u"DeleteProj"),
                                    Method<&Qel::AddExtension>(u"AddExtension"),
                                    Method<&Qel::DeleteExtension>(u"DeleteExtension"),
                                    Method<&Qel::AddMasterDetail>(u"AddMasterDetail"),
                                    Method<&Qel::AddMasterDetailRelation>(u"AddMasterDetailRelation"),
                                    Method<&Qel::DeleteMasterDetail>(u"DeleteMasterDetail"),
                                    Method<&Qel::DeleteMasterDetailRelation>(u"DeleteMasterDetailRelation"),
                                    Method<&Qel::AddCustomScript>(u"AddCustomScript"),
                                    Method<&Qel::UpdateCustomScript>(u"UpdateCustomScript"),
                                    Method<&Qel::DeleteCustomScript>(u"DeleteCustomScript"),
                                    Method<&Qel::LoadCodeBase>(u"LoadCodeBase"),
                                    Method<&Qel::CodeBaseExist>(u"CodeBaseExist"),
                                    Method<&Qel::LoadCustomScriptCode>(u"LoadCustomScriptCode"),
                                    Method<&Qel::LoadDBMember>(u"LoadDB"),
                                    Method<&Qel::LoadTable>(u"LoadTable"),
                                    Method<&Qel::UnLoadTable>(u"UnLoadTable"),
                                    Method<&Qel::CustomViewConnStr>(u"CustomViewConnStr"),
                                    Method<&Qel::LoadCustomView>(u"LoadCustomView"),
                                    Method<&Qel::LoadReport>(u"LoadReport"),
                                    Method<&Qel::UnLoadDB>(u"UnLoadDB"),
                                    Method<&Qel::CheckDB>(u"CheckDB"),
                                    Method<&Qel::SynchronizeDB>(u"SynchronizeDB"),
                                    Method<&Qel::SyncCustom>(u"SyncCustom"),
                                    Method<&Qel::SyncReport>(u"SyncReport"),
                                    Method<&Qel::Save>(u"Save"),
                                    Method<&Qel::Load>(u"Load"),
                                    Method<&Qel::LoadDefault>(u"LoadDefault"),
                                    Method<&Qel::SaveDefault>(u"SaveDefault"),
                                    Method<&Qel::FldSrchOprs>(u"FldSrchOprs"),
                                    Method<&Qel::GenScript>(u"GenScript"),
                                    Method<&Qel::GenCheck>(u"GenCheck"),
                                    Method<&Qel::EvalScriptCode>(u"EvalScriptCode"),
                                    Method<&Qel::EvaluateCondition>(u"EvaluateCondition"),
                                    Method<&Qel::MergeControlTemplateMember>(u"MergeControlTemplate"),
                                });
    return info;
}

// --- Plain members -------------------------------------------------------------------------

QelDatabases& Qel::Databases() const {
    if (!mDatabases) {
        mDatabases = automation::MakeRef<QelDatabases>();
    }
    return *mDatabases;
}

Ref<QelDatabase> Qel::db() const {
    if (Databases().Count() < 1) {
        return {};
    }
    return Databases().Item(Variant(mDBName));
}

std::int16_t Qel::DBCnt() const {
    return static_cast<std::int16_t>(Databases().Count());
}

QelDatabase& Qel::Database() const {
    Ref<QelDatabase> database = db();
    if (!database) {
        automation::Raise(automation::ErrorNumber::ObjectVariableNotSet);
    }
    return *database;
}

Ref<automation::Object> Qel::Extensions() const {
    return Ref<automation::Object>(&GetExtensions());
}

Ref<automation::Object> Qel::Language() const {
    return Ref<automation::Object>(&GetLanguage());
}

Ref<automation::Object> Qel::CodeBase() const {
    return Ref<automation::Object>(&GetCodeBase());
}

QelMasterDetails& Qel::MasterDetails() const {
    if (!mMasterDetails) {
        mMasterDetails = automation::MakeRef<QelMasterDetails>();
    }
    return *mMasterDetails;
}

QelCustomScripts& Qel::CustomScripts() const {
    if (!mCustomScripts) {
        mCustomScripts = automation::MakeRef<QelCustomScripts>();
    }
    return *mCustomScripts;
}

Ref<automation::Object> Qel::masterdetails() const {
    return Ref<automation::Object>(&MasterDetails());
}

Ref<automation::Object> Qel::customscripts() const {
    return Ref<automation::Object>(&CustomScripts());
}

std::u16string Qel::ProjErr() const {
    return State().gProjErr;
}

void Qel::SetProjErr(std::u16string_view text) {
    State().gProjErr.assign(text);
}

void Qel::SetProjName(std::u16string_view name) {
    SetSettingValue(static_cast<std::size_t>(Setting::ProjName), Variant(name));
    SetSettingValue(static_cast<std::size_t>(Setting::ProjVar), Variant(ToIdentifier(name, u"")));
}

void Qel::SetDestination(std::u16string_view folder) {
    SetSettingValue(static_cast<std::size_t>(Setting::Destination), Variant(folder));
    CurrentTemplateState().destination.assign(folder);
}

// --- The project itself --------------------------------------------------------------------

void Qel::AddProj(std::u16string_view strProjName) {
    SetProjName(strProjName);
    LoadDefault();
    mProjInit = true;
}

void Qel::DeleteProj() {
    ResetSettings();
    // By position, not by the database's DBName: the key it stands under may differ from its
    // name (a project file without a name gives it a key of its own, a rename keeps the key).
    QelDatabases& databases = Databases();
    while (databases.Count() > 0) {
        databases.Delete(Variant(std::int32_t{1}));
    }
    mDBName.clear();
    mProjInit = false;
    mSaveGuard->Forget();
}

// --- Lists of the project and the apartment ------------------------------------------------

bool Qel::AddExtension(std::u16string_view sName, std::u16string_view sTemplate) {
    return GetExtensions().AddExtension(sName, sTemplate);
}

bool Qel::DeleteExtension(std::u16string_view sName) {
    return GetExtensions().DeleteExtension(sName);
}

// The four operations on master/detail pairs answer True whatever they did, refusals
// included: a caller that needs to know asks the list (MasterDetailExist, FieldCount).

Variant Qel::AddMasterDetail(std::u16string_view sMasterTable, std::u16string_view sDetailTable) {
    MasterDetails().AddMasterDetail(sMasterTable, sDetailTable);
    return Variant(true);
}

Variant Qel::AddMasterDetailRelation(std::u16string_view sMasterTable, std::u16string_view sDetailTable,
                                     std::u16string_view sMasterField, std::u16string_view sDetailField) {
    MasterDetails().AddMasterDetailRelation(sMasterTable, sDetailTable, sMasterField, sDetailField);
    return Variant(true);
}

Variant Qel::DeleteMasterDetail(std::u16string_view sMasterTable, std::u16string_view sDetailTable) {
    MasterDetails().DeleteMasterDetail(sMasterTable, sDetailTable);
    return Variant(true);
}

Variant Qel::DeleteMasterDetailRelation(std::u16string_view sMasterTable, std::u16string_view sDetailTable,
                                        std::u16string_view sMasterField, std::u16string_view sDetailField) {
    MasterDetails().DeleteMasterDetailRelation(sMasterTable, sDetailTable, sMasterField, sDetailField);
    return Variant(true);
}

bool Qel::AddCustomScript(std::u16string_view sScriptType, std::u16string_view sCodeType,
                          std::u16string_view sName, std::u16string_view sCtrlID, std::u16string_view sL1Key,
                          std::u16string_view sL2Key, std::u16string_view sCode) {
    return CustomScripts().AddCustomScript({sScriptType, sCodeType, sName, sCtrlID, sL1Key, sL2Key}, sCode);
}

bool Qel::UpdateCustomScript(std::u16string_view sScriptType, std::u16string_view sCodeType,
                             std::u16string_view sName, std::u16string_view sCtrlID,
                             std::u16string_view sL1Key, std::u16string_view sL2Key,
                             std::u16string_view sCode) {
    return CustomScripts().UpdateCustomScript({sScriptType, sCodeType, sName, sCtrlID, sL1Key, sL2Key},
                                              sCode);
}

bool Qel::DeleteCustomScript(std::u16string_view sScriptType, std::u16string_view sCodeType,
                             std::u16string_view sName, std::u16string_view sCtrlID,
                             std::u16string_view sL1Key, const Variant& sL2Key) {
    const std::u16string secondKey = automation::ToString(sL2Key.Deref());
    return CustomScripts().DeleteCustomScript({sScriptType, sCodeType, sName, sCtrlID, sL1Key, secondKey});
}

std::u16string Qel::LoadCodeBase(std::u16string_view sScriptType, std::u16string_view sCodeType,
                                 std::u16string_view sName) {
    return qv::LoadCodeBase(Conversion(), sScriptType, sCodeType, sName);
}

bool Qel::CodeBaseExist(std::u16string_view sScriptType, std::u16string_view sCodeType,
                        std::u16string_view sName) {
    return qv::CodeBaseExist(sScriptType, sCodeType, sName);
}

std::u16string Qel::LoadCustomScriptCode(std::u16string_view sScriptType, std::u16string_view sCodeType,
                                         std::u16string_view sName, std::u16string_view sCtrlID,
                                         std::u16string_view sL1Key, std::u16string_view sL2Key) {
    Ref<QelDatabase> database = db();
    CustomScriptContext context{Controls(),    database.Get(), Conversion(),
                                mCodeBaseFile, mDllVersion,    &ResolveRegistryFile};
    return qv::LoadCustomScriptCode(context, {sScriptType, sCodeType, sName, sCtrlID, sL1Key, sL2Key});
}

// The lists are emptied entry by entry, each found by identity: an entry whose names were
// changed through its settings still goes.
void Qel::RemoveAllMasterDetails() {
    QelMasterDetails& pairs = MasterDetails();
    while (QelMasterDetail* pair = pairs.At(pairs.Count())) {
        const Ref<QelMasterDetail> held(pair);
        if (!pairs.Remove(*held)) {
            break;
        }
    }
}

void Qel::RemoveAllCustomScripts() {
    QelCustomScripts& scripts = CustomScripts();
    while (QelCustomScript* script = scripts.At(scripts.Count())) {
        const Ref<QelCustomScript> held(script);
        if (!scripts.Remove(*held)) {
            break;
        }
    }
}

std::u16string Qel::FldSrchOprs(std::int16_t ftype) {
    return qv::FldSrchOprs(ftype);
}

// --- Members served by the layers above ----------------------------------------------------

void Qel::LoadCustomView(const Variant& sTableName, const Variant& sSQL, const Variant& bCopyFields) {
    SynchronizationService* service = FindSynchronizationService();
    if (!service) {
        ReportMissingService(NoSynchronization);
        return;
    }
    ReportFailures([&] { service->LoadCustomView(*this, sTableName, sSQL, bCopyFields); });
}

bool Qel::LoadReport(const Variant& sTableName, const Variant& sFromTableName) {
    SynchronizationService* service = FindSynchronizationService();
    if (!service) {
        ReportMissingService(NoSynchronization);
        return false;
    }
    return ReportFailures(false, [&] { return service->LoadReport(*this, sTableName, sFromTableName); });
}

std::int16_t Qel::CheckDB() {
    SynchronizationService* service = FindSynchronizationService();
    if (!service) {
        ReportMissingService(NoSynchronization);
        return 0;
    }
    // A project without a database gives -1 and "Database not loaded!" rather than a run-time
    // error in the host.
    return service->CheckDB(*this);
}

void Qel::SynchronizeDB() {
    SynchronizationService* service = FindSynchronizationService();
    if (!service) {
        ReportMissingService(NoSynchronization);
        return;
    }
    ReportFailures([&] { service->SynchronizeDB(*this); });
}

void Qel::SyncCustom(const Variant& sTable) {
    SynchronizationService* service = FindSynchronizationService();
    if (!service) {
        ReportMissingService(NoSynchronization);
        return;
    }
    ReportFailures([&] { service->SyncCustom(*this, sTable); });
}

void Qel::SyncReport(const Variant& sTable) {
    SynchronizationService* service = FindSynchronizationService();
    if (!service) {
        ReportMissingService(NoSynchronization);
        return;
    }
    ReportFailures([&] { service->SyncReport(*this, sTable); });
}

std::optional<std::u16string> Qel::SaveRefusal(std::u16string_view projFile) const {
    return mSaveGuard->Refusal(projFile);
}

void Qel::Save(std::u16string_view projFile) {
    // Failures reach the host as run-time errors; ProjErr is not touched, except to say why a
    // save that would lose part of a file is refused.
    if (std::optional<std::u16string> refusal = SaveRefusal(projFile)) {
        State().gProjErr = *refusal;
        automation::Raise(system::FileErrorNumber::PermissionDenied, State().gMsgPrefix, *refusal);
    }
    const std::optional<system::FileIdentity> replaced = system::IdentityOf(projFile);
    const std::string bytes = SaveProjectFile(*this, projFile);
    mSaveGuard->Saved(ProjectFileMark::Of(projFile, bytes, system::IdentityOf(projFile)), replaced);
}

void Qel::Load(std::u16string_view projFile) {
    ModuleState& state = State();
    state.gProjErr.clear();
    ProjectFileLoad load;
    try {
        LoadProjectFile(*this, projFile, load);
    } catch (const automation::Error& error) {
        GetStatus().CloseStatus();
        // The reason follows the prescribed text: the element that could not be read, and why.
        state.gProjErr =
            error.Number() == ProjectFileNotAvailable
                ? FailureText(error)
                : state.gMsgPrefix + u": Load Project File failed! Please check!" +
                      (error.Description().empty() ? u""
                                                   : u" " + automation::WithFullStop(error.Description()));
    }
    // What the project now holds decides which files a save must leave alone, not the path.
    if (load.fileRead) {
        mSaveGuard->Loaded(std::move(load.file), mSkippedOnLoad);
    } else {
        mSaveGuard->LoadFailed(std::move(load.file), load.projectChanged);
    }
}

void Qel::GenScript() {
    GenerationService* service = FindGenerationService();
    if (!service) {
        ReportMissingService(NoGeneration);
        return;
    }
    // An abort inside the run raises error -1, which reaches the host.
    service->GenScript(*this);
}

std::int16_t Qel::GenCheck() {
    GenerationService* service = FindGenerationService();
    if (!service) {
        ReportMissingService(NoGeneration);
        return 0;
    }
    return service->GenCheck(*this);
}

// --- The template engine -------------------------------------------------------------------

TemplateConversion& Qel::Conversion() {
    if (!mConversion) {
        mConversion = std::make_unique<TemplateConversion>(*this);
    }
    return *mConversion;
}

std::u16string Qel::EvalScriptCode(std::u16string_view text, std::int16_t initType) {
    return Conversion().EvalScriptCode(text, initType);
}

bool Qel::EvaluateCondition(std::u16string_view condition) {
    if (!mConditions) {
        mConditions = std::make_unique<ConditionEvaluator>(*this);
    }
    return mConditions->EvaluateCondition(condition);
}

void Qel::MergeControlTemplate(QelControl& control, std::u16string_view outputFile) {
    Conversion().MergeControlTemplate(control, outputFile);
}

void Qel::MergeControlTemplateMember(const Variant& control, std::u16string_view outputFile) {
    Ref<QelControl> typed;
    if (control.Deref().IsObject()) {
        typed = automation::DynamicRefCast<QelControl>(control.Deref().ObjectValue());
    }
    if (!typed) {
        automation::Raise(automation::ErrorNumber::TypeMismatch);
    }
    MergeControlTemplate(*typed, outputFile);
}

QelControls& Qel::Controls() {
    if (!mControls) {
        mControls = automation::MakeRef<QelControls>();
    }
    return *mControls;
}

QelControls& Qel::ExtensionControls() {
    if (!mExtControls) {
        mExtControls = automation::MakeRef<QelControls>();
    }
    return *mExtControls;
}

QoProperties& Qel::ProjectSettings() {
    return *Properties();
}

QoProperties* Qel::DatabaseSettings() {
    if (DBCnt() < 1) {
        return nullptr;
    }
    return Database().Properties().Get();
}

QoProperties* Qel::CurrentTableSettings() {
    return mCurTable ? mCurTable->Properties().Get() : nullptr;
}

QoProperties* Qel::CurrentFieldSettings() {
    return mCurField ? mCurField->Properties().Get() : nullptr;
}

ScriptEngineObjects Qel::EngineObjects() {
    ScriptEngineObjects objects;
    objects.project = Variant(Ref<automation::Object>(this));
    Ref<QelDatabase> database = db();
    objects.database = database ? Variant(Ref<automation::Object>(database)) : Variant::Nothing();
    objects.controls = Variant(Ref<automation::Object>(&Controls()));
    objects.masterDetails = Variant(masterdetails());
    objects.customScripts = Variant(customscripts());
    return objects;
}

Ref<ScriptHost> Qel::CreateScriptEngine() {
    return automation::MakeRef<QoScript>();
}

void Qel::RaiseGenerationError() {
    GetStatus().CloseStatus();
    automation::Raise(-1, State().gMsgPrefix, State().gProjErr);
}

void Qel::WriteTextFile(std::u16string_view path, std::u16string_view text, bool ansiOnly) {
    ::qv::WriteTextFile(path, text, ansiOnly);
}

} // namespace qv
