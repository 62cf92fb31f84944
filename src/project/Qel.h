#pragma once

#include "project/SkippedElement.h"

#include "model/table/QelDatabase.h"

#include "template/ProjectServices.h"

#include "core/Settings.h"
#include "core/SettingsEntity.h"

#include "platform/automation/Object.h"
#include "platform/automation/Variant.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::registry {
class Key;
} // namespace qv::registry

namespace qv {

class ConditionEvaluator;
class QelControl;
class QelControls;
class QelCustomScripts;
class QelDatabase;
class QelDatabases;
class QelField;
class QelMasterDetails;
class QelTable;
class SaveGuard;
class TemplateConversion;

/// The project root: the one object the host creates and drives. It holds the project's 110
/// settings (ProjectSettings.def), its one database, its master/detail pairs and custom
/// scripts, and hands out the objects that all projects of an apartment share (extensions,
/// language, code base). Its public members are the one place where failures become the error
/// text the host reads (`ProjErr`) and the prescribed return values; below it, code raises.
///
/// Generation and synchronisation are reached through the services that the layers above
/// register per apartment (GenerationService.h, SynchronizationService.h), the project file
/// through ProjectFile.h. The members that serve those layers are the public C++ methods below
/// the member table's; they are not reachable by name.
class Qel final : public SettingsEntity, public ProjectServices {
public:
    enum class Setting : std::uint16_t {
#define QV_SETTING QV_SETTING_ENUMERATOR
#include "project/ProjectSettings.def"
    };

#define QV_SETTING QV_SETTING_ACCESSORS
#define QV_SETTING_CUSTOM QV_SETTING_GETTER
#include "project/ProjectSettings.def"

    /// Construction: the settings, the product words and registry paths of the apartment, the
    /// first-run copy of the machine's defaults, then the user's defaults (LoadDefault).
    Qel();
    ~Qel() override;

    static const SettingsTable& Settings();
    const automation::ClassInfo& GetClassInfo() const override;

    // --- Plain members ---
    std::int32_t lhWnd() const noexcept {
        return mWindow;
    }
    void SetlhWnd(std::int32_t window) noexcept {
        mWindow = window;
    }
    bool ProjInit() const noexcept {
        return mProjInit;
    }
    /// The loaded database, or null while none is loaded. Raises "Key not found." when the key
    /// the project holds is not the database's.
    automation::Ref<QelDatabase> db() const;
    std::int16_t DBCnt() const;
    /// The apartment's extension list, language and code base, created on first use.
    automation::Ref<automation::Object> Extensions() const;
    automation::Ref<automation::Object> Language() const;
    automation::Ref<automation::Object> CodeBase() const;
    /// The project's own master/detail pairs and custom scripts, created on first use.
    automation::Ref<automation::Object> masterdetails() const;
    automation::Ref<automation::Object> customscripts() const;
    QelMasterDetails& MasterDetails() const;
    QelCustomScripts& CustomScripts() const;
    std::u16string ProjErr() const;
    void SetProjErr(std::u16string_view text);

    /// Stores the name and its identifier form in ProjVar.
    void SetProjName(std::u16string_view name);
    /// Stores the folder and copies it into the template state (gDestination), which the script
    /// host reads.
    void SetDestination(std::u16string_view folder);

    // --- Operations of the project itself ---
    void AddProj(std::u16string_view strProjName);
    /// Empties the settings and removes the database; the lists of master/detail pairs, custom
    /// scripts and extensions stay. The project then comes from no file: a save may write any.
    void DeleteProj();
    void LoadDefault();
    void SaveDefault();

    // --- Extensions, master/detail pairs, custom scripts, search operators ---
    bool AddExtension(std::u16string_view sName, std::u16string_view sTemplate);
    bool DeleteExtension(std::u16string_view sName);
    automation::Variant AddMasterDetail(std::u16string_view sMasterTable, std::u16string_view sDetailTable);
    automation::Variant AddMasterDetailRelation(std::u16string_view sMasterTable,
                                                std::u16string_view sDetailTable,
                                                std::u16string_view sMasterField,
                                                std::u16string_view sDetailField);
    automation::Variant DeleteMasterDetail(std::u16string_view sMasterTable,
                                           std::u16string_view sDetailTable);
    automation::Variant DeleteMasterDetailRelation(std::u16string_view sMasterTable,
                                                   std::u16string_view sDetailTable,
                                                   std::u16string_view sMasterField,
                                                   std::u16string_view sDetailField);
    bool AddCustomScript(std::u16string_view sScriptType, std::u16string_view sCodeType,
                         std::u16string_view sName, std::u16string_view sCtrlID, std::u16string_view sL1Key,
                         std::u16string_view sL2Key, std::u16string_view sCode);
    bool UpdateCustomScript(std::u16string_view sScriptType, std::u16string_view sCodeType,
                            std::u16string_view sName, std::u16string_view sCtrlID,
                            std::u16string_view sL1Key, std::u16string_view sL2Key,
                            std::u16string_view sCode);
    bool DeleteCustomScript(std::u16string_view sScriptType, std::u16string_view sCodeType,
                            std::u16string_view sName, std::u16string_view sCtrlID,
                            std::u16string_view sL1Key, const automation::Variant& sL2Key);
    std::u16string LoadCodeBase(std::u16string_view sScriptType, std::u16string_view sCodeType,
                                std::u16string_view sName);
    bool CodeBaseExist(std::u16string_view sScriptType, std::u16string_view sCodeType,
                       std::u16string_view sName);
    std::u16string LoadCustomScriptCode(std::u16string_view sScriptType, std::u16string_view sCodeType,
                                        std::u16string_view sName, std::u16string_view sCtrlID,
                                        std::u16string_view sL1Key, std::u16string_view sL2Key);
    std::u16string FldSrchOprs(std::int16_t ftype);

    // --- The database ---
    /// Loads the project's one database: "ACCESS", "ODBC" or "CONNECTIONSTRING". "" in ProjErr
    /// on success.
    void LoadDB(const automation::Variant& sDBName, const automation::Variant& sDBType,
                const automation::Variant& sPath, const automation::Variant& sPhyPath,
                const automation::Variant& bDBUseServerMapPath, const automation::Variant& sUID,
                const automation::Variant& sPwd, const automation::Variant& sConnStr,
                const automation::Variant& sSchema);
    void LoadTable(const automation::Variant& sTableName);
    void UnLoadTable(const automation::Variant& sTableName);
    void UnLoadDB();
    /// The connection string of the loaded database for custom views; "" for an unknown type.
    automation::Variant CustomViewConnStr() const;
    void LoadCustomView(const automation::Variant& sTableName, const automation::Variant& sSQL,
                        const automation::Variant& bCopyFields);
    bool LoadReport(const automation::Variant& sTableName, const automation::Variant& sFromTableName);

    // --- Checking and synchronising, the project file, generating ---
    std::int16_t CheckDB();
    void SynchronizeDB();
    void SyncCustom(const automation::Variant& sTable);
    void SyncReport(const automation::Variant& sTable);
    void Save(std::u16string_view projFile);
    void Load(std::u16string_view projFile);
    void GenScript();
    std::int16_t GenCheck();

    // --- Members the template engine works through (forwarded to it) ---
    std::u16string EvalScriptCode(std::u16string_view text, std::int16_t initType);
    bool EvaluateCondition(std::u16string_view condition);
    void MergeControlTemplate(QelControl& control, std::u16string_view outputFile);

    // ------------------------------------------------------------------------------------------
    // For the layers above (generation, synchronisation, the project file); not reachable by name.

    /// The project's database list, created on first use, and the key of its database in it.
    QelDatabases& Databases() const;
    const std::u16string& DatabaseKey() const noexcept {
        return mDBName;
    }
    void SetDatabaseKey(std::u16string key) {
        mDBName = std::move(key);
    }

    /// What the last Load read past in the project file, in file order: elements and attributes
    /// the project does not hold as the file does, which a save would therefore drop. Load leaves
    /// them out as its reader always has and lists them here; Save refuses to write that file
    /// without them (SaveRefusal).
    const std::vector<SkippedElement>& SkippedOnLoad() const noexcept {
        return mSkippedOnLoad;
    }
    std::vector<SkippedElement>& SkippedOnLoad() noexcept {
        return mSkippedOnLoad;
    }
    /// Why Save would refuse to write `projFile`, behind the message prefix; nullopt when Save may
    /// write it. The project's loads and saves tell which files it must leave alone (SaveGuard):
    /// the file a load read past part of; a file whose load failed; and, once a load failed after
    /// it had begun to change the project, the files the project came from. Each is known by the
    /// file itself, under any name it has since, not by the path it was loaded by. A save to any
    /// other file (Save As) may always write; DeleteProj lets every file go. A host that means
    /// to change and save the file it loads asks before it changes anything.
    std::optional<std::u16string> SaveRefusal(std::u16string_view projFile) const;

    /// The table and field being generated, which EvaluateCondition reads; null for none.
    void SetCurrentTable(QelTable* table) noexcept {
        mCurTable = table;
    }
    void SetCurrentField(QelField* field) noexcept {
        mCurField = field;
    }
    QelTable* CurrentTable() const noexcept {
        return mCurTable;
    }
    QelField* CurrentField() const noexcept {
        return mCurField;
    }

    /// The template's control list and the list one extension's control file is loaded into.
    QelControls& Controls() override;
    QelControls& ExtensionControls();
    PreparationProgress& SessionProgress() override {
        return mSessionProgress;
    }
    TemplateConversion& Conversion();

    const std::u16string& DefaultExt() const noexcept {
        return mDefaultExt;
    }
    const std::u16string& DefaultPage() const noexcept {
        return mDefaultPage;
    }
    const std::u16string& DllVersion() const noexcept {
        return mDllVersion;
    }
    std::int16_t UnloadThresholdCount() const noexcept {
        return mUnloadThresholdCount;
    }
    bool BackupFile() const noexcept {
        return mBackupFile;
    }
    /// The user-code file; "" means the built-in code.
    const std::u16string& UserCode() const noexcept {
        return mUserCode;
    }
    /// The "Language" registry value as LoadDefault read it.
    const std::u16string& LanguageSetting() const noexcept {
        return mLanguage;
    }
    /// The language file: the value read for the first-run test until generation sets the file
    /// it uses.
    const std::u16string& LanguageFile() const noexcept {
        return mLanguageFile;
    }
    void SetLanguageFile(std::u16string file) {
        mLanguageFile = std::move(file);
    }
    const std::u16string& CodeBaseFile() const noexcept {
        return mCodeBaseFile;
    }
    void SetCodeBaseFile(std::u16string file) {
        mCodeBaseFile = std::move(file);
    }
    const std::u16string& KeywordFile() const noexcept {
        return mKeywordFile;
    }

    /// Reads the "Keyword" registry value into KeywordFile and loads the reserved-word list
    /// from it; a missing or invalid file is no failure, and whatever it left in gProjErr is
    /// for the caller to clear.
    void ReloadKeywords();
    /// Copies SQLQuote, defaultDateFormat and RepeatColumns into the loaders' module copies.
    void CopyLoaderSettings();
    /// Sets SecTbl, SecLoginIDFld and SecPasswdFld to "".
    void ClearSecuritySettings();

    /// Writes every table's TblKey from its fields' key flags, sorted.
    void BuildTableKeys();
    /// Sets every field's key flag from the table's TblKey.
    static void ApplyTableKeyToFields(QelTable& table);
    /// A name of a key list without its double quotes or square brackets.
    static std::u16string UnquoteName(std::u16string_view name);

    /// Replaces a text file: UTF-8 with a byte-order mark when the registry value
    /// "UTF8Project" reads True and `ansiOnly` is false, else the ANSI code page.
    static void WriteTextFile(std::u16string_view path, std::u16string_view text, bool ansiOnly);

    // --- ProjectServices, for the template engine ---
    QoProperties& ProjectSettings() override;
    QoProperties* DatabaseSettings() override;
    QoProperties* CurrentTableSettings() override;
    QoProperties* CurrentFieldSettings() override;
    ScriptEngineObjects EngineObjects() override;
    automation::Ref<ScriptHost> CreateScriptEngine() override;
    [[noreturn]] void RaiseGenerationError() override;

private:
    // Late-bound faces of members whose arguments arrive as variants or whose C++ form differs.
    std::int32_t hwnd() const noexcept {
        return mWindow;
    }
    void Sethwnd(std::int32_t window) noexcept {
        mWindow = window;
    }
    void ProjNameLet(std::u16string name) {
        SetProjName(name);
    }
    void DestinationLet(std::u16string folder) {
        SetDestination(folder);
    }
    void LoadDBMember(const automation::Variant& sDBName, const automation::Variant& sDBType,
                      const automation::Variant& sPath, const automation::Variant& sPhyPath,
                      const automation::Variant& bDBUseServerMapPath, const automation::Variant& sUID,
                      const automation::Variant& sPwd, const automation::Variant& sConnStr,
                      const automation::Variant& sSchema);
    void MergeControlTemplateMember(const automation::Variant& control, std::u16string_view outputFile);

    // Start-up and registry defaults.
    void SetModuleState();
    std::u16string GetDllVersion() const;
    /// Copies the machine's default settings into the user hive on a user's first run.
    static void CopyDefaultSettings();
    /// Adds the values of `key` and its subkeys in the machine hive's tree to the user hive's
    /// tree where the user has none of that name; the number of values added.
    static std::size_t CopyRegistryKey(const registry::Key& machine, registry::Key& user,
                                       std::u16string_view key);
    void LoadRegisteredExtensions();
    /// Empty the project's master/detail pairs and custom scripts, one by one.
    void RemoveAllMasterDetails();
    void RemoveAllCustomScripts();
    /// The database, checked to be loaded; raises when it is not (callers test DBCnt first).
    QelDatabase& Database() const;
    /// The table named exactly `name`; null with the error text set when there is no
    /// database or no such table.
    QelTable* FindTableForLoad(const automation::Variant& name);

    std::int32_t mWindow = 0; ///< the host's window handle (lhWnd, hwnd)
    bool mProjInit = false;
    std::u16string mDefaultExt;
    std::u16string mDefaultPage;
    QelTable* mCurTable = nullptr; ///< borrowed from the database's tables during generation
    QelField* mCurField = nullptr;
    std::u16string mDllVersion;
    mutable automation::Ref<QelDatabases> mDatabases;
    std::u16string mDBName;
    std::vector<SkippedElement> mSkippedOnLoad;
    std::unique_ptr<SaveGuard> mSaveGuard;
    mutable automation::Ref<QelMasterDetails> mMasterDetails; ///< created on first use
    mutable automation::Ref<QelCustomScripts> mCustomScripts; ///< created on first use
    std::int16_t mUnloadThresholdCount = 0;
    bool mBackupFile = false;
    std::u16string mUserCode;
    std::u16string mLanguageFile;
    std::u16string mLanguage;
    std::u16string mCodeBaseFile;
    std::u16string mKeywordFile;
    automation::Ref<QelControls> mControls;
    automation::Ref<QelControls> mExtControls;
    PreparationProgress mSessionProgress;
    std::unique_ptr<TemplateConversion> mConversion;
    std::unique_ptr<ConditionEvaluator> mConditions;
};

} // namespace qv
