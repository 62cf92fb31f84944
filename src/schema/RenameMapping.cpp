#include "schema/internal/RenameMapping.h"

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

#include "core/VbText.h"

#include "platform/automation/Text.h"
#include "platform/host/Host.h"

#include <algorithm>
#include <optional>

namespace qv {

namespace {

/// The first unmatched entry of `olds` whose name equals `name` in another letter case only.
std::optional<std::size_t> OtherCaseOf(const std::vector<std::u16string>& olds, std::u16string_view name) {
    for (std::size_t index = 0; index < olds.size(); ++index) {
        if (olds[index] != name && automation::EqualsNoCase(olds[index], name)) {
            return index;
        }
    }
    return std::nullopt;
}

/// Pairs every new name with an old one that differs from it only in letter case, and takes
/// both out of their lists: such a name was never a new object. Gives the pairs, old first.
std::vector<std::pair<std::u16string, std::u16string>>
TakeCaseOnlyRenames(std::vector<std::u16string>& newNames, std::vector<std::u16string>& oldNames) {
    std::vector<std::pair<std::u16string, std::u16string>> renames;
    for (std::size_t index = 0; index < newNames.size();) {
        if (const std::optional<std::size_t> old = OtherCaseOf(oldNames, newNames[index])) {
            renames.emplace_back(oldNames[*old], newNames[index]);
            oldNames.erase(oldNames.begin() + static_cast<std::ptrdiff_t>(*old));
            newNames.erase(newNames.begin() + static_cast<std::ptrdiff_t>(index));
            continue;
        }
        ++index;
    }
    return renames;
}

/// The key list (one name a line, a name that needs it in double quotes) with `oldName` renamed
/// to `newName`, written in the form the old one had, so that a renamed key field stays the key
/// and the key compares equal to the database's again.
std::u16string RenameInKeyList(std::u16string_view keyList, std::u16string_view oldName,
                               std::u16string_view newName) {
    constexpr std::u16string_view LineBreak = u"\r\n";
    std::u16string renamed;
    bool first = true;
    for (std::u16string_view line : SplitText(keyList, LineBreak)) {
        if (!first) {
            renamed += LineBreak;
        }
        first = false;
        const std::u16string_view name = TrimBlanks(line);
        if (Qel::UnquoteName(name) != oldName) {
            renamed += line;
            continue;
        }
        if (name.size() >= 2 && name.front() == u'"') {
            renamed += u'"';
            for (const char16_t unit : newName) {
                renamed += unit;
                if (unit == u'"') {
                    renamed += u'"';
                }
            }
            renamed += u'"';
        } else {
            renamed += newName;
        }
    }
    return renamed;
}

} // namespace

std::vector<std::u16string> RenameMapping::ShowMapDialog(std::u16string title, std::u16string message,
                                                         std::u16string newHeading, std::u16string oldHeading,
                                                         const std::vector<std::u16string>& newNames,
                                                         const std::vector<std::u16string>& oldNames) {
    host::NameMapQuestion question;
    question.title = std::move(title);
    question.message = std::move(message);
    question.newHeading = std::move(newHeading);
    question.oldHeading = std::move(oldHeading);
    question.newNames = newNames;
    question.oldNames = oldNames;
    const host::NameMapAnswer answer = CurrentHost().MapNames(question);

    std::vector<std::u16string> chosen(newNames.size());
    if (!answer.confirmed) {
        return chosen;
    }
    // The dialog's answers are not trusted: a name it never offered, or one offered old name
    // given to two new ones, would rename the wrong object or fail halfway through the run.
    std::vector<bool> used(oldNames.size(), false);
    for (std::size_t index = 0; index < newNames.size() && index < answer.oldNames.size(); ++index) {
        const auto offered = std::find(oldNames.begin(), oldNames.end(), answer.oldNames[index]);
        if (offered == oldNames.end()) {
            continue;
        }
        const auto position = static_cast<std::size_t>(offered - oldNames.begin());
        if (used[position]) {
            continue;
        }
        used[position] = true;
        chosen[index] = *offered;
    }
    return chosen;
}

void RenameMapping::MapRenamedObjects() {
    MapTables(u"TABLE", u"table");
    MapTables(u"VIEW", u"view");

    QelTables& tables = *mProject.db()->tables();
    for (std::int16_t i = 1; i <= mSchema.tblcnt(); ++i) {
        const QoSchemaTable& record = mSchema.Table(i);
        for (QelTable& table : tables) {
            if (sync::IsTableOrView(table.TblType()) && table.TblType() == record.TblType &&
                table.TblName() == record.TblName && table.TblLoaded()) {
                MapFields(table, record);
            }
        }
    }
}

void RenameMapping::MapTables(std::u16string_view kind, std::u16string_view word) {
    QelTables& tables = *mProject.db()->tables();
    for (QelTable& table : tables) {
        if (table.TblType() != kind) {
            continue;
        }
        table.SetTblSync(false);
        for (QelField& field : *table.Fields()) {
            field.SetFldSync(false);
        }
    }

    std::vector<std::u16string> newNames;
    std::vector<std::u16string> unreadNames;
    for (std::int16_t i = 1; i <= mSchema.tblcnt(); ++i) {
        const QoSchemaTable& record = mSchema.Table(i);
        if (record.TblType != kind) {
            continue;
        }
        if (record.TblUnread) {
            unreadNames.push_back(record.TblName);
        }
        QelTable* match = nullptr;
        for (QelTable& table : tables) {
            if (table.TblType() == kind && table.TblName() == record.TblName) {
                match = &table;
                break;
            }
        }
        if (match != nullptr) {
            match->SetTblSync(true);
        } else {
            newNames.push_back(record.TblName);
        }
    }
    std::vector<std::u16string> oldNames;
    for (QelTable& table : tables) {
        if (table.TblType() == kind && !table.TblSync()) {
            oldNames.push_back(table.TblName());
        }
    }

    for (const auto& [oldName, newName] : TakeCaseOnlyRenames(newNames, oldNames)) {
        if (QelTable* table = tables.Find(oldName); table != nullptr && RenameTable(*table, newName)) {
            table->SetTblSync(true);
        }
    }
    // An object that could not be read is offered to no old table: the old one's fields would be
    // merged with columns nobody read.
    std::erase_if(newNames, [&](const std::u16string& name) {
        return std::find(unreadNames.begin(), unreadNames.end(), name) != unreadNames.end();
    });
    if (newNames.empty() || oldNames.empty()) {
        return;
    }
    const std::u16string words(word);
    const std::vector<std::u16string> chosen =
        ShowMapDialog(u"New " + words + u" found in schema",
                      u"To use old settings, please select the old " + words +
                          u"(s) which you would like to map to the new " + words + u"(s)",
                      u"New " + words, u"Old " + words, newNames, oldNames);
    for (std::size_t index = 0; index < newNames.size(); ++index) {
        if (chosen[index].empty()) {
            continue;
        }
        if (QelTable* table = tables.Find(chosen[index]); table != nullptr && table->TblType() == kind) {
            RenameTable(*table, newNames[index]);
        }
    }
}

bool RenameMapping::RenameTable(QelTable& table, const std::u16string& newName) {
    QelTables& tables = *mProject.db()->tables();
    const std::u16string oldName = table.TblName();
    // Another object holding the name (a custom view or report, or a table that became a view)
    // would make the rename fail halfway through the run. The schema object takes that name in
    // any case, as a change of its type would give it; here it keeps the mapped settings.
    QelTable* holder = tables.Find(newName);
    if (holder == nullptr) {
        holder = sync::FindOtherCase(tables, newName);
    }
    if (holder == &table) {
        holder = nullptr;
    }
    if (holder != nullptr && !tables.Remove(*holder)) {
        return false;
    }
    if (!tables.Change(oldName, newName)) {
        return false;
    }
    QelMasterDetails& pairs = mProject.MasterDetails();
    for (std::int32_t position = 1; position <= pairs.Count(); ++position) {
        QelMasterDetail& pair = *pairs.At(position);
        if (pair.MasterTable() == oldName) {
            pair.SetMasterTable(newName);
        }
        if (pair.DetailTable() == oldName) {
            pair.SetDetailTable(newName);
        }
    }
    return true;
}

void RenameMapping::MapFields(QelTable& table, const QoSchemaTable& record) {
    QelFields& fields = *table.Fields();
    std::vector<std::u16string> newNames;
    for (std::int16_t k = 1; k <= record.TblFldCnt; ++k) {
        const QoSchemaField& column = record.Column(k);
        QelField* match = nullptr;
        for (QelField& field : fields) {
            if (!field.FldSync() && field.FldName() == column.FldName) {
                match = &field;
                break;
            }
        }
        if (match != nullptr) {
            match->SetFldSync(true);
        } else {
            newNames.push_back(column.FldName);
        }
    }
    std::vector<std::u16string> oldNames;
    for (QelField& field : fields) {
        if (!field.FldSync()) {
            oldNames.push_back(field.FldName());
        }
    }

    for (const auto& [oldName, newName] : TakeCaseOnlyRenames(newNames, oldNames)) {
        RenameField(table, oldName, newName);
    }
    if (newNames.empty() || oldNames.empty()) {
        return;
    }
    const std::vector<std::u16string> chosen = ShowMapDialog(
        u"Table: " + table.TblName() + u" - New fields found in schema",
        u"To use old settings, please select the old fields which you would like to map to the new fields",
        u"New field", u"Old field", newNames, oldNames);
    for (std::size_t index = 0; index < newNames.size(); ++index) {
        if (!chosen[index].empty()) {
            RenameField(table, chosen[index], newNames[index]);
        }
    }
}

bool RenameMapping::RenameField(QelTable& table, const std::u16string& oldName,
                                const std::u16string& newName) {
    QelFields& fields = *table.Fields();
    QelField* field = fields.Find(oldName);
    // A new name another field holds in some letter case cannot be taken; that field stays
    // what it is.
    if (field == nullptr || (fields.IsNameTaken(newName) && !automation::EqualsNoCase(oldName, newName))) {
        return false;
    }
    if (!fields.Change(oldName, newName)) {
        return false;
    }
    if (!table.TblKey().empty()) {
        table.SetTblKey(RenameInKeyList(table.TblKey(), oldName, newName));
    }
    const std::u16string& tableName = table.TblName();
    QelMasterDetails& pairs = mProject.MasterDetails();
    for (std::int32_t position = 1; position <= pairs.Count(); ++position) {
        QelMasterDetail& pair = *pairs.At(position);
        if (pair.MasterTable() == tableName) {
            for (std::int16_t j = 1; j <= pair.FieldCount(); ++j) {
                if (pair.MasterField(j) == oldName) {
                    pair.SetCurrentField(j);
                    pair.SetCurrentMasterField(newName);
                }
            }
        }
        if (pair.DetailTable() == tableName) {
            for (std::int16_t j = 1; j <= pair.FieldCount(); ++j) {
                if (pair.DetailField(j) == oldName) {
                    pair.SetCurrentField(j);
                    pair.SetCurrentDetailField(newName);
                }
            }
        }
    }
    return true;
}

} // namespace qv
