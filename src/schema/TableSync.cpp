#include "schema/internal/TableSync.h"

#include "schema/internal/QelSchema.h"
#include "schema/internal/SyncSupport.h"

#include "project/Qel.h"

#include "model/CatalogFacts.h"
#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/VbText.h"

#include "platform/automation/Ref.h"

#include <optional>
#include <utility>
#include <vector>

namespace qv {

using automation::Ref;

namespace {

/// Removes every field of a table, each by identity.
void RemoveAllFields(QelTable& table) {
    QelFields& fields = *table.Fields();
    std::vector<Ref<QelField>> snapshot;
    for (QelField& field : fields) {
        snapshot.emplace_back(&field);
    }
    for (const Ref<QelField>& field : snapshot) {
        fields.Remove(*field);
    }
}

/// Adds every column of the record as a new field, in schema order.
void AddAllFields(QelTable& table, const QoSchemaTable& record) {
    QelFields& fields = *table.Fields();
    for (std::int16_t k = 1; k <= record.TblFldCnt; ++k) {
        const QoSchemaField& column = record.Column(k);
        if (!fields.Add(column.FldName)) {
            continue;
        }
        QelField& field = *fields.Find(column.FldName);
        TableSync::SetFieldFromSchema(field, column, true);
        field.SetFldSync(true);
    }
}

} // namespace

void TableSync::SetTableFromSchema(QelTable& table, const QoSchemaTable& record, bool isNew) {
    table.SetTblUpdatable(record.TblUpdatable);
    table.SetTblSQL(record.TblSQL);
    // A column left out beside another of its name makes the table incomplete, as a load does.
    if (!record.TblDuplicates.empty()) {
        table.SetTblGen(false);
        table.SetTblError(catalog::DuplicateColumnText(record.TblDuplicates.back()));
    }
    if (isNew) {
        table.SetTblType(record.TblType);
        table.SetTblGen(record.TblGen);
        table.SetTblLoaded(true);
        table.SetTblKey(record.TblKey);
        table.LoadTableDefault();
        return;
    }
    if (table.TblKey().empty()) {
        table.SetTblKey(record.TblKey);
    }
}

void TableSync::SetFieldFromSchema(QelField& field, const QoSchemaField& column, bool isNew) {
    field.SetFldType(column.FldType);
    field.SetFldIsPrimaryKey(column.FldIsPrimaryKey);
    field.SetFldAutoIncrement(column.FldAutoIncrement);
    field.SetFldAttribute(column.FldAttribute);
    field.SetFldReq(column.FldReq);
    sync::SetSize(field, column.FldSize);
    field.SetFldSupport(column.FldSupport);
    field.SetFldUniqueIdx(column.FldUniqueIdx);
    field.SetFldZeroLen(column.FldZeroLen);
    field.SetFldQuoteS(column.FldQuoteS);
    field.SetFldQuoteE(column.FldQuoteE);
    if (isNew) {
        field.SetFldGenerate(column.FldSupport);
        field.SetFldRequired(column.FldReq);
        field.SetFldDefault(column.FldDefault);
        field.SetFldCaption(column.FldCaption);
        field.LoadFldDefault();
        return;
    }
    if (sync::IsEmptyText(field.FldDefault())) {
        field.SetFldDefault(column.FldDefault);
    }
}

void TableSync::SyncTablesAndViews() {
    sync::CopyDefaultsState(mProject);
    const sync::BusyWindow window(mProject, u" - Synchronizing Tables and Views...");
    QelTables& tables = *mProject.db()->tables();

    for (QelTable& table : tables) {
        if (!sync::IsTableOrView(table.TblType())) {
            continue;
        }
        table.SetTblSync(false);
        for (QelField& field : *table.Fields()) {
            field.SetFldSync(false);
        }
    }

    for (std::int16_t i = 1; i <= mSchema.tblcnt(); ++i) {
        const QoSchemaTable& record = mSchema.Table(i);
        for (QelTable& table : tables) {
            if (!sync::IsTableOrView(table.TblType()) || table.TblSync() ||
                table.TblName() != record.TblName || table.TblType() != record.TblType) {
                continue;
            }
            table.SetTblSync(true);
            // A table not loaded reads its fields from the database when it is loaded.
            if (table.TblLoaded()) {
                RefreshTable(table, record);
            }
            break;
        }
    }

    for (std::int16_t i = 1; i <= mSchema.tblcnt(); ++i) {
        AddOrRebuild(mSchema.Table(i));
    }
    sync::TellOfEach(u"The ", u" is replaced", u" custom views and reports are replaced", mReplaced);
    DeleteVanished();
    tables.SetSeq(1);
}

void TableSync::MergeFields(QelFields& fields, const QoSchemaTable& record) {
    for (std::int16_t k = 1; k <= record.TblFldCnt; ++k) {
        const QoSchemaField& column = record.Column(k);
        for (QelField& field : fields) {
            if (!field.FldSync() && field.FldName() == column.FldName && field.FldType() == column.FldType) {
                field.SetFldSync(true);
                SetFieldFromSchema(field, column, false);
                break;
            }
        }
    }
    for (std::int16_t k = 1; k <= record.TblFldCnt; ++k) {
        const QoSchemaField& column = record.Column(k);
        QelField* field = fields.Find(column.FldName);
        if (field != nullptr) {
            // Another type: rebuilt in place with fresh defaults.
            if (field->FldType() == column.FldType) {
                continue;
            }
        } else {
            // A field that differs only in letter case is the same field.
            if (QelField* other = sync::TakeOtherCase(fields, column.FldName)) {
                other->SetFldSync(true);
                SetFieldFromSchema(*other, column, other->FldType() != column.FldType);
                continue;
            }
            if (!fields.Add(column.FldName)) {
                continue;
            }
            field = fields.Find(column.FldName);
        }
        field->SetFldSync(true);
        SetFieldFromSchema(*field, column, true);
    }
}

void TableSync::RefreshTable(QelTable& table, const QoSchemaTable& record) {
    SetTableFromSchema(table, record, false);
    MergeFields(*table.Fields(), record);
    table.Fields()->SetSeq(1);

    if (table.TblType() == u"TABLE" && SortLines(table.TblKey()) != SortLines(record.TblKey)) {
        // Closing the form without a button takes the database's key.
        const bool keep = sync::AskKeepOrUpdate(u"Primary key for \"" + table.TblName() +
                                                    u"\" has been modified. Keep/Update primary Key?",
                                                /*preset=*/false);
        if (!keep) {
            table.SetTblKey(record.TblKey);
        }
    }
    Qel::ApplyTableKeyToFields(table);
}

void TableSync::AddOrRebuild(const QoSchemaTable& record) {
    QelTables& tables = *mProject.db()->tables();
    // A custom view's or report's own definition goes: said, so that it is not lost without a word.
    const auto replacement =
        [&](const QelTable& table) -> std::optional<std::pair<std::u16string, std::u16string>> {
        if (sync::IsTableOrView(table.TblType())) {
            return std::nullopt;
        }
        return std::pair(
            (table.TblType() == u"REPORT" ? u"report \"" : u"custom view \"") + table.TblName() + u"\"",
            u"the database now holds the " + std::u16string(record.TblType == u"VIEW" ? u"view" : u"table") +
                u" \"" + record.TblName + u"\"");
    };
    QelTable* table = tables.Find(record.TblName);
    if (table == nullptr) {
        // An object of another kind whose name differs only in letter case (a custom view or
        // report, or a table that became a view) holds the name's key: it becomes the schema
        // object as it would under the same spelling.
        if (QelTable* other = sync::FindOtherCase(tables, record.TblName)) {
            if (other->TblType() == record.TblType && other->TblSync()) {
                return;
            }
            auto replaced = replacement(*other);
            if (!tables.Change(other->TblName(), record.TblName)) {
                return;
            }
            if (replaced) {
                mReplaced.push_back(std::move(*replaced));
            }
            table = other;
            RemoveAllFields(*table);
        } else {
            if (!tables.Add(record.TblName)) {
                return;
            }
            table = tables.Find(record.TblName);
        }
    } else {
        if (table->TblType() == record.TblType) {
            return;
        }
        if (auto replaced = replacement(*table)) {
            mReplaced.push_back(std::move(*replaced));
        }
        RemoveAllFields(*table);
    }

    table->SetTblSync(true);
    table->SetTblType(record.TblType);
    // An object the reading could not read, and did not need, is known by its name alone: it
    // reads its fields when it is loaded.
    if (mProject.DynamicLoadDB() || record.TblUnread) {
        table->SetTblLoaded(false);
        table->SetTblGen(false);
        return;
    }
    SetTableFromSchema(*table, record, true);
    AddAllFields(*table, record);
}

void TableSync::DeleteVanished() {
    QelTables& tables = *mProject.db()->tables();
    std::vector<Ref<QelTable>> snapshot;
    for (QelTable& table : tables) {
        snapshot.emplace_back(&table);
    }
    for (const Ref<QelTable>& table : snapshot) {
        if (!sync::IsTableOrView(table->TblType())) {
            continue;
        }
        if (!table->TblSync()) {
            tables.Remove(*table);
            continue;
        }
        sync::RemoveUnmatchedFields(*table->Fields());
    }
}

} // namespace qv
