#include "SettingAccess.h"

#include "CommandLine.h"
#include "Session.h"

#include "project/Qel.h"

#include "model/EntityList.h"
#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"
#include "model/table/TableNameReading.h"

#include "core/QelVars.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace qv::cli {

namespace {

// Letter case is ignored as the project's lists ignore it in their keys, and connection strings
// in theirs: names those take for one ("ID" and "ıd", "Pass" and "paſſ") are one here too.
using automation::EqualsNoCase;
using automation::InvokeKind;
using automation::InvokeRead;
using automation::Object;
using automation::Ref;
using automation::Variant;

/// The one item whose name equals `name` exactly, else the only one equal without regard to
/// case; null for none or several.
template <class Item, class Range, class NameOf>
Item* FindByName(Range& items, std::u16string_view name, NameOf nameOf) {
    Item* folded = nullptr;
    int foldedCount = 0;
    for (Item& item : items) {
        const std::u16string itemName = nameOf(item);
        if (itemName == name) {
            return &item;
        }
        if (EqualsNoCase(itemName, name)) {
            folded = &item;
            ++foldedCount;
        }
    }
    return foldedCount == 1 ? folded : nullptr;
}

/// The table of that exact name; or, matched ignoring case, the only one of that name in any
/// letter case. Null for none.
QelTable* FindTable(Qel& project, std::u16string_view name, NameMatch match) {
    Ref<QelDatabase> database = project.db();
    if (!database) {
        return nullptr;
    }
    QelTables& tables = *database->tables();
    if (match == NameMatch::Exact) {
        return tables.Find(name);
    }
    return FindByName<QelTable>(tables, name, [](QelTable& table) { return table.TblName(); });
}

Ref<Object> ObjectOf(const Variant& value) {
    return value.IsObject() ? value.ObjectValue() : Ref<Object>();
}

Ref<Object> PropertiesOf(Object& entity) {
    return ObjectOf(automation::CallByName(entity, u"Properties", InvokeRead));
}

/// The setting of that name, or null.
Ref<Object> FindSetting(Object& entity, std::u16string_view name) {
    Ref<Object> bag = PropertiesOf(entity);
    if (!bag) {
        return {};
    }
    return ObjectOf(automation::CallByName(*bag, u"Item", InvokeRead, {Variant(std::u16string(name))}));
}

std::u16string ValueText(const Variant& value) {
    if (value.IsEmpty()) {
        return {};
    }
    if (value.IsNull()) {
        return u"Null";
    }
    if (value.IsObject()) {
        return u"(object)";
    }
    return automation::ToString(value);
}

/// Settings the project file keeps that loading works out again all the same: the database's
/// identifier quotes follow from its kind, a field's quotes from its type and the database's
/// kind, and whether a table is loaded from the fields the file holds for it.
constexpr std::array<std::u16string_view, 5> WorkedOutAtLoad{u"DBQuoteS", u"DBQuoteE", u"FldQuoteS",
                                                             u"FldQuoteE", u"TblLoaded"};

/// Whether a project saved with the setting's value gives it back when loaded: the project file
/// keeps it, and loading does not work it out again.
bool SurvivesSaving(Object& setting) {
    if (!automation::ToBoolean(automation::CallByName(setting, u"FileSave", InvokeRead))) {
        return false;
    }
    const std::u16string name = automation::ToString(automation::CallByName(setting, u"Name", InvokeRead));
    return std::none_of(WorkedOutAtLoad.begin(), WorkedOutAtLoad.end(),
                        [&](std::u16string_view workedOut) { return EqualsNoCase(name, workedOut); });
}

bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

/// Settings that hold a password: DBPwd, SecPasswd, SMTPServerPassword. (SecPasswdFld names the
/// field that holds the users' passwords, and is none.)
bool IsPasswordSetting(std::u16string_view name) {
    return EndsWithNoCase(name, u"Pwd") || EndsWithNoCase(name, u"Passwd") ||
           EndsWithNoCase(name, u"Password");
}

/// Settings that hold a connection string: DBConnstr and DBConnstrOra.
bool IsConnectionStringSetting(std::u16string_view name) {
    return name.size() >= 9 && EqualsNoCase(name.substr(0, 9), u"DBConnstr");
}

/// Connection-string keys whose value is a password: ODBC's PWD, the providers' Password and
/// the Access provider's "Jet OLEDB:Database Password".
bool IsPasswordKey(std::u16string_view key) {
    return EqualsNoCase(key, u"PWD") || EndsWithNoCase(key, u"Password");
}

constexpr std::u16string_view Mask = u"********";

bool IsBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

/// How deep MaskConnectionString looks into values that hold connection strings of their own; a
/// value nested deeper is masked whole. A connection reads one level below its own (the ODBC
/// bridge's Extended Properties), so this only bounds the work on a hostile text.
constexpr int MaxNesting = 8;

std::u16string MaskConnectionString(std::u16string_view text, int depth = 0);

/// A value that is no password as show prints it. A value that itself holds "key=value" pieces
/// may be read as a connection string of its own (the ODBC bridge reads its Extended Properties
/// so, and takes the password from there), so it is masked as one: inside its quotes, with the
/// closing character doubled again, and whatever follows the closing quote as it stands.
std::u16string MaskNestedValue(std::u16string_view value, int depth) {
    if (value.find(u'=') == std::u16string_view::npos) {
        return std::u16string(value);
    }
    if (depth >= MaxNesting) {
        return std::u16string(Mask);
    }
    if (value.front() != u'{' && value.front() != u'"' && value.front() != u'\'') {
        return MaskConnectionString(value, depth + 1);
    }
    const char16_t open = value.front();
    const char16_t close = open == u'{' ? u'}' : open;
    std::u16string inner;
    std::size_t position = 1;
    for (; position < value.size(); ++position) {
        if (value[position] == close) {
            if (position + 1 == value.size() || value[position + 1] != close) {
                break;
            }
            ++position;
        }
        inner += value[position];
    }
    const std::u16string maskedInner = MaskConnectionString(inner, depth + 1);
    if (maskedInner == inner) {
        return std::u16string(value);
    }
    std::u16string quoted(1, open);
    for (const char16_t unit : maskedInner) {
        quoted += unit;
        if (unit == close) {
            quoted += close;
        }
    }
    quoted += close;
    quoted += value.substr(std::min(position + 1, value.size()));
    return quoted;
}

/// The connection string as show prints it: the value of every password attribute written as
/// Mask, and everything else as it stands, read as ado::ConnectionString::Parse reads it: "key=value"
/// pieces separated by ";", the key without regard to case and without the blanks around it, a
/// value bare up to the next ";" or quoted in braces (or in double or single quotes, the
/// providers' way) with the closing character doubled inside. A quoted value without its end
/// runs to the end of the text, and is masked whatever its key: where it was meant to end
/// cannot be told, and what follows may be a password. A value that holds a connection string
/// of its own is masked as one (see MaskNestedValue).
std::u16string MaskConnectionString(std::u16string_view text, int depth) {
    std::u16string masked;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t equals = text.find(u'=', position);
        const std::size_t semicolon = text.find(u';', position);
        if (semicolon < equals || equals == std::u16string_view::npos) {
            // A piece without a value: a bare word, or nothing between separators.
            const std::size_t end = std::min(semicolon, text.size());
            masked += text.substr(position, end - position);
            if (end < text.size()) {
                masked += u';';
            }
            position = end + 1;
            continue;
        }
        std::size_t keyStart = position;
        std::size_t keyEnd = equals;
        while (keyStart < keyEnd && IsBlank(text[keyStart])) {
            ++keyStart;
        }
        while (keyEnd > keyStart && IsBlank(text[keyEnd - 1])) {
            --keyEnd;
        }
        const bool isPassword = IsPasswordKey(text.substr(keyStart, keyEnd - keyStart));
        std::size_t valueStart = equals + 1;
        while (valueStart < text.size() && IsBlank(text[valueStart])) {
            ++valueStart;
        }
        // The value runs to valueEnd; the piece to pieceEnd, the ";" after it or the end.
        std::size_t valueEnd = valueStart;
        bool unclosed = false;
        if (valueStart < text.size() &&
            (text[valueStart] == u'{' || text[valueStart] == u'"' || text[valueStart] == u'\'')) {
            const char16_t close = text[valueStart] == u'{' ? u'}' : text[valueStart];
            valueEnd = valueStart + 1;
            while (true) {
                if (valueEnd >= text.size()) {
                    unclosed = true;
                    break;
                }
                if (text[valueEnd] == close) {
                    if (valueEnd + 1 < text.size() && text[valueEnd + 1] == close) {
                        valueEnd += 2;
                        continue;
                    }
                    ++valueEnd;
                    break;
                }
                ++valueEnd;
            }
        }
        const std::size_t pieceEnd = std::min(text.find(u';', valueEnd), text.size());
        if (!unclosed) {
            // Whatever stands after a closing quote is passed over when the value is read; masked
            // with it all the same.
            valueEnd = pieceEnd;
            while (valueEnd > valueStart && IsBlank(text[valueEnd - 1])) {
                --valueEnd;
            }
        }
        masked += text.substr(position, valueStart - position);
        if ((isPassword || unclosed) && valueEnd > valueStart) {
            masked += Mask;
        } else {
            masked += MaskNestedValue(text.substr(valueStart, valueEnd - valueStart), depth);
        }
        masked += text.substr(valueEnd, pieceEnd - valueEnd);
        if (pieceEnd < text.size()) {
            masked += u';';
        }
        position = pieceEnd + 1;
    }
    return masked;
}

/// Every setting of one entity's bag, in its order.
void AppendSettings(Object& entity, std::vector<std::pair<std::u16string, std::u16string>>& settings) {
    Ref<Object> bag = PropertiesOf(entity);
    if (!bag) {
        return;
    }
    const std::int32_t count = automation::ToLong(automation::CallByName(*bag, u"Count", InvokeRead));
    for (std::int32_t position = 1; position <= count; ++position) {
        Ref<Object> setting =
            ObjectOf(automation::CallByName(*bag, u"Item", InvokeRead, {Variant(position)}));
        if (!setting) {
            continue;
        }
        std::u16string name = automation::ToString(automation::CallByName(*setting, u"Name", InvokeRead));
        std::u16string value = ValueText(automation::CallByName(*setting, u"Value", InvokeRead));
        // Listings end up in terminals, logs and bug reports: a password only says that it is set.
        if (IsPasswordSetting(name) && !value.empty()) {
            value = Mask;
        } else if (IsConnectionStringSetting(name)) {
            value = MaskConnectionString(value);
        }
        settings.emplace_back(std::move(name), std::move(value));
    }
}

std::u16string EntityName(Object& entity, std::u16string_view nameSetting) {
    return automation::ToString(automation::CallByName(entity, nameSetting, InvokeRead));
}

/// Refuses a table's or field's new name that is empty (or blanks alone) or that another item of
/// its list bears, letter case ignored: the project knows them by name without regard to case,
/// so of two that shared a name the next load would keep the first and drop the other, with its
/// fields and settings. The item's own name in another letter case is a rename like any other.
void CheckNewName(const SettingTarget& target, std::u16string_view newName) {
    // A name of blanks alone names nothing a user can tell apart or type.
    if (std::all_of(newName.begin(), newName.end(), IsBlank)) {
        throw CommandError("quorvane: set: " + Utf8(target.nameSetting) + " of " + target.description +
                           " cannot be empty; the project knows it by its name");
    }
    Ref<automation::Enumerator> items = target.list->NewEnum();
    for (Variant item; items->Next(item);) {
        Ref<Object> other = ObjectOf(item);
        if (!other || other.Get() == target.entity.Get()) {
            continue;
        }
        const std::u16string otherName = EntityName(*other, target.nameSetting);
        if (EqualsNoCase(otherName, newName)) {
            throw CommandError("quorvane: set: " + target.description + " cannot be renamed " +
                               Utf8(newName) + ": " + target.itemPrefix + Utf8(otherName) +
                               " bears that name, and the project tells names apart without regard to "
                               "letter case");
        }
    }
}

bool IsWholeNumber(std::u16string_view text) {
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        text.remove_prefix(1);
    }
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit >= u'0' && unit <= u'9'; });
}

} // namespace

SettingTarget FindTarget(Qel& project, std::string_view target) {
    if (target.empty()) {
        return {Ref<Object>(&project), "the project", Ref<Object>(project.db().Get()), nullptr, {}, {}};
    }
    const std::u16string name = Utf16(target);
    QelTable* table = nullptr;
    const std::optional<TableNameReading> reading =
        ChooseTableNameReading(name, [&](std::u16string_view tableName, NameMatch match) {
            table = FindTable(project, tableName, match);
            return table != nullptr;
        });
    if (!reading) {
        throw CommandError("quorvane: the project has no table " + std::string(target));
    }
    if (reading->field.empty()) {
        return {Ref<Object>(table),
                "table " + Utf8(table->TblName()),
                {},
                project.db()->tables().Get(),
                u"TblName",
                "table "};
    }
    QelField* field = FindByName<QelField>(*table->Fields(), reading->field,
                                           [](QelField& candidate) { return candidate.FldName(); });
    if (!field) {
        // Named as the user typed it: the table found may be spelt otherwise, and where the
        // database holds both spellings, the project's is not the one the user meant.
        throw CommandError("quorvane: table " + Utf8(reading->table) + " has no field " +
                           Utf8(reading->field) +
                           (table->TblLoaded() ? "" : " (its fields are not loaded: use load-table)"));
    }
    return {Ref<Object>(field),
            "field " + Utf8(table->TblName()) + "." + Utf8(field->FldName()),
            {},
            table->Fields().Get(),
            u"FldName",
            "field " + Utf8(table->TblName()) + "."};
}

std::vector<std::pair<std::u16string, std::u16string>> ListSettings(const SettingTarget& target) {
    std::vector<std::pair<std::u16string, std::u16string>> settings;
    AppendSettings(*target.entity, settings);
    if (target.database) {
        AppendSettings(*target.database, settings);
    }
    return settings;
}

std::u16string EscapeValue(std::u16string_view text) {
    std::u16string escaped;
    escaped.reserve(text.size());
    for (const char16_t unit : text) {
        switch (unit) {
        case u'\\':
            escaped += u"\\\\";
            break;
        case u'\r':
            escaped += u"\\r";
            break;
        case u'\n':
            escaped += u"\\n";
            break;
        case u'\t':
            escaped += u"\\t";
            break;
        default:
            escaped += unit;
        }
    }
    return escaped;
}

std::u16string UnescapeValue(std::u16string_view text) {
    std::u16string plain;
    plain.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (unit != u'\\' || index + 1 == text.size()) {
            plain += unit;
            continue;
        }
        const char16_t next = text[index + 1];
        const char16_t replacement = next == u'\\'  ? u'\\'
                                     : next == u'r' ? u'\r'
                                     : next == u'n' ? u'\n'
                                     : next == u't' ? u'\t'
                                                    : u'\0';
        if (replacement == u'\0') {
            plain += unit;
            continue;
        }
        plain += replacement;
        ++index;
    }
    return plain;
}

SettingAssignment PrepareAssignment(const SettingTarget& target, std::string_view assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        throw CommandError("quorvane: set: '" + std::string(assignment) + "' is not NAME=VALUE", 2);
    }
    const std::string name(assignment.substr(0, equals));
    const std::u16string text = UnescapeValue(Utf16(assignment.substr(equals + 1)));
    SettingAssignment result;
    result.owner = target.entity;
    Ref<Object> setting = FindSetting(*result.owner, Utf16(name));
    if (!setting && target.database) {
        result.owner = target.database;
        setting = FindSetting(*result.owner, Utf16(name));
    }
    if (!setting) {
        throw CommandError("quorvane: set: " + target.description + " has no setting " + name +
                           " (quorvane show lists them)");
    }
    const std::string description =
        result.owner.Get() == target.database.Get() ? "the project's database" : target.description;
    result.name = automation::ToString(automation::CallByName(*setting, u"Name", InvokeRead));
    // Stored now, such a value would be gone when the project is next loaded, after "Saved".
    if (!SurvivesSaving(*setting)) {
        throw CommandError("quorvane: set: " + Utf8(result.name) + " of " + description +
                           " cannot be set; the library works it out itself and keeps no value given to it" +
                           (EqualsNoCase(result.name, u"TblLoaded")
                                ? " (it follows from the fields the project holds: load-table and "
                                  "unload-table change them)"
                                : ""));
    }
    if (target.list != nullptr && result.name == target.nameSetting) {
        CheckNewName(target, text);
        result.renamedIn = target.list;
    }
    const std::u16string dataType =
        automation::ToString(automation::CallByName(*setting, u"DataType", InvokeRead));
    const std::string invalid = "quorvane: set: " + Utf8(result.name) + " of " + description + " takes " +
                                Utf8(dataType) + " values, not '" + Utf8(text) + "'";
    if (EqualsNoCase(dataType, u"Boolean")) {
        if (!EqualsNoCase(text, u"True") && !EqualsNoCase(text, u"False")) {
            throw CommandError(invalid + " (True or False)");
        }
        result.value = Variant(EqualsNoCase(text, u"True"));
    } else if (EqualsNoCase(dataType, u"Integer") || EqualsNoCase(dataType, u"Long")) {
        if (!IsWholeNumber(text)) {
            throw CommandError(invalid);
        }
        try {
            result.value = EqualsNoCase(dataType, u"Integer") ? Variant(automation::ToInteger(Variant(text)))
                                                              : Variant(automation::ToLong(Variant(text)));
        } catch (const automation::Error&) {
            throw CommandError(invalid + " (out of range)");
        }
    } else {
        // The library reads any quote style it does not know as the database's own, so a
        // misspelt one ("double quote") would change nothing without a word.
        if (EqualsNoCase(result.name, u"SQLQuote") && !IsQuoteStyleName(text)) {
            throw CommandError("quorvane: set: SQLQuote takes " + Utf8(QuoteStyleNames()) +
                               ", written exactly so, or nothing for the database's own quotes; not '" +
                               Utf8(text) + "'");
        }
        result.value = Variant(text);
    }
    return result;
}

void ApplyAssignment(const SettingAssignment& assignment) {
    Object& entity = *assignment.owner;
    if (assignment.renamedIn != nullptr) {
        // Through the list, so that its key follows the name and the identifier is derived again:
        // stored in the bag alone, the name would leave the table or field under its old key.
        const std::u16string oldName = EntityName(entity, assignment.name);
        [[maybe_unused]] const bool renamed =
            assignment.renamedIn->Change(oldName, automation::ToString(assignment.value));
        assert(renamed &&
               "PrepareAssignment refuses an empty name, and the list holds the entity by its name");
        return;
    }
    if (entity.GetDispId(assignment.name)) {
        try {
            automation::CallByName(entity, assignment.name, InvokeKind::PropertyLet, {assignment.value});
            return;
        } catch (const automation::Error& error) {
            // 438: a member that cannot be assigned (a read-only setting such as the database's
            // DBDBMSName, which the library reads from the database itself).
            if (error.Number() != automation::ErrorNumber::ObjectDoesNotSupport) {
                throw;
            }
            throw CommandError("quorvane: set: " + Utf8(assignment.name) +
                               " cannot be set; the library works it out from other settings or the "
                               "database");
        }
    }
    Ref<Object> setting = FindSetting(entity, assignment.name);
    automation::CallByName(*setting, u"Value", InvokeKind::PropertyLet, {assignment.value});
}

} // namespace qv::cli
