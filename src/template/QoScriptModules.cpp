// Filling the three code modules of a QoScript: "System" from the common code and the built-in
// code or a system-code list, "Validate" from the built-in code or a validation list, and the
// user module from the user-code file.

#include "template/QoScript.h"

#include "template/internal/QoUserScript.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Error.h"

#include <optional>

namespace qv {

namespace {

constexpr const char16_t* CrLf = u"\r\n";

} // namespace

bool QoScript::AddModuleCode(std::u16string_view module, std::u16string_view code, std::u16string_view name) {
    try {
        mControl->AddCode(module, code);
        return true;
    } catch (const automation::Error&) {
        SetSyntaxError(name);
        return false;
    }
}

void QoScript::LoadSystemCode(std::u16string_view key) {
    mSystemFunctions.assign(1, std::u16string());
    mControl->AddModule(SystemModuleName);
    mCommonCode = mSettings.commonCode.empty() ? BuildCommonCode() : ReadScriptFile(mSettings.commonCode);
    if (!AddModuleCode(SystemModuleName, LocaleCode(), u"") ||
        !AddModuleCode(SystemModuleName, mCommonCode, u"")) {
        return;
    }
    if (!mSettings.sysCode.empty()) {
        LoadSystemCodeList();
        return;
    }
    mSysCode = GetStatus().GetSysCode(key);
    if (!AddModuleCode(SystemModuleName, mSysCode, u"")) {
        return;
    }
    for (std::u16string& name : mControl->ProcedureNames(SystemModuleName)) {
        mSystemFunctions.push_back(std::move(name));
    }
}

void QoScript::LoadSystemCodeList() {
    ModuleState& state = State();
    const std::optional<CodeList> list = LoadCodeList(mSettings.sysCode);
    if (!list) {
        state.gProjErr = u"Load syscode file " + mSettings.sysCode + u" failed!";
        return;
    }
    mSysCodePrefix =
        mSettings.sysCodePrefix.empty() ? std::u16string() : ReadScriptFile(mSettings.sysCodePrefix);
    mSysCodeSuffix =
        mSettings.sysCodeSuffix.empty() ? std::u16string() : ReadScriptFile(mSettings.sysCodeSuffix);
    // Every overridable function is listed before any code runs, so that system code may ask
    // about functions that come later in the list.
    for (const CodeListEntry& entry : list->entries) {
        if (!entry.value.empty() && entry.isFunction && entry.override) {
            mSystemFunctions.push_back(entry.id);
        }
    }
    std::u16string collected;
    for (const CodeListEntry& entry : list->entries) {
        if (entry.value.empty()) {
            continue;
        }
        const std::u16string source = ReadScriptFile(list->PathOf(entry));
        const std::optional<std::u16string> converted =
            TemplateToScript(source, entry.multiline, entry.indent, entry.id);
        std::u16string code = converted.value_or(source);
        if (entry.isFunction) {
            code = WrapFunction(code, entry, mSysCodePrefix, mSysCodeSuffix);
        }
        // The template did not parse, or an earlier module's code stopped the engine: leave what
        // there is, with the reason, for inspection.
        if (!converted || ScriptReportedError()) {
            state.gProjErr = entry.value + u": " + state.gProjErr;
            WriteDebugCopy(entry.value, code + CrLf + state.gProjErr);
            return;
        }
        collected += code;
        if (!AddModuleCode(SystemModuleName, code, entry.value)) {
            WriteDebugCopy(entry.value, code);
            WriteDebugCopy(SysCodeCopyName, collected);
            return;
        }
    }
    mSysCode = collected;
    const bool framed = !mSettings.sysCodePrefix.empty() && !mSettings.sysCodeSuffix.empty();
    WriteDebugCopy(SysCodeCopyName, framed ? collected : std::u16string(MissingPrefixOrSuffixLine));
}

void QoScript::LoadValidateCode() {
    ModuleState& state = State();
    mValidateFunctions.assign(1, std::u16string());
    mControl->AddModule(ValidateModuleName);
    if (mSettings.validateCode.empty()) {
        mValidateCode = GetStatus().GetSysCode(u"VL");
        if (!AddModuleCode(ValidateModuleName, mValidateCode, u"")) {
            return;
        }
    } else {
        const std::optional<CodeList> list = LoadCodeList(mSettings.validateCode);
        if (!list) {
            state.gProjErr = u"Load validate file " + mSettings.validateCode + u" failed!";
            return;
        }
        std::u16string collected;
        for (const CodeListEntry& entry : list->entries) {
            if (entry.value.empty()) {
                continue;
            }
            const std::u16string code = ReadScriptFile(list->PathOf(entry));
            // The code of the module's earlier files has run as it was added.
            if (ScriptReportedError()) {
                state.gProjErr = entry.value + u": " + state.gProjErr;
                return;
            }
            collected += CrLf + code;
            if (!AddModuleCode(ValidateModuleName, code, entry.value)) {
                return;
            }
        }
        mValidateCode = collected;
        WriteDebugCopy(ValidateCodeCopyName, collected);
    }
    for (std::u16string& name : mControl->ProcedureNames(ValidateModuleName)) {
        mValidateFunctions.push_back(std::move(name));
    }
}

void QoScript::LoadUserCode(std::u16string_view word) {
    const std::u16string module = u"$" + std::u16string(word);
    mUserCode = mSettings.userCode.empty() ? DefaultUserCode() : ReadScriptFile(mSettings.userCode);
    mControl->AddModule(module);
    if (!AddModuleCode(module, mUserCode, mSettings.userCode) ||
        !AddModuleCode(SystemModuleName, mUserCode, mSettings.userCode)) {
        return;
    }
    mUserFunctions.assign(1, std::u16string());
    ListUserFunctions();
}

void QoScript::AddUserCode(std::u16string_view sFile) {
    const std::u16string code = ReadScriptFile(sFile);
    if (!AddModuleCode(UserModuleName, code, sFile) || !AddModuleCode(SystemModuleName, code, sFile)) {
        return;
    }
    mUserCode += CrLf + code;
    try {
        ListUserFunctions();
    } catch (const automation::Error& error) {
        State().gProjErr = State().gMsgPrefix + u": " + error.Description();
    }
}

void QoScript::ListUserFunctions() {
    for (const std::u16string& name : mControl->ProcedureNames(UserModuleName)) {
        mUserFunctions.push_back(name);
        UserScript().AddUserModule(name);
    }
}

} // namespace qv
