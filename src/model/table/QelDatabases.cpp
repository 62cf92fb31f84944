#include "model/table/QelDatabases.h"

#include "core/Apartment.h"
#include "core/CSuperCollection.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

namespace qv {

using automation::Ref;
using automation::Variant;

const automation::ClassInfo& QelDatabases::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelDatabases", {
                                                     Method<&QelDatabases::curName>(u"curName"),
                                                     Method<&QelDatabases::curSeq>(u"curSeq"),
                                                     Method<&QelDatabases::Add>(u"Add"),
                                                     Method<&QelDatabases::Count>(u"Count"),
                                                     Method<&QelDatabases::Delete>(u"Delete"),
                                                     Default(Method<&QelDatabases::Item>(u"Item")),
                                                     Method<&QelDatabases::NewEnumMember>(u"NewEnum_db"),
                                                 });
    return info;
}

std::u16string QelDatabases::curSeq() const {
    return automation::ToString(Variant(mCurSeq));
}

void QelDatabases::Add(std::u16string Name) {
    ModuleState& state = State();
    if (Count() > 0) {
        state.gProjErr = u"support 1 db only!";
        return;
    }
    state.gProjErr.clear();
    Ref<QelDatabase> database = automation::MakeRef<QelDatabase>();
    database->SetDBName(Name);
    mItems.Add(database, Name);
    mCurName = std::move(Name);
    mCurSeq = static_cast<std::int16_t>(Count());
}

void QelDatabases::Delete(const Variant& Index) {
    mItems.Collection().Remove(Index);
}

Ref<QelDatabase> QelDatabases::Item(const Variant& Index) {
    const Variant item = mItems.Collection().Item(Index);
    if (!item.IsObject()) {
        // The collection's own refusal of an index it does not hold, as Delete raises it.
        if (Index.IsString()) {
            automation::Raise(CollectionError::KeyNotFound, {}, u"Key not found.");
        }
        automation::Raise(automation::ErrorNumber::SubscriptOutOfRange);
    }
    Ref<QelDatabase> database(static_cast<QelDatabase*>(item.ObjectValue().Get()));
    mCurName = database->DBName();
    return database;
}

} // namespace qv
