#include "project/QelMasterDetails.h"

#include "platform/automation/Text.h"

#include <array>

namespace qv {

const automation::ClassInfo& QelMasterDetails::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelMasterDetails",
                                {
                                    Method<&QelMasterDetails::curMasterTable>(u"curMasterTable"),
                                    Method<&QelMasterDetails::curDetailTable>(u"curDetailTable"),
                                    Method<&QelMasterDetails::curSeq>(u"curSeq"),
                                    Method<&QelMasterDetails::AddMember>(u"Add"),
                                    Method<&QelMasterDetails::Count>(u"Count"),
                                    Method<&QelMasterDetails::DeleteMember>(u"Delete"),
                                    Method<&QelMasterDetails::ExistMember>(u"MasterDetailExist"),
                                    Default(Method<&QelMasterDetails::ItemMember>(u"Item")),
                                    Method<&QelMasterDetails::Seq>(u"Seq"),
                                    Method<&QelMasterDetails::NewEnumMember>(u"NewEnum_md"),
                                });
    return info;
}

bool QelMasterDetails::Matches(const automation::Object& entry, EntryNames names, NameCompare compare) const {
    const QelMasterDetail& pair = Cast(entry);
    if (compare == NameCompare::Exact) {
        return pair.MasterTable() == names[0] && pair.DetailTable() == names[1];
    }
    return automation::EqualsNoCase(pair.MasterTable(), names[0]) &&
           automation::EqualsNoCase(pair.DetailTable(), names[1]);
}

std::optional<std::int16_t> QelMasterDetails::EntrySeq(const automation::Object& entry) const {
    return Cast(entry).Seq();
}

void QelMasterDetails::SetEntrySeq(automation::Object& entry, std::int16_t seq) {
    Cast(entry).SetSeq(seq);
}

void QelMasterDetails::MakeCurrent(const automation::Object& entry) {
    const QelMasterDetail& pair = Cast(entry);
    mCurMasterTable = pair.MasterTable();
    mCurDetailTable = pair.DetailTable();
    mCurSeq = pair.Seq();
}

automation::Ref<automation::Object> QelMasterDetails::CreateEntry(EntryNames names) {
    automation::Ref<QelMasterDetail> pair = automation::MakeRef<QelMasterDetail>();
    pair->SetMasterTable(names[0]);
    pair->SetDetailTable(names[1]);
    return pair;
}

automation::Ref<QelMasterDetail> QelMasterDetails::AddOrFind(std::u16string_view MasterTable,
                                                             std::u16string_view DetailTable) {
    if (MasterTable.empty() || DetailTable.empty()) {
        return nullptr;
    }
    const std::array<std::u16string_view, 2> names{MasterTable, DetailTable};
    return automation::Ref<QelMasterDetail>(Cast(AdmitEntry(names)));
}

bool QelMasterDetails::Delete(std::u16string_view MasterTable, std::u16string_view DetailTable) {
    if (MasterTable.empty() || DetailTable.empty()) {
        return false;
    }
    const std::array<std::u16string_view, 2> names{MasterTable, DetailTable};
    automation::Object* entry = FindEntry(names, NameCompare::Exact);
    return entry != nullptr && RemoveEntry(*entry);
}

bool QelMasterDetails::MasterDetailExist(std::u16string_view MasterTable,
                                         std::u16string_view DetailTable) const {
    const std::array<std::u16string_view, 2> names{MasterTable, DetailTable};
    return FindEntry(names, NameCompare::Exact) != nullptr;
}

automation::Ref<QelMasterDetail> QelMasterDetails::Item(std::u16string_view MasterTable,
                                                        std::u16string_view DetailTable) {
    const std::array<std::u16string_view, 2> names{MasterTable, DetailTable};
    automation::Object* entry = FindEntry(names, NameCompare::Exact);
    if (entry == nullptr) {
        return nullptr;
    }
    MakeCurrent(*entry);
    return automation::Ref<QelMasterDetail>(Cast(entry));
}

bool QelMasterDetails::AddMasterDetail(std::u16string_view sMasterTable, std::u16string_view sDetailTable) {
    return Add(sMasterTable, sDetailTable);
}

automation::Ref<QelMasterDetail> QelMasterDetails::PairOfRelation(std::u16string_view sMasterTable,
                                                                  std::u16string_view sDetailTable,
                                                                  std::u16string_view sMasterField,
                                                                  std::u16string_view sDetailField) {
    if (sMasterTable.empty() || sDetailTable.empty() || sMasterField.empty() || sDetailField.empty()) {
        return nullptr;
    }
    return Item(sMasterTable, sDetailTable);
}

bool QelMasterDetails::AddMasterDetailRelation(std::u16string_view sMasterTable,
                                               std::u16string_view sDetailTable,
                                               std::u16string_view sMasterField,
                                               std::u16string_view sDetailField) {
    automation::Ref<QelMasterDetail> pair =
        PairOfRelation(sMasterTable, sDetailTable, sMasterField, sDetailField);
    return pair && pair->AddRelation(sMasterField, sDetailField);
}

bool QelMasterDetails::DeleteMasterDetail(std::u16string_view sMasterTable,
                                          std::u16string_view sDetailTable) {
    return Delete(sMasterTable, sDetailTable);
}

bool QelMasterDetails::DeleteMasterDetailRelation(std::u16string_view sMasterTable,
                                                  std::u16string_view sDetailTable,
                                                  std::u16string_view sMasterField,
                                                  std::u16string_view sDetailField) {
    automation::Ref<QelMasterDetail> pair =
        PairOfRelation(sMasterTable, sDetailTable, sMasterField, sDetailField);
    return pair && pair->DeleteRelation(sMasterField, sDetailField);
}

} // namespace qv
