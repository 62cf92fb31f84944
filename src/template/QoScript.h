#pragma once

#include "template/ScriptHost.h"
#include "template/ScriptModules.h"

#include "platform/automation/Object.h"
#include "platform/automation/Ref.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv::vbscript {
class ScriptControl;
}

namespace qv {

class QoUserScript;

/// One hosted VBScript engine with three code modules, "System" (common code, locale routine,
/// system code and the page functions), "Validate" and the user module "$User", and the
/// project's objects as named objects. A generation run keeps two in the apartment's
/// TemplateState (the page engine builds pages, the expression engine evaluates expressions);
/// the expression evaluation may also make one for a single call. Creatable. No member raises:
/// every failure is left as text in gProjErr, which the caller asks with ScriptReportedError.
class QoScript final : public ScriptHost {
public:
    /// Creates the engine and reads the script settings of the registry.
    QoScript();
    ~QoScript() override;
    QoScript(const QoScript&) = delete;
    QoScript& operator=(const QoScript&) = delete;

    const automation::ClassInfo& GetClassInfo() const override;

    /// Starts from a reset engine: adds the named objects and loads "System", "Validate" and the
    /// user module, each only while gProjErr is empty.
    void Initialize(automation::Variant& proj, automation::Variant& db, automation::Variant& controls,
                    automation::Variant& Lang, automation::Variant& masterdetails,
                    automation::Variant& customscripts) override;
    bool IsInitialized() const noexcept { return mInitialized; }
    /// Drops the engine's modules and named objects; the name lists and texts stay.
    void Reset() override;
    /// Adds a further user-code file (an extension's) to the user module and to "System".
    void AddUserCode(std::u16string_view sFile);
    /// Whether `sModule` (letter case ignored) is a system function open to a user override.
    bool ModuleExist(std::u16string_view sModule) override;
    /// Whether `sModule` (letter case ignored) is a procedure of the user module.
    bool UserModuleExist(std::u16string_view sModule) override;
    /// Runs the validation functions in order; False at the first that does not return True.
    bool Validate();
    /// Runs the system function `module` for a custom condition term after selecting the current
    /// table and field; `str` when `module` is not a listed system function or the run fails.
    automation::Variant BuildCode(std::u16string_view module, const automation::Variant& str) override;
    /// Adds the page function "kqScriptEngine" to "System", selects the current objects by
    /// `bInitType` and runs it within `lTimeout` milliseconds: the page text, or "" on failure.
    std::u16string BuildNewCode(std::u16string_view str, std::int16_t bInitType,
                                std::int32_t lTimeout) override;
    bool LastBuildFailedInEngine() const override { return mBuildFailedInEngine; }

    /// "SCRPT", created on first use.
    QoUserScript& UserScript();
    /// The engine itself, for inspection.
    const vbscript::ScriptControl& Control() const noexcept { return *mControl; }
    /// The settings read at construction.
    const ScriptSettings& Settings() const noexcept { return mSettings; }
    /// The name lists; element 0 is always "".
    const std::vector<std::u16string>& SystemFunctions() const noexcept { return mSystemFunctions; }
    const std::vector<std::u16string>& UserFunctions() const noexcept { return mUserFunctions; }
    const std::vector<std::u16string>& ValidateFunctions() const noexcept { return mValidateFunctions; }

private:
    // Filling the modules (QoScriptModules.cpp).
    void LoadSystemCode(std::u16string_view key);
    void LoadSystemCodeList();
    void LoadValidateCode();
    void LoadUserCode(std::u16string_view word);
    /// Adds `code` to a module; on failure sets the syntax-error text named `name` and answers
    /// false.
    bool AddModuleCode(std::u16string_view module, std::u16string_view code, std::u16string_view name);
    /// The procedures of the user module appended to the user-function list and to "SCRPT".
    void ListUserFunctions();
    /// Sets gProjErr from the engine's error: the product name, "(name)" unless name is "",
    /// " : VBScript Syntax Error" (" : VBScript Runtime error" for the time-out) and where the
    /// engine stopped.
    void SetSyntaxError(std::u16string_view name);
    /// Sets the project's error text to a runtime error of template code: its line, description
    /// and source text.
    void SetRuntimeError(const automation::Error& error);

    /// Runs a procedure of "System", or of `module`; raises the engine's error.
    automation::Variant RunProcedure(std::u16string_view module, std::u16string_view procedure,
                                     std::vector<automation::Variant> args = {});

    // Members the automation table calls.
    void InitializeMember(automation::Variant& proj, automation::Variant& db, automation::Variant& controls,
                          automation::Variant& Lang, automation::Variant& masterdetails,
                          automation::Variant& customscripts) {
        Initialize(proj, db, controls, Lang, masterdetails, customscripts);
    }
    bool IsInitializedMember() { return mInitialized; }
    void ResetMember() { Reset(); }
    void AddUserCodeMember(std::u16string sFile) { AddUserCode(sFile); }
    bool ModuleExistMember(std::u16string sModule) { return ModuleExist(sModule); }
    bool UserModuleExistMember(std::u16string sModule) { return UserModuleExist(sModule); }
    bool ValidateMember() { return Validate(); }
    automation::Variant BuildCodeMember(std::u16string module, automation::Variant str) {
        return BuildCode(module, str);
    }
    std::u16string BuildNewCodeMember(std::u16string str, std::int16_t bInitType, std::int32_t lTimeout) {
        return BuildNewCode(str, bInitType, lTimeout);
    }

    std::unique_ptr<vbscript::ScriptControl> mControl;
    automation::Ref<QoUserScript> mUserScript;
    ScriptSettings mSettings;

    // The code texts the modules were last given.
    std::u16string mCommonCode;
    std::u16string mUserCode;
    std::u16string mSysCode;
    std::u16string mValidateCode;
    std::u16string mSysCodePrefix;
    std::u16string mSysCodeSuffix;

    // Element 0 stays empty; names start at 1.
    std::vector<std::u16string> mSystemFunctions;
    std::vector<std::u16string> mUserFunctions;
    std::vector<std::u16string> mValidateFunctions;

    automation::Variant mBuildCodeResult;
    bool mInitialized = false;
    bool mBuildFailedInEngine = false;
};

} // namespace qv
