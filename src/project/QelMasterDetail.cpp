#include "project/QelMasterDetail.h"

#include <algorithm>

namespace qv {

const automation::ClassInfo& QelMasterDetail::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(
        u"QelMasterDetail",
        {
            Property<&QelMasterDetail::Seq, &QelMasterDetail::SetSeq>(u"Seq"),
            Property<&QelMasterDetail::MasterTableMember, &QelMasterDetail::SetMasterTableMember>(
                u"MasterTable"),
            Property<&QelMasterDetail::DetailTableMember, &QelMasterDetail::SetDetailTableMember>(
                u"DetailTable"),
            Method<&QelMasterDetail::FieldCount>(u"FieldCount"),
            Property<&QelMasterDetail::CurrentField, &QelMasterDetail::SetCurrentField>(u"CurrentField"),
            Property<&QelMasterDetail::CurrentMasterField, &QelMasterDetail::SetCurrentMasterFieldMember>(
                u"CurrentMasterField"),
            Property<&QelMasterDetail::CurrentDetailField, &QelMasterDetail::SetCurrentDetailFieldMember>(
                u"CurrentDetailField"),
            Method<&QelMasterDetail::AddRelationMember>(u"AddRelation"),
            Method<&QelMasterDetail::DeleteRelationMember>(u"DeleteRelation"),
            Method<&QelMasterDetail::MasterField>(u"MasterField"),
            Method<&QelMasterDetail::DetailField>(u"DetailField"),
        });
    return info;
}

void QelMasterDetail::SetCurrentField(std::int16_t index) noexcept {
    if (HasRelation(index)) {
        mCurrentField = index;
    }
}

void QelMasterDetail::SetCurrentMasterField(std::u16string_view name) {
    if (HasRelation(mCurrentField)) {
        mRelations[mCurrentField - 1].masterField = name;
    }
}

void QelMasterDetail::SetCurrentDetailField(std::u16string_view name) {
    if (HasRelation(mCurrentField)) {
        mRelations[mCurrentField - 1].detailField = name;
    }
}

bool QelMasterDetail::AddRelation(std::u16string_view MasterField, std::u16string_view DetailField) {
    if (MasterField.empty() || DetailField.empty()) {
        return false;
    }
    // A field takes part in one relation of the pair at most, on either side.
    const bool used = std::any_of(mRelations.begin(), mRelations.end(), [&](const Relation& relation) {
        return relation.masterField == MasterField || relation.detailField == DetailField;
    });
    if (used) {
        return false;
    }
    // FieldCount is 16-bit, and a pair never has more relations than the detail table fields.
    if (mRelations.size() >= 32767) {
        automation::Raise(automation::ErrorNumber::Overflow);
    }
    mRelations.push_back(Relation{std::u16string(MasterField), std::u16string(DetailField)});
    mCurrentField = FieldCount();
    return true;
}

bool QelMasterDetail::DeleteRelation(std::u16string_view MasterField, std::u16string_view DetailField) {
    if (MasterField.empty() || DetailField.empty()) {
        return false;
    }
    const auto found = std::find_if(mRelations.begin(), mRelations.end(), [&](const Relation& relation) {
        return relation.masterField == MasterField || relation.detailField == DetailField;
    });
    if (found == mRelations.end()) {
        return false;
    }
    mRelations.erase(found);
    if (mCurrentField > FieldCount()) {
        mCurrentField = FieldCount();
    }
    return true;
}

std::u16string QelMasterDetail::MasterField(std::int32_t i) const {
    return HasRelation(i) ? mRelations[i - 1].masterField : std::u16string();
}

std::u16string QelMasterDetail::DetailField(std::int32_t i) const {
    return HasRelation(i) ? mRelations[i - 1].detailField : std::u16string();
}

} // namespace qv
