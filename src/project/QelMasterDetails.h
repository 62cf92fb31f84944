#pragma once

#include "project/QelMasterDetail.h"
#include "project/SequencedList.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// The project's master/detail pairs, in the order they were added, numbered 1 to Count by
/// their Seq, with a cursor (curMasterTable, curDetailTable, curSeq). Each project object owns
/// one; scripts see it as "MASTERDETAILS". A pair is identified by its two table names:
/// MasterDetailExist, Item and Delete compare both exactly, Add follows the lists' case rule
/// (SequencedList). Pairs in opposite directions are two pairs.
class QelMasterDetails final : public SequencedListOf<QelMasterDetail> {
public:
    QelMasterDetails() = default;

    const automation::ClassInfo& GetClassInfo() const override;

    std::u16string curMasterTable() const { return mCurMasterTable; }
    std::u16string curDetailTable() const { return mCurDetailTable; }
    std::int16_t curSeq() const noexcept { return mCurSeq; }

    /// Appends a new pair, or makes the pair the names denote current. False, changing nothing,
    /// when either name is "".
    bool Add(std::u16string_view MasterTable, std::u16string_view DetailTable) {
        return static_cast<bool>(AddOrFind(MasterTable, DetailTable));
    }
    /// Removes the pair with exactly these names (its current names, also after a rename) and
    /// numbers the rest 1 to Count again; the cursor stays. False for "" or no such pair.
    bool Delete(std::u16string_view MasterTable, std::u16string_view DetailTable);
    bool MasterDetailExist(std::u16string_view MasterTable, std::u16string_view DetailTable) const;
    /// The pair with exactly these names, made current; no object (cursor unchanged) when none.
    automation::Ref<QelMasterDetail> Item(std::u16string_view MasterTable, std::u16string_view DetailTable);

    /// The lists' case rule for a pair: the pair the names denote, made current, or a new one;
    /// no object when either name is "". Add, the project-file reader and the synchronisation
    /// call this.
    automation::Ref<QelMasterDetail> AddOrFind(std::u16string_view MasterTable,
                                               std::u16string_view DetailTable);

    // The project's operations on pairs. Each answers whether it changed or found something;
    // the project object itself answers True whatever happened.

    /// Adds the pair when both names are given.
    bool AddMasterDetail(std::u16string_view sMasterTable, std::u16string_view sDetailTable);
    /// Adds the relation to the existing pair (made current); a missing pair is not created.
    bool AddMasterDetailRelation(std::u16string_view sMasterTable, std::u16string_view sDetailTable,
                                 std::u16string_view sMasterField, std::u16string_view sDetailField);
    bool DeleteMasterDetail(std::u16string_view sMasterTable, std::u16string_view sDetailTable);
    /// Removes the relation from the existing pair (made current); the pair stays, also with no
    /// relation left.
    bool DeleteMasterDetailRelation(std::u16string_view sMasterTable, std::u16string_view sDetailTable,
                                    std::u16string_view sMasterField, std::u16string_view sDetailField);

protected:
    bool Matches(const automation::Object& entry, EntryNames names, NameCompare compare) const override;
    std::optional<std::int16_t> EntrySeq(const automation::Object& entry) const override;
    void SetEntrySeq(automation::Object& entry, std::int16_t seq) override;
    void MakeCurrent(const automation::Object& entry) override;
    automation::Ref<automation::Object> CreateEntry(EntryNames names) override;

private:
    /// The existing pair of a relation operation, made current; no object when a name is "".
    automation::Ref<QelMasterDetail> PairOfRelation(std::u16string_view sMasterTable,
                                                    std::u16string_view sDetailTable,
                                                    std::u16string_view sMasterField,
                                                    std::u16string_view sDetailField);
    // Members the automation table calls.
    bool AddMember(std::u16string MasterTable, std::u16string DetailTable) {
        return Add(MasterTable, DetailTable);
    }
    bool DeleteMember(std::u16string MasterTable, std::u16string DetailTable) {
        return Delete(MasterTable, DetailTable);
    }
    bool ExistMember(std::u16string MasterTable, std::u16string DetailTable) const {
        return MasterDetailExist(MasterTable, DetailTable);
    }
    automation::Ref<QelMasterDetail> ItemMember(std::u16string MasterTable, std::u16string DetailTable) {
        return Item(MasterTable, DetailTable);
    }

    std::u16string mCurMasterTable;
    std::u16string mCurDetailTable;
    std::int16_t mCurSeq = 0;
};

} // namespace qv
