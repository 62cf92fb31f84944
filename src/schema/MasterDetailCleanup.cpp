#include "schema/internal/MasterDetailCleanup.h"

#include "project/Qel.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"

#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Ref.h"
#include "platform/automation/Variant.h"

#include <vector>

namespace qv {

namespace {

/// True when the table holds the field, or is not loaded and so holds none to check.
bool HasFieldOrUnloaded(const QelTable& table, const std::u16string& field) {
    return !table.TblLoaded() || table.Fields()->FieldExist(automation::Variant(field));
}

bool IsBroken(const QelMasterDetail& pair, const QelTables& tables) {
    const QelTable* master = tables.Find(pair.MasterTable());
    const QelTable* detail = tables.Find(pair.DetailTable());
    if (master == nullptr || detail == nullptr) {
        return true;
    }
    const std::int16_t relations = pair.FieldCount();
    for (std::int16_t j = 1; j <= relations; ++j) {
        if (!HasFieldOrUnloaded(*master, pair.MasterField(j)) ||
            !HasFieldOrUnloaded(*detail, pair.DetailField(j))) {
            return true;
        }
    }
    return false;
}

} // namespace

void RemoveBrokenMasterDetails(Qel& project) {
    QelMasterDetails& pairs = project.MasterDetails();
    if (pairs.Count() == 0 || project.DBCnt() < 1) {
        return;
    }
    const QelTables& tables = *project.db()->tables();
    std::vector<automation::Ref<QelMasterDetail>> broken;
    for (std::int32_t position = 1; position <= pairs.Count(); ++position) {
        QelMasterDetail* pair = pairs.At(position);
        if (pair != nullptr && IsBroken(*pair, tables)) {
            broken.emplace_back(pair);
        }
    }
    for (const automation::Ref<QelMasterDetail>& pair : broken) {
        pairs.Remove(*pair);
    }
}

} // namespace qv
