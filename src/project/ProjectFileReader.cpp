#include "project/internal/ProjectFileReader.h"

#include "project/internal/SettingAttributes.h"

#include "project/QelExtension.h"
#include "project/QelExtensions.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"
#include "project/internal/QelCustomScript.h"
#include "project/internal/QelCustomScripts.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/QelVars.h"

#include "platform/automation/Error.h"
#include "platform/automation/Variant.h"
#include "platform/xml/Node.h"

#include <optional>
#include <string>
#include <vector>

namespace qv {

namespace {

using automation::Variant;

/// The name given to a database whose element names none.
constexpr std::u16string_view UnnamedDatabase = u"kq_db";

[[noreturn]] void RaiseUnreadable(const xml::Element& element, std::u16string_view reason) {
    std::u16string where = u"The element " + element.Name();
    if (element.Line() > 0) {
        where += u" on line " + automation::FromUtf8(std::to_string(element.Line()));
    }
    automation::Raise(automation::ErrorNumber::InvalidProcedureCall, u"Project file",
                      where + u" cannot be read: " + std::u16string(reason));
}

/// Case-insensitive equality of two names, as the database list compares its keys.
bool SameKey(std::u16string_view left, std::u16string_view right) {
    return automation::NoCaseEqual{}(left, right);
}

} // namespace

ProjectFileReader::ProjectFileReader(ProjectFileModel model) : mModel(model) {}

void ProjectFileReader::ReadProjectSettings(const xml::Element& project) const {
    ReadSettingAttributes(project, mModel.settings);
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
        }
    }
}

QelDatabase& ProjectFileReader::Database(const xml::Element& element) const {
    if (mModel.databases.Count() == 0) {
        RaiseUnreadable(element, u"the project has no database");
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
    QelDatabase& database = *mModel.databases.Item(Variant(mModel.databaseName));
    ReadSettingAttributes(element, database);
    ReadNodes(element);
}

void ProjectFileReader::ReadTable(const xml::Element& element) {
    QelDatabase& database = Database(element);
    const std::u16string name = element.GetAttribute(u"TblName").value_or(std::u16string());
    QelTables& tables = *database.tables();
    if (name.empty() || !tables.Add(name)) {
        return;
    }
    if (mOnTable) {
        mOnTable(name);
    }
    QelTable& table = *tables.Find(name);
    table.LoadTableDefault();
    ReadSettingAttributes(element, table);
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
    if (table == nullptr || name.empty()) {
        return;
    }
    QelFields& fields = *table->Fields();
    if (!fields.Add(name)) {
        return;
    }
    QelField& field = *fields.Find(name);
    ReadSettingAttributes(element, field);
    field.SetFldVar(ToIdentifier(field.FldName(), u"x_"));
    SetFieldQuotes(field, GetDBTypeId(database.DBDBMSName()));
    if (field.FldAutoIncrement()) {
        field.SetFldAdd(false);
    }
}

void ProjectFileReader::ReadExtension(const xml::Element& element) {
    const std::u16string name = element.GetAttribute(u"Name").value_or(std::u16string());
    if (mModel.extensions == nullptr || name.empty()) {
        return;
    }
    // The lists' case rule: a name in another letter case denotes the listed extension, and a
    // repeated one overwrites its template.
    automation::Ref<QelExtension> extension = mModel.extensions->AddOrFind(name);
    ReadSettingAttributes(element, *extension);
}

void ProjectFileReader::ReadMasterDetail(const xml::Element& element) {
    if (mModel.masterDetails == nullptr) {
        return;
    }
    automation::Ref<QelMasterDetail> pair =
        mModel.masterDetails->AddOrFind(element.GetAttribute(u"MasterTable").value_or(std::u16string()),
                                        element.GetAttribute(u"DetailTable").value_or(std::u16string()));
    if (!pair) {
        return;
    }
    for (const xml::Element& child : element.ChildElements()) {
        if (child.Name() == u"Relation") {
            pair->AddRelation(child.GetAttribute(u"MasterField").value_or(std::u16string()),
                              child.GetAttribute(u"DetailField").value_or(std::u16string()));
        }
    }
}

void ProjectFileReader::ReadCustomScript(const xml::Element& element) {
    if (mModel.customScripts == nullptr) {
        return;
    }
    std::u16string keys[6];
    const std::u16string_view names[6] = {u"ScriptType",   u"ScriptCodeType", u"ScriptName",
                                          u"ScriptCtrlID", u"ScriptL1Key",    u"ScriptL2Key"};
    for (std::size_t index = 0; index < 6; ++index) {
        keys[index] = element.GetAttribute(names[index]).value_or(std::u16string());
    }
    automation::Ref<QelCustomScript> script =
        mModel.customScripts->AddOrFind({keys[0], keys[1], keys[2], keys[3], keys[4], keys[5]});
    if (!script) {
        return;
    }
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
            RaiseUnreadable(element, u"the project has no database");
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
