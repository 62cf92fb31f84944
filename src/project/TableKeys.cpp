// The two forms of a table's primary key kept in step: the table's key list (TblKey) and the
// key flags of its fields (FldIsPrimaryKey).

#include "project/Qel.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/VbText.h"

#include "platform/automation/Conversion.h"

#include <string>
#include <vector>

namespace qv {

namespace {

constexpr std::u16string_view CrLf = u"\r\n";

/// The key flag as a condition: a value that is no Boolean (Null) counts as False.
bool IsKeyField(const QelField& field) {
    return automation::IsTrue(
        field.SettingValue(static_cast<std::size_t>(QelField::Setting::FldIsPrimaryKey)));
}

} // namespace

void Qel::BuildTableKeys() {
    if (DBCnt() < 1) {
        return;
    }
    for (QelTable& table : *db()->tables()) {
        std::u16string keys;
        for (const QelField& field : *table.Fields()) {
            if (!IsKeyField(field)) {
                continue;
            }
            if (!keys.empty()) {
                keys += CrLf;
            }
            keys += field.FldName();
        }
        table.SetTblKey(SortLines(keys));
    }
}

void Qel::ApplyTableKeyToFields(QelTable& table) {
    const std::u16string keyList = table.TblKey();
    std::vector<std::u16string> names;
    for (std::u16string_view name : SplitText(keyList, CrLf)) {
        names.push_back(UnquoteName(name));
    }
    for (QelField& field : *table.Fields()) {
        const std::u16string fieldName = field.FldName();
        bool isKey = false;
        for (const std::u16string& name : names) {
            if (name == fieldName) {
                isKey = true;
                break;
            }
        }
        field.SetFldIsPrimaryKey(isKey);
    }
}

std::u16string Qel::UnquoteName(std::u16string_view name) {
    std::u16string text(name);
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') {
        const std::u16string_view inside = std::u16string_view(text).substr(1, text.size() - 2);
        std::u16string unquoted;
        for (std::size_t index = 0; index < inside.size(); ++index) {
            unquoted += inside[index];
            if (inside[index] == u'"' && index + 1 < inside.size() && inside[index + 1] == u'"') {
                ++index;
            }
        }
        text = std::move(unquoted);
    }
    if (text.size() >= 2 && text.front() == u'[' && text.back() == u']') {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

} // namespace qv
