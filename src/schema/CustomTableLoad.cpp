#include "schema/internal/CustomTableLoad.h"

#include "schema/internal/SyncSupport.h"

#include "project/Qel.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/QoProperties.h"

#include "platform/automation/Conversion.h"

#include <string>

namespace qv {

using automation::Variant;

namespace {

/// The argument's text; Empty and Null read as "".
std::u16string TextArgument(const Variant& value) {
    const Variant& plain = value.Deref();
    if (plain.IsEmpty() || plain.IsNull()) {
        return {};
    }
    return automation::ToString(plain);
}

std::u16string ExistsText(const std::u16string& name) {
    return State().gMsgPrefix + u": Table/View " + name + u" already exists!";
}

/// The report fields' page switches, all off whatever the source said.
void ClearPageSwitches(QelField& field) {
    field.SetFldAdd(false);
    field.SetFldView(false);
    field.SetFldEdit(false);
    field.SetFldSearch(false);
    field.SetFldBasicSearch(false);
    field.SetFldExtendedBasicSearch(false);
    field.SetFldMultiUpdate(false);
    field.SetFldRegister(false);
}

} // namespace

void CustomTableLoad::LoadCustomView(const Variant& sTableName, const Variant& sSQL,
                                     const Variant& bCopyFields) {
    ModuleState& state = State();
    state.gProjErr.clear();
    if (mProject.DBCnt() < 1) {
        state.gProjErr = state.gMsgPrefix + u": Database not loaded!";
        return;
    }
    const std::u16string name = TextArgument(sTableName);
    QelDatabase& database = *mProject.db();
    if (database.tables()->IsNameTaken(name)) {
        state.gProjErr = ExistsText(name);
        return;
    }
    mProject.ReloadKeywords();
    QelDatabase::CustomViewResult result;
    {
        const sync::BusyWindow window(mProject, u" - Loading " + name + u"...");
        mProject.CopyLoaderSettings();
        result =
            database.LoadCustomView(TextArgument(mProject.CustomViewConnStr()), name, TextArgument(sSQL));
        const Variant& copy = bCopyFields.Deref();
        if (result.outcome == QelDatabase::CustomViewLoad::Loaded && !copy.IsNull() &&
            automation::IsTrue(copy)) {
            CopySourceSettings(name);
        }
    }
    switch (result.outcome) {
    case QelDatabase::CustomViewLoad::Loaded:
        // What the keyword file left is no failure of the view.
        state.gProjErr.clear();
        return;
    case QelDatabase::CustomViewLoad::NotConnected:
    case QelDatabase::CustomViewLoad::NameRefused:
        state.gProjErr = u"Load Database failed!";
        return;
    case QelDatabase::CustomViewLoad::NotDescribed:
    case QelDatabase::CustomViewLoad::ConnectionFailed:
        state.gProjErr = std::move(result.reason);
        return;
    }
}

void CustomTableLoad::CopySourceSettings(const std::u16string& viewName) {
    QelTables& tables = *mProject.db()->tables();
    QelTable* view = tables.Find(viewName);
    if (view == nullptr) {
        return;
    }
    for (QelField& field : *view->Fields()) {
        const std::u16string sourceTable = field.FldSourceTable();
        const std::u16string sourceFieldName = field.FldSourceField();
        if (sourceTable.empty() || sourceFieldName.empty()) {
            continue;
        }
        QelTable* table = tables.Find(sourceTable);
        if (table == nullptr || !table->TblLoaded()) {
            continue;
        }
        QelField* source = table->Fields()->Find(sourceFieldName);
        if (source == nullptr) {
            continue;
        }
        QoProperties& target = *field.Properties();
        for (QoProperty& setting : *source->Properties()) {
            if (!setting.Sync()) {
                continue;
            }
            if (QoProperty* own = target.Find(setting.Name())) {
                own->SetValue(setting.Value());
            }
        }
    }
}

bool CustomTableLoad::LoadReport(const Variant& sTableName, const Variant& sFromTableName) {
    ModuleState& state = State();
    if (mProject.DBCnt() < 1) {
        state.gProjErr = state.gMsgPrefix + u": Database not loaded!";
        return false;
    }
    const std::u16string name = TextArgument(sTableName);
    const std::u16string sourceName = TextArgument(sFromTableName);
    QelTables& tables = *mProject.db()->tables();
    // The list keys names without regard to letter case: a name taken in another case is as
    // present as an exact one.
    if (tables.IsNameTaken(name)) {
        state.gProjErr = ExistsText(name);
        return false;
    }
    QelTable* source = tables.Find(sourceName);
    if (source == nullptr || !source->TblLoaded()) {
        state.gProjErr = state.gMsgPrefix + u": Table/View " + sourceName + u" not exist or loaded!";
        return false;
    }

    const sync::BusyWindow window(mProject, u" - Loading " + name + u"...");
    if (!tables.Add(name)) {
        return false;
    }
    QelTable& report = *tables.Find(name);
    report.SetTblType(u"REPORT");
    report.SetTblRptSrc(sourceName);
    report.SetTblLoaded(true);
    report.SetTblGen(true);
    report.LoadTableDefault();

    QelFields& fields = *report.Fields();
    for (QelField& sourceField : *source->Fields()) {
        if (!fields.Add(sourceField.FldName())) {
            continue;
        }
        QelField& field = *fields.Find(sourceField.FldName());
        QoProperties& target = *field.Properties();
        for (QoProperty& setting : *sourceField.Properties()) {
            // The name and the place in the list are the report's own.
            if (setting.Name() == u"FldName" || setting.Name() == u"FldSeq") {
                continue;
            }
            if (QoProperty* own = target.Find(setting.Name())) {
                own->SetValue(setting.Value());
            }
        }
        ClearPageSwitches(field);
    }
    state.gProjErr.clear();
    return true;
}

} // namespace qv
