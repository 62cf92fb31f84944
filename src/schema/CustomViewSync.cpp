#include "schema/internal/CustomViewSync.h"

#include "schema/internal/QelSchema.h"
#include "schema/internal/SyncSupport.h"
#include "schema/internal/TableSync.h"

#include "project/Qel.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Error.h"
#include "platform/automation/Ref.h"

#include <string>
#include <vector>

namespace qv {

using automation::Ref;
using automation::Variant;

template <class Step>
void CustomViewSync::ForEachOfType(std::u16string_view type, std::u16string_view stage, Step step) {
    sync::CopyDefaultsState(mProject);
    const sync::BusyWindow window(mProject, stage);
    QelTables& tables = *mProject.db()->tables();
    std::vector<std::u16string> names;
    for (QelTable& table : tables) {
        if (table.TblType() == type) {
            names.push_back(table.TblName());
        }
    }
    for (const std::u16string& name : names) {
        step(name);
    }
    tables.SetSeq(1);
}

void CustomViewSync::SyncCustomViews() {
    ForEachOfType(u"CUSTOMVIEW", u" - Synchronizing Custom Views...",
                  [&](std::u16string_view name) { SyncCustom(name); });
}

void CustomViewSync::SyncReports() {
    ForEachOfType(u"REPORT", u" - Synchronizing Reports...",
                  [&](std::u16string_view name) { SyncReport(name); });
}

void CustomViewSync::TellOfFailures() {
    std::vector<std::pair<std::u16string, std::u16string>> failed;
    const std::u16string prefix = State().gMsgPrefix + u": ";
    for (QelTable& table : *mProject.db()->tables()) {
        const bool isView = table.TblType() == u"CUSTOMVIEW";
        if ((!isView && table.TblType() != u"REPORT") || table.TblCustomError().empty()) {
            continue;
        }
        std::u16string why = table.TblCustomError();
        if (why.starts_with(prefix)) {
            why.erase(0, prefix.size());
        }
        failed.emplace_back((isView ? u"custom view \"" : u"report \"") + table.TblName() + u"\"",
                            std::move(why));
    }
    sync::TellOfEach(u"The ", u" could not be synchronised and is kept as it was",
                     u" custom views and reports could not be synchronised and are kept as they were",
                     failed);
}

void CustomViewSync::SyncCustom(std::u16string_view name) {
    ModuleState& state = State();
    QelTable& view = sync::TableNamed(mProject, name, u"Qel.SyncCustom");
    const Ref<QelSchema> reader = automation::MakeRef<QelSchema>();
    if (reader->LoadADOCustomView(mProject.CustomViewConnStr(), Variant(view.TblName()),
                                  Variant(view.TblCustomSQL())) > 0) {
        // The reader gives its reason with every failure; the view keeps it.
        view.SetTblCustomError(state.gProjErr);
        state.gProjErr.clear();
        return;
    }
    view.SetTblCustomError(u"");
    QelFields& fields = *view.Fields();
    for (QelField& field : fields) {
        field.SetFldSync(false);
    }
    const QoSchemaTable& record = reader->Table(1);
    TableSync::SetTableFromSchema(view, record, false);

    TableSync::MergeFields(fields, record);
    sync::RemoveUnmatchedFields(fields);
    if (!view.TblKey().empty()) {
        Qel::ApplyTableKeyToFields(view);
    }
    try {
        view.ParseCustomSql();
    } catch (const automation::Error&) {
        // Without the analyser the fields merely lack their sources.
    }
    fields.SetSeq(1);
}

void CustomViewSync::SyncReport(std::u16string_view name) {
    ModuleState& state = State();
    QelTable& report = sync::TableNamed(mProject, name, u"Qel.SyncReport");
    QelTables& tables = *mProject.db()->tables();
    QelTable* source = tables.Find(report.TblRptSrc());
    if (source == nullptr) {
        report.SetTblCustomError(state.gMsgPrefix + u": Source Table not found");
        return;
    }
    if (!source->TblCustomError().empty()) {
        report.SetTblCustomError(state.gMsgPrefix + u": Source Table Error");
        return;
    }
    // A source whose fields are not loaded has nothing to compare with: the report would lose
    // every field.
    if (!source->TblLoaded()) {
        report.SetTblCustomError(state.gMsgPrefix + u": Source Table not loaded");
        return;
    }
    SetReportFromSource(report, *source, false);
    QelFields& fields = *report.Fields();
    QelFields& sourceFields = *source->Fields();
    for (QelField& field : fields) {
        field.SetFldSync(false);
    }
    for (QelField& field : sourceFields) {
        field.SetFldSync(false);
    }

    for (QelField& sourceField : sourceFields) {
        for (QelField& field : fields) {
            if (!field.FldSync() && field.FldName() == sourceField.FldName() &&
                field.FldType() == sourceField.FldType()) {
                CopyFieldAttributes(field, sourceField, false);
                field.SetFldSync(true);
                sourceField.SetFldSync(true);
                break;
            }
        }
    }
    for (QelField& sourceField : sourceFields) {
        if (sourceField.FldSync()) {
            continue;
        }
        QelField* field = fields.Find(sourceField.FldName());
        // A field whose source changed its type is rebuilt in place, as in tables and custom
        // views, rather than deleted.
        if (field == nullptr) {
            if (QelField* other = sync::TakeOtherCase(fields, sourceField.FldName())) {
                other->SetFldSync(true);
                CopyFieldAttributes(*other, sourceField, other->FldType() != sourceField.FldType());
                continue;
            }
            if (!fields.Add(sourceField.FldName())) {
                continue;
            }
            field = fields.Find(sourceField.FldName());
        } else if (field->FldSync()) {
            continue;
        }
        field->SetFldSync(true);
        CopyFieldAttributes(*field, sourceField, true);
    }
    sync::RemoveUnmatchedFields(fields);
    fields.SetSeq(1);
    report.SetTblCustomError(u"");
}

void CustomViewSync::SetReportFromSource(QelTable& report, const QelTable& source, bool isNew) {
    report.SetTblUpdatable(source.TblUpdatable());
    report.SetTblSQL(source.TblSQL());
    if (!isNew && report.TblKey().empty()) {
        report.SetTblKey(source.TblKey());
    }
}

void CustomViewSync::CopyFieldAttributes(QelField& target, const QelField& source, bool isNew) {
    target.SetFldType(source.FldType());
    target.SetFldIsPrimaryKey(source.FldIsPrimaryKey());
    target.SetFldAutoIncrement(source.FldAutoIncrement());
    target.SetFldAttribute(source.FldAttribute());
    target.SetFldReq(source.FldReq());
    sync::SetSize(target, source.FldSize());
    target.SetFldSupport(source.FldSupport());
    target.SetFldUniqueIdx(source.FldUniqueIdx());
    target.SetFldZeroLen(source.FldZeroLen());
    target.SetFldQuoteS(source.FldQuoteS());
    target.SetFldQuoteE(source.FldQuoteE());
    if (isNew) {
        target.SetFldGenerate(source.FldSupport());
        target.SetFldRequired(source.FldReq());
        target.SetFldDefault(source.FldDefault());
        target.SetFldCaption(source.FldCaption());
        target.LoadFldDefault();
        return;
    }
    if (sync::IsEmptyText(target.FldDefault())) {
        target.SetFldDefault(source.FldDefault());
    }
}

} // namespace qv
