#pragma once

#include "template/QelCodeBase.h"
#include "template/QelLanguage.h"
#include "template/ScriptHost.h"

#include "platform/automation/Ref.h"

#include <cstdint>
#include <string>

namespace qv {

/// The template layer's state of one apartment: the folders template files are read from and
/// the objects that run template code. A generation run sets the folders; a test that reads
/// templates sets them itself.
struct TemplateState {
    /// gTemplateFileName: the template package's file name, which names its work folder.
    std::u16string templateFileName;
    /// gTemplateFolder: the folder the template package is extracted into.
    std::u16string templateFolder;
    /// gExtensionsFolder: the folder holding one extracted folder per extension.
    std::u16string extensionsFolder;
    /// gTempFolder: prepared scripts and combined template files.
    std::u16string tempFolder;
    /// gSourceFolder: the folder the control or session being read takes its files from.
    std::u16string sourceFolder;
    /// gDestination: the project's destination folder, where debug copies of code go.
    std::u16string destination;
    /// gScriptEngineTimeout: milliseconds a page function may run (0: no limit).
    std::int32_t scriptEngineTimeout = 0;

    /// gLanguage: the phrases of the language file; created on first use (GetLanguage).
    automation::Ref<QelLanguage> language;
    /// gCodeBase: the code base file's snippets; created on first use (GetCodeBase).
    automation::Ref<QelCodeBase> codeBase;
    // The engines last, so that they go first: their named objects may still use the above.
    /// gPageScript: the engine that builds the pages of a run.
    automation::Ref<ScriptHost> pageScript;
    /// gEvalScript: the engine that evaluates template expressions during a run.
    automation::Ref<ScriptHost> evalScript;
};

/// The calling apartment's template state.
TemplateState& CurrentTemplateState();

/// The folder the files of a control or session of `extensionName` are read from: that
/// extension's work folder, or the template folder for the template's own.
std::u16string SourceFolderOf(std::u16string_view extensionName);

/// FindExtensionFile over the apartment's template folders and extension list.
std::u16string FindTemplateFile(std::u16string_view fileName);

} // namespace qv
