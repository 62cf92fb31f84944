// The defaults a table takes from its name and type.

#include "model/LoadSettings.h"
#include "model/table/QelTable.h"

#include "core/Apartment.h"
#include "core/Captions.h"
#include "core/QelVars.h"

namespace qv {

void QelTable::LoadTableDefault() {
    const std::u16string name = TblName();
    // A caption the user edited is replaced as well: the defaults are derived afresh.
    SetTblCaption(NameToCaption(name));
    SetTblVar(ToIdentifier(name, u""));
    SetTblDefault(false);
    SetTblList(true);

    // Letter case matters: only a type of exactly "TABLE" is a table here.
    const std::u16string type = TblType();
    const bool isTable = type == u"TABLE";
    SetTblAdd(isTable);
    SetTblView(isTable);
    SetTblEdit(isTable);
    SetTblDelete(isTable);
    if (isTable) {
        SetTblSQL(u"");
    }
    SetTblCopy(isTable);

    const bool isReport = type == u"REPORT";
    SetTblUpdatable(!isReport);
    SetTblSrchType(isReport ? u"NONE" : u"BASIC");
    SetTblSecurity(CurrentLoadSettings().secDefault);
    mHasDefaults = true;
}

void QelTable::DeriveDefaultsAfterLoad(bool bLoadAll) {
    if (bLoadAll || !mHasDefaults) {
        LoadTableDefault();
    }
}

} // namespace qv
