#pragma once

#include "model/EntityList.h"
#include "model/field/QelField.h"

#include "platform/automation/Object.h"

namespace qv {

/// The fields of one table, in the order they were added, keyed by name without regard to
/// letter case and numbered 1 to Count by their FldSeq, with a current field (curName, curSeq)
/// that the generator selects before a field page's script runs. Owned by its table (QelTable
/// creates it on first use of Fields); it alone makes fields.
///
/// Loaders add a column with Add(name) and, when that answers True, fetch the field with
/// Item(name) or Find(name) and load it. Add answers False for "" and for a duplicate: a name a
/// field bears exactly or in another letter case (IsNameTaken), so that a second column whose
/// name differs only in letter case is reported as a duplicate instead of failing the load.
class QelFields final : public EntityListOf<QelField> {
public:
    QelFields();

    const automation::ClassInfo& GetClassInfo() const override;

    /// True when a field's FldName equals the index exactly (case-sensitive); a value that is
    /// not text never does.
    bool FieldExist(const automation::Variant& Index) const { return Exists(Index); }
};

} // namespace qv
