#include "schema/SchemaCheck.h"

#include "schema/internal/MasterDetailCleanup.h"
#include "schema/internal/QelSchema.h"
#include "schema/internal/SyncSupport.h"

#include "project/Qel.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"
#include "core/VbText.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace qv {

namespace {

using sync::IsTableOrView;

/// The project's fields of a table that the schema record does not have.
std::vector<std::u16string> FieldsOnlyInProject(QelTable& table, const QoSchemaTable& record) {
    std::vector<std::u16string> names;
    for (QelField& field : *table.Fields()) {
        bool found = false;
        for (std::int16_t j = 1; j <= record.TblFldCnt && !found; ++j) {
            found = record.Field(j) != nullptr && record.Field(j)->FldName == field.FldName();
        }
        if (!found) {
            names.push_back(field.FldName());
        }
    }
    return names;
}

std::u16string Number(std::int64_t value) {
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

std::u16string Switch(bool value) {
    return value ? u"True" : u"False";
}

/// "FldType 3 in the project, 202 in the database; FldSize ..." for each attribute that differs.
std::u16string AttributeChanges(const QoSchemaField& column, const QelField& field) {
    std::u16string text;
    auto add = [&](std::u16string_view name, const std::u16string& project, const std::u16string& database) {
        if (project == database) {
            return;
        }
        text += (text.empty() ? u"" : u"; ") + std::u16string(name) + u" " + project + u" in the project, " +
                database + u" in the database";
    };
    add(u"FldType", Number(field.FldType()), Number(column.FldType));
    add(u"FldSize", Number(field.FldSize()), Number(column.FldSize));
    add(u"FldUniqueIdx", Switch(field.FldUniqueIdx()), Switch(column.FldUniqueIdx));
    add(u"FldZeroLen", Switch(field.FldZeroLen()), Switch(column.FldZeroLen));
    add(u"FldReq", Switch(field.FldReq()), Switch(column.FldReq));
    add(u"FldAutoIncrement", Switch(field.FldAutoIncrement()), Switch(column.FldAutoIncrement));
    add(u"FldAttribute", Number(field.FldAttribute()), Number(column.FldAttribute));
    return text;
}

std::u16string KeyText(std::u16string_view key) {
    std::u16string text = SortLines(key);
    for (std::size_t position = text.find(u"\r\n"); position != std::u16string::npos;
         position = text.find(u"\r\n", position)) {
        text.replace(position, 2, u", ");
    }
    return u"(" + text + u")";
}

/// The tables and fields a synchronisation would leave, without renames: tables and views as
/// the schema has them (a loaded table takes the schema's columns; one not loaded, or one the
/// schema brings in without reading its columns, has none to check), custom views and reports
/// as they are. Names are compared exactly, as the synchronisation and the pairs do.
class TargetsAfterSync final : public PairTargets {
public:
    TargetsAfterSync(const Qel& project, const QelSchema& schema) : mProject(project), mSchema(schema) {}

    bool HasTable(std::u16string_view table) const override {
        const QelTable* own = Own(table);
        return (own != nullptr && !IsTableOrView(own->TblType())) || Record(table) != nullptr;
    }

    bool HasField(std::u16string_view table, std::u16string_view field) const override {
        const QelTable* own = Own(table);
        if (own != nullptr && !IsTableOrView(own->TblType())) {
            return !own->TblLoaded() || own->Fields()->Find(field) != nullptr;
        }
        const QoSchemaTable* record = Record(table);
        if (record == nullptr) {
            return false;
        }
        const bool kept = own != nullptr && own->TblType() == record->TblType;
        if (kept ? !own->TblLoaded() : mProject.DynamicLoadDB() || record->TblUnread) {
            return true;
        }
        for (std::int16_t j = 1; j <= record->TblFldCnt; ++j) {
            if (record->Column(j).FldName == field) {
                return true;
            }
        }
        return false;
    }

private:
    const QelTable* Own(std::u16string_view name) const {
        const QelTable* table = mProject.db()->tables()->Find(name);
        return table != nullptr && table->TblName() == name ? table : nullptr;
    }
    const QoSchemaTable* Record(std::u16string_view name) const {
        for (std::int16_t i = 1; i <= mSchema.tblcnt(); ++i) {
            if (mSchema.Table(i).TblName == name) {
                return &mSchema.Table(i);
            }
        }
        return nullptr;
    }

    const Qel& mProject;
    const QelSchema& mSchema;
};

/// A count as the Integer the host reads; a drift beyond its range still reads as a drift.
std::int16_t AsInteger(std::int64_t count) {
    return static_cast<std::int16_t>(std::min<std::int64_t>(count, std::numeric_limits<std::int16_t>::max()));
}

} // namespace

std::int32_t SchemaCheck::Note(std::u16string_view table, std::u16string_view field, std::u16string what) {
    if (mDifferences != nullptr) {
        mDifferences->push_back({std::u16string(table), std::u16string(field), std::move(what)});
    }
    return 1;
}

std::int32_t SchemaCheck::NoteNotCompared(QelTable& table, std::u16string why) {
    if (mNotCompared != nullptr) {
        mNotCompared->push_back({table.TblName(), u"", why});
    }
    table.SetTblCustomError(std::move(why));
    return 0;
}

std::int32_t SchemaCheck::NoteDuplicates(const QoSchemaTable& record) {
    std::int32_t count = 0;
    for (const std::u16string& name : record.TblDuplicates) {
        count += Note(record.TblName, name,
                      u"differs only in letter case from another column; not in the project");
    }
    return count;
}

std::int32_t SchemaCheck::NoteField(std::u16string_view table, const QoSchemaField& column,
                                    const QelField* field) {
    if (field == nullptr) {
        return Note(table, column.FldName, u"new in the database");
    }
    if (FieldMatchesSchema(column, *field)) {
        return 0;
    }
    return Note(table, column.FldName, mDifferences != nullptr ? AttributeChanges(column, *field) : u"");
}

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
    if (!schema->LoadDB(*database)) {
        return -1;
    }
    std::int64_t count = CheckTablesAndViews(*schema);
    count += CheckCustomViews();
    count += CheckReports();
    NotePairsToRemove(*schema);
    return AsInteger(count);
}

void SchemaCheck::NotePairsToRemove(const QelSchema& schema) {
    if (mPairsToRemove == nullptr) {
        return;
    }
    const TargetsAfterSync targets(mProject, schema);
    const QelMasterDetails& pairs = mProject.MasterDetails();
    for (std::int32_t position = 1; position <= pairs.Count(); ++position) {
        const QelMasterDetail* pair = pairs.At(position);
        if (pair == nullptr) {
            continue;
        }
        if (std::optional<std::u16string> why = WhyPairIsBroken(*pair, targets)) {
            mPairsToRemove->push_back({pair->MasterTable(), pair->DetailTable(), std::move(*why)});
        }
    }
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
            const std::int32_t duplicates = NoteDuplicates(record);
            if (table == nullptr) {
                // A new table, and each of its fields. A custom view or report that bears its
                // name, in any letter case, gives way to it.
                std::u16string what = u"new " + record.TblType + u" in the database";
                QelTable* holder = tables.Find(record.TblName);
                if (holder == nullptr) {
                    holder = sync::FindOtherCase(tables, record.TblName);
                }
                if (holder != nullptr && !IsTableOrView(holder->TblType())) {
                    what += std::u16string(holder->TblType() == u"REPORT"
                                               ? u" (a sync replaces the report \""
                                               : u" (a sync replaces the custom view \"") +
                            holder->TblName() + u"\" with it)";
                }
                count += Note(record.TblName, u"", std::move(what));
                for (std::int16_t j = 1; j <= record.TblFldCnt; ++j) {
                    count +=
                        Note(record.TblName, record.Field(j)->FldName, u"new in the database with its table");
                }
                count += duplicates;
                continue;
            }
            if (!table->TblLoaded()) {
                continue;
            }
            if (table->TblType() == u"TABLE" && SortLines(table->TblKey()) != SortLines(record.TblKey)) {
                count += Note(record.TblName, u"",
                              u"primary key " + KeyText(table->TblKey()) + u" in the project, " +
                                  KeyText(record.TblKey) + u" in the database");
            }
            QelFields& fields = *table->Fields();
            std::int32_t fieldChanges = 0;
            for (std::int16_t j = 1; j <= record.TblFldCnt; ++j) {
                const QoSchemaField& column = record.Column(j);
                fieldChanges += NoteField(record.TblName, column, fields.Find(column.FldName));
            }
            // A field dropped from the table shows in the field count.
            count += fieldChanges + duplicates;
            if (fieldChanges > 0 || duplicates > 0 || record.TblFldCnt != fields.Count()) {
                std::u16string what = u"changed";
                if (mDifferences != nullptr) {
                    const std::vector<std::u16string> dropped = FieldsOnlyInProject(*table, record);
                    for (std::size_t index = 0; index < dropped.size(); ++index) {
                        what += (index == 0 ? u": gone from the database: " : u", ") + dropped[index];
                    }
                }
                count += Note(record.TblName, u"", std::move(what));
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
                count += Note(table.TblName(), u"", table.TblType() + u" gone from the database");
                for (QelField& field : *table.Fields()) {
                    count += Note(table.TblName(), field.FldName(), u"gone from the database with its table");
                }
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
            std::u16string why = std::move(state.gProjErr);
            state.gProjErr.clear();
            return NoteNotCompared(view, std::move(why));
        }
        view.SetTblCustomError(u"");
        const QoSchemaTable& record = reader->Table(1);
        std::int32_t count = 0;
        for (std::int16_t j = 1; j <= record.TblFldCnt; ++j) {
            const QoSchemaField& column = record.Column(j);
            count += NoteField(view.TblName(), column, view.Fields()->Find(column.FldName));
        }
        for (const std::u16string& name : FieldsOnlyInProject(view, record)) {
            count += Note(view.TblName(), name, u"no longer given by the view's SQL");
        }
        return count + NoteDuplicates(record);
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
            return NoteNotCompared(report, state.gMsgPrefix + u": Source Table not found");
        }
        QelFields& reportFields = *report.Fields();
        std::int32_t count = 0;
        for (QelField& field : *source->Fields()) {
            const QelField* copy = reportFields.Find(field.FldName());
            if (copy == nullptr) {
                count += Note(report.TblName(), field.FldName(), u"new in the source table");
            } else if (!FieldsMatch(field, *copy)) {
                count += Note(report.TblName(), field.FldName(), u"differs from the source table");
            }
        }
        for (QelField& field : reportFields) {
            if (source->Fields()->Find(field.FldName()) == nullptr) {
                count += Note(report.TblName(), field.FldName(), u"gone from the source table");
            }
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
