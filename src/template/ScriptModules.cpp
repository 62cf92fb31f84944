#include "template/ScriptModules.h"

#include "template/QoParser.h"
#include "template/TemplateState.h"
#include "template/TemplateText.h"

#include "core/Apartment.h"
#include "core/FileLookup.h"
#include "core/QelVars.h"
#include "core/RegistryFiles.h"
#include "core/RegistryValues.h"
#include "core/VbText.h"

#include "platform/host/Host.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"
#include "platform/xml/Document.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

namespace qv {

using automation::Variant;

namespace {

constexpr const char16_t* CrLf = u"\r\n";

std::u16string ReadGeneralText(std::u16string_view name) {
    const Variant value = GetRegValue(u"", State().gRegKeyGeneral, name);
    if (value.IsEmpty() || value.IsNull()) {
        return {};
    }
    try {
        return automation::ToString(value);
    } catch (const automation::Error&) {
        // A value of another type (bytes) is no path.
        return {};
    }
}

/// An attribute's text, "" when it is missing.
std::u16string AttributeText(const xml::Element& element, std::u16string_view name) {
    return element.GetAttribute(name).value_or(std::u16string());
}

/// True when the attribute's text converts to True; missing or unconvertible text is False.
bool AttributeFlag(const xml::Element& element, std::u16string_view name) {
    const std::optional<std::u16string> text = element.GetAttribute(name);
    if (!text) {
        return false;
    }
    try {
        return automation::ToBoolean(Variant(*text));
    } catch (const automation::Error&) {
        return false;
    }
}

void ReplaceAll(std::u16string& text, std::u16string_view what, std::u16string_view with) {
    for (std::size_t found = text.find(what); found != std::u16string::npos;
         found = text.find(what, found + with.size())) {
        text.replace(found, what.size(), with);
    }
}

bool EndsWithLineBreak(std::u16string_view text) {
    return !text.empty() && (text.back() == u'\n' || text.back() == u'\r');
}

/// A prefix or suffix text with the entry's name and parameters put in. With `endLine`, a text
/// that does not end its last line gets a line break, so that the code after it starts a line of
/// its own.
std::u16string FillFrame(std::u16string_view frame, const CodeListEntry& entry, bool endLine = true) {
    std::u16string text(frame);
    ReplaceAll(text, u"<name>", entry.id);
    ReplaceAll(text, u"<parm>", entry.parm);
    if (endLine && !text.empty() && !EndsWithLineBreak(text)) {
        text += CrLf;
    }
    return text;
}

} // namespace

bool IsListedName(const std::vector<std::u16string>& list, std::u16string_view name) {
    for (std::size_t index = 1; index < list.size(); ++index) {
        if (automation::EqualsNoCase(list[index], name)) {
            return true;
        }
    }
    return false;
}

ScriptSettings ReadScriptSettings() {
    ScriptSettings settings;
    // The files may be named relative to the machine hive, as the shipped ones are.
    settings.sysCode = ResolveRegistryFile(ReadGeneralText(u"SYSCODE"));
    settings.sysCodePrefix = ResolveRegistryFile(ReadGeneralText(u"SYSCODEPREFIX"));
    settings.sysCodeSuffix = ResolveRegistryFile(ReadGeneralText(u"SYSCODESUFFIX"));
    settings.userCode = ResolveRegistryFile(ReadGeneralText(u"USERCODE"));
    settings.commonCode = ResolveRegistryFile(ReadGeneralText(u"COMMONCODE"));
    settings.validateCode = ResolveRegistryFile(ReadGeneralText(u"VALIDATECODE"));
    return settings;
}

std::u16string CodeList::PathOf(const CodeListEntry& entry) const {
    return LocateFileNoCase(folder, entry.value).value_or(system::JoinInside(folder, entry.value));
}

std::optional<CodeList> LoadCodeList(std::u16string_view path) {
    std::optional<xml::Document> document = xml::Document::TryLoad(path);
    if (!document) {
        return std::nullopt;
    }
    const xml::Element root = document->DocumentElement();
    if (!root) {
        return std::nullopt;
    }
    CodeList list;
    list.folder = system::FolderOf(path);
    for (const xml::Element& element : root.ChildElements()) {
        if (automation::ToLower(element.Name()) != u"file") {
            continue;
        }
        CodeListEntry entry;
        entry.value = AttributeText(element, u"value");
        entry.isFunction = AttributeFlag(element, u"function");
        if (entry.isFunction) {
            entry.id = TrimBlanks(AttributeText(element, u"id"));
            entry.parm = TrimBlanks(AttributeText(element, u"parm"));
        }
        entry.override = AttributeFlag(element, u"override");
        entry.multiline = AttributeFlag(element, u"multiline");
        entry.indent = AttributeFlag(element, u"indent");
        list.entries.push_back(std::move(entry));
    }
    return list;
}

std::optional<std::u16string> TemplateToScript(std::u16string_view code, bool multiline, bool indent,
                                               std::u16string_view name) {
    auto parser = automation::MakeRef<QoParser>();
    if (!parser->Parse(code)) {
        return std::nullopt;
    }
    // Output goes to the function's own name: "N = N & ...".
    const std::u16string append = std::u16string(name) + u" = " + std::u16string(name) + u" & ";
    std::u16string script;
    for (std::int32_t blockID = 1; blockID <= parser->Count(); ++blockID) {
        parser->SetBlockID(blockID);
        switch (static_cast<qoc_Block_Type>(parser->BlockType())) {
        case qoc_Block_Type::qoc_Block_Script:
            script += parser->BlockValue();
            break;
        case qoc_Block_Type::qoc_Block_Function:
            script += append + ConcatenationOperand(parser->BlockName());
            break;
        case qoc_Block_Type::qoc_Block_FunctionIndent:
            continue;
        case qoc_Block_Type::qoc_Block_Language:
            script += append + u"LANG.Phrase(" + ToVBStringLiteral(parser->BlockName(), 1) + u")";
            break;
        case qoc_Block_Type::qoc_Block_LanguageDynamic:
            script += append + u"LANG.Phrase(" + parser->BlockName() + u")";
            break;
        case qoc_Block_Type::qoc_Block_Content: {
            std::u16string text = parser->BlockValue();
            if (!multiline) {
                ReplaceAll(text, CrLf, u"");
            }
            if (text.empty()) {
                continue;
            }
            const std::u16string expression = ToVBStringExpression(text, indent ? IndentVariable : u"");
            script += name.empty() ? expression : append + expression;
            break;
        }
        }
        script += CrLf;
    }
    return script;
}

std::u16string WrapFunction(std::u16string_view code, const CodeListEntry& entry, std::u16string_view prefix,
                            std::u16string_view suffix) {
    std::u16string wrapped = u"Function " + entry.id + u"(" + entry.parm + u")" + CrLf;
    wrapped += FillFrame(prefix, entry);
    wrapped += code;
    // The hook line of an override starts with its own line break: the suffix ends a line of its
    // own only where it ends the function.
    wrapped += FillFrame(suffix, entry, !entry.override);
    if (entry.override) {
        // The user function gets the output built so far and returns the final output.
        const std::u16string user = std::u16string(UserFunctionPrefix) + entry.id;
        wrapped += u"\r\nIf SCRPT.UserModuleExist(\"" + user + u"\") Then " + entry.id + u"=" + user + u"(" +
                   entry.id + u")" + CrLf;
    }
    wrapped += u"End Function";
    wrapped += CrLf;
    return wrapped;
}

std::u16string LocaleCode() {
    return u"Sub kqSetLocale()\r\n"
           u"On Error Resume Next\r\n"
           u"SetLocale(1033)\r\n"
           u"End Sub\r\n"
           u"Call kqSetLocale()\r\n";
}

std::u16string BuildCommonCode() {
    return u"Dim TABLE, FIELD, CTRL\r\n"
           u"Function LoadCurrent(bInitType)\r\n"
           u" Dim tablename, fieldname, index\r\n"
           u" If bInitType = 1 Or bInitType = 2 Then\r\n"
           u"  index = controls.curIndex\r\n"
           u"  Set CTRL = controls(index)\r\n"
           u" End If\r\n"
           u" If bInitType = 2 Or bInitType = 3 Then\r\n"
           u"  tablename = db.Tables.curName\r\n"
           u"  Set TABLE = db.Tables(tablename)\r\n"
           u"  fieldname = TABLE.Fields.curName\r\n"
           u"  Set FIELD = TABLE.Fields(fieldname)\r\n"
           u"  LoadCurrent = tablename & \",\" & fieldname\r\n"
           u" Else\r\n"
           u"  LoadCurrent = \"\"\r\n"
           u" End If\r\n"
           u"End Function\r\n";
}

std::u16string DefaultUserCode() {
    return u"'Please enter your script here\r\n";
}

std::u16string ReadScriptFile(std::u16string_view path) {
    if (system::FileExists(path)) {
        try {
            return ReadSingleByteFile(path);
        } catch (const automation::Error&) {
            // An unreadable file is reported as one that is not there.
        }
    }
    host::Message message;
    message.text =
        State().gMsgPrefix + u": Script file " + std::u16string(path) + u" not found! Content not loaded!";
    CurrentHost().ShowMessage(message);
    return {};
}

void WriteDebugCopy(std::u16string_view fileName, std::u16string_view text) {
    const std::u16string& destination = CurrentTemplateState().destination;
    const std::u16string_view baseName = system::BaseName(fileName);
    if (destination.empty() || baseName.empty() || !system::FolderExists(destination)) {
        return;
    }
    try {
        WriteSingleByteFile(system::JoinInside(destination, baseName), text);
    } catch (const automation::Error&) {
        // The copy is for inspection only; the code itself is loaded (or reported) regardless.
    }
}

} // namespace qv
