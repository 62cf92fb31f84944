#include "model/table/QelTables.h"

namespace qv {

namespace {

automation::Ref<SettingsEntity> CreateTable() {
    return automation::MakeRef<QelTable>();
}

constexpr std::size_t Ordinal(QelTable::Setting setting) {
    return static_cast<std::size_t>(setting);
}

constexpr EntityListShape TableListShape{Ordinal(QelTable::Setting::TblName),
                                         Ordinal(QelTable::Setting::TblSeq),
                                         Ordinal(QelTable::Setting::TblVar), u"", &CreateTable};

} // namespace

QelTables::QelTables() : EntityListOf<QelTable>(TableListShape) {}

const automation::ClassInfo& QelTables::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelTables", {
                                                  Method<&QelTables::curName>(u"curName"),
                                                  Method<&QelTables::curSeq>(u"curSeq"),
                                                  Method<&QelTables::AddMember>(u"Add"),
                                                  Method<&QelTables::ChangeMember>(u"Change"),
                                                  Method<&QelTables::Count>(u"Count"),
                                                  Method<&QelTables::DeleteText>(u"Delete"),
                                                  Method<&QelTables::TableExist>(u"TableExist"),
                                                  Default(Method<&QelTables::Item>(u"Item")),
                                                  Method<&QelTables::Seq>(u"Seq"),
                                                  Method<&QelTables::SetItem>(u"SetItem"),
                                                  Method<&QelTables::SetSeq>(u"SetSeq"),
                                                  Method<&QelTables::NewEnumMember>(u"NewEnum_tbl"),
                                              });
    return info;
}

} // namespace qv
