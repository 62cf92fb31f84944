#include "template/QoScript.h"

#include "template/TemplateState.h"
#include "template/internal/QoUserScript.h"

#include "core/Apartment.h"
#include "core/VbText.h"

#include "platform/host/Host.h"
#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <span>

namespace qv {

using automation::Variant;

namespace {

constexpr const char16_t* CrLf = u"\r\n";
constexpr std::u16string_view LoadCurrentName = u"LoadCurrent";
constexpr std::u16string_view PageFunctionName = u"kqScriptEngine";
/// The initialisation type of LoadCurrent that selects the current table and field only.
constexpr std::int16_t SelectTableAndField = 3;

automation::Ref<automation::Object> ObjectOf(const Variant& value) {
    const Variant& plain = value.Deref();
    return plain.IsObject() ? plain.ObjectValue() : automation::Ref<automation::Object>();
}

void ShowRuntimeError(std::u16string text) {
    host::Message message;
    message.title = u"RUNTIME ERROR";
    message.text = std::move(text);
    message.icon = host::MessageIcon::Critical;
    CurrentHost().ShowMessage(message);
}

} // namespace

QoScript::QoScript()
    : mControl(std::make_unique<vbscript::ScriptControl>()), mSystemFunctions(1), mUserFunctions(1),
      mValidateFunctions(1) {
    mSettings = ReadScriptSettings();
}

QoScript::~QoScript() {
    try {
        mControl->Reset();
    } catch (const automation::Error&) {
        // The engine goes; whoever needed its teardown's failure reset it first.
    }
}

const automation::ClassInfo& QoScript::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QoScript", {
                                                 Method<&QoScript::InitializeMember>(u"Initialize"),
                                                 Method<&QoScript::IsInitializedMember>(u"IsInitialized"),
                                                 Method<&QoScript::ResetMember>(u"Reset"),
                                                 Method<&QoScript::AddUserCodeMember>(u"AddUserCode"),
                                                 Method<&QoScript::ModuleExistMember>(u"ModuleExist"),
                                                 Method<&QoScript::UserModuleExistMember>(u"UserModuleExist"),
                                                 Method<&QoScript::ValidateMember>(u"Validate"),
                                                 Method<&QoScript::BuildCodeMember>(u"BuildCode"),
                                                 Method<&QoScript::BuildNewCodeMember>(u"BuildNewCode"),
                                             });
    return info;
}

QoUserScript& QoScript::UserScript() {
    if (!mUserScript) {
        mUserScript = automation::MakeRef<QoUserScript>();
    }
    return *mUserScript;
}

void QoScript::Initialize(Variant& proj, Variant& db, Variant& controls, Variant& Lang,
                          Variant& masterdetails, Variant& customscripts) {
    ModuleState& state = State();
    mInitialized = true;
    try {
        mControl->SetLanguage(u"VBScript");
        mControl->Reset();
        // Top-level code of the modules and the validation functions run before any page sets
        // a time-out of its own: bound them by the run's time-out too, so that a looping user
        // file cannot hang the generation.
        mControl->SetTimeout(CurrentTemplateState().scriptEngineTimeout);
        mControl->AddObject(u"PROJ", ObjectOf(proj));
        mControl->AddObject(u"DB", ObjectOf(db));
        mControl->AddObject(u"Controls", ObjectOf(controls));
        mControl->AddObject(u"LANG", ObjectOf(Lang));
        mControl->AddObject(u"SCRPT", automation::Ref<automation::Object>(&UserScript()));
        mControl->AddObject(u"MASTERDETAILS", ObjectOf(masterdetails));
        mControl->AddObject(u"CUSTOMSCRIPTS", ObjectOf(customscripts));
    } catch (const automation::Error& error) {
        state.gProjErr = state.gMsgPrefix + u": " + error.Description();
        return;
    }
    try {
        // Each module's top-level code runs as it is added and may stop the engine.
        LoadSystemCode(u"VB");
        if (!ScriptReportedError()) {
            LoadValidateCode();
        }
        if (!ScriptReportedError()) {
            LoadUserCode(UserModuleWord);
        }
    } catch (const automation::Error& error) {
        // Adding a module or listing its procedures; the code's own errors are reported above.
        state.gProjErr = state.gMsgPrefix + u": " + error.Description();
    }
}

// Class_Terminate of what the template code still holds runs here, within the last page's
// time-out; when the time-out stops it, the generation has failed as if the page's own code had
// run out of time, unless an earlier failure is reported already.
void QoScript::Reset() {
    mInitialized = false;
    try {
        mControl->Reset();
    } catch (const automation::Error& error) {
        if (!ScriptReportedError()) {
            SetRuntimeError(error);
        }
    }
}

bool QoScript::ModuleExist(std::u16string_view sModule) {
    return IsListedName(mSystemFunctions, sModule);
}

bool QoScript::UserModuleExist(std::u16string_view sModule) {
    return IsListedName(mUserFunctions, sModule);
}

Variant QoScript::RunProcedure(std::u16string_view module, std::u16string_view procedure,
                               std::vector<Variant> args) {
    return mControl->Run(module, procedure, std::span<Variant>(args));
}

bool QoScript::Validate() {
    if (ScriptReportedError()) {
        return false;
    }
    ModuleState& state = State();
    for (std::size_t index = 1; index < mValidateFunctions.size(); ++index) {
        const std::u16string& name = mValidateFunctions[index];
        try {
            if (automation::ToBoolean(RunProcedure(ValidateModuleName, name))) {
                continue;
            }
        } catch (const automation::Error& error) {
            if (!ScriptReportedError()) {
                const vbscript::ScriptError& engineError = mControl->Error();
                state.gProjErr = state.gMsgPrefix + u": Validation VBScript Runtime error " + CrLf +
                                 error.Description() + CrLf + engineError.text + CrLf;
            }
            return false;
        }
        // A validation function that fails sets the project's error text itself; only when it
        // did not is the engine's last error reported.
        if (!ScriptReportedError()) {
            const vbscript::ScriptError& engineError = mControl->Error();
            state.gProjErr = state.gMsgPrefix + u": Validation VBScript Runtime error in module \"" + name +
                             u"\" (line " + NumberText(engineError.line) + u")" + engineError.description +
                             CrLf + engineError.text + CrLf;
        }
        return false;
    }
    return true;
}

Variant QoScript::BuildCode(std::u16string_view module, const Variant& str) {
    ModuleState& state = State();
    mBuildCodeResult = str;
    // After a failure no further template code runs.
    if (ScriptReportedError() || !IsListedName(mSystemFunctions, module)) {
        return mBuildCodeResult;
    }
    // LoadCurrent takes the initialisation type; a custom term is about the current table and
    // field. Its own failure (no table selected yet) must not keep the term from running.
    std::u16string current;
    try {
        current = automation::ToString(
            RunProcedure(SystemModuleName, LoadCurrentName, {Variant(SelectTableAndField)}));
    } catch (const automation::Error&) {
        current.clear();
    }
    try {
        mBuildCodeResult = RunProcedure(SystemModuleName, module);
    } catch (const automation::Error& error) {
        const vbscript::ScriptError& engineError = mControl->Error();
        const std::u16string line = NumberText(engineError.line);
        ShowRuntimeError(engineError.description + u"In line " + line + u": " + u"\r" + engineError.text);
        ShowRuntimeError(error.Description() + u"\r" + engineError.text);
        std::u16string text = state.gMsgPrefix + u": VBScript Runtime error in module \"" +
                              std::u16string(module) + u"\" (line " + line + u")" + CrLf +
                              error.Description() + CrLf + engineError.text + CrLf;
        const std::vector<std::u16string_view> parts = SplitText(current, u",");
        if (parts.size() >= 2) {
            text += u"Please check setting for Table \"" + std::u16string(parts[0]) + u"\" Field \"" +
                    std::u16string(parts[1]) + u"\"";
        }
        state.gProjErr = std::move(text);
        mBuildCodeResult = str;
    }
    return mBuildCodeResult;
}

std::u16string QoScript::BuildNewCode(std::u16string_view str, std::int16_t bInitType,
                                      std::int32_t lTimeout) {
    ModuleState& state = State();
    mControl->SetTimeout(lTimeout);
    mBuildFailedInEngine = true;
    try {
        mControl->AddCode(SystemModuleName, str);
    } catch (const automation::Error& error) {
        // The time-out stops compiling as it stops running: the run failed, not the syntax.
        if (mControl->Error().number == vbscript::TimeoutErrorNumber) {
            SetRuntimeError(error);
            return {};
        }
        const vbscript::ScriptError& engineError = mControl->Error();
        state.gProjErr = state.gMsgPrefix + u": VBScript Syntax Error" + CrLf + engineError.description +
                         CrLf + u"In line " + NumberText(engineError.line) + u": " + CrLf + engineError.text;
        return {};
    }
    try {
        RunProcedure(SystemModuleName, LoadCurrentName, {Variant(bInitType)});
        std::u16string page = automation::ToString(RunProcedure(SystemModuleName, PageFunctionName));
        mBuildFailedInEngine = false;
        return page;
    } catch (const automation::Error& error) {
        SetRuntimeError(error);
        return {};
    }
}

void QoScript::SetRuntimeError(const automation::Error& error) {
    const vbscript::ScriptError& engineError = mControl->Error();
    State().gProjErr = u"VBScript Runtime error, line: " + NumberText(engineError.line) + CrLf +
                       error.Description() + CrLf + engineError.text + CrLf;
}

void QoScript::SetSyntaxError(std::u16string_view name) {
    ModuleState& state = State();
    const vbscript::ScriptError& engineError = mControl->Error();
    std::u16string text = state.gMsgPrefix;
    if (!name.empty()) {
        text += u"(" + std::u16string(name) + u")";
    }
    // Code is added under the time-out, which may stop its compile or its top-level statements:
    // that is said as what it is, not as a fault of the code's syntax.
    text += engineError.number == vbscript::TimeoutErrorNumber ? u" : VBScript Runtime error\r\n"
                                                               : u" : VBScript Syntax Error\r\n";
    text += engineError.description + CrLf;
    text += u"In line " + NumberText(engineError.line) + u": " + CrLf;
    text += engineError.text;
    state.gProjErr = std::move(text);
}

} // namespace qv
