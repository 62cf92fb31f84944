#include "core/Common.h"

#include "core/Apartment.h"
#include "core/cRegistry.h"

#include "platform/system/FileSystem.h"
#include "platform/system/KnownFolders.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"
#include "platform/xml/Document.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace qv {

using automation::Variant;
using automation::VarType;

namespace {

struct CharsetCodePages {
    std::u16string_view charset;
    std::initializer_list<int> codePages;
};

// Which charset an XML declaration names for the system's code page.
const CharsetCodePages CharsetTable[] = {
    {u"iso-8859-1", {37,    437,   850,   861,   1140,  1141,  1142,  1143,  1144,  1145,  1146,
                     1147,  1148,  1149,  1252,  10000, 10079, 20105, 20106, 20107, 20108, 20127,
                     20273, 20277, 20278, 20280, 20284, 20285, 20871, 28591, 29001}},
    {u"iso-8859-2", {852, 870, 1250, 10029, 28592}},
    {u"iso-8859-3", {28593}},
    {u"iso-8859-4", {775, 1257, 28594}},
    {u"iso-8859-5", {866, 1026, 1251, 10007, 20866, 20880, 21025, 21866, 28595}},
    {u"iso-8859-6", {708, 720, 1256, 10004, 20420, 28596}},
    {u"iso-8859-7", {737, 869, 875, 1253, 10006, 20423, 28597}},
    {u"iso-8859-8", {862, 1255, 10005, 20424, 28598, 38598}},
    {u"iso-8859-9", {857, 1254, 10081, 20905, 28599}},
    {u"iso-8859-15", {28605}},
    {u"gb2312", {936, 10008, 50935, 51936, 52936}},
    {u"big5", {950, 10002, 20000, 20002, 50937}},
    {u"shift_jis", {932, 10001, 20290, 50220, 50221, 50222, 50930, 50931, 50939, 51932}},
    {u"euc-kr", {949, 1361, 10003, 20833, 50225, 50933, 51949}},
    {u"windows-874", {874, 20838}},
    {u"windows-1258", {1258}},
    {u"utf-16", {1200, 1201}},
    {u"utf-7", {65000}},
    {u"utf-8", {65001}},
};

/// Converts by one of the names "boolean", "integer", "long" and "string" (lower case); any
/// other name leaves the value as it is. A value that does not convert gives Empty.
Variant ConvertByLowerName(const Variant& value, std::u16string_view lowerName, bool unquoteText) {
    try {
        if (lowerName == u"boolean") {
            return Variant(automation::ToBoolean(value));
        }
        if (lowerName == u"integer") {
            return Variant(automation::ToInteger(value));
        }
        if (lowerName == u"long") {
            return Variant(automation::ToLong(value));
        }
        if (unquoteText && lowerName == u"string") {
            return Variant(Unquote(automation::ToString(value)));
        }
    } catch (const automation::Error&) {
        return Variant();
    }
    return value;
}

} // namespace

std::u16string_view TrimBlanks(std::u16string_view text) noexcept {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(u' ');
    return text.substr(first, last - first + 1);
}

std::vector<std::u16string_view> SplitText(std::u16string_view text, std::u16string_view separator) {
    std::vector<std::u16string_view> parts;
    if (text.empty()) {
        return parts;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t found = text.find(separator, start);
        if (found == std::u16string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, found - start));
        start = found + separator.size();
    }
}

std::u16string NumberText(std::int64_t number) {
    return automation::FromUtf8(std::to_string(number));
}

std::u16string DoubleQuotes(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (char16_t c : text) {
        result.push_back(c);
        if (c == u'"') {
            result.push_back(u'"');
        }
    }
    return result;
}

std::optional<std::u16string> TextOf(const Variant& value) {
    if (value.IsNull() || value.IsArray()) {
        return std::nullopt;
    }
    try {
        return automation::ToString(value);
    } catch (const automation::Error&) {
        return std::nullopt;
    }
}

std::optional<std::u16string> LocateFileNoCase(std::u16string_view folder, std::u16string_view name) {
    // Without a folder there is nothing to look in: never fall back to the current folder.
    if (folder.empty() || name.empty()) {
        return std::nullopt;
    }
    std::u16string exact = system::JoinInside(folder, name);
    if (system::FileExists(exact)) {
        return exact;
    }
    std::optional<std::u16string> found = system::FindNoCase(folder, name);
    if (found && system::FileExists(*found)) {
        return found;
    }
    return std::nullopt;
}

std::optional<xml::Document> LoadProductFile(std::u16string_view file, std::u16string_view kind) {
    std::optional<xml::Document> document = xml::Document::TryLoad(file);
    if (!document) {
        return std::nullopt;
    }
    const xml::Element root = document->DocumentElement();
    const std::u16string expectedRoot =
        automation::ToLower(RemoveSlashesAndSpaces(State().gProductName)) + u"." + automation::ToLower(kind);
    if (!root || automation::ToLower(root.LocalName()) != expectedRoot) {
        return std::nullopt;
    }
    return document;
}

void InitSystemCharset() {
    ModuleState& state = State();
    state.oemCodePage = 0; // read the setting anew
    state.gSystemCodePage = Variant(NumberText(OemCodePage()));
    state.gXmlEncoding = CodePageToCharset(state.gSystemCodePage);
}

std::u16string CodePageToCharset(const Variant& codePage) {
    std::optional<std::u16string> text = TextOf(codePage);
    if (!text) {
        return {};
    }
    std::u16string cleaned;
    for (char16_t c : *text) {
        if (c != u'\0') {
            cleaned.push_back(c);
        }
    }
    const std::u16string_view number = TrimBlanks(cleaned);
    if (number.empty() || number.size() > 5 ||
        !std::all_of(number.begin(), number.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }) ||
        number.front() == u'0') {
        return {};
    }
    int value = 0;
    for (char16_t c : number) {
        value = value * 10 + (c - u'0');
    }
    for (const CharsetCodePages& entry : CharsetTable) {
        for (int listed : entry.codePages) {
            if (listed == value) {
                return std::u16string(entry.charset);
            }
        }
    }
    return {};
}

std::u16string NameToCaption(std::u16string_view name) {
    std::u16string caption;
    caption.reserve(name.size() + 4);
    bool previousUpper = true;
    bool previousBreak = true;
    for (char16_t c : name) {
        const bool isBreakCharacter = c == u' ' || c == u'-' || c == u'_';
        bool isBreak = isBreakCharacter;
        if (isBreakCharacter) {
            previousUpper = true;
        } else {
            // Digits and punctuation equal their upper-case form, so they count as upper case.
            const bool isUpper = automation::UpperChar(c) == c;
            isBreak = isUpper && !previousUpper;
            previousUpper = isUpper;
        }
        if (isBreak && !previousBreak) {
            caption.push_back(u' ');
        }
        previousBreak = isBreak;
        if (!isBreakCharacter) {
            caption.push_back(c);
        }
    }
    return caption;
}

std::u16string RemoveSlashesAndSpaces(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (char16_t c : text) {
        if (c != u'/' && c != u' ') {
            result.push_back(c);
        }
    }
    return result;
}

std::u16string GetSpecialFolderPath(std::int32_t /*window*/, std::int32_t folder) {
    if (folder != SpecialFolderPersonal) {
        return {};
    }
    std::u16string path = system::DocumentsFolder();
    std::erase(path, u'\0');
    std::u16string trimmed(TrimBlanks(path));
    // Work folders below an empty path would land at the root of the file system.
    if (trimmed.empty()) {
        trimmed = system::JoinPath(system::HomeFolder(), u"Documents");
    }
    return trimmed;
}

std::int16_t Percent(std::int32_t position, std::int32_t total) {
    const double divisor = total == 0 ? 1.0 : static_cast<double>(total);
    const double dividend = position > total ? divisor : static_cast<double>(position);
    // Halves round to even, as the runtime rounds.
    return automation::ToInteger(Variant(dividend / divisor * 100.0));
}

std::u16string PadZero(const Variant& value, std::int32_t width) {
    std::u16string text = automation::ToString(value);
    const std::int64_t padding = static_cast<std::int64_t>(width) - static_cast<std::int64_t>(text.size());
    if (padding < 0) {
        automation::Raise(automation::ErrorNumber::InvalidProcedureCall);
    }
    text.insert(0, static_cast<std::size_t>(padding), u'0');
    return text;
}

std::u16string FormatTimestamp(const Variant& value) {
    std::optional<double> serial;
    if (value.Type() == VarType::Date) {
        serial = value.DateValue();
    } else if (value.IsString()) {
        serial = automation::ParseDate(value.StringValue());
    }
    if (!serial) {
        return TextOf(value).value_or(std::u16string());
    }
    const automation::DateParts parts = automation::SplitDate(*serial);
    std::u16string text = PadZero(Variant(parts.year), 4);
    const std::pair<char16_t, int> rest[] = {
        {u'/', parts.month},  {u'/', parts.day},    {u' ', parts.hour},
        {u':', parts.minute}, {u':', parts.second},
    };
    for (const auto& [separator, number] : rest) {
        text.push_back(separator);
        text += PadZero(Variant(number), 2);
    }
    return text;
}

std::u16string SortLines(std::u16string_view text) {
    if (TrimBlanks(text).empty()) {
        return {};
    }
    std::vector<std::u16string> lines;
    for (std::u16string_view line : SplitText(text, u"\r\n")) {
        // Every line is trimmed, so that two lists holding the same names compare equal
        // whatever order they came in.
        lines.emplace_back(TrimBlanks(line));
    }
    std::stable_sort(lines.begin(), lines.end());
    std::u16string joined;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (index > 0) {
            joined += u"\r\n";
        }
        joined += lines[index];
    }
    return joined;
}

Variant ConvertToDataType(const Variant& value, const Variant& typeName) {
    std::optional<std::u16string> name = TextOf(typeName);
    if (!name) {
        return value;
    }
    return ConvertByLowerName(value, automation::ToLower(*name), /*unquoteText=*/true);
}

Variant ConvertByTypeName(const Variant& value, const Variant& typeName) {
    std::optional<std::u16string> name = TextOf(typeName);
    if (!name) {
        return value;
    }
    if (*name == u"Boolean") {
        return ConvertByLowerName(value, u"boolean", false);
    }
    if (*name == u"Integer") {
        return ConvertByLowerName(value, u"integer", false);
    }
    if (*name == u"Long") {
        return ConvertByLowerName(value, u"long", false);
    }
    return value;
}

std::u16string Unquote(std::u16string_view text) {
    std::u16string_view result = TrimBlanks(text);
    while (result.size() >= 2 && (result.front() == u'"' || result.front() == u'\'') &&
           result.back() == result.front()) {
        result = TrimBlanks(result.substr(1, result.size() - 2));
    }
    return std::u16string(result);
}

std::u16string FindExtensionFile(std::u16string_view fileName) {
    const ModuleState& state = State();
    // Only the template's own files can be replaced by an extension; a file of an extension
    // never comes from another one.
    if (state.gSourceFolder == state.gTemplateFolder && state.gExtensions) {
        automation::Object& extensions = *state.gExtensions;
        const std::int32_t count =
            automation::ToLong(automation::CallByName(extensions, u"Count", automation::InvokeRead));
        for (std::int32_t sequence = 1; sequence <= count; ++sequence) {
            Variant extension = automation::CallByName(extensions, u"Seq", automation::InvokeRead,
                                                       {Variant(static_cast<std::int16_t>(sequence))});
            if (!extension.IsObject() || !extension.ObjectValue()) {
                continue;
            }
            const std::u16string name = automation::ToString(
                automation::CallByName(*extension.ObjectValue(), u"Name", automation::InvokeRead));
            if (std::optional<std::u16string> path =
                    LocateFileNoCase(system::JoinInside(state.gExtensionsFolder, name), fileName)) {
                return *path;
            }
        }
    }
    if (std::optional<std::u16string> path = LocateFileNoCase(TrimBlanks(state.gSourceFolder), fileName)) {
        return *path;
    }
    return system::JoinInside(TrimBlanks(state.gSourceFolder), fileName);
}

std::u16string AddTrailingBackslash(std::u16string_view path) {
    std::u16string result(TrimBlanks(path));
    if (!result.empty() && !system::IsPathSeparator(result.back())) {
        result.push_back(u'\\');
    }
    return result;
}

Variant GetRegValue(std::u16string_view root, std::u16string_view section, std::u16string_view name) {
    cRegistry& registry = GetRegistry();
    registry.SetClassKey(root == u"HKLM" ? RootKey::LocalMachine : RootKey::CurrentUser);
    registry.SetSectionKey(std::u16string(section));
    registry.SetValueKey(std::u16string(name));
    Variant value;
    try {
        value = registry.Value();
    } catch (const automation::Error&) {
        // A hive that cannot be read reads like a missing value.
        value = registry.Default();
    }
    State().gRegValueType = registry.ValueType();
    return value;
}

void SetRegValue(std::u16string_view root, std::u16string_view section, std::u16string_view name,
                 std::int32_t& valueType, const Variant& value) {
    cRegistry& registry = GetRegistry();
    registry.SetClassKey(root == u"HKLM" ? RootKey::LocalMachine : RootKey::CurrentUser);
    registry.SetSectionKey(std::u16string(section));
    registry.SetValueKey(std::u16string(name));
    registry.SetValueType(valueType);
    registry.SetValue(value);
}

} // namespace qv
