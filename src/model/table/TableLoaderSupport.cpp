#include "model/table/internal/LoaderSupport.h"

#include "model/CatalogFacts.h"

#include "core/Apartment.h"
#include "core/Formatting.h"
#include "core/QelStatus.h"
#include "core/VbText.h"

#include "platform/ado/Field.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

namespace qv::loader {

using catalog::DuplicateColumnText;

bool AddAdoColumns(QelFields& fields, const ado::Fields& columns, std::u16string& duplicateMessage) {
    const catalog::ColumnSelection selection = catalog::SelectColumns(columns);
    bool duplicate = false;
    if (!selection.duplicates.empty()) {
        duplicateMessage = DuplicateColumnText(selection.duplicates.back());
        duplicate = true;
    }
    for (const ado::Field* column : selection.accepted) {
        const std::u16string& name = column->Name();
        // A field the table already holds takes the name too.
        if (fields.IsNameTaken(name)) {
            duplicateMessage = DuplicateColumnText(name);
            duplicate = true;
            continue;
        }
        if (!fields.Add(name)) {
            continue;
        }
        // The field just added is the last one.
        fields.At(fields.Count())->LoadFld_ADO(*column);
    }
    return duplicate;
}

QelTable* AddLoadedTable(QelTables& tables, const std::u16string& name, std::u16string_view type) {
    if (tables.Add(name)) {
        QelTable* table = tables.At(tables.Count());
        if (!type.empty()) {
            table->SetTblType(type);
        }
        table->SetTblLoaded(false);
        return table;
    }
    if (name.empty() || tables.TableExist(automation::Variant(name))) {
        return nullptr;
    }
    for (QelTable& held : tables) {
        if (automation::EqualsNoCase(held.TblName(), name)) {
            held.SetTblGen(false);
            held.SetTblError(
                State().gProductName + u": Duplicate Table Name - " + name +
                u" found! ASP scripts may not be generated correctly! Please rename duplicated table "
                u"names to ensure correct generation!");
            break;
        }
    }
    return nullptr;
}

std::u16string ArgText(const automation::Variant& value) {
    const automation::Variant& plain = value.Deref();
    return plain.IsNull() ? std::u16string() : automation::ToString(plain);
}

std::u16string TextOf(const automation::Variant& value) {
    return value.IsNull() || value.IsEmpty() ? std::u16string() : automation::ToString(value);
}

void RaiseNoLoaderObject(std::u16string_view member) {
    automation::Raise(automation::ErrorNumber::ObjectRequired, std::u16string(member),
                      u"Object required: the catalogue object of a database loader");
}

void ShowLoadStep(std::u16string_view text) {
    GetStatus().DispStatus(text);
}

void ShowLoadProgress(std::int32_t processed, std::int32_t total) {
    GetStatus().SetStatus(Percent(processed, total));
}

} // namespace qv::loader
