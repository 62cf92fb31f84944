#pragma once

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// One master/detail pair: a master table, a detail table and the field relations that link
/// them, relation i naming a field of each (1 to FieldCount), with one relation selected
/// (CurrentField) for the synchronisation's renames. Plain fields, no bag. Owned by the pair
/// list (QelMasterDetails); creatable by the host and the templates.
class QelMasterDetail final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    std::int16_t Seq() const noexcept { return mSeq; }
    void SetSeq(std::int16_t seq) noexcept { mSeq = seq; }
    const std::u16string& MasterTable() const noexcept { return mMasterTable; }
    void SetMasterTable(std::u16string_view name) { mMasterTable = name; }
    const std::u16string& DetailTable() const noexcept { return mDetailTable; }
    void SetDetailTable(std::u16string_view name) { mDetailTable = name; }

    std::int16_t FieldCount() const noexcept { return static_cast<std::int16_t>(mRelations.size()); }
    /// The selected relation; 0 when none. A value outside 1 to FieldCount is ignored.
    std::int16_t CurrentField() const noexcept { return mCurrentField; }
    void SetCurrentField(std::int16_t index) noexcept;
    /// The fields of the selected relation; "" when none is selected. The setters overwrite
    /// them and are ignored when none is selected.
    std::u16string CurrentMasterField() const { return MasterField(mCurrentField); }
    void SetCurrentMasterField(std::u16string_view name);
    std::u16string CurrentDetailField() const { return DetailField(mCurrentField); }
    void SetCurrentDetailField(std::u16string_view name);

    /// Appends the relation and selects it. False for an empty name, and when the master field
    /// or the detail field is used by a relation of the pair already (exact comparison).
    bool AddRelation(std::u16string_view MasterField, std::u16string_view DetailField);
    /// Removes the first relation whose master field or detail field matches (exactly); the
    /// selection moves back when it lay beyond the end. False for an empty name or no match.
    bool DeleteRelation(std::u16string_view MasterField, std::u16string_view DetailField);
    /// The fields of relation i (1 to FieldCount); "" outside.
    std::u16string MasterField(std::int32_t i) const;
    std::u16string DetailField(std::int32_t i) const;

private:
    struct Relation {
        std::u16string masterField;
        std::u16string detailField;
    };
    bool HasRelation(std::int32_t i) const noexcept {
        return i >= 1 && i <= static_cast<std::int32_t>(mRelations.size());
    }
    // Members the automation table calls.
    automation::Variant AddRelationMember(std::u16string MasterField, std::u16string DetailField) {
        return automation::Variant(AddRelation(MasterField, DetailField));
    }
    automation::Variant DeleteRelationMember(std::u16string MasterField, std::u16string DetailField) {
        return automation::Variant(DeleteRelation(MasterField, DetailField));
    }
    void SetMasterTableMember(std::u16string name) { SetMasterTable(name); }
    void SetDetailTableMember(std::u16string name) { SetDetailTable(name); }
    void SetCurrentMasterFieldMember(std::u16string name) { SetCurrentMasterField(name); }
    void SetCurrentDetailFieldMember(std::u16string name) { SetCurrentDetailField(name); }
    std::u16string MasterTableMember() const { return mMasterTable; }
    std::u16string DetailTableMember() const { return mDetailTable; }

    std::int16_t mSeq = 0;
    std::u16string mMasterTable;
    std::u16string mDetailTable;
    std::vector<Relation> mRelations;
    std::int16_t mCurrentField = 0;
};

} // namespace qv
