#include "schema/internal/MasterDetailCleanup.h"

#include "schema/internal/SyncSupport.h"

#include "project/Qel.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"

#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"

#include "platform/automation/Ref.h"
#include "platform/automation/Variant.h"
#include "platform/host/Host.h"

#include <utility>
#include <vector>

namespace qv {

namespace {

std::u16string Quoted(std::u16string_view name) {
    return u"\"" + std::u16string(name) + u"\"";
}

/// The project's own tables, as the synchronisation has left them. Names are compared exactly.
class ProjectTargets final : public PairTargets {
public:
    explicit ProjectTargets(const QelTables& tables) : mTables(tables) {}

    bool HasTable(std::u16string_view table) const override { return Exact(table) != nullptr; }
    bool HasField(std::u16string_view table, std::u16string_view field) const override {
        const QelTable* found = Exact(table);
        return found != nullptr && (!found->TblLoaded() ||
                                    found->Fields()->FieldExist(automation::Variant(std::u16string(field))));
    }

private:
    const QelTable* Exact(std::u16string_view name) const {
        const QelTable* table = mTables.Find(name);
        return table != nullptr && table->TblName() == name ? table : nullptr;
    }

    const QelTables& mTables;
};

} // namespace

std::optional<std::u16string> WhyPairIsBroken(const QelMasterDetail& pair, const PairTargets& targets) {
    for (const std::u16string& table : {pair.MasterTable(), pair.DetailTable()}) {
        if (!targets.HasTable(table)) {
            return u"the table " + Quoted(table) + u" is gone";
        }
    }
    const std::int16_t relations = pair.FieldCount();
    for (std::int16_t j = 1; j <= relations; ++j) {
        const std::pair<std::u16string, std::u16string> ends[] = {{pair.MasterTable(), pair.MasterField(j)},
                                                                  {pair.DetailTable(), pair.DetailField(j)}};
        for (const auto& [table, field] : ends) {
            if (!targets.HasField(table, field)) {
                return u"the field " + Quoted(field) + u" of the table " + Quoted(table) + u" is gone";
            }
        }
    }
    return std::nullopt;
}

void RemoveBrokenMasterDetails(Qel& project) {
    QelMasterDetails& pairs = project.MasterDetails();
    if (pairs.Count() == 0 || project.DBCnt() < 1) {
        return;
    }
    const ProjectTargets targets(*project.db()->tables());
    std::vector<std::pair<automation::Ref<QelMasterDetail>, std::u16string>> broken;
    for (std::int32_t position = 1; position <= pairs.Count(); ++position) {
        QelMasterDetail* pair = pairs.At(position);
        if (pair == nullptr) {
            continue;
        }
        if (std::optional<std::u16string> why = WhyPairIsBroken(*pair, targets)) {
            broken.emplace_back(pair, std::move(*why));
        }
    }
    // Taken out of the project without a question, as the database asks: the user is told, in
    // one message however many go.
    std::vector<std::pair<std::u16string, std::u16string>> named;
    named.reserve(broken.size());
    for (const auto& [pair, why] : broken) {
        named.emplace_back(Quoted(pair->MasterTable()) + u"/" + Quoted(pair->DetailTable()), why);
    }
    sync::TellOfEach(u"The master/detail pair ", u" is removed", u" master/detail pairs are removed", named);
    for (const auto& entry : broken) {
        pairs.Remove(*entry.first);
    }
}

} // namespace qv
