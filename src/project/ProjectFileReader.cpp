#include "project/internal/ProjectFileReader.h"

#include "project/internal/SettingAttributes.h"

#include "project/QelExtension.h"
#include "project/QelExtensions.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"
#include "project/SkippedElement.h"
#include "project/internal/QelCustomScript.h"
#include "project/internal/QelCustomScripts.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"
#include "core/QelVars.h"

#include "platform/automation/Error.h"
#include "platform/automation/Variant.h"
#include "platform/xml/Node.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace qv {

namespace {

using automation::Variant;

/// The name given to a database whose element names none.
constexpr std::u16string_view UnnamedDatabase = u"kq_db";

// The attributes of elements that are not settings of their entity.
constexpr std::u16string_view ProjectAttributes[] = {u"Version"};
constexpr std::u16string_view PairAttributes[] = {u"MasterTable", u"DetailTable"};
constexpr std::u16string_view RelationAttributes[] = {u"MasterField", u"DetailField"};
constexpr std::u16string_view ScriptKeys[] = {u"ScriptType",   u"ScriptCodeType", u"ScriptName",
                                              u"ScriptCtrlID", u"ScriptL1Key",    u"ScriptL2Key"};

/// Case-insensitive equality of two names, as the database list compares its keys.
bool SameKey(std::u16string_view left, std::u16string_view right) {
    return automation::NoCaseEqual{}(left, right);
}

// The texts that name an element read past: where it stands and what it is.

std::u16string OnLine(const xml::Element& element) {
    if (element.Line() <= 0) {
        return {};
    }
    return u" on line " + automation::FromUtf8(std::to_string(element.Line()));
}

std::u16string Quoted(std::u16string_view name) {
    return u"\"" + std::u16string(name) + u"\"";
}

/// " with its 3 fields", " with its field": the child elements named `child` that go with a
/// skipped element.
std::u16string WithChildren(const xml::Element& element, std::u16string_view child, std::u16string_view one,
                            std::u16string_view many) {
    std::size_t count = 0;
    for (const xml::Element& each : element.ChildElements()) {
        count += each.Name() == child ? 1 : 0;
    }
    if (count == 0) {
        return {};
    }
    if (count == 1) {
        return u" with its " + std::u16string(one);
    }
    return u" with its " + automation::FromUtf8(std::to_string(count)) + u" " + std::u16string(many);
}

/// Why a second table or field of a name was refused, `earlier` being the one that bears it.
std::u16string NameTakenText(std::u16string_view kind, std::u16string_view holder, std::u16string_view name,
                             std::u16string_view earlier) {
    if (earlier == name) {
        return u"the " + std::u16string(kind) + u" before it bears that name, and " + std::u16string(holder) +
               u" cannot hold two " + std::u16string(kind) + u"s of one name";
    }
    return u"its name differs only in letter case from the " + std::u16string(kind) + u" " + Quoted(earlier) +
           u" before it, and " + std::u16string(holder) + u" cannot hold both";
}

/// The name of the table or field of a list that made `name` taken: the first one named so,
/// letter case aside.
template <class List, class NameOf>
std::u16string TakenBy(List& list, std::u16string_view name, NameOf nameOf) {
    for (const auto& entity : list) {
        std::u16string own = nameOf(entity);
        if (SameKey(own, name)) {
            return own;
        }
    }
    return std::u16string(name);
}

} // namespace

void RaiseUnreadable(const xml::Element& element, std::u16string_view reason) {
    std::u16string where = u"The element " + element.Name();
    if (element.Line() > 0) {
        where += u" on line " + automation::FromUtf8(std::to_string(element.Line()));
    }
    automation::Raise(automation::ErrorNumber::InvalidProcedureCall, u"Project file",
                      where + u" cannot be read: " + std::u16string(reason));
}

ProjectFileReader::ProjectFileReader(ProjectFileModel model) : mModel(model) {}

void ProjectFileReader::ReadProjectSettings(const xml::Element& project) {
    SkipAttributes(project, ReadSettingAttributes(project, mModel.settings, ProjectAttributes));
}

void ProjectFileReader::ReadNodes(const xml::Element& parent) {
    for (const xml::Element& child : parent.ChildElements()) {
        const std::u16string name = child.Name();
        if (name == u"Database") {
            ReadDatabase(child);
        } else if (name == u"Table") {
            ReadTable(child);
        } else if (name == u"Field") {
            ReadField(child);
        } else if (name == u"Extension") {
            ReadExtension(child);
        } else if (name == u"MasterDetail") {
            ReadMasterDetail(child);
        } else if (name == u"CustomScript") {
            ReadCustomScript(child);
        } else {
            SkipUnknown(child);
        }
    }
}

void ProjectFileReader::Skip(std::u16string text, std::u16string fix) {
    if (mModel.skipped != nullptr) {
        mModel.skipped->push_back({State().gMsgPrefix + u": " + text + u".", std::move(fix)});
    }
}

void ProjectFileReader::SkipUnknown(const xml::Element& element) {
    const std::u16string what = u"element " + Quoted(element.Name()) + OnLine(element);
    Skip(u"The " + what + u" is skipped: the project file has no element of that name there",
         u"remove the " + what);
}

void ProjectFileReader::SkipChildElements(const xml::Element& element) {
    for (const xml::Element& child : element.ChildElements()) {
        SkipUnknown(child);
    }
}

void ProjectFileReader::SkipAttributes(const xml::Element& element,
                                       const std::vector<UnreadAttribute>& unread) {
    for (const UnreadAttribute& attribute : unread) {
        const std::u16string what =
            u"attribute " + Quoted(attribute.name) + u" of the element " + element.Name() + OnLine(element);
        Skip(u"The " + what + u" is skipped: " + attribute.reason, u"correct or remove the " + what);
    }
}

bool ProjectFileReader::ReadBefore(const automation::Object* entry) {
    if (std::find(mEntriesRead.begin(), mEntriesRead.end(), entry) != mEntriesRead.end()) {
        return true;
    }
    mEntriesRead.push_back(entry);
    return false;
}

QelDatabase& ProjectFileReader::Database(const xml::Element& element) const {
    if (mModel.databases.Count() == 0) {
        RaiseUnreadable(element,
                        u"it comes before any Database element, and the project has no database yet");
    }
    return *mModel.databases.Item(Variant(mModel.databaseName));
}

void ProjectFileReader::ReadDatabase(const xml::Element& element) {
    std::u16string name = mModel.databaseName;
    if (std::optional<std::u16string> attribute = element.GetAttribute(u"DBName")) {
        name = attribute->empty() ? std::u16string(UnnamedDatabase) : *attribute;
    }
    // The current name changes only with the database it names: a second database is refused
    // and must not leave the project pointing at a database it does not hold.
    if (mModel.databases.Count() == 0) {
        mModel.databases.Add(name);
        mModel.databaseName = name;
    } else if (!SameKey(name, mModel.databaseName)) {
        RaiseUnreadable(element, u"the project already has the database \"" + mModel.databaseName + u"\"");
    }
    if (mDatabaseRead) {
        Skip(
            u"The Database element" + OnLine(element) + u" is read into the database " +
                Quoted(mModel.databaseName) +
                u" before it, whose settings it replaces: a project holds one database, saved as one element",
            u"join the Database elements into one");
    }
    mDatabaseRead = true;
    QelDatabase& database = *mModel.databases.Item(Variant(mModel.databaseName));
    SkipAttributes(element, ReadSettingAttributes(element, database));
    ReadNodes(element);
}

void ProjectFileReader::ReadTable(const xml::Element& element) {
    QelDatabase& database = Database(element);
    const std::u16string name = element.GetAttribute(u"TblName").value_or(std::u16string());
    QelTables& tables = *database.tables();
    const std::u16string fields = WithChildren(element, u"Field", u"field", u"fields");
    if (name.empty()) {
        Skip(u"A table with no name" + OnLine(element) + u" is skipped" + fields + u": a table needs a name",
             u"give the table" + OnLine(element) + u" a name");
        return;
    }
    if (!tables.Add(name)) {
        Skip(u"The table " + Quoted(name) + OnLine(element) + u" is skipped" + fields + u": " +
                 NameTakenText(u"table", u"a project", name,
                               TakenBy(tables, name, [](const QelTable& each) { return each.TblName(); })),
             u"rename the table " + Quoted(name) + OnLine(element));
        return;
    }
    if (mOnTable) {
        mOnTable(name);
    }
    QelTable& table = *tables.Find(name);
    table.LoadTableDefault();
    SkipAttributes(element, ReadSettingAttributes(element, table));
    table.SetTblVar(ToIdentifier(table.TblName(), u""));
    ReadNodes(element);
    if (table.Fields()->Count() > 0) {
        table.SetTblLoaded(true);
    }
}

void ProjectFileReader::ReadField(const xml::Element& element) {
    QelDatabase& database = Database(element);
    QelTables& tables = *database.tables();
    QelTable* table = tables.Find(tables.curName());
    const std::u16string name = element.GetAttribute(u"FldName").value_or(std::u16string());
    if (table == nullptr) {
        const std::u16string what =
            (name.empty() ? u"field with no name" : u"field " + Quoted(name)) + OnLine(element);
        Skip((name.empty() ? u"A " : u"The ") + what + u" is skipped: it comes before any table",
             u"move the " + what + u" into the Table element of its table");
        return;
    }
    const std::u16string where = u" of the table " + Quoted(table->TblName()) + OnLine(element);
    if (name.empty()) {
        Skip(u"A field with no name" + where + u" is skipped: a field needs a name",
             u"give the field" + where + u" a name");
        return;
    }
    QelFields& fields = *table->Fields();
    if (!fields.Add(name)) {
        Skip(u"The field " + Quoted(name) + where + u" is skipped: " +
                 NameTakenText(u"field", u"a table", name,
                               TakenBy(fields, name, [](const QelField& each) { return each.FldName(); })),
             u"rename the field " + Quoted(name) + where);
        return;
    }
    SkipChildElements(element);
    QelField& field = *fields.Find(name);
    SkipAttributes(element, ReadSettingAttributes(element, field));
    field.SetFldVar(ToIdentifier(field.FldName(), u"x_"));
    SetFieldQuotes(field, GetDBTypeId(database.DBDBMSName()));
    if (field.FldAutoIncrement()) {
        field.SetFldAdd(false);
    }
}

void ProjectFileReader::ReadExtension(const xml::Element& element) {
    const std::u16string name = element.GetAttribute(u"Name").value_or(std::u16string());
    if (mModel.extensions == nullptr) {
        return;
    }
    SkipChildElements(element);
    if (name.empty()) {
        Skip(u"An extension with no name" + OnLine(element) + u" is skipped: an extension needs a name",
             u"give the extension" + OnLine(element) + u" a name");
        return;
    }
    // The lists' case rule: a name in another letter case denotes the listed extension, and a
    // repeated one overwrites its template.
    automation::Ref<QelExtension> extension = mModel.extensions->AddOrFind(name);
    if (ReadBefore(extension.Get())) {
        Skip(u"The extension " + Quoted(name) + OnLine(element) + u" is read into the extension " +
                 Quoted(extension->Name()) +
                 u" before it, whose template it replaces: a project holds one extension of a name, letter "
                 u"case aside",
             u"remove or rename the extension " + Quoted(name) + OnLine(element));
    }
    SkipAttributes(element, ReadSettingAttributes(element, *extension));
}

void ProjectFileReader::ReadMasterDetail(const xml::Element& element) {
    if (mModel.masterDetails == nullptr) {
        return;
    }
    const std::u16string master = element.GetAttribute(u"MasterTable").value_or(std::u16string());
    const std::u16string detail = element.GetAttribute(u"DetailTable").value_or(std::u16string());
    automation::Ref<QelMasterDetail> pair = mModel.masterDetails->AddOrFind(master, detail);
    if (!pair) {
        Skip(u"The master/detail pair" + OnLine(element) + u" is skipped" +
                 WithChildren(element, u"Relation", u"relation", u"relations") +
                 u": it needs both a MasterTable and a DetailTable",
             u"name both tables of the master/detail pair" + OnLine(element));
        return;
    }
    const std::u16string names = Quoted(master) + u"/" + Quoted(detail);
    if (ReadBefore(pair.Get())) {
        Skip(u"The master/detail pair " + names + OnLine(element) + u" is read into the pair " +
                 Quoted(pair->MasterTable()) + u"/" + Quoted(pair->DetailTable()) +
                 u" before it: a project holds one pair of two tables, letter case aside",
             u"join the master/detail pair" + OnLine(element) + u" with the one before it");
    }
    SkipAttributes(element, UnknownAttributes(element, PairAttributes));
    for (const xml::Element& child : element.ChildElements()) {
        if (child.Name() != u"Relation") {
            SkipUnknown(child);
            continue;
        }
        const std::u16string masterField = child.GetAttribute(u"MasterField").value_or(std::u16string());
        const std::u16string detailField = child.GetAttribute(u"DetailField").value_or(std::u16string());
        if (!pair->AddRelation(masterField, detailField)) {
            Skip(u"The relation " + Quoted(masterField) + u"/" + Quoted(detailField) + OnLine(child) +
                     u" of the master/detail pair " + names + u" is skipped: " +
                     (masterField.empty() || detailField.empty()
                          ? u"it needs both a MasterField and a DetailField"
                          : u"the pair has a relation of one of its fields before it, and a field "
                            u"takes part in one relation of a pair"),
                 u"remove or change the relation" + OnLine(child));
        } else {
            SkipAttributes(child, UnknownAttributes(child, RelationAttributes));
            SkipChildElements(child);
        }
    }
}

void ProjectFileReader::ReadCustomScript(const xml::Element& element) {
    if (mModel.customScripts == nullptr) {
        return;
    }
    std::u16string keys[6];
    for (std::size_t index = 0; index < 6; ++index) {
        keys[index] = element.GetAttribute(ScriptKeys[index]).value_or(std::u16string());
    }
    automation::Ref<QelCustomScript> script =
        mModel.customScripts->AddOrFind({keys[0], keys[1], keys[2], keys[3], keys[4], keys[5]});
    if (!script) {
        Skip(u"The custom script" + OnLine(element) +
                 u" is skipped: it needs a ScriptType, a ScriptCodeType and a ScriptName",
             u"give the custom script" + OnLine(element) + u" its ScriptType, ScriptCodeType and ScriptName");
        return;
    }
    SkipChildElements(element);
    if (ReadBefore(script.Get())) {
        Skip(u"The custom script " + Quoted(keys[2]) + OnLine(element) +
                 u" is read into the script of that kind and place before it, whose code it replaces: a "
                 u"project holds one script of a kind and place, letter case aside",
             u"remove the custom script" + OnLine(element) + u" or change its keys");
    }
    SkipAttributes(element, UnknownAttributes(element, ScriptKeys));
    std::optional<std::u16string> code = ScriptCodeOf(element);
    if (!code) {
        RaiseUnreadable(element, u"the script code is not a CDATA section");
    }
    script->SetScriptCode(*code);
}

bool SetFieldQuotes(QelField& field, std::int16_t databaseKind) {
    std::u16string_view quote;
    switch (field.FldType()) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 11:
    case 14:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
    case 131:
    case 139:
        quote = u"";
        break;
    case 8:
    case 72:
    case 129:
    case 130:
    case 200:
    case 201:
    case 202:
    case 203:
    case 205:
        quote = u"'";
        break;
    case 7:
    case 133:
    case 134:
    case 135:
        quote = databaseKind == DBTypeCode::Access ? u"#" : u"'";
        break;
    default:
        return false;
    }
    field.SetFldQuoteS(quote);
    field.SetFldQuoteE(quote);
    return true;
}

} // namespace qv

namespace qv {

namespace {

bool IsLayout(std::u16string_view text) {
    return text.find_first_not_of(u" \t\r\n") == std::u16string_view::npos;
}

/// The walk of CheckProjectNodes: what the file has brought so far.
class NodeCheck {
public:
    NodeCheck(std::optional<std::u16string> databaseName,
              const std::function<bool(std::u16string_view)>& tableListed)
        : mDatabaseName(std::move(databaseName)), mTableListed(tableListed) {}

    void Walk(const xml::Element& parent) {
        for (const xml::Element& child : parent.ChildElements()) {
            const std::u16string name = child.Name();
            if (name == u"Database") {
                Database(child);
            } else if (name == u"Table") {
                Table(child);
            } else if (name == u"Field") {
                RequireDatabase(child);
            } else if (name == u"CustomScript") {
                Script(child);
            }
        }
    }

private:
    void RequireDatabase(const xml::Element& element) const {
        if (!mDatabaseName) {
            RaiseUnreadable(element,
                            u"it comes before any Database element, and the project has no database yet");
        }
    }

    void Database(const xml::Element& element) {
        std::optional<std::u16string> name = element.GetAttribute(u"DBName");
        if (name && name->empty()) {
            name = std::u16string(UnnamedDatabase);
        }
        if (!mDatabaseName) {
            mDatabaseName = name.value_or(std::u16string());
        } else if (name && !SameKey(*name, *mDatabaseName)) {
            RaiseUnreadable(element, u"the project already has the database \"" + *mDatabaseName + u"\"");
        }
        Walk(element);
    }

    void Table(const xml::Element& element) {
        RequireDatabase(element);
        const std::u16string name = element.GetAttribute(u"TblName").value_or(std::u16string());
        if (name.empty() || mTableListed(name)) {
            return;
        }
        for (const std::u16string& seen : mTables) {
            if (SameKey(seen, name)) {
                return;
            }
        }
        mTables.push_back(name);
        Walk(element);
    }

    static void Script(const xml::Element& element) {
        for (std::u16string_view key : {u"ScriptType", u"ScriptCodeType", u"ScriptName"}) {
            if (element.GetAttribute(key).value_or(std::u16string()).empty()) {
                return; // refused by the list, so never read
            }
        }
        if (!ScriptCodeOf(element)) {
            RaiseUnreadable(element, u"the script code is not a CDATA section");
        }
    }

    std::optional<std::u16string> mDatabaseName;
    const std::function<bool(std::u16string_view)>& mTableListed;
    std::vector<std::u16string> mTables;
};

} // namespace

std::optional<std::u16string> ScriptCodeOf(const xml::Element& element) {
    const std::vector<xml::Node> children = element.Children();
    std::size_t first = 0;
    while (first < children.size() && children[first].Kind() == xml::NodeKind::Text &&
           IsLayout(children[first].Value())) {
        ++first;
    }
    if (first == children.size() || children[first].Kind() != xml::NodeKind::CData) {
        return std::nullopt;
    }
    std::size_t last = first;
    for (std::size_t index = first; index < children.size(); ++index) {
        if (children[index].Kind() == xml::NodeKind::CData) {
            last = index;
        }
    }
    std::u16string code;
    for (std::size_t index = first; index <= last; ++index) {
        const xml::NodeKind kind = children[index].Kind();
        if (kind == xml::NodeKind::CData || kind == xml::NodeKind::Text) {
            code += children[index].Value();
        }
    }
    // After the last section: references of characters the charset cannot hold, run together
    // by the parser with the line break that follows the code.
    std::u16string tail;
    for (std::size_t index = last + 1; index < children.size(); ++index) {
        if (children[index].Kind() == xml::NodeKind::Text) {
            tail += children[index].Value();
        }
    }
    tail.erase(tail.find_last_not_of(u" \t\r\n") + 1);
    return code + tail;
}

void CheckProjectNodes(const xml::Element& project, std::optional<std::u16string> databaseName,
                       const std::function<bool(std::u16string_view)>& tableListed) {
    NodeCheck(std::move(databaseName), tableListed).Walk(project);
}

} // namespace qv
