// Stand-ins for the members that load fields, tables and databases from a database, until the
// loaders are built: each raises error 5 "not available". This file goes when they arrive.

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"

#include "platform/automation/Error.h"

#include <string>
#include <string_view>

namespace qv {

namespace {

[[noreturn]] void RaiseNotAvailable(std::u16string_view member) {
    automation::Raise(automation::ErrorNumber::InvalidProcedureCall, std::u16string(member), u"not available");
}

} // namespace

void QelField::LoadFld_DAO(const dao::Field&) { RaiseNotAvailable(u"QelField.LoadFld_DAO"); }
void QelField::LoadFld_ADO(const ado::Field&) { RaiseNotAvailable(u"QelField.LoadFld_ADO"); }
void QelField::LoadFld_DAOMember(automation::Variant&) { RaiseNotAvailable(u"QelField.LoadFld_DAO"); }
void QelField::LoadFld_ADOMember(automation::Variant&) { RaiseNotAvailable(u"QelField.LoadFld_ADO"); }

void QelTable::LoadTbl_DAO(const dao::TableDef&, bool) { RaiseNotAvailable(u"QelTable.LoadTbl_DAO"); }
void QelTable::LoadView_DAO(const dao::QueryDef&, bool) { RaiseNotAvailable(u"QelTable.LoadView_DAO"); }
void QelTable::Load_ADO(ado::Connection&, const ado::Recordset&, bool) { RaiseNotAvailable(u"QelTable.Load_ADO"); }
void QelTable::Load_ADOCustomView(ado::Connection&, std::u16string_view, std::u16string_view) {
    RaiseNotAvailable(u"QelTable.Load_ADOCustomView");
}
void QelTable::ParseCustomSql() { RaiseNotAvailable(u"QelTable.ParseCustomSql"); }
void QelTable::LoadTbl_DAOMember(automation::Variant&, automation::Variant&) {
    RaiseNotAvailable(u"QelTable.LoadTbl_DAO");
}
void QelTable::LoadView_DAOMember(automation::Variant&, automation::Variant&) {
    RaiseNotAvailable(u"QelTable.LoadView_DAO");
}
void QelTable::Load_ADOMember(automation::Variant&, automation::Variant&, automation::Variant&) {
    RaiseNotAvailable(u"QelTable.Load_ADO");
}
void QelTable::Load_ADOCustomViewMember(automation::Variant&, automation::Variant&, automation::Variant&) {
    RaiseNotAvailable(u"QelTable.Load_ADOCustomView");
}

std::int16_t QelDatabase::LoadADODB(const automation::Variant&, const automation::Variant&,
                                    const automation::Variant&, const automation::Variant&,
                                    const automation::Variant&, const automation::Variant&,
                                    const automation::Variant&) {
    RaiseNotAvailable(u"QelDatabase.LoadADODB");
}
std::int16_t QelDatabase::LoadADOCustomView(const automation::Variant&, const automation::Variant&,
                                            const automation::Variant&) {
    RaiseNotAvailable(u"QelDatabase.LoadADOCustomView");
}
std::int16_t QelDatabase::LoadDAODB(const automation::Variant&, const automation::Variant&,
                                    const automation::Variant&, const automation::Variant&,
                                    const automation::Variant&, const automation::Variant&) {
    RaiseNotAvailable(u"QelDatabase.LoadDAODB");
}

} // namespace qv
