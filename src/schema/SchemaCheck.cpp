#include "schema/SchemaCheck.h"

#include "schema/QelSchema.h"

#include "project/Qel.h"

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"
#include "core/VbText.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <algorithm>
#include <limits>

namespace qv {

namespace {

bool IsTableOrView(std::u16string_view type) {
    return type == u"TABLE" || type == u"VIEW";
}

/// The project's fields of a table that the schema record does not have.
std::int32_t FieldsOnlyInProject(QelTable& table, const QoSchemaTable& record) {
    std::int32_t count = 0;
    for (QelField& field : *table.Fields()) {
        bool found = false;
        for (std::int16_t j = 1; j <= record.TblFldCnt && !found; ++j) {
            found = record.Field(j) != nullptr && record.Field(j)->FldName == field.FldName();
        }
        count += found ? 0 : 1;
    }
    return count;
}

/// A count as the Integer the host reads; a drift beyond its range still reads as a drift.
std::int16_t AsInteger(std::int64_t count) {
    return static_cast<std::int16_t>(std::min<std::int64_t>(count, std::numeric_limits<std::int16_t>::max()));
}

} // namespace

template <class Step> std::int32_t SchemaCheck::WithProgress(std::u16string_view stage, Step step) {
    ModuleState& state = State();
    QelStatus& status = GetStatus();
    state.gStatusCaption = state.gMsgPrefix + std::u16string(stage);
    status.ShowStatus2(mProject.lhWnd(), FrameText(state.gStatusCaption));
    status.DispStatus(u"Please wait...");
    std::int32_t count = 0;
    try {
        count = step();
    } catch (const automation::Error&) {
        status.CloseStatus();
        throw;
    }
    status.CloseStatus();
    return count;
}

std::int16_t SchemaCheck::CheckDB() {
    ModuleState& state = State();
    state.gProjErr.clear();
    const automation::Ref<QelDatabase> database = mProject.db();
    if (!database) {
        // Said, not raised: the host reads the text, and -1 is the check's own "could not read".
        state.gProjErr = state.gMsgPrefix + u": Database not loaded!";
        return -1;
    }
    state.gStatusCaption = state.gMsgPrefix + u" - Database Synchronization check...";
    const automation::Ref<QelSchema> schema = automation::MakeRef<QelSchema>();
    if (!schema->LoadDB(*database) || !state.gProjErr.empty()) {
        return -1;
    }
    std::int64_t count = CheckTablesAndViews(*schema);
    count += CheckCustomViews();
    count += CheckReports();
    return AsInteger(count);
}

std::int32_t SchemaCheck::CheckTablesAndViews(const QelSchema& schema) {
    return WithProgress(u" - Checking Database...", [&] {
        QelTables& tables = *mProject.db()->tables();
        auto correspondingTable = [&](const QoSchemaTable& record) -> QelTable* {
            for (QelTable& table : tables) {
                if (IsTableOrView(table.TblType()) && table.TblName() == record.TblName &&
                    table.TblType() == record.TblType) {
                    return &table;
                }
            }
            return nullptr;
        };

        std::int32_t count = 0;
        for (std::int16_t i = 1; i <= schema.tblcnt(); ++i) {
            const QoSchemaTable& record = schema.Table(i);
            QelTable* table = correspondingTable(record);
            // A column the project cannot hold beside another of its name stays a difference.
            const auto duplicates = static_cast<std::int32_t>(record.TblDuplicates.size());
            if (table == nullptr) {
                // A new table, and each of its fields.
                count += 1 + record.TblFldCnt + duplicates;
                continue;
            }
            if (!table->TblLoaded()) {
                continue;
            }
            if (table->TblType() == u"TABLE" && SortLines(table->TblKey()) != SortLines(record.TblKey)) {
                ++count;
            }
            QelFields& fields = *table->Fields();
            std::int32_t fieldChanges = 0;
            for (std::int16_t j = 1; j <= record.TblFldCnt; ++j) {
                const QoSchemaField& column = *record.Field(j);
                const QelField* field = fields.Find(column.FldName);
                if (field == nullptr || !FieldMatchesSchema(column, *field)) {
                    ++fieldChanges;
                }
            }
            // A field dropped from the table shows in the field count.
            count += fieldChanges + duplicates;
            if (fieldChanges > 0 || duplicates > 0 || record.TblFldCnt != fields.Count()) {
                ++count;
            }
        }

        for (QelTable& table : tables) {
            if (!IsTableOrView(table.TblType())) {
                continue;
            }
            bool found = false;
            for (std::int16_t i = 1; i <= schema.tblcnt() && !found; ++i) {
                found =
                    schema.Table(i).TblName == table.TblName() && schema.Table(i).TblType == table.TblType();
            }
            if (!found) {
                // A missing table, and each of its fields.
                count += 1 + table.Fields()->Count();
            }
        }
        return count;
    });
}

std::int32_t SchemaCheck::CheckCustomViews() {
    return WithProgress(u" - Checking Custom View...", [&] {
        std::int32_t count = 0;
        for (QelTable& table : *mProject.db()->tables()) {
            if (table.TblType() == u"CUSTOMVIEW") {
                count += CheckCustomView(table);
            }
        }
        return count;
    });
}

std::int32_t SchemaCheck::CheckCustomView(QelTable& view) {
    ModuleState& state = State();
    try {
        const automation::Ref<QelSchema> reader = automation::MakeRef<QelSchema>();
        if (reader->LoadADOCustomView(mProject.CustomViewConnStr(), automation::Variant(view.TblName()),
                                      automation::Variant(view.TblCustomSQL())) > 0) {
            // A view that cannot be read now is no difference: it says why instead, and the text
            // moves there, so that a check that went through ends with no error text.
            view.SetTblCustomError(state.gProjErr);
            state.gProjErr.clear();
            return 0;
        }
        view.SetTblCustomError(u"");
        const QoSchemaTable& record = reader->Table(1);
        std::int32_t count = 0;
        for (std::int16_t j = 1; j <= record.TblFldCnt; ++j) {
            const QoSchemaField& column = *record.Field(j);
            const QelField* field = view.Fields()->Find(column.FldName);
            count += field == nullptr || !FieldMatchesSchema(column, *field) ? 1 : 0;
        }
        return count + FieldsOnlyInProject(view, record) +
               static_cast<std::int32_t>(record.TblDuplicates.size());
    } catch (const automation::Error& error) {
        state.gProjErr = error.Description();
        return 0;
    }
}

std::int32_t SchemaCheck::CheckReports() {
    return WithProgress(u" - Checking Report...", [&] {
        std::int32_t count = 0;
        for (QelTable& table : *mProject.db()->tables()) {
            if (table.TblType() == u"REPORT") {
                count += CheckReport(table);
            }
        }
        return count;
    });
}

std::int32_t SchemaCheck::CheckReport(QelTable& report) {
    ModuleState& state = State();
    try {
        QelTable* source = mProject.db()->tables()->Find(report.TblRptSrc());
        if (source == nullptr) {
            report.SetTblCustomError(state.gMsgPrefix + u": Source Table not found");
            return 0;
        }
        QelFields& reportFields = *report.Fields();
        std::int32_t count = 0;
        for (QelField& field : *source->Fields()) {
            const QelField* copy = reportFields.Find(field.FldName());
            count += copy == nullptr || !FieldsMatch(field, *copy) ? 1 : 0;
        }
        for (QelField& field : reportFields) {
            count += source->Fields()->Find(field.FldName()) == nullptr ? 1 : 0;
        }
        return count;
    } catch (const automation::Error& error) {
        state.gProjErr = error.Description();
        return 0;
    }
}

bool SchemaCheck::FieldMatchesSchema(const QoSchemaField& column, const QelField& field) {
    return column.FldType == field.FldType() && column.FldSize == field.FldSize() &&
           column.FldUniqueIdx == field.FldUniqueIdx() && column.FldZeroLen == field.FldZeroLen() &&
           column.FldReq == field.FldReq() && column.FldAutoIncrement == field.FldAutoIncrement() &&
           column.FldAttribute == field.FldAttribute();
}

bool SchemaCheck::FieldsMatch(const QelField& a, const QelField& b) {
    return a.FldType() == b.FldType() && a.FldSize() == b.FldSize() && a.FldUniqueIdx() == b.FldUniqueIdx() &&
           a.FldZeroLen() == b.FldZeroLen() && a.FldReq() == b.FldReq() &&
           a.FldAutoIncrement() == b.FldAutoIncrement() && a.FldAttribute() == b.FldAttribute();
}

} // namespace qv
