#include "template/TemplateConversion.h"

#include "template/ConditionEvaluator.h"
#include "template/ProjectServices.h"
#include "template/QelControl.h"
#include "template/QelLanguage.h"
#include "template/QoParser.h"
#include "template/ScriptHost.h"
#include "template/ScriptModules.h"
#include "template/TemplateState.h"
#include "template/TemplateText.h"

#include "core/Apartment.h"
#include "core/FileLookup.h"
#include "core/Formatting.h"
#include "core/QelStatus.h"
#include "core/QelVars.h"
#include "core/RegistryValues.h"
#include "core/SettingConversion.h"
#include "core/VbText.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cassert>
#include <optional>
#include <string>

namespace qv {

using automation::Variant;

namespace {

constexpr std::u16string_view OutputVariable = u"kqOut";
constexpr std::u16string_view ArrayVariable = u"kqAr";
constexpr std::u16string_view LineBreak = u"\r\n";
constexpr std::u16string_view CombinedFileName = u"~tmp.temp";

/// A general registry value of the user, converted by a type name ("" when absent).
Variant GeneralSetting(std::u16string_view name, std::u16string_view typeName) {
    const Variant value = GetRegValue(u"", State().gRegKeyGeneral, name);
    return ConvertToDataType(value, Variant(typeName));
}

std::u16string MergeErrorText(std::u16string_view files) {
    return u"Error in merging " + std::u16string(files) + u". Generation aborted.";
}

} // namespace

void TemplateConversion::ResetState() {
    mArrayCount = 0;
    mArrayLines.clear();
    mPendingOutput.clear();
    mBody.clear();
}

void TemplateConversion::FlushPendingOutput() {
    if (mPendingOutput.empty()) {
        return;
    }
    mBody += OutputVariable;
    mBody += u" = ";
    mBody += OutputVariable;
    mBody += mPendingOutput;
    mBody += LineBreak;
    mPendingOutput.clear();
}

std::u16string TemplateConversion::Expression(const std::u16string& name) const {
    ScriptHost* page = CurrentTemplateState().pageScript.Get();
    if (!page) {
        return ConcatenationOperand(name);
    }
    std::u16string functionName = name;
    for (char16_t& c : functionName) {
        if (c == u'.') {
            c = u'_';
        }
    }
    const std::u16string userFunction = std::u16string(UserFunctionPrefix) + functionName;
    if (!page->ModuleExist(functionName) && page->UserModuleExist(userFunction)) {
        return userFunction + u"(" + name + u")";
    }
    return ConcatenationOperand(name);
}

bool TemplateConversion::ConvertTemplateToScript(std::u16string_view text) {
    const automation::Ref<QoParser> parser = automation::MakeRef<QoParser>();
    if (!parser->Parse(text)) {
        return false;
    }
    for (std::int32_t blockID = 1; blockID <= parser->Count(); ++blockID) {
        parser->SetBlockID(blockID);
        switch (static_cast<qoc_Block_Type>(parser->BlockType())) {
        case qoc_Block_Type::qoc_Block_Script:
            FlushPendingOutput();
            mBody += parser->BlockValue();
            mBody += LineBreak;
            break;
        case qoc_Block_Type::qoc_Block_FunctionIndent:
            FlushPendingOutput();
            mBody += IndentVariable;
            mBody += u" = \"";
            mBody += parser->BlockIndent();
            mBody += u"\"";
            mBody += LineBreak;
            [[fallthrough]];
        case qoc_Block_Type::qoc_Block_Function:
            mPendingOutput += u" & ";
            mPendingOutput += Expression(parser->BlockName());
            break;
        case qoc_Block_Type::qoc_Block_Language:
            // The phrase id is a literal: quotes inside it are doubled so that it stays one.
            mPendingOutput += u" & LANG.Phrase(\"";
            mPendingOutput += DoubleQuotes(parser->BlockName());
            mPendingOutput += u"\")";
            break;
        case qoc_Block_Type::qoc_Block_LanguageDynamic:
            mPendingOutput += u" & LANG.Phrase(";
            mPendingOutput += parser->BlockName();
            mPendingOutput += u")";
            break;
        case qoc_Block_Type::qoc_Block_Content: {
            const std::u16string expression = ToVBStringExpression(parser->BlockValue(), u"");
            if (expression.empty()) {
                break;
            }
            ++mArrayCount;
            const std::u16string element =
                std::u16string(ArrayVariable) + u"(" + NumberText(mArrayCount) + u")";
            mArrayLines += element;
            mArrayLines += u" = ";
            mArrayLines += expression;
            mArrayLines += LineBreak;
            mPendingOutput += u" & ";
            mPendingOutput += element;
            break;
        }
        }
    }
    return true;
}

std::u16string TemplateConversion::FunctionText() {
    FlushPendingOutput();
    const std::u16string lineBreak(LineBreak);
    const std::u16string output(OutputVariable);
    std::u16string text = u"Function kqScriptEngine()" + lineBreak + u"On Error Resume Next" + lineBreak;
    text += u"Dim " + std::u16string(ArrayVariable) + u"(" + NumberText(mArrayCount) + u")" + lineBreak;
    text += u"Dim " + output + lineBreak;
    text += mArrayLines;
    text += mBody;
    text += u"kqScriptEngine = " + output + lineBreak;
    text += u"End Function" + lineBreak;
    return text;
}

void TemplateConversion::RaiseGenerationError() {
    mServices.RaiseGenerationError();
    assert(false && "RaiseGenerationError returned");
    const ModuleState& state = State();
    automation::Raise(-1, state.gMsgPrefix, state.gProjErr);
}

void TemplateConversion::FailConversion(std::u16string_view templatePath, std::u16string_view outputFile,
                                        std::u16string_view failingText) {
    ModuleState& state = State();
    const std::u16string error = state.gProjErr;
    // The prepared-script file shows what failed, for inspection.
    WriteSingleByteFile(outputFile, std::u16string(failingText) + error + std::u16string(LineBreak));
    state.gProjErr = std::u16string(templatePath) + u": " + error;
    RaiseGenerationError();
}

void TemplateConversion::StepSessionProgress() {
    PreparationProgress& progress = mServices.SessionProgress();
    ++progress.position;
    GetStatus().SetStatus(Percent(progress.position, progress.total));
}

void TemplateConversion::MergeControlTemplate(QelControl& control, std::u16string_view outputFile) {
    ModuleState& state = State();
    // An absent or unreadable value converts to Empty, which is False: no session markers.
    const bool showSession = automation::ToBoolean(GeneralSetting(u"ShowSession", u"Boolean"));

    const std::u16string templatePath = CombineInputFiles(control.CtrlIFiles(), control.CtrlExt());
    if (!system::FileExists(templatePath)) {
        state.gProjErr = MergeErrorText(control.CtrlIFiles());
        RaiseGenerationError();
    }
    const std::u16string templateText = ReadSingleByteFile(templatePath);
    ResetState();

    QelSessions& sessions = control.Sessions();
    if (sessions.Count() == 0) {
        // Template code that called the merge may have reported a failure already.
        if (!ConvertTemplateToScript(templateText) || ScriptReportedError()) {
            FailConversion(templatePath, outputFile, templateText);
        }
        WriteSingleByteFile(outputFile, FunctionText());
        return;
    }

    // With sessions, the template only stores them: only the sessions' texts are converted.
    const automation::Ref<QoParser> parser = automation::MakeRef<QoParser>();
    ConditionEvaluator conditions(mServices);
    for (std::int32_t position = 1; position <= sessions.Count(); ++position) {
        const automation::Ref<QelSession> session = sessions.Item(position);
        if (!conditions.EvaluateCondition(session->SessCond())) {
            continue;
        }
        std::u16string text;
        if (session->SessType() == u"key") {
            if (!session->SessIFile().empty()) {
                const std::u16string sessionPath =
                    CombineInputFiles(session->SessIFile(), session->SessExt());
                if (!system::FileExists(sessionPath)) {
                    state.gProjErr = MergeErrorText(session->SessIFile());
                    RaiseGenerationError();
                }
                text = parser->GetSession(ReadSingleByteFile(sessionPath), session->SessValue());
            } else {
                CurrentTemplateState().sourceFolder = SourceFolderOf(control.CtrlExt());
                text = parser->GetSession(templateText, session->SessValue());
            }
        } else if (session->SessType() == u"include") {
            // Names go between quotes of a script literal: inner quotes are doubled.
            text = u"<!--##=Include_File(\"" + DoubleQuotes(session->SessValue()) + u"\",\"" +
                   DoubleQuotes(session->SessParm()) + u"\")##-->" + std::u16string(LineBreak);
        }
        const std::u16string marker = session->SessValue() + u" (" + session->SessType() + u")";
        if (showSession) {
            mBody += u"' *** Start Session " + marker + std::u16string(LineBreak);
        }
        const bool converted = ConvertTemplateToScript(text);
        if (showSession) {
            mBody += u"' *** End Session " + marker + std::u16string(LineBreak);
        }
        // A session's condition runs template code, which may have reported a failure.
        if (!converted || ScriptReportedError()) {
            FailConversion(templatePath, outputFile, text);
        }
        StepSessionProgress();
    }
    WriteSingleByteFile(outputFile, FunctionText());
}

std::u16string TemplateConversion::CombineInputFiles(std::u16string_view fileList,
                                                     std::u16string_view extensionName) {
    ModuleState& state = State();
    TemplateState& folders = CurrentTemplateState();
    folders.sourceFolder = SourceFolderOf(extensionName);
    const std::u16string folder = folders.sourceFolder;
    if (fileList.find(u',') == std::u16string_view::npos) {
        const std::u16string_view name = TrimBlanks(fileList);
        return LocateFileNoCase(folder, name).value_or(system::JoinInside(folder, name));
    }
    std::u16string combined;
    for (std::u16string_view part : SplitText(fileList, u",")) {
        // Names are trimmed ("a.htm, b.htm"); an empty one (a doubled or trailing comma) names
        // no file.
        const std::u16string_view name = TrimBlanks(part);
        if (name.empty()) {
            continue;
        }
        const std::optional<std::u16string> found = LocateFileNoCase(folder, name);
        if (!found) {
            // A page that silently lost one of its files would be wrong without a word.
            state.gProjErr = MergeErrorText(name);
            RaiseGenerationError();
        }
        combined += ReadSingleByteFile(*found);
    }
    std::u16string path = system::JoinPath(folders.tempFolder, CombinedFileName);
    WriteSingleByteFile(path, combined);
    return path;
}

std::u16string TemplateConversion::EvalScriptCode(std::u16string_view text, std::int16_t initType) {
    TemplateState& templates = CurrentTemplateState();
    automation::Ref<ScriptHost> engine = templates.evalScript;
    bool createdHere = false;
    if (!engine) {
        templates.scriptEngineTimeout = automation::ToLong(GeneralSetting(u"ScriptEngineTimeout", u"Long"));
        engine = mServices.CreateScriptEngine();
        assert(engine && "CreateScriptEngine must give an engine");
        if (!engine) {
            return std::u16string(text);
        }
        templates.evalScript = engine;
        createdHere = true;
        ScriptEngineObjects objects = mServices.EngineObjects();
        Variant language{automation::Ref<automation::Object>(&GetLanguage())};
        engine->Initialize(objects.project, objects.database, objects.controls, language,
                           objects.masterDetails, objects.customScripts);
    }
    ScriptHost& host = *engine;

    ResetState();
    const bool converted = ConvertTemplateToScript(text);
    std::u16string result;
    // Template code that asked for the evaluation may have reported a failure already.
    if (!converted || ScriptReportedError()) {
        result = text;
    } else {
        result = host.BuildNewCode(FunctionText(), initType, templates.scriptEngineTimeout);
    }
    if (createdHere) {
        host.Reset();
        templates.evalScript = nullptr;
    }
    return result;
}

} // namespace qv
