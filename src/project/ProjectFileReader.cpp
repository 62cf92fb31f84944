#include "project/ProjectFileReader.h"

#include "project/SettingAttributes.h"

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
