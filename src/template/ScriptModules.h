#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The texts that fill the three code modules of a script engine: where each comes from (the
// script settings, the XML lists of code files, the built-in code), how a template-format
// system-code file becomes script and a function with a user-override hook, and the debug copies
// left in the destination folder. QoScript puts the texts into its engine.

inline constexpr std::u16string_view SystemModuleName = u"System";
inline constexpr std::u16string_view ValidateModuleName = u"Validate";
/// The user module is "$" followed by this word.
inline constexpr std::u16string_view UserModuleWord = u"User";
inline constexpr std::u16string_view UserModuleName = u"$User";
/// The variable through which text put out by a "~" block is indented after each line break.
inline constexpr std::u16string_view IndentVariable = u"kqIndentWrk";
/// The prefix of a user function that overrides the output of a system function.
inline constexpr std::u16string_view UserFunctionPrefix = u"USER_";
/// Names of the debug copies in the destination folder.
inline constexpr std::u16string_view SysCodeCopyName = u"syscode.txt";
inline constexpr std::u16string_view ValidateCodeCopyName = u"validatecode.txt";
/// What the system-code copy holds when the prefix or suffix setting is empty.
inline constexpr std::u16string_view MissingPrefixOrSuffixLine =
    u"'missing syscodeprefix or syscodesuffix\r\n";

/// True when an entry of a 1-based name list (element 0 unused) equals `name`, ignoring case.
bool IsListedName(const std::vector<std::u16string>& list, std::u16string_view name);

/// The six script settings: text values under the user hive's general key, "" when absent. Each
/// is a file path.
struct ScriptSettings {
    std::u16string sysCode;       ///< "SYSCODE": XML list of system-code files; "" the built-in code
    std::u16string sysCodePrefix; ///< "SYSCODEPREFIX": text put at the start of every wrapped function
    std::u16string sysCodeSuffix; ///< "SYSCODESUFFIX": text put at the end of every wrapped function
    std::u16string userCode;      ///< "USERCODE": the user-code file; "" the default user code
    std::u16string commonCode;    ///< "COMMONCODE": the common-code file; "" the default common code
    std::u16string validateCode;  ///< "VALIDATECODE": XML list of validation files; "" the built-in code
};

/// Reads the settings now; a value that is missing or not text reads as "".
ScriptSettings ReadScriptSettings();

/// One "file" entry of a system-code or validation list.
struct CodeListEntry {
    std::u16string value;    ///< the file, relative to the list's folder; "" entries are skipped
    bool isFunction = false; ///< the file is the body of a function and gets wrapped
    std::u16string id;       ///< the function's name, trimmed; "" without isFunction
    std::u16string parm;     ///< its parameter list, trimmed; "" without isFunction
    bool override = false;   ///< the function ends with the user-override hook
    bool multiline = false;  ///< text blocks keep their line breaks
    bool indent = false;     ///< text lines after the first are indented through IndentVariable
};

/// A loaded list: its folder and its "file" entries in document order (empty values included).
struct CodeList {
    std::u16string folder;
    std::vector<CodeListEntry> entries;

    /// The path of an entry's file: in the list's folder, in another letter case when only that
    /// exists.
    std::u16string PathOf(const CodeListEntry& entry) const;
};

/// Loads a list file; nullopt when it is missing or not well-formed XML. The root element's
/// name is not checked; its child elements named "file" (in any letter case) are the entries.
std::optional<CodeList> LoadCodeList(std::u16string_view path);

/// Converts a template-format system-code file into script, block by block, with `name` as
/// the function that collects the output ("" outside functions). nullopt when the template
/// does not parse; the parser's message is then in gProjErr.
std::optional<std::u16string> TemplateToScript(std::u16string_view code, bool multiline, bool indent,
                                               std::u16string_view name);

/// The converted body of a function entry wrapped into the function: the head, the prefix and
/// suffix texts with "<name>" and "<parm>" replaced, the user-override hook when asked for, and
/// "End Function".
std::u16string WrapFunction(std::u16string_view code, const CodeListEntry& entry, std::u16string_view prefix,
                            std::u16string_view suffix);

/// The routine that sets the engine's locale to en-US, and its call.
std::u16string LocaleCode();
/// The common code used when no file is configured: the globals TABLE, FIELD and CTRL and the
/// function LoadCurrent(bInitType) that fills them from the current selection.
std::u16string BuildCommonCode();
/// The user code used when no file is configured: one comment line.
std::u16string DefaultUserCode();

/// A script file's whole content as single-byte text. A missing or unreadable file shows a
/// message box and gives "".
std::u16string ReadScriptFile(std::u16string_view path);

/// Leaves a copy of code for inspection in the destination folder (TemplateState) under the base
/// name of `fileName`. Nothing is written when no destination folder exists, and a failing
/// write is passed over: a debug copy must never stop the loading.
void WriteDebugCopy(std::u16string_view fileName, std::u16string_view text);

} // namespace qv
